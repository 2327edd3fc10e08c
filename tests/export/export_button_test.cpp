// SPDX-License-Identifier: Apache-2.0
#include "app/main_window.h"
#include "data/dataset.h"
#include "export/offer_export.h"
#include "tools/tender_description.h"
#include "ui/error_guard.h"
#include "ui/frParameter.h"
#include "ui/scripted_dialogs.h"

#include "offer_tender.h"
#include "tests/app/start_client.h"
#include "tests/app/typing.h"

#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

namespace {

class ExportButton : public ::testing::Test {
protected:
    void SetUp() override {
        tender::writeTender(exporttest::offerTender(), folder.file().toStdString());
        window = apptest::startClientIn(folder.path(), guard);
        window->show();
        ASSERT_EQ(dialogs.errors(), QStringList());
    }

    QString lotCode() const {
        return window->qryObosobeniPozicii->fieldByName(QStringLiteral("CUSTOM_CODE")).asString();
    }

    fixture::TenderFolder folder;
    ScriptedDialogs dialogs;
    ErrorGuard guard{dialogs};
    std::unique_ptr<TfmMain> window;
};

// The button writes the golden files, the same bytes as brx-offer, for the lot the lots page
// stands on.
TEST_F(ExportButton, WritesTheOfferOfTheCurrentLot) {
    ASSERT_EQ(lotCode(), QStringLiteral("3"));
    for (const auto& [type, golden] : {std::pair{PriceOffer, QStringLiteral("price")},
                                       std::pair{TechnicalOffer, QStringLiteral("technical")}}) {
        const QString target = folder.file(golden + QStringLiteral(".xml"));
        dialogs.offerTypeAnswers.push_back(type);
        dialogs.saveFileAnswers.push_back(target);
        ASSERT_TRUE(window->btnExport->isEnabled());
        window->btnExport->click();
        EXPECT_EQ(exporttest::contents(target),
                  exporttest::contents(exporttest::goldenFile(golden)))
            << golden.toStdString();
        EXPECT_EQ(exporttest::xmllintProblems(target), QString());
    }
    EXPECT_EQ(dialogs.errors(), QStringList());
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::SaveFile),
              (QStringList{QStringLiteral("CenovaOferta_ET Ivan_OP_3.xml"),
                           QStringLiteral("TehnDocET Ivan_OP_3.xml")}));
}

TEST_F(ExportButton, ALotWithAnUnpricedPositionIsRefusedEvenWhenAskedDirectly) {
    window->qryObosobeniPozicii->next();
    ASSERT_EQ(lotCode(), QStringLiteral("5"));
    EXPECT_FALSE(window->btnExport->isEnabled());
    guard.run([&] { window->ExportXML(); });
    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral(
                  "Не сте оферирали всички продукти за текущата обособена позиция!")});
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::OfferType), QStringList());
}

TEST_F(ExportButton, APriceBeingTypedIsStoredAndExported) {
    data::Dataset& positions = *window->qryData;
    positions.first();
    positions.edit();
    positions.fieldByName(QStringLiteral("PP1_NUMBER")).setValue(99.0);
    const QString target = folder.file(QStringLiteral("offer.xml"));
    dialogs.offerTypeAnswers.push_back(PriceOffer);
    dialogs.saveFileAnswers.push_back(target);
    window->btnExport->click();
    EXPECT_EQ(dialogs.errors(), QStringList());
    EXPECT_TRUE(exporttest::contents(target).contains(
        "<CUSTOM_CODE>1</CUSTOM_CODE><PP1_NUMBER>99</PP1_NUMBER>"));
    EXPECT_EQ(exporttest::xmllintProblems(target), QString());
    EXPECT_EQ(fixture::readColumn(folder.file(), "PREDLOGENIA", "PRODUCT_CODE", std::int64_t{302},
                                  "PP1_NUMBER"),
              jet::Value(99.0));
}

// A payment term typed on the company page and entered, then the export: the tender record is
// stored before the export reads it, so the offer file, the tender file and the window agree,
// whether the bidder saves the offer or cancels the save dialog.
TEST_F(ExportButton, ATenderValueBeingTypedIsStoredBeforeTheExportReadsIt) {
    window->pcMain->setCurrentWidget(window->tsInfo);
    ValidatingEdit* term = window->frmKParam[1]->edtParam; // KP2, a text
    const QString target = folder.file(QStringLiteral("offer.xml"));
    for (const QString& typed : {QStringLiteral("в брой"), QStringLiteral("с карта")}) {
        const bool saved = typed == QStringLiteral("с карта");
        term->setFocus();
        term->selectAll();
        typing::keys(term, typed);
        QTest::keyClick(term, Qt::Key_Return);
        dialogs.offerTypeAnswers.push_back(PriceOffer);
        if (saved)
            dialogs.saveFileAnswers.push_back(target);
        window->btnExport->click();
        EXPECT_EQ(dialogs.errors(), QStringList());
        EXPECT_EQ(fixture::readColumn(folder.file(), "SPECS", "", {}, "KP2_TEXT"),
                  jet::Value(typed.toStdString()));
        EXPECT_EQ(window->qrySpecs->fieldByName(QStringLiteral("KP2_TEXT")).asString(), typed);
        EXPECT_EQ(term->text(), typed);
        EXPECT_EQ(QFile::exists(target), saved);
    }
    EXPECT_TRUE(exporttest::contents(target).contains(
        QStringLiteral("<KP2_TEXT>с карта</KP2_TEXT>").toUtf8()));
    EXPECT_EQ(exporttest::xmllintProblems(target), QString());
}

} // namespace
