// SPDX-License-Identifier: Apache-2.0
// The bidder's road through the real program, keyboard only: the client runs in its own process
// on the X display of xvfb-run, under Bulgarian regional settings (decimal comma) unless a road
// says otherwise, and is driven with xdotool as a keyboard drives it. After every step mdb-export,
// an independent reader, must find exactly what was typed in the tender file and nothing else.
#include "../jet/process.h"
#include "../tools/tender_file_support.h"

#include "tender_fixture.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

using namespace std::chrono_literals;

// One lot "1" (10) not taken part in, three unpriced positions; one lot "2" (20) taken part in,
// positions "07" (1.5), "7" (2) and "8" unpriced. Beside the price a discount that must not be
// below 0, stored as 0 on every position.
nlohmann::json roadTender() {
    using nlohmann::json;
    json rows = json::array();
    const auto position = [&rows](int product, int lot, const char* code, json price) {
        rows.push_back({{"PRODUCT_CODE", product},
                        {"MASTER_CODE", lot},
                        {"CUSTOM_CODE", code},
                        {"IME", std::string("Изделие ") + code},
                        {"MEASURE_IME", "бр."},
                        {"GODISHNO_POTREBLENIE", 10.0},
                        {"PP1_NUMBER", price},
                        {"PP2_NUMBER", 0.0}});
    };
    rows.push_back({{"PRODUCT_CODE", 10}, {"CUSTOM_CODE", "1"}, {"IME", "Игли"}});
    position(11, 10, "1", nullptr);
    position(12, 10, "2", nullptr);
    position(13, 10, "3", nullptr);
    rows.push_back(
        {{"PRODUCT_CODE", 20}, {"CUSTOM_CODE", "2"}, {"IME", "Спринцовки"}, {"PP2_TEXT", "Да"}});
    position(21, 20, "07", 1.5);
    position(22, 20, "7", 2.0);
    position(23, 20, "8", nullptr);
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "Медикс ООД"},
               {"IME_NA_KONKURSA", "Консумативи"},
               {"PP1_IME", "Ед. цена"},
               {"PP1_RAZRYAD", 2},
               {"PP1_OFERTA", 2},
               {"PP2_TIP", 3},
               {"PP2_IME", "Отстъпка"},
               {"PP2_RAZRYAD", 0},
               {"PP2_OFERTA", 2},
               {"PP2_OGRANICHENIE", 3},
               {"CAPTION_NOMER", "№"},
               {"BROI_INFO_POLETA", 0}}}},
            {"PREDLOGENIA", rows}};
}

// The tender's positions and lots as mdb-export reads them: row by PRODUCT_CODE, then column.
using Rows = std::map<std::string, std::map<std::string, std::string>>;

Rows exported(const QString& file) {
    const tendertest::ExportedTable table =
        tendertest::mdbExport(file.toStdString(), "PREDLOGENIA");
    Rows rows;
    std::size_t key = 0;
    while (table.columns.at(key) != "PRODUCT_CODE")
        ++key;
    for (const std::vector<std::string>& row : table.rows)
        for (std::size_t c = 0; c < table.columns.size(); ++c)
            rows[row.at(key)][table.columns[c]] = row.at(c);
    return rows;
}

// Numbers compare by value, whatever digits mdb-export prints them with.
bool sameCell(const std::string& a, const std::string& b) {
    char* endA = nullptr;
    char* endB = nullptr;
    const double x = std::strtod(a.c_str(), &endA);
    const double y = std::strtod(b.c_str(), &endB);
    if (!a.empty() && !b.empty() && *endA == '\0' && *endB == '\0')
        return x == y;
    return a == b;
}

std::string difference(const Rows& expected, const Rows& found) {
    std::string text;
    for (const auto& [product, columns] : expected)
        for (const auto& [column, value] : columns) {
            const std::string other = found.count(product) != 0 && found.at(product).count(column)
                                          ? found.at(product).at(column)
                                          : "(missing)";
            if (!sameCell(value, other))
                text +=
                    product + "." + column + ": expected '" + value + "', found '" + other + "'\n";
        }
    return text;
}

