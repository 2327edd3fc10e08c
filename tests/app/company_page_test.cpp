// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "data/dataset.h"
#include "ui/application_title.h"
#include "ui/captions.h"
#include "ui/error_guard.h"
#include "ui/field_edit_binding.h"
#include "ui/frParameter.h"
#include "ui/scripted_dialogs.h"
#include "ui/validating_edit.h"

#include "tender_fixture.h"
#include "tests/app/start_client.h"
#include "typing.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolTip>

#include <gtest/gtest.h>

namespace {

using State = data::Dataset::State;

class CompanyPage : public ::testing::Test {
protected:
    // Makes and shows the main window over DB.mdb of the test's folder, as the bidder starts
    // the program there.
    void start(const fixture::ColumnValues& specs = {}, bool withFile = true) {
        if (withFile)
            file = folder.writeSample(specs);
        window = apptest::startClientIn(folder.path(), guard);
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
        if (withFile) {
            ASSERT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
        }
    }

    void typeCompanyName(const QString& text) {
        window->edtfirma->setFocus();
        window->edtfirma->selectAll();
        typing::keys(window->edtfirma, text);
    }

    // Leaves the company name edit for the next control, as Tab does.
    void leaveCompanyName() {
        QTest::keyClick(window->edtfirma, Qt::Key_Tab);
        ASSERT_FALSE(window->edtfirma->hasFocus());
    }

    void changePage() { window->pcMain->setCurrentWidget(window->tsObosobeniPozicii); }

    jet::Value stored(const char* column) const {
        return fixture::readColumn(file, "SPECS", {}, {}, column);
    }
    data::Field& field(const char* name) const {
        return window->qrySpecs->fieldByName(QString::fromLatin1(name));
    }

    fixture::TenderFolder folder;
    QString file;
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;
};

const QString kTitlePrefix = QStringLiteral("ТЕНДИРО  (Велдора, Търг, ");

TEST_F(CompanyPage, TheCompanyNameRefusesTheCharactersAFileNameCannotHold) {
    start();
    typeCompanyName(QStringLiteral("<|"));
    EXPECT_EQ(window->edtfirma->text(), QString());
    EXPECT_EQ(window->qrySpecs->state(), State::Browse);
    // A screen reader, which reads no tooltip, is told the same, until the text next changes.
    EXPECT_EQ(window->edtfirma->accessibleDescription(), QToolTip::text());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("името на файла на офертата")));
    typeCompanyName(QStringLiteral("А\"*/<Б>?\\|В: Г"));
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: Г"));
    // A dropped character is told at the input, not lost in silence.
    EXPECT_TRUE(QToolTip::isVisible());
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("името на файла на офертата")))
        << QToolTip::text().toStdString();
    EXPECT_EQ(window->edtfirma->accessibleDescription(), QString());

    // Text an input method commits, or pasted, meets the same rule: taken whole, or refused
    // whole and told.
    QToolTip::hideText();
    QInputMethodEvent composed;
    composed.setCommitString(QStringLiteral("Д?"));
    QApplication::sendEvent(window->edtfirma, &composed);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: Г"));
    EXPECT_TRUE(QToolTip::isVisible());
    composed.setCommitString(QStringLiteral("Д"));
    QApplication::sendEvent(window->edtfirma, &composed);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: ГД"));

    QToolTip::hideText();
    QGuiApplication::clipboard()->setText(QStringLiteral("<Е>"));
    QTest::keyClick(window->edtfirma, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: ГД"));
    EXPECT_TRUE(QToolTip::isVisible());
    QGuiApplication::clipboard()->setText(QStringLiteral(" ЕООД"));
    QTest::keyClick(window->edtfirma, Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: ГД ЕООД"));

    // So does a commit that takes the place of text before the cursor.
    composed.setCommitString(QStringLiteral("Т>"), -1, 1);
    QApplication::sendEvent(window->edtfirma, &composed);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: ГД ЕООД"));
    composed.setCommitString(QStringLiteral("Т"), -1, 1);
    QApplication::sendEvent(window->edtfirma, &composed);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("АБВ: ГД ЕООТ"));
}

