#!/usr/bin/python3
# SPDX-License-Identifier: Apache-2.0
"""The client as a screen reader meets it.

The real program runs on the X display of xvfb-run with a session bus of its own
(dbus-run-session) and the accessibility bus, and its tree is read through AT-SPI, where Orca
reads it. Every page (company, lots, positions, edit) and the windows the bidder meets on the
way (the position check's message, the carry's preview, the offer check, the signing window and
its PIN window, the offer type dialog) are walked: no control that shows is without a name, the
names are the captions the tender gives, a refused keystroke leaves its rule where a screen
reader reads it, the message box is an alert, every dialog marks its default button and puts the
focus on the first thing to read. Keys are sent with xdotool as a keyboard sends them.

Run by ctest as ScreenReaderUnderXvfb, with BRX_CLIENT and TENDERDB set.
"""
import json
import os
import subprocess
import sys
import tempfile
import time

import pyatspi
from gi.repository import GLib

MAIN_TITLE = "ТЕНДИРО"
CLIENT = os.environ["BRX_CLIENT"]
TENDERDB = os.environ["TENDERDB"]

# Roles of what the bidder works with; containers, panes and labels are read through these.
CONTROLS = {
    pyatspi.ROLE_TEXT,
    pyatspi.ROLE_ENTRY,
    pyatspi.ROLE_PASSWORD_TEXT,
    pyatspi.ROLE_CHECK_BOX,
    pyatspi.ROLE_RADIO_BUTTON,
    pyatspi.ROLE_PUSH_BUTTON,
    pyatspi.ROLE_TABLE,
    pyatspi.ROLE_LIST,
    pyatspi.ROLE_PAGE_TAB,
    pyatspi.ROLE_COMBO_BOX,
    pyatspi.ROLE_SPIN_BUTTON,
    pyatspi.ROLE_TABLE_COLUMN_HEADER,
}

# Every caption the edit and company pages show comes from here, so that the names can be held
# against the tender itself.
CAPTIONS = {
    "CAPTION_NOMER": "№ по ред",
    "CAPTION_PRODUCT": "Наименование на изделието",
    "CAPTION_GOD_POTREBLENIE": "Количество за година",
    "CAPTION_INFO1": "Размер",
    "CAPTION_INFO2": "Опаковка",
    "CAPTION_INFO3": "Каталожен код",
    "KP1_IME": "Начин на плащане",
    "KP2_IME": "Срок на доставка (дни)",
    "PP1_IME": "Ед. цена",
    "PP2_IME": "Марка",
    "PP3_IME": "Отстъпка",
}


def tender(second_price):
    """One lot "1" taken part in with two positions, the second priced `second_price`; one lot
    "2" not taken part in."""
    specs = dict(CAPTIONS)
    specs.update({
        "KONKURS": 7, "IME_NA_FIRMATA": "Медикс ООД", "IME_NA_KONKURSA": "Консумативи",
        "KP1_TIP": 2, "KP1_TEXT": "по банка", "KP2_TIP": 3, "KP2_RAZRYAD": 0, "KP2_NUMBER": 5,
        "PP1_RAZRYAD": 2, "PP1_OFERTA": 2, "PP2_TIP": 2, "PP2_OFERTA": 1,
        "PP3_TIP": 3, "PP3_RAZRYAD": 1, "PP3_OFERTA": 2, "BROI_INFO_POLETA": 3,
    })

    def position(product, lot, code, price):
        return {"PRODUCT_CODE": product, "MASTER_CODE": lot, "CUSTOM_CODE": code,
                "IME": "Игла " + code, "MEASURE_IME": "бр.", "GODISHNO_POTREBLENIE": 100,
                "INFO1": "23G", "INFO2": "блистер", "INFO3": "K-" + code, "PP1_NUMBER": price}

    rows = [{"PRODUCT_CODE": 10, "CUSTOM_CODE": "1", "IME": "Игли", "PP2_TEXT": "Да"},
            position(11, 10, "1", 2.5), position(12, 10, "2", second_price),
            {"PRODUCT_CODE": 20, "CUSTOM_CODE": "2", "IME": "Спринцовки"},
            position(21, 20, "1", None)]
    return {"SPECS": [specs], "PREDLOGENIA": rows}