std::string xdotool(const std::vector<std::string>& arguments) {
    std::vector<std::string> argv{"xdotool"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return jettest::runProcess(argv).out;
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> result;
    std::string line;
    for (char c : text) {
        if (c == '\n') {
            result.push_back(line);
            line.clear();
        } else {
            line += c;
        }
    }
    return result;
}

// The client's visible windows whose title holds `name`. xdotool's own name search does not
// match Cyrillic titles, so the titles are read one by one.
std::vector<std::string> windowsNamed(const std::string& name) {
    std::vector<std::string> ids;
    for (const std::string& id :
         lines(xdotool({"search", "--onlyvisible", "--class", "brx-client"})))
        if (xdotool({"getwindowname", id}).find(name) != std::string::npos)
            ids.push_back(id);
    return ids;
}

class KeyboardRoadUnderXvfb : public ::testing::Test {
protected:
    virtual nlohmann::json tender() const { return roadTender(); }
    // The regional settings of the session: Bulgarian, with the decimal comma.
    virtual QString locale() const { return QStringLiteral("bg_BG.UTF-8"); }

    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("BRX_CLIENT"))
            GTEST_SKIP() << "runs under xvfb-run with BRX_CLIENT set, as ctest starts it";
        file = folder.write(tender());
        expected = exported(file);
        launch();
        awaitMainWindow();
    }

    // Starts the client in the tender's folder, as the user running the test or, given
    // `asNobody`, as the user nobody, to whom nothing in the folder belongs.
    void launch(bool asNobody = false) {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("LC_ALL"), locale());
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        QString program = qEnvironmentVariable("BRX_CLIENT");
        QStringList arguments;
        if (asNobody) {
            // The X server's key lies in a folder of the test's user; nobody gets a copy.
            const QString key = folder.file(QStringLiteral("Xauthority"));
            QFile::copy(qEnvironmentVariable("XAUTHORITY"), key);
            QFile::setPermissions(key, QFileDevice::ReadOwner | QFileDevice::ReadGroup |
                                           QFileDevice::ReadOther);
            environment.insert(QStringLiteral("XAUTHORITY"), key);
            environment.insert(QStringLiteral("HOME"), folder.path());
            arguments = {QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                         QStringLiteral("--clear-groups"), QStringLiteral("--"), program};
            program = QStringLiteral("setpriv");
        }
        client.setProcessEnvironment(environment);
        client.setWorkingDirectory(folder.path());
        client.setProcessChannelMode(QProcess::ForwardedChannels);
        client.start(program, arguments);
        ASSERT_TRUE(client.waitForStarted());
    }
    void awaitMainWindow() {
        for (int tries = 0; tries < 100 && windowsNamed(kMainTitle).empty(); ++tries)
            std::this_thread::sleep_for(100ms);
        ASSERT_EQ(windowsNamed(kMainTitle).size(), 1u) << "the main window did not appear";
        mainWindow = windowsNamed(kMainTitle).front();
        std::this_thread::sleep_for(500ms);
    }

    void TearDown() override {
        if (client.state() != QProcess::NotRunning) {
            client.kill();
            client.waitForFinished();
        }
    }

    // Keys to the window that has the keyboard: the main window, or the box open over it.
    void keys(const std::vector<std::string>& names) {
        const std::vector<std::string> boxes = openBoxes();
        xdotool({"windowfocus", "--sync", boxes.empty() ? mainWindow : boxes.front()});
        std::vector<std::string> arguments{"key", "--delay", "60"};
        arguments.insert(arguments.end(), names.begin(), names.end());
        xdotool(arguments);
        std::this_thread::sleep_for(300ms);
    }
    // Digits, comma and point as typed on the main keyboard.
    void type(const std::string& text) {
        std::vector<std::string> names;
        for (char c : text)
            names.push_back(c == ','   ? "comma"
                            : c == '.' ? "period"
                            : c == '-' ? "minus"
                            : c == ' ' ? "space"
                                       : std::string(1, c));
        keys(names);
    }

    // The message and question boxes open over the main window. An error box bears the main
    // window's title, the others their own.
    std::vector<std::string> openBoxes() const {
        std::vector<std::string> boxes;
        for (const char* title : {"Потвърждение", "Внимание"})
            for (const std::string& id : windowsNamed(title))
                boxes.push_back(id);
        for (const std::string& id : windowsNamed(kMainTitle))
            if (id != mainWindow)
                boxes.push_back(id);
        return boxes;
    }
    // Waits for exactly one box, answers it with `key` and makes sure no second one follows.
    void answerTheOneBox(const std::string& key) {
        for (int tries = 0; tries < 50 && openBoxes().empty(); ++tries)
            std::this_thread::sleep_for(100ms);
        ASSERT_EQ(openBoxes().size(), 1u) << "a box was expected";
        keys({key});
        std::this_thread::sleep_for(700ms);
        EXPECT_TRUE(openBoxes().empty()) << "a second box followed the first";
        if (!openBoxes().empty())
            keys({"Return"});
    }
    void expectNoBox() {
        std::this_thread::sleep_for(300ms);
        EXPECT_TRUE(openBoxes().empty()) << "an unexpected box is open";
    }

    // The file holds what the steps so far typed and nothing else: each change is given as
    // row, column and value, and every other cell is as it was.
    void expectFile(const std::map<std::pair<std::string, std::string>, std::string>& changes) {
        for (const auto& [where, value] : changes)
            expected[where.first][where.second] = value;
        std::string found;
        for (int tries = 0; tries < 20; ++tries) {
            found = difference(expected, exported(file));
            if (found.empty())
                return;
            std::this_thread::sleep_for(100ms);
        }
        ADD_FAILURE() << found;
    }

    static constexpr const char* kMainTitle = "ТЕНДИРО";
    fixture::TenderFolder folder;
    QString file;
    Rows expected;
    QProcess client;
    std::string mainWindow;
};