TEST_F(CompanyPage, ANameIsTrimmedAndTitledOnLeavingTheEditAndStoredOnChangingPages) {
    start({{"IME_NA_KONKURSA", std::string("Търг")}});
    typeCompanyName(QStringLiteral("  Медика ООД  "));
    EXPECT_EQ(window->windowTitle(), kTitlePrefix + QStringLiteral(")"));
    leaveCompanyName();
    EXPECT_EQ(field("IME_NA_FIRMATA").value(), QVariant(QStringLiteral("Медика ООД")));
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("Медика ООД"));
    EXPECT_EQ(window->windowTitle(), kTitlePrefix + QStringLiteral("Медика ООД)"));
    EXPECT_EQ(applicationTitle(), window->windowTitle());
    EXPECT_TRUE(jet::isNull(stored("IME_NA_FIRMATA")));

    changePage();
    EXPECT_EQ(window->qrySpecs->state(), State::Browse);
    EXPECT_EQ(stored("IME_NA_FIRMATA"), jet::Value(std::string("Медика ООД")));
}

TEST_F(CompanyPage, EscapeBringsBackTheStoredValuesAndWritesNothing) {
    start({{"IME_NA_FIRMATA", std::string("Медика ООД")}, {"KP1_TIP", 3}, {"KP1_NUMBER", 30.0}});
    typeCompanyName(QStringLiteral("Друга"));
    leaveCompanyName();
    ASSERT_TRUE(window->windowTitle().endsWith(QStringLiteral(", Друга)")));
    window->frmKParam[0]->edtParam->setFocus();
    window->frmKParam[0]->edtParam->selectAll();
    typing::keys(window->frmKParam[0]->edtParam, QStringLiteral("45"));
    ASSERT_EQ(window->qrySpecs->state(), State::Edit);

    QTest::keyClick(window->frmKParam[0]->edtParam, Qt::Key_Escape);
    EXPECT_EQ(window->qrySpecs->state(), State::Browse);
    EXPECT_EQ(window->edtfirma->text(), QStringLiteral("Медика ООД"));
    EXPECT_EQ(window->frmKParam[0]->edtParam->text(), QStringLiteral("30"));
    // The title names the company stored, not the one typed and taken back.
    EXPECT_TRUE(window->windowTitle().endsWith(QStringLiteral(", Медика ООД)")))
        << window->windowTitle().toStdString();
    EXPECT_EQ(applicationTitle(), window->windowTitle());
    changePage();
    EXPECT_EQ(stored("IME_NA_FIRMATA"), jet::Value(std::string("Медика ООД")));
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(30.0));
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
}

TEST_F(CompanyPage, ABlankNameIsStoredAsNull) {
    start(
        {{"IME_NA_KONKURSA", std::string("Търг")}, {"IME_NA_FIRMATA", std::string("Стара фирма")}});
    typeCompanyName(QStringLiteral("   "));
    // Still in the edit: changing pages hands the name over, trims it and stores it.
    changePage();
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
    EXPECT_TRUE(jet::isNull(stored("IME_NA_FIRMATA")));
    EXPECT_EQ(window->windowTitle(), kTitlePrefix + QStringLiteral(")"));
}

TEST_F(CompanyPage, TheVatChoiceShowsNoUnlessTickedAndIsStoredOnChangingPages) {
    start({{"NO_DDS", false}});
    data::Field& noDds = field("NO_DDS");
    // A yes/no column of the file is never null, but the field of a tender without a record is.
    EXPECT_EQ(noDds.displayText(QVariant()), QStringLiteral("Не"));
    EXPECT_EQ(noDds.displayText(), QStringLiteral("Не"));
    EXPECT_FALSE(window->chk1->isChecked());
    EXPECT_EQ(window->chk1->text(), QStringLiteral("Фирмата не е регистрирана по ДДС"));

    QTest::mouseClick(window->chk1, Qt::LeftButton);
    EXPECT_EQ(window->qrySpecs->state(), State::Edit);
    EXPECT_EQ(noDds.displayText(), QStringLiteral("Да"));
    EXPECT_EQ(stored("NO_DDS"), jet::Value(false));
    changePage();
    EXPECT_EQ(stored("NO_DDS"), jet::Value(true));

    window->pcMain->setCurrentWidget(window->tsInfo);
    QTest::mouseClick(window->chk1, Qt::LeftButton);
    EXPECT_EQ(noDds.displayText(), QStringLiteral("Не"));
    changePage();
    EXPECT_EQ(stored("NO_DDS"), jet::Value(false));
}

