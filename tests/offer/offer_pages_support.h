// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "app/main_window.h"
#include "data/dataset.h"
#include "ui/error_guard.h"
#include "ui/scripted_dialogs.h"

#include "tender_fixture.h"
#include "tests/app/start_client.h"

#include <QAbstractItemModel>
#include <QApplication>
#include <QMessageBox>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace pages {

// A small tender for the lots and positions pages, lots in the order of their codes:
//   lot "1" (10), not taken part in: positions "1", "2", "3", none priced;
//   lot "2" (20), taken part in: positions "07" (1.5), "7" (2), "8" (unpriced);
//   lot "3" (30), taken part in, without positions;
//   lot "4" (40), taken part in: one position "1" (3).
inline nlohmann::json smallTender() {
    using nlohmann::json;
    json rows = json::array();
    const auto lot = [&rows](int product, const char* code, const char* name, bool takingPart) {
        json row = {{"PRODUCT_CODE", product}, {"CUSTOM_CODE", code}, {"IME", name}};
        if (takingPart)
            row["PP2_TEXT"] = "Да";
        rows.push_back(row);
    };
    const auto position = [&rows](int product, int lotCode, const char* code, json price) {
        rows.push_back({{"PRODUCT_CODE", product},
                        {"MASTER_CODE", lotCode},
                        {"CUSTOM_CODE", code},
                        {"IME", std::string("Изделие ") + code},
                        {"MEASURE_IME", "бр."},
                        {"GODISHNO_POTREBLENIE", 10.0},
                        {"PP1_NUMBER", price}});
    };
    lot(40, "4", "Превързочни материали", true);
    position(41, 40, "1", 3.0);
    lot(10, "1", "Игли", false);
    position(11, 10, "1", nullptr);
    position(12, 10, "2", nullptr);
    position(13, 10, "3", nullptr);
    lot(20, "2", "Спринцовки", true);
    position(21, 20, "07", 1.5);
    position(22, 20, "7", 2.0);
    position(23, 20, "8", nullptr);
    lot(30, "3", "Ръкавици", true);
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", "Медикс ООД"},
               {"IME_NA_KONKURSA", "Консумативи"},
               {"PP1_IME", "Ед. цена"},
               {"PP1_RAZRYAD", 2},
               {"CAPTION_NOMER", "№"},
               {"BROI_INFO_POLETA", 0}}}},
            {"PREDLOGENIA", rows}};
}

// Scripted answers, each question shown as a real modal box while `modal` is set: the box runs
// its own event loop over the window, as on the bidder's screen, so that focus changes and
// window activation around it happen as they do there. The box closes itself once shown.
class ModalDialogs : public ScriptedDialogs {
public:
    bool modal = false;
    // Runs as each box shows, to look at the window behind it.
    std::function<void()> whileShown;

    bool confirm(const QString& text) override {
        show(QMessageBox::Question, text);
        return ScriptedDialogs::confirm(text);
    }
    void warning(const QString& text) override {
        show(QMessageBox::Warning, text);
        ScriptedDialogs::warning(text);
    }
    void error(const QString& text) override {
        show(QMessageBox::Critical, text);
        ScriptedDialogs::error(text);
    }

private:
    void show(QMessageBox::Icon icon, const QString& text) const {
        if (!modal)
            return;
        if (whileShown)
            whileShown();
        QWidget* over = QApplication::activeWindow();
        QMessageBox box(icon, QStringLiteral("BRX"), text, QMessageBox::Ok, over);
        QTimer closing;
        QObject::connect(&closing, &QTimer::timeout, &box, [&box] {
            if (box.isVisible() && QApplication::activeModalWidget() == &box)
                box.accept();
        });
        closing.start(20);
        box.exec();
        // The window manager gives the window under the box its activation back.
        if (over != nullptr) {
            over->activateWindow();
            EXPECT_TRUE(QTest::qWaitForWindowActive(over));
        }
    }
};

// The main window over a tender of the test's folder, started from that folder, shown and
// active so that the keyboard reaches it.
class Client : public ::testing::Test {
protected:
    void start(const nlohmann::json& tender = smallTender()) {
        file = folder.write(tender);
        window = apptest::startClientIn(folder.path(), guard);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        ASSERT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(u'\n').toStdString();
    }

    data::Dataset& lots() const { return *window->qryObosobeniPozicii; }
    data::Dataset& positions() const { return *window->qryData; }
    QString lotText(const char* field) const {
        return lots().fieldByName(QString::fromLatin1(field)).displayText();
    }
    QString positionCode() const {
        return positions().fieldByName(QStringLiteral("CUSTOM_CODE")).asString();
    }

    // Clicks the row of a grid whose first column shows `code`.
    void clickRow(QTableView& grid, const QString& code) const {
        const QModelIndex index = rowOf(grid, code);
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, grid.visualRect(index).center());
    }
    void doubleClickRow(QTableView& grid, const QString& code) const {
        const QModelIndex index = rowOf(grid, code);
        const QPoint at = grid.visualRect(index).center();
        QTest::mouseClick(grid.viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(grid.viewport(), Qt::LeftButton, {}, at);
    }
    void chooseLot(const QString& code) const {
        window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
        clickRow(*window->grdObPoz, code);
        ASSERT_EQ(lotText("CUSTOM_CODE"), code);
    }

    jet::Value onDisk(std::int64_t productCode, const char* column) const {
        return fixture::readColumn(file, "PREDLOGENIA", "PRODUCT_CODE", productCode, column);
    }

    fixture::TenderFolder folder;
    QString file;
    ModalDialogs dialogs;
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;

private:
    static QModelIndex rowOf(const QTableView& grid, const QString& code) {
        const QAbstractItemModel& model = *grid.model();
        for (int row = 0; row < model.rowCount(); ++row)
            if (model.index(row, 0).data().toString() == code)
                return model.index(row, 0);
        ADD_FAILURE() << "no row " << code.toStdString();
        return {};
    }
};

} // namespace pages