TEST_F(KeyboardRoadUnderXvfb, TheFileHoldsExactlyWhatWasTypedAfterEveryStep) {
    SCOPED_TRACE("participation");
    // To the lots page; lot "1" is current and not taken part in. No first, then Yes.
    keys({"ctrl+Tab", "Tab"});
    keys({"space"});
    answerTheOneBox("Escape");
    expectFile({});
    keys({"Tab", "space"});
    answerTheOneBox("Return");
    expectFile({{{"10", "PP2_TEXT"}, "Да"}});

    SCOPED_TRACE("two prices");
    // The edit page of lot "1": a price with the decimal comma, the next typed with a point.
    keys({"ctrl+Next", "ctrl+Next"});
    type("12,5");
    keys({"Return", "Next"});
    type("7.25");
    keys({"Return"});
    expectNoBox();
    expectFile({{{"11", "PP1_NUMBER"}, "12.5"}, {{"12", "PP1_NUMBER"}, "7.25"}});

    SCOPED_TRACE("another lot");
    // The third price typed and not stored, then another lot: leaving stores it.
    keys({"Next"});
    type("3,1");
    keys({"ctrl+Prior", "ctrl+Prior", "Down"});
    expectNoBox();
    expectFile({{{"13", "PP1_NUMBER"}, "3.1"}});

    SCOPED_TRACE("a discount without a price");
    // Lot "2", its unpriced position "8": a discount without a price cannot be stored.
    keys({"ctrl+Next", "ctrl+Next", "Next", "Next", "Tab"});
    type("5");
    keys({"Next"});
    answerTheOneBox("Return");
    expectFile({});

    SCOPED_TRACE("Escape");
    // Escape brings back what is stored, and the bidder moves on without a message.
    keys({"Escape", "Prior"});
    expectNoBox();
    expectFile({});

    SCOPED_TRACE("a refused leave");
    // On "7", a discount below 0: leaving the page is refused once, and the focus stays in the
    // discount, where the correction is typed and stored.
    keys({"Tab", "ctrl+a"});
    type("-1");
    keys({"ctrl+Tab"});
    answerTheOneBox("Return");
    expectFile({});
    keys({"ctrl+a"});
    type("3");
    keys({"Return"});
    expectNoBox();
    expectFile({{{"22", "PP2_NUMBER"}, "3"}});

    SCOPED_TRACE("withdrawal");
    // Back to the lots, and withdrawal from lot "2": its prices stay.
    keys({"ctrl+Prior", "ctrl+Prior", "Tab", "space"});
    answerTheOneBox("Return");
    expectFile({{{"20", "PP2_TEXT"}, ""}});
}