TEST_F(CompanyPage, TenderParametersAreStoredOnChangingPagesOnly) {
    start({{"KP1_TIP", std::int64_t{3}},
           {"KP1_RAZRYAD", std::int64_t{2}},
           {"KP2_TIP", std::int64_t{2}},
           {"KP3_TIP", std::int64_t{3}},
           {"KP3_RAZRYAD", std::int64_t{0}}});
    TfrmParameter& decimal = *window->frmKParam[0];
    TfrmParameter& text = *window->frmKParam[1];
    TfrmParameter& integer = *window->frmKParam[2];
    decimal.edtParam->setFocus();
    typing::type(decimal.edtParam, QStringLiteral("12{keypad}5"));
    text.edtParam->setFocus();
    typing::keys(text.edtParam, QStringLiteral("по банков път"));
    integer.edtParam->setFocus();
    typing::type(integer.edtParam, QStringLiteral("30{sep}"));
    window->edtfirma->setFocus();
    EXPECT_EQ(decimal.edtParam->text(), typing::spelled("12{sep}50"));
    EXPECT_EQ(integer.edtParam->text(), QStringLiteral("30"));
    EXPECT_TRUE(jet::isNull(stored("KP1_NUMBER")));
    EXPECT_TRUE(jet::isNull(stored("KP2_TEXT")));

    changePage();
    EXPECT_TRUE(dialogs.asked.empty()) << dialogs.errors().join(' ').toStdString();
    EXPECT_EQ(stored("KP1_NUMBER"), jet::Value(12.5));
    EXPECT_EQ(stored("KP2_TEXT"), jet::Value(std::string("по банков път")));
    EXPECT_EQ(stored("KP3_NUMBER"), jet::Value(30.0));
}

TEST_F(CompanyPage, ClosingStoresANameStillBeingTyped) {
    start();
    typeCompanyName(QStringLiteral("Медика "));
    EXPECT_TRUE(window->close());
    EXPECT_EQ(stored("IME_NA_FIRMATA"), jet::Value(std::string("Медика")));
}

TEST_F(CompanyPage, LaysOutTheNameTheVatChoiceAndTwoRowsOfParameters) {
    start({{"KP1_TIP", std::int64_t{2}},
           {"KP2_TIP", std::int64_t{3}},
           {"KP3_TIP", std::int64_t{3}},
           {"KP4_TIP", std::int64_t{2}}});
    const QRect name = window->edtfirma->geometry();
    EXPECT_EQ(name.width(), 297);
    EXPECT_LT(window->Label1->geometry().bottom(), name.top());
    EXPECT_EQ(captionOf(*window->Label1), QStringLiteral("Наименование на фирмата"));
    EXPECT_GT(window->chk1->x(), name.right());
    EXPECT_TRUE(window->edtfirma->styleSheet().contains(QStringLiteral("#E9FEE7")));
    EXPECT_EQ(window->edtfirma->maxLength(), 255);

    std::array<QRect, 4> frames;
    for (std::size_t i = 0; i < 4; ++i) {
        frames[i] = window->frmKParam[i]->geometry();
        EXPECT_EQ(frames[i].width(), 297);
        EXPECT_FALSE(window->frmKParam[i]->isHidden());
        EXPECT_TRUE(window->frmKParam[i]->edtParam->styleSheet().contains("#E9FEE7"));
    }
    EXPECT_GT(frames[0].top(), name.bottom());
    EXPECT_EQ(frames[0].top(), frames[1].top());
    EXPECT_GT(frames[1].left(), frames[0].right());
    EXPECT_EQ(frames[2].top(), frames[3].top());
    EXPECT_GT(frames[2].top(), frames[0].bottom());
    EXPECT_EQ(frames[2].left(), frames[0].left());
    EXPECT_EQ(frames[3].left(), frames[1].left());

    // Tab order: name, VAT choice, the parameters in their order.
    EXPECT_EQ(window->edtfirma->nextInFocusChain(), window->chk1);
}

