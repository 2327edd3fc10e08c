#include "app/Main.h"
#include "app/error_guard.h"
#include "app/scripted_dialogs.h"
#include "data/dataset.h"
#include "export/offer_export.h"
#include "tools/tender_description.h"

#include "offer_tender.h"

#include <QDir>
#include <QPushButton>

#include <gtest/gtest.h>

namespace {

// The button of the main window writes the golden files, the same bytes as brx-offer.
TEST(ExportButton, WritesTheOfferOfTheCurrentLot) {
    fixture::TenderFolder folder;
    tender::writeTender(exporttest::offerTender(), folder.file().toStdString());
    ScriptedDialogs dialogs;
    ErrorGuard guard(dialogs);
    const QString started = QDir::currentPath();
    QDir::setCurrent(folder.path());
    TfmMain window(guard);
    QDir::setCurrent(started);
    window.show();
    ASSERT_EQ(dialogs.errors(), QStringList());

    // The first lot, 3, is current; its positions are listed as the lots page lists them.
    ASSERT_EQ(window.qryObosobeniPozicii->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
              QStringLiteral("3"));
    window.qryData->close();
    window.qryData->setParameter(
        QStringLiteral("MASTER_CODE"),
        window.qryObosobeniPozicii->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
    window.qryData->open();

    for (const auto& [type, golden] : {std::pair{PriceOffer, QStringLiteral("price")},
                                       std::pair{TechnicalOffer, QStringLiteral("technical")}}) {
        const QString target = folder.file(golden + QStringLiteral(".xml"));
        dialogs.offerTypeAnswers.push_back(type);
        dialogs.saveFileAnswers.push_back(target);
        ASSERT_TRUE(window.btnExport->isEnabled());
        window.btnExport->click();
        EXPECT_EQ(exporttest::contents(target),
                  exporttest::contents(exporttest::goldenFile(golden)))
            << golden.toStdString();
    }
    EXPECT_EQ(dialogs.errors(), QStringList());
    EXPECT_EQ(dialogs.texts(ScriptedDialogs::Kind::SaveFile),
              (QStringList{QStringLiteral("CenovaOferta_ET Ivan_OP_3.xml"),
                           QStringLiteral("TehnDocET Ivan_OP_3.xml")}));
}

} // namespace