// The same road in a comma and in a point locale: a price typed with either separator, the place
// kept on leaving the edit page, and the focus kept where the bidder types.
class PlaceAndFocusRoadUnderXvfb : public KeyboardRoadUnderXvfb,
                                   public ::testing::WithParamInterface<const char*> {
protected:
    QString locale() const override { return QString::fromLatin1(GetParam()); }
};

TEST_P(PlaceAndFocusRoadUnderXvfb, SeparatorsPlaceAndFocusHoldInTheRealWindow) {
    {
        SCOPED_TRACE("either separator");
        // To lot "2", taken part in, with the arrows of the lots grid, then its edit page.
        keys({"ctrl+Tab", "Down", "ctrl+Next", "ctrl+Next", "ctrl+a"});
        type("7,25");
        keys({"Return", "Next", "ctrl+a"});
        type("8.5");
        keys({"Return"});
        expectNoBox();
        expectFile({{{"21", "PP1_NUMBER"}, "7.25"}, {{"22", "PP1_NUMBER"}, "8.5"}});
        // A second separator is refused, whichever key types it.
        keys({"Next", "ctrl+a"});
        type("1,2.5");
        keys({"Return"});
        expectFile({{{"23", "PP1_NUMBER"}, "1.25"}});
    }
    {
        SCOPED_TRACE("the place kept");
        // Leaving stores "8"; back on the edit page the bidder is still on "8".
        keys({"ctrl+a"});
        type("4");
        keys({"ctrl+shift+Tab"});
        expectNoBox();
        expectFile({{{"23", "PP1_NUMBER"}, "4"}});
        keys({"ctrl+Tab", "ctrl+a"});
        type("6");
        keys({"Return"});
        expectFile({{{"23", "PP1_NUMBER"}, "6"}});
        // Through the lots page and back: the lot and the position are still the bidder's.
        keys({"ctrl+shift+Tab", "ctrl+shift+Tab", "ctrl+Tab", "ctrl+Tab", "ctrl+a"});
        type("9");
        keys({"Return"});
        expectNoBox();
        expectFile({{{"23", "PP1_NUMBER"}, "9"}});
    }
    {
        SCOPED_TRACE("the focus after a refused page change");
        // A discount below 0 refuses leaving; after OK the next keys reach the discount.
        keys({"Tab", "ctrl+a"});
        type("-1");
        keys({"ctrl+shift+Tab"});
        answerTheOneBox("Return");
        expectFile({});
        keys({"ctrl+a"});
        type("3");
        keys({"Return"});
        expectNoBox();
        expectFile({{{"23", "PP2_NUMBER"}, "3"}});
        // Escape after the refusal reaches the page too, and then the way out is open.
        keys({"ctrl+a"});
        type("-1");
        keys({"ctrl+Tab"});
        answerTheOneBox("Return");
        keys({"Escape", "ctrl+shift+Tab"});
        expectNoBox();
        expectFile({});
    }
    {
        SCOPED_TRACE("the focus on the lots page");
        // Back on the lots page the arrows move the lot: lot "1" is asked for and taken part in.
        keys({"ctrl+shift+Tab", "Up", "Tab", "space"});
        answerTheOneBox("Return");
        expectFile({{{"10", "PP2_TEXT"}, "Да"}});
    }
}

INSTANTIATE_TEST_SUITE_P(Locales, PlaceAndFocusRoadUnderXvfb,
                         ::testing::Values("bg_BG.UTF-8", "en_US.UTF-8"),
                         [](const ::testing::TestParamInfo<const char*>& locale) {
                             return std::string(locale.param).substr(0, 5);
                         });

