// SPDX-License-Identifier: Apache-2.0
// The lots page's carry of an offer from an older file of the tender, driven offscreen with
// scripted answers: the file chosen, the preview asked about, the values stored and the offer
// check opened with what is left.
#include "offer/offer_check_window.h"
#include "tests/tools/tender_file_support.h"
#include "ui/dialogs.h"
#include "ui/validating_edit.h"

#include "offer_pages_support.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTableWidget>
#include <QTimer>

#include <optional>

namespace {

using Kind = ScriptedDialogs::Kind;

class CarryButton : public pages::Client {
protected:
    void SetUp() override {
        start(tendertest::readJson(BRX_CARRY_TENDERS "/new-tender.json"));
        oldFile = folder.write(tendertest::readJson(BRX_CARRY_TENDERS "/old-tender.json"), {},
                               QStringLiteral("old.mdb"));
    }
    // `answer` to the preview's question; `takeOld` ticks the box beside it that gives up the
    // values the new file holds differently, where there is one.
    void carry(bool answer, std::optional<bool> takeOld = std::nullopt) {
        dialogs.openFileAnswers.push_back(oldFile);
        dialogs.confirmAnswers.push_back(answer);
        if (takeOld)
            dialogs.choiceAnswers.push_back(*takeOld);
        window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
        window->tsObosobeniPozicii->btnPrenasyane->click();
    }
    QStringList checkLines() const {
        QStringList lines;
        const QTableWidget& grid = *window->fmProverka->grdProblems;
        for (int row = 0; row < grid.rowCount(); ++row) {
            QStringList cells;
            for (int column = 0; column < grid.columnCount(); ++column)
                cells << (grid.item(row, column) ? grid.item(row, column)->text() : QString());
            lines << cells.join(QLatin1Char('|'));
        }
        return lines;
    }

    QString oldFile;
};

TEST_F(CarryButton, AsksWithThePreviewStoresOnYesAndOpensTheCheckWithWhatIsLeft) {
    chooseLot(QStringLiteral("1"));
    carry(true);

    ASSERT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();
    EXPECT_EQ(dialogs.texts(Kind::OpenFile), QStringList{folder.path()});
    const QStringList asked = dialogs.texts(Kind::Confirm);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("3 данни за фирмата и параметри, участие в 1 "
                                                 "обособени позиции и стойностите на 4 позиции")))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains(QStringLiteral("Отказани стойности: 3")));
    EXPECT_TRUE(asked[0].contains(QStringLiteral("Позиции, които новият файл няма: 2; нови "
                                                 "позиции: 3; позиции с променено описание: 1.")));
    EXPECT_EQ(onDisk(105, "PP1_NUMBER"), jet::Value(5.0));
    EXPECT_EQ(onDisk(200, "PP2_TEXT"), jet::Value(std::string("Да")));
    // The tender record and the lots are read again: the company page and the lot's status show
    // what was carried.
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("Медикс ООД"));
    EXPECT_EQ(lotText("CUSTOM_CODE"), QStringLiteral("1"));
    EXPECT_EQ(lotText("_OFERIRANI_POZICII"), QStringLiteral("2"));

    ASSERT_NE(window->fmProverka, nullptr);
    EXPECT_TRUE(window->fmProverka->isVisible());
    // What was stored stands above the list.
    EXPECT_TRUE(window->fmProverka->lblNote->isVisible());
    EXPECT_EQ(window->fmProverka->lblNote->text(),
              QStringLiteral("Пренесено от old.mdb:\n"
                             "Записани данни за фирмата и параметри: 3 от 3\n"
                             "Записано участие в обособени позиции: 1 от 1\n"
                             "Записани позиции: 4 от 4"));
    const QStringList lines = checkLines();
    const auto listed = [&](const QString& part) {
        return std::any_of(lines.begin(), lines.end(),
                           [&](const QString& line) { return line.contains(part); });
    };
    EXPECT_TRUE(listed(QStringLiteral("4.1|Цена|"))) << lines.join(u'\n').toStdString();
    EXPECT_TRUE(listed(QStringLiteral("описанието е променено")));
    EXPECT_TRUE(listed(QStringLiteral("не е пренесено (2,125)")) ||
                listed(QStringLiteral("не е пренесено (2.125)")));
    // "Обнови" keeps what the carry left: it is not in the file for the check to find again.
    window->fmProverka->btnObnovi->click();
    EXPECT_EQ(checkLines(), lines);
}

TEST_F(CarryButton, StoresThePositionBeingEditedFirst) {
    chooseLot(QStringLiteral("1"));
    ASSERT_TRUE(positions().locate(QStringLiteral("PRODUCT_CODE"), 1041));
    positions().edit();
    positions().fieldByName(QStringLiteral("PP1_NUMBER")).setValue(3.5);
    positions().fieldByName(QStringLiteral("PP2_TEXT")).setValue(QStringLiteral("Г"));
    carry(true);
    ASSERT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();
    EXPECT_EQ(onDisk(1041, "PP1_NUMBER"), jet::Value(3.5));
    EXPECT_EQ(onDisk(105, "PP1_NUMBER"), jet::Value(5.0));
}