TEST_F(CompanyPage, WithoutATenderRecordNoParameterFrameShowsAndNothingTakesInput) {
    // A tender record without a column the first showing reads: nothing opens.
    folder.write(fixture::TenderFolder::sample(), {{}, {"SPECS.KP1_TIP"}, {}, {}});
    start({}, /*withFile=*/false);
    EXPECT_EQ(dialogs.errors().size(), 1); // the first showing
    for (TfrmParameter* frame : window->frmKParam)
        EXPECT_TRUE(frame->isHidden());
    for (TfrmParameter* frame : window->frmParameter)
        EXPECT_TRUE(frame->isHidden());
    typeCompanyName(QStringLiteral("Медика"));
    EXPECT_EQ(window->edtfirma->text(), QString());
    QTest::mouseClick(window->chk1, Qt::LeftButton);
    EXPECT_FALSE(window->chk1->isChecked());
    EXPECT_EQ(dialogs.errors().size(), 1);
}

TEST_F(CompanyPage, EveryTypeCodeZeroLeavesTheNameTheVatChoiceAndThePrice) {
    fixture::ColumnValues specs;
    for (int n = 1; n <= 4; ++n)
        specs.push_back({"KP" + std::to_string(n) + "_TIP", std::int64_t{0}});
    for (int n = 2; n <= 6; ++n)
        specs.push_back({"PP" + std::to_string(n) + "_TIP", std::int64_t{0}});
    start(specs);
    for (TfrmParameter* frame : window->frmKParam)
        EXPECT_TRUE(frame->isHidden());
    EXPECT_TRUE(window->edtfirma->isVisible());
    EXPECT_TRUE(window->chk1->isVisible());
    EXPECT_FALSE(window->frmParameter[0]->isHidden());
    for (std::size_t i = 1; i < 6; ++i)
        EXPECT_TRUE(window->frmParameter[i]->isHidden());
}

TEST_F(CompanyPage, TheTenFramesAreSetUpFromTheTenderAtTheFirstShowing) {
    // The price is a number parameter whatever else the tender says.
    start({{"KP1_TIP", std::int64_t{3}},
           {"KP1_RAZRYAD", std::int64_t{1}},
           {"KP1_IME", std::string("Срок")},
           {"KP2_TIP", std::int64_t{2}},
           {"KP3_TIP", std::int64_t{1}},
           {"KP4_TIP", std::int64_t{4}},
           {"PP1_RAZRYAD", std::int64_t{3}},
           {"PP1_IME", std::string("Цена")},
           {"PP2_TIP", std::int64_t{2}},
           {"PP3_TIP", std::int64_t{3}},
           {"PP3_RAZRYAD", std::int64_t{0}},
           {"PP4_TIP", std::int64_t{0}}});
    struct Expected {
        TfrmParameter* frame;
        data::DataSource* source;
        const char* field; // nullptr: not in use
        ValidatingEdit::Format format;
        int decimals;
    };
    using F = ValidatingEdit::Format;
    const Expected expected[] = {
        {window->frmKParam[0], window->dsSpecs, "KP1_NUMBER", F::Decimal, 1},
        {window->frmKParam[1], window->dsSpecs, "KP2_TEXT", F::Text, 0},
        {window->frmKParam[2], nullptr, nullptr, F::Text, 0},
        {window->frmKParam[3], nullptr, nullptr, F::Text, 0},
        {window->frmParameter[0], window->dsData, "PP1_NUMBER", F::Decimal, 3},
        {window->frmParameter[1], window->dsData, "PP2_TEXT", F::Text, 0},
        {window->frmParameter[2], window->dsData, "PP3_NUMBER", F::Integer, 0},
        {window->frmParameter[3], nullptr, nullptr, F::Text, 0},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.frame->objectName().toStdString());
        EXPECT_EQ(e.frame->dataSource(), e.source);
        EXPECT_EQ(e.frame->isHidden(), e.field == nullptr);
        if (e.field == nullptr)
            continue;
        ASSERT_NE(e.frame->binding(), nullptr);
        EXPECT_EQ(e.frame->binding()->field().name(), QString::fromLatin1(e.field));
        EXPECT_EQ(e.frame->edtParam->format(), e.format);
        EXPECT_EQ(e.frame->edtParam->decimals(), e.decimals);
    }
    EXPECT_EQ(captionOf(*window->frmKParam[0]->lblParameter), QStringLiteral("Срок"));
    EXPECT_EQ(captionOf(*window->frmParameter[0]->lblParameter), QStringLiteral("Цена"));
}

} // namespace