failures = []


def check(condition, what):
    if not condition:
        failures.append(what)
        print("FAIL:", what, flush=True)
    return condition


def pump():
    """Lets the AT-SPI events that arrived reach their listeners."""
    context = GLib.MainContext.default()
    while context.pending():
        context.iteration(False)


def wait_for(find, what, seconds=15):
    deadline = time.time() + seconds
    while time.time() < deadline:
        pump()
        found = find()
        if found:
            return found
        time.sleep(0.1)
    sys.exit(f"FAIL: {what} did not come within {seconds} s; failures so far: {failures}")


def children(node):
    try:
        return [c for c in (node.getChildAtIndex(i) for i in range(node.childCount)) if c]
    except Exception:
        return []


def showing(node):
    try:
        return node.getState().contains(pyatspi.STATE_SHOWING)
    except Exception:
        return False


def has_state(node, state):
    return node.getState().contains(state)


def shown_controls(node):
    """The controls of `node` that show, a hidden container's controls left out."""
    found = []
    for child in children(node):
        if not showing(child):
            continue
        if child.getRole() in CONTROLS:
            found.append(child)
        if child.getRole() != pyatspi.ROLE_TABLE:
            found.extend(shown_controls(child))
    return found


def named(node, name, role=None):
    """The first descendant of `node` that shows under `name` (and `role`)."""
    for child in children(node):
        if not showing(child):
            continue
        if child.name == name and (role is None or child.getRole() == role):
            return child
        deeper = named(child, name, role)
        if deeper:
            return deeper
    return None


def focused(node):
    for child in children(node):
        if has_state(child, pyatspi.STATE_FOCUSED):
            return child
        if showing(child):
            deeper = focused(child)
            if deeper:
                return deeper
    return None


def expect_all_named(window, where):
    controls = shown_controls(window)
    unnamed = [c.getRoleName() for c in controls if not c.name.strip()]
    check(not unnamed, f"{where}: controls without a name: {unnamed}")
    print(f"{where}: " + "; ".join(f"{c.getRoleName()} {c.name!r}" for c in controls), flush=True)


def expect_names(window, names, where):
    shown = {c.name for c in shown_controls(window)}
    missing = [n for n in names if n not in shown]
    check(not missing, f"{where}: no control named {missing}; named are {sorted(shown)}")


def expect_reachable(client, window, where, unlabelled=()):
    """Every text input of `window` but the `unlabelled` is labelled by its caption, and its key
    is Alt with a letter of that caption, a letter no other input of the page has; the key
    reaches the input."""
    inputs = [c for c in shown_controls(window)
              if c.getRole() == pyatspi.ROLE_TEXT and c.name not in unlabelled]
    keys = {}
    for control in inputs:
        labels = [r.getTarget(0).name for r in control.getRelationSet()
                  if r.getRelationType() == pyatspi.RELATION_LABELLED_BY]
        check(labels == [control.name], f"{where}: {control.name!r} is labelled by {labels}")
        action = control.queryAction()
        binding = next((action.getKeyBinding(i) for i in range(action.nActions)
                        if action.getKeyBinding(i)), "")
        letter = binding[len("Alt+"):]
        if check(binding.startswith("Alt+") and len(letter) == 1 and
                 letter.upper() in control.name.upper(),
                 f"{where}: {control.name!r} has the key {binding!r}"):
            check(letter.upper() not in keys,
                  f"{where}: {control.name!r} and {keys.get(letter.upper())!r} share Alt+{letter}")
            keys[letter.upper()] = control
    # The last input's key, pressed as a keyboard presses it, moves the focus there.
    if keys:
        letter, control = list(keys.items())[-1]
        client.keys(MAIN_TITLE, f"alt+U{ord(letter.lower()):04X}")
        print(f"{where}: Alt+{letter} for {control.name!r}", flush=True)
        check(has_state(control, pyatspi.STATE_FOCUSED),
              f"{where}: Alt+{letter} did not reach {control.name!r}")