// Starting on a tender file that cannot be used as it is. Root may write any file whatever its
// permissions say, so the client runs as the user nobody, to whom the file does not belong and who
// may not write it.
class StartUpRoadUnderXvfb : public KeyboardRoadUnderXvfb {
protected:
    void SetUp() override {
        if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("BRX_CLIENT"))
            GTEST_SKIP() << "runs under xvfb-run with BRX_CLIENT set, as ctest starts it";
    }
};

TEST_F(StartUpRoadUnderXvfb, ATenderTheUserMayNotWriteIsShownAndTypingIsRefused) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to start the client as another user";
    file = folder.write(tender());
    expected = exported(file);
    const auto readable = QFileDevice::ReadOwner | QFileDevice::ReadGroup | QFileDevice::ReadOther;
    ASSERT_TRUE(QFile::setPermissions(file, readable));
    ASSERT_TRUE(QFile::setPermissions(folder.path(),
                                      readable | QFileDevice::WriteOwner | QFileDevice::ExeOwner |
                                          QFileDevice::ExeGroup | QFileDevice::ExeOther));
    const auto bytes = [this] {
        QFile tender(file);
        return tender.open(QIODevice::ReadOnly) ? tender.readAll() : QByteArray();
    };
    const QByteArray before = bytes();
    launch(true);
    awaitMainWindow();
    expectNoBox(); // the tender shows without a word

    // The company name, then the price of lot "2": each key refused once, with what to do.
    {
        SCOPED_TRACE("the company name");
        keys({"ctrl+Tab", "ctrl+shift+Tab"});
        type("x");
        answerTheOneBox("Return");
    }
    {
        SCOPED_TRACE("the price");
        keys({"ctrl+Tab", "Down", "ctrl+Next", "ctrl+Next", "ctrl+a"});
        type("5");
        answerTheOneBox("Return");
    }
    expectFile({});
    EXPECT_EQ(bytes(), before);
    EXPECT_EQ(client.state(), QProcess::Running);
}

TEST_F(StartUpRoadUnderXvfb, AFileThatIsNoTenderEndsTheProgramAfterOneMessage) {
    QFile text(folder.file());
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("Оферта\n");
    text.close();
    launch();
    // The one message bears the program's name; no main window comes before or after it.
    std::vector<std::string> boxes;
    for (int tries = 0; tries < 100 && boxes.empty(); ++tries) {
        std::this_thread::sleep_for(100ms);
        boxes = windowsNamed("BRX Client");
    }
    ASSERT_EQ(boxes.size(), 1u) << "the message did not appear";
    EXPECT_TRUE(windowsNamed(kMainTitle).empty());
    xdotool({"windowfocus", "--sync", boxes.front()});
    xdotool({"key", "Return"});
    ASSERT_TRUE(client.waitForFinished(10000)) << "the program did not end";
    EXPECT_EQ(client.exitCode(), 1);
}

// One lot "1" taken part in, its one position priced; the payment terms a text tender parameter.
nlohmann::json exportTender() {
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "Medix OOD"},
               {"IME_NA_KONKURSA", "Konsumativi"},
               {"KONKURS", 7},
               {"KP1_TIP", 2},
               {"KP1_IME", "Начин на плащане"},
               {"KP1_TEXT", "po banka"},
               {"PP1_IME", "Ед. цена"},
               {"PP1_RAZRYAD", 2},
               {"PP1_OFERTA", 2},
               {"CAPTION_NOMER", "№"},
               {"BROI_INFO_POLETA", 0}}}},
            {"PREDLOGENIA",
             {{{"PRODUCT_CODE", 10}, {"CUSTOM_CODE", "1"}, {"IME", "Igli"}, {"PP2_TEXT", "Да"}},
              {{"PRODUCT_CODE", 11},
               {"MASTER_CODE", 10},
               {"CUSTOM_CODE", "1"},
               {"IME", "Igla"},
               {"PP1_NUMBER", 2.5}}}}};
}