TEST_F(CarryButton, NoStoresNothingAndOpensNoCheck) {
    const jet::Value before = onDisk(105, "PP1_NUMBER");
    carry(false);
    EXPECT_EQ(dialogs.texts(Kind::Confirm).size(), 1);
    EXPECT_EQ(onDisk(105, "PP1_NUMBER"), before);
    EXPECT_EQ(window->fmProverka, nullptr);
}

// The amended file holds position 1 of lot 2 at another price already; the old file's is taken
// only when the bidder says so.
class CarryOverAnotherValue : public CarryButton, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        nlohmann::json after = tendertest::readJson(BRX_CARRY_TENDERS "/new-tender.json");
        for (nlohmann::json& row : after["PREDLOGENIA"])
            if (row["PRODUCT_CODE"] == 201)
                row["PP1_NUMBER"] = 7.5;
        start(after);
        oldFile = folder.write(tendertest::readJson(BRX_CARRY_TENDERS "/old-tender.json"), {},
                               QStringLiteral("old.mdb"));
    }
};

TEST_P(CarryOverAnotherValue, AsksWhetherTheOldFilesValueReplacesIt) {
    const bool takeOld = GetParam();
    carry(true, takeOld);
    ASSERT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();
    // One question: the choice stands beside the preview.
    const QStringList asked = dialogs.texts(Kind::Confirm);
    ASSERT_EQ(asked.size(), 1);
    EXPECT_TRUE(asked[0].contains(QStringLiteral("„Цена“: 7,5 → 7")) ||
                asked[0].contains(QStringLiteral("„Цена“: 7.5 → 7")))
        << asked[0].toStdString();
    EXPECT_TRUE(asked[0].contains(QStringLiteral("различно (1), да се заменят")));
    EXPECT_EQ(onDisk(201, "PP1_NUMBER"), jet::Value(takeOld ? 7.0 : 7.5));
    EXPECT_EQ(onDisk(201, "PP2_TEXT"), jet::Value(std::string("F")));
}

INSTANTIATE_TEST_SUITE_P(Answers, CarryOverAnotherValue, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& answer) {
                             return std::string(answer.param ? "TakeOld" : "KeepNew");
                         });

// The preview's lines are read in a list that grows with its window.
TEST(PreviewWindow, ItsDetailsGrowWithTheWindowAndYesIsTheDefault) {
    QtDialogs dialogs;
    int before = 0;
    int after = 0;
    QTimer::singleShot(0, [&] {
        QWidget* window = QApplication::activeModalWidget();
        ASSERT_NE(window, nullptr);
        EXPECT_EQ(window->objectName(), QStringLiteral("ConfirmWithDetails"));
        auto* details = window->findChild<QPlainTextEdit*>(QStringLiteral("details"));
        ASSERT_NE(details, nullptr);
        EXPECT_TRUE(details->toPlainText().startsWith(QStringLiteral("ред 1\n")));
        // A screen reader starts on the list, named by the question as it stands.
        EXPECT_EQ(window->focusWidget(), details);
        EXPECT_EQ(details->accessibleName(), QStringLiteral("Да се пренесе ли „A&B.mdb“?"));
        before = details->height();
        window->resize(window->width() + 200, window->height() + 300);
        QApplication::processEvents();
        after = details->height();
        QTest::keyClick(window, Qt::Key_Return);
    });
    QStringList lines;
    for (int n = 1; n <= 200; ++n)
        lines << QStringLiteral("ред %1").arg(n);
    EXPECT_TRUE(dialogs.confirmWithDetails(QStringLiteral("Да се пренесе ли „A&B.mdb“?"),
                                           lines.join(QLatin1Char('\n'))));
    EXPECT_GE(after - before, 250);

    QTimer::singleShot(0,
                       [] { QTest::keyClick(QApplication::activeModalWidget(), Qt::Key_Escape); });
    EXPECT_FALSE(dialogs.confirmWithDetails(QStringLiteral("Да се пренесе ли?"), QString()));

    // A choice beside the question: unticked at first, told with the Yes, nothing with the No.
    for (const std::optional<bool> answer :
         {std::optional<bool>(false), std::optional<bool>(true), std::optional<bool>()}) {
        QTimer::singleShot(0, [answer] {
            QWidget* window = QApplication::activeModalWidget();
            ASSERT_NE(window, nullptr);
            auto* box = window->findChild<QCheckBox*>(QStringLiteral("choice"));
            ASSERT_NE(box, nullptr);
            EXPECT_FALSE(box->isChecked());
            if (answer.value_or(true))
                box->click();
            QTest::keyClick(window, answer ? Qt::Key_Return : Qt::Key_Escape);
        });
        EXPECT_EQ(dialogs.confirmWithChoice(QStringLiteral("Да се пренесе ли?"), QString(),
                                            QStringLiteral("Да се заменят")),
                  answer);
    }
}

} // namespace