class Client:
    def __init__(self, folder):
        # The accessibility bus is started first, so that the client finds it when it starts.
        pyatspi.Registry.getDesktop(0)
        environment = dict(os.environ, LC_ALL="bg_BG.UTF-8", QT_QPA_PLATFORM="xcb",
                           QT_LINUX_ACCESSIBILITY_ALWAYS_ON="1")
        self.process = subprocess.Popen([CLIENT], cwd=folder, env=environment)
        self.app = wait_for(self.find_app, "the client on the accessibility bus")
        self.main = wait_for(lambda: self.window(MAIN_TITLE, pyatspi.ROLE_FRAME), "the main window")
        wait_for(lambda: self.main.childCount > 0 and len(self.windows()) == 1,
                 "the main window alone")
        self.main_x = None
        self.main_x = wait_for(lambda: self.x_window(MAIN_TITLE), "the main window on X")
        self.current = 0
        time.sleep(0.5)

    def find_app(self):
        desktop = pyatspi.Registry.getDesktop(0)
        for app in children(desktop):
            if app.name == "brx-client":
                return app
        return None

    def windows(self):
        return [w for w in children(self.app) if showing(w)]

    def window(self, title, role=None):
        for w in self.windows():
            if w.name.startswith(title) and (role is None or w.getRole() == role):
                return w
        return None

    def x_window(self, title):
        """The X window whose title begins with `title`; a box over the main window that bears
        its title before the main window itself."""
        ids = subprocess.run(["xdotool", "search", "--onlyvisible", "--pid",
                              str(self.process.pid), "--name", "."],
                             capture_output=True, text=True).stdout.split()
        matching = [id for id in ids
                    if subprocess.run(["xdotool", "getwindowname", id], capture_output=True,
                                      text=True).stdout.startswith(title)]
        others = [id for id in matching if id != self.main_x]
        return (others or matching or [None])[0]

    def keys(self, title, *names):
        """Keys to the window whose title begins with `title`."""
        id = wait_for(lambda: self.x_window(title), f"the window {title!r}")
        subprocess.run(["xdotool", "windowfocus", "--sync", id], check=True)
        subprocess.run(["xdotool", "key", "--delay", "80", *names], check=True)
        time.sleep(0.4)
        pump()

    def type(self, title, text):
        id = wait_for(lambda: self.x_window(title), f"the window {title!r}")
        subprocess.run(["xdotool", "windowfocus", "--sync", id], check=True)
        subprocess.run(["xdotool", "type", "--delay", "30", text], check=True)
        time.sleep(0.3)

    def press(self, window, caption):
        button = wait_for(lambda: named(window, caption, pyatspi.ROLE_PUSH_BUTTON),
                          f"the button {caption!r}")
        button.queryComponent().grabFocus()
        time.sleep(0.2)
        self.keys(window.name[:7], "space")

    def page(self, index):
        """To page `index` with Ctrl+Page Down and Ctrl+Page Up, as a bidder moves."""
        step = "ctrl+Next" if index > self.current else "ctrl+Prior"
        self.keys(MAIN_TITLE, *[step] * abs(index - self.current))
        self.current = index
        time.sleep(0.3)

    def close(self):
        self.process.kill()
        self.process.wait()


def main():
    with tempfile.TemporaryDirectory(prefix="brx-reader.") as folder:
        return walk_the_client(folder)


