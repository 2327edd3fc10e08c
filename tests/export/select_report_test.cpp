// SPDX-License-Identifier: Apache-2.0
#include "export/fSelectReport.h"

#include <QGroupBox>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Asks `dialog` under `caption` and acts on it once it is on screen; the answer and what the
// dialog looked like when it came up.
struct Shown {
    int answer;
    QString caption;
    int itemIndex;
};

Shown ask(TfmSelectReport& dialog, const QString& caption,
          const std::function<void(TfmSelectReport&)>& act) {
    Shown shown{};
    QTimer::singleShot(0, &dialog, [&] {
        shown.caption = dialog.windowTitle();
        shown.itemIndex = dialog.itemIndex();
        act(dialog);
    });
    shown.answer = dialog.SelectReport(caption);
    return shown;
}

void chooseTechnical(TfmSelectReport& dialog) {
    dialog.rgSelect->findChildren<QRadioButton*>().at(1)->click();
}

TEST(SelectReport, AnswersTheOfferTypeAndStartsOnThePriceOfferEveryTime) {
    TfmSelectReport dialog;
    const QString caption = QStringLiteral("Избор на тип оферта");
    struct Case {
        const char* name;
        std::function<void(TfmSelectReport&)> act;
        int answer;
    };
    const Case cases[] = {
        {"Enter at once", [](TfmSelectReport& d) { QTest::keyClick(&d, Qt::Key_Return); }, 2},
        {"technical and OK",
         [](TfmSelectReport& d) {
             chooseTechnical(d);
             d.btnOK->click();
         },
         1},
        {"technical and Отказ",
         [](TfmSelectReport& d) {
             chooseTechnical(d);
             d.btnCancel->click();
         },
         -1},
        {"technical and Enter",
         [](TfmSelectReport& d) {
             chooseTechnical(d);
             QTest::keyClick(&d, Qt::Key_Enter);
         },
         1},
        {"Esc", [](TfmSelectReport& d) { QTest::keyClick(&d, Qt::Key_Escape); }, -1},
        {"close box", [](TfmSelectReport& d) { d.close(); }, -1},
    };
    for (const Case& c : cases) {
        const Shown shown = ask(dialog, caption, c.act);
        EXPECT_EQ(shown.answer, c.answer) << c.name;
        EXPECT_EQ(shown.itemIndex, 0) << c.name;
    }
}

TEST(SelectReport, ShowsTheCaptionOfEachQuestion) {
    TfmSelectReport dialog;
    const auto ok = [](TfmSelectReport& d) { d.btnOK->click(); };
    EXPECT_EQ(ask(dialog, QStringLiteral("Избор на тип оферта"), ok).caption,
              QStringLiteral("Избор на тип оферта"));
    EXPECT_EQ(ask(dialog, QStringLiteral("Изберете типа разпечатка"), ok).caption,
              QStringLiteral("Изберете типа разпечатка"));
}

} // namespace