// The tender record's column `column` as mdb-export reads it.
std::string specsCell(const QString& file, const std::string& column) {
    const tendertest::ExportedTable table = tendertest::mdbExport(file.toStdString(), "SPECS");
    for (std::size_t c = 0; c < table.columns.size(); ++c)
        if (table.columns[c] == column)
            return table.rows.at(0).at(c);
    return "(missing)";
}

// The text of the first element `name` of an offer file; "(missing)" when there is none.
std::string element(const QByteArray& offer, const std::string& name) {
    const QByteArray open = QByteArray::fromStdString("<" + name + ">");
    const qsizetype start = offer.indexOf(open);
    if (start < 0)
        return "(missing)";
    const qsizetype end = offer.indexOf(QByteArray::fromStdString("</" + name + ">"), start);
    return offer.mid(start + open.size(), end - start - open.size()).toStdString();
}

class CompanyPageRoadUnderXvfb : public KeyboardRoadUnderXvfb {
protected:
    nlohmann::json tender() const override { return exportTender(); }

    // The client's visible windows other than the main window: its dialogs.
    std::vector<std::string> dialogs() const {
        std::vector<std::string> found;
        for (const std::string& id :
             lines(xdotool({"search", "--onlyvisible", "--class", "brx-client"})))
            if (id != mainWindow)
                found.push_back(id);
        return found;
    }
    // Waits for a dialog over the main window and sends it `names`.
    void keysToDialog(const std::vector<std::string>& names) {
        for (int tries = 0; tries < 50 && dialogs().empty(); ++tries)
            std::this_thread::sleep_for(100ms);
        ASSERT_FALSE(dialogs().empty()) << "a dialog was expected";
        xdotool({"windowfocus", "--sync", dialogs().front()});
        std::vector<std::string> arguments{"key", "--delay", "60"};
        arguments.insert(arguments.end(), names.begin(), names.end());
        xdotool(arguments);
        std::this_thread::sleep_for(700ms);
    }
    QStringList offers() const {
        return QDir(folder.path()).entryList({QStringLiteral("*.xml")}, QDir::Files);
    }
};

// A payment term typed on the company page and entered, then "Генериране на изх. файл": the
// tender file holds it before the export reads anything. Escape in the save dialog writes no
// file and drops nothing; saving writes a file that holds what mdb-export reads, value by value.
TEST_F(CompanyPageRoadUnderXvfb, TheOfferHoldsOnlyStoredValues) {
    // To the company page's first control, the company name, then the payment terms.
    keys({"ctrl+Tab", "ctrl+shift+Tab", "Tab", "Tab", "ctrl+a"});
    type("v broi");
    keys({"Return"});
    // On to "Генериране на изх. файл" past "Печат", and press it.
    keys({"Tab", "Tab", "space"});
    keysToDialog({"Return"}); // the price offer
    keysToDialog({"Escape"}); // the save dialog
    EXPECT_TRUE(dialogs().empty()) << "a dialog is still open";
    EXPECT_EQ(specsCell(file, "KP1_TEXT"), "v broi");
    EXPECT_EQ(offers(), QStringList());

    // The same again, saved under the proposed name in the tender's folder.
    keys({"space"});
    keysToDialog({"Return"});
    keysToDialog({"Return"});
    for (int tries = 0; tries < 20 && offers().isEmpty(); ++tries)
        std::this_thread::sleep_for(100ms);
    ASSERT_EQ(offers(), QStringList{QStringLiteral("CenovaOferta_Medix OOD_OP_1.xml")});
    QFile written(folder.path() + QLatin1Char('/') + offers().front());
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QByteArray offer = written.readAll();
    for (const char* column : {"IME_NA_FIRMATA", "KP1_TEXT"})
        EXPECT_EQ(element(offer, column), specsCell(file, column)) << column;
    EXPECT_EQ(element(offer, "KP1_TEXT"), "v broi");
    // The offer file carries the regional decimal comma, mdb-export a point.
    std::string price = element(offer, "PP1_NUMBER");
    std::replace(price.begin(), price.end(), ',', '.');
    EXPECT_TRUE(sameCell(price, exported(file).at("11").at("PP1_NUMBER"))) << price;
}

} // namespace