def walk_the_client(folder):
    for name, price in (("DB", None), ("old", 3.0)):
        with open(os.path.join(folder, name + ".json"), "w", encoding="utf-8") as f:
            json.dump(tender(price), f, ensure_ascii=False)
        subprocess.run([TENDERDB, "create", os.path.join(folder, name + ".json"),
                        os.path.join(folder, name + ".mdb")], check=True,
                       stdout=subprocess.DEVNULL)
    # A key file for the PIN window, its password "1234".
    subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                    "-subj", "/CN=Bidder", "-keyout", f"{folder}/key.pem",
                    "-out", f"{folder}/cert.pem"], check=True, capture_output=True)
    subprocess.run(["openssl", "pkcs12", "-export", "-in", f"{folder}/cert.pem",
                    "-inkey", f"{folder}/key.pem", "-out", f"{folder}/bidder.p12",
                    "-passout", "pass:1234"], check=True, capture_output=True)

    descriptions = []
    pyatspi.Registry.registerEventListener(
        lambda event: descriptions.append((event.source.name, event.source.description)),
        "object:property-change:accessible-description")

    client = Client(folder)
    try:
        # The company page.
        expect_all_named(client.main, "company page")
        expect_names(client.main, ["Наименование на фирмата", "Фирмата не е регистрирана по ДДС",
                                   CAPTIONS["KP1_IME"], CAPTIONS["KP2_IME"]], "company page")
        expect_reachable(client, client.main, "company page")
        # A character a file name cannot hold, refused in the company name: told as well as shown.
        company = named(client.main, "Наименование на фирмата", pyatspi.ROLE_TEXT)
        company.queryComponent().grabFocus()
        client.keys(MAIN_TITLE, "End", "less")
        check(company.description.startswith("знаците"),
              f"the refused '<' left no description: {company.description!r}")
        check(any(name == "Наименование на фирмата" and text.startswith("знаците")
                  for name, text in descriptions),
              f"no description change was announced for the company name: {descriptions}")
        client.keys(MAIN_TITLE, "Escape")

        # The lots page: a table with the tender's column heads; participation and status read
        # as words.
        client.page(1)
        lots = named(client.main, "Обособени позиции", pyatspi.ROLE_TABLE)
        if check(lots is not None, "the lots grid is not a table named 'Обособени позиции'"):
            table = lots.queryTable()
            heads = [table.getColumnHeader(c).name for c in range(table.nColumns)]
            check(heads == [CAPTIONS["CAPTION_NOMER"], "Обособена позиция", "Участие",
                            "Общо поз.", "Офер. поз.", "Статус"], f"lot heads: {heads}")
            rows = [[table.getAccessibleAt(r, c).name for c in range(table.nColumns)]
                    for r in range(table.nRows)]
            check(rows[0][:3] == ["1", "Игли", "Да"] and rows[1][:3] == ["2", "Спринцовки", "Не"],
                  f"lot cells: {rows}")
            check(rows[0][5] == "Не са оферирани всички позиции!" and rows[1][5] == "Без участие",
                  f"lot status: {[row[5] for row in rows]}")
        expect_all_named(client.main, "lots page")
        # On lot "2", not taken part in, the closed pages show no caption but keep their names.
        lots.queryComponent().grabFocus()
        client.keys(MAIN_TITLE, "Down")
        expect_all_named(client.main, "lots page on a lot not taken part in")
        client.keys(MAIN_TITLE, "Up")

        # The positions page.
        client.page(2)
        grid = named(client.main, "Предложения", pyatspi.ROLE_TABLE)
        if check(grid is not None, "the positions grid is not a table named 'Предложения'"):
            table = grid.queryTable()
            heads = [table.getColumnHeader(c).name for c in range(table.nColumns)]
            check(heads[:7] == [CAPTIONS[k] for k in ("CAPTION_NOMER", "CAPTION_PRODUCT",
                                                      "CAPTION_GOD_POTREBLENIE")] +
                  ["Мярка", CAPTIONS["PP1_IME"], CAPTIONS["PP2_IME"], CAPTIONS["PP3_IME"]],
                  f"position heads: {heads}")
            first = [table.getAccessibleAt(0, c).name for c in range(5)]
            check(first == ["1", "Игла 1", "100", "бр.", "2,50"], f"first position: {first}")
        expect_all_named(client.main, "positions page")

        # The edit page: every field under the tender's caption.
        client.page(3)
        expect_all_named(client.main, "edit page")
        expect_names(client.main, [CAPTIONS[k] for k in (
            "CAPTION_NOMER", "CAPTION_PRODUCT", "CAPTION_GOD_POTREBLENIE", "CAPTION_INFO1",
            "CAPTION_INFO2", "CAPTION_INFO3", "PP1_IME", "PP2_IME", "PP3_IME")] + ["Мярка"],
                     "edit page")
        expect_reachable(client, client.main, "edit page", {"Код на търсената позиция"})
        price = named(client.main, CAPTIONS["PP1_IME"], pyatspi.ROLE_TEXT)
        price.queryComponent().grabFocus()
        client.keys(MAIN_TITLE, "End", "x")
        check(price.description.startswith("само цифри"),
              f"the refused letter in the price left no description: {price.description!r}")
        # The position check refuses a cleared price: its message is an alert.
        client.keys(MAIN_TITLE, "ctrl+a", "BackSpace", "Next")
        alert = wait_for(lambda: next((w for w in client.windows()
                                       if w.getRole() == pyatspi.ROLE_ALERT), None),
                         "the position check's message as an alert")
        check(any(CAPTIONS["PP1_IME"] in n.name for n in [alert] + list(walk(alert))),
              "the alert does not read the position check's message")
        client.keys(MAIN_TITLE, "Return")
        client.keys(MAIN_TITLE, "Escape")

        # The carry from the older file: the preview is read first, Yes is the default.
        client.page(1)
        client.press(client.main, "Пренасяне от друг файл...")
        time.sleep(1)
        chooser = wait_for(lambda: next((w for w in client.windows() if w != client.main), None),
                           "the file dialog")
        client.type(chooser.name[:5], f"{folder}/old.mdb")
        client.keys(chooser.name[:5], "Return")
        preview = wait_for(lambda: client.window("Потвърждение"), "the carry's preview")
        expect_all_named(preview, "carry preview")
        expect_dialog(preview, "Да", "carry preview", pyatspi.ROLE_TEXT)
        client.keys("Потвърждение", "Return")

        check_window = wait_for(lambda: client.window("Проверка на офертата"), "the offer check")
        expect_all_named(check_window, "offer check")
        reading = focused(check_window)
        check(reading is not None and reading.getRole() == pyatspi.ROLE_TABLE,
              f"the offer check does not start on its list: {reading and reading.getRoleName()}")
        client.keys("Проверка на офертата", "Escape")

        # The signing window and the PIN window of a key file.
        client.press(client.main, "Подписване...")
        signing = wait_for(lambda: client.window("Подписване"), "the signing window")
        expect_all_named(signing, "signing window")
        client.press(signing, "От файл .p12/.pfx...")
        time.sleep(1)
        chooser = wait_for(lambda: next((w for w in client.windows()
                                         if w not in (client.main, signing)), None),
                           "the key file dialog")
        client.type(chooser.name[:5], f"{folder}/bidder.p12")
        client.keys(chooser.name[:5], "Return")
        pin = wait_for(lambda: client.window("ПИН"), "the PIN window")
        expect_all_named(pin, "PIN window")
        expect_dialog(pin, "Добре", "PIN window", pyatspi.ROLE_PASSWORD_TEXT)
        client.keys("ПИН", "Escape")
        client.keys("Подписване", "Escape")

        # The offer type dialog, now that the carry priced every position.
        client.press(client.main, "Генериране на изх. файл")
        offer_type = wait_for(lambda: client.window("Избор на тип оферта"), "the offer type dialog")
        expect_all_named(offer_type, "offer type dialog")
        expect_names(offer_type, ["Ценова оферта", "Техническа оферта"], "offer type dialog")
        expect_dialog(offer_type, "OK", "offer type dialog", pyatspi.ROLE_RADIO_BUTTON)
        check(named(offer_type, "Тип оферта") is not None, "the offer type group has no name")
        client.keys("Избор на тип оферта", "Escape")
    finally:
        client.close()

    if failures:
        print(f"{len(failures)} failures", flush=True)
        return 1
    print("every page and dialog read through AT-SPI", flush=True)
    return 0


def walk(node):
    for child in children(node):
        yield child
        yield from walk(child)


def expect_dialog(window, default, where, first_role):
    """The default button is marked as such, and the focus is on the first thing to read."""
    button = named(window, default, pyatspi.ROLE_PUSH_BUTTON)
    check(button is not None and has_state(button, pyatspi.STATE_IS_DEFAULT),
          f"{where}: {default!r} is not marked as the default button")
    reading = focused(window)
    check(reading is not None and reading.getRole() == first_role,
          f"{where}: the focus is on {reading and reading.getRoleName()!r}, not where the "
          f"reading starts")


if __name__ == "__main__":
    sys.exit(main())
