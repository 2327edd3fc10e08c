// SPDX-License-Identifier: Apache-2.0
#include "print_test_support.h"

#include "data/dataset.h"
#include "data/program_files.h"
#include "report/report_dataset.h"

#include <QFile>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>

namespace printing {
namespace {

using Kind = ScriptedDialogs::Kind;

// The words of a text, one space between them, whatever lines they were broken into.
QString words(const QString& text) {
    return text.simplified();
}

TEST_F(PrintTest, PrintButtonWaitsForEveryPositionToBePriced) {
    start(offerTender(3, 2));
    EXPECT_FALSE(window->btnPrint->isEnabled());
    dialogs.offerTypeAnswers = {2};
    window->btnPrint->click();
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST_F(PrintTest, PriceOfferListsThePricedPositionsWithTotals) {
    start(offerTender(3, 2));
    dialogs.offerTypeAnswers = {2};
    print();

    ASSERT_EQ(dialogs.pdfs.size(), 1) << dialogs.errors().join(u'\n').toStdString();
    EXPECT_EQ(dialogs.texts(Kind::OfferType),
              QStringList{QStringLiteral("Изберете типа разпечатка")});
    const QString text = words(pdfText(dialogs.pdfs[0]));
    for (const char* expected :
         {"ЦЕНОВО ПРЕДЛОЖЕНИЕ", "Доставка на превързочни материали за МБАЛ – Габрово",
          "Участник: Медикс ООД", "Обособена позиция № 3: Превързочни материали",
          "Марля хидрофилна 1", "Марля хидрофилна 2", "Ед. цена без ДДС (лв.)",
          "Брой в опаковка: 12", "Стр. 1 от 1"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Марля хидрофилна 3"))) << "an unpriced position";
    EXPECT_FALSE(text.contains(QStringLiteral("Марка-1"))) << "a technical value";
    // 10 * 1.25 + 20 * 2.50 = 62.50, with VAT 75.00.
    EXPECT_TRUE(text.contains(QStringLiteral("Обща стойност без ДДС: 62,50 лв.")));
    EXPECT_TRUE(text.contains(QStringLiteral("Обща стойност с ДДС: 75,00 лв.")));
}

TEST_F(PrintTest, PriceOfferOfABidderOutsideVatShowsNoVatTotal) {
    start(offerTender(2, 2, /*noVat=*/true));
    dialogs.offerTypeAnswers = {2};
    window->btnPrint->click();

    ASSERT_EQ(dialogs.pdfs.size(), 1);
    const QString text = words(pdfText(dialogs.pdfs[0]));
    EXPECT_TRUE(text.contains(QStringLiteral("Участникът не е регистриран по ЗДДС")));
    EXPECT_TRUE(text.contains(QStringLiteral("Обща стойност без ДДС: 62,50 лв.")));
    EXPECT_FALSE(text.contains(QStringLiteral("с ДДС:")));
}

TEST_F(PrintTest, AfterThePriceOfferEveryPositionIsListedAgain) {
    start(offerTender(3, 2));
    dialogs.offerTypeAnswers = {2};
    print();

    ASSERT_EQ(dialogs.previewPageCounts.size(), 1u);
    EXPECT_FALSE(window->qryData->filtered());
    EXPECT_EQ(window->qryData->recordCount(), 3);
    EXPECT_TRUE(window->qryData->active());
    EXPECT_FALSE(reports->qrySpecs->active());
}

TEST_F(PrintTest, APriceOfferRefusedForThePositionBeingEditedLeavesNoFilterBehind) {
    start(offerTender(3, 2));
    window->qryData->edit();
    window->qryData->fieldByName(QStringLiteral("PP1_NUMBER")).clear();
    dialogs.offerTypeAnswers = {2};
    print();
    ASSERT_EQ(dialogs.errors().size(), 1) << "the position's check refuses";
    EXPECT_TRUE(dialogs.previewPageCounts.empty());
    EXPECT_FALSE(window->qryData->filtered());

    // The bidder drops the edit; every later opening lists the unpriced position too.
    window->qryData->cancel();
    window->RefreshPozicii();
    EXPECT_EQ(window->qryData->recordCount(), 3);
}

TEST_F(PrintTest, TechnicalOfferListsEveryPositionWithItsTechnicalValues) {
    start(offerTender(3, 2));
    dialogs.offerTypeAnswers = {1};
    print();

    ASSERT_EQ(dialogs.pdfs.size(), 1);
    const QString text = words(pdfText(dialogs.pdfs[0]));
    for (const char* expected :
         {"ТЕХНИЧЕСКО ПРЕДЛОЖЕНИЕ", "Марля хидрофилна 1", "Марля хидрофилна 3",
          "Търговско наименование: Марка-3", "Прогнозно количество", "Подпис и печат"})
        EXPECT_TRUE(text.contains(QString::fromUtf8(expected))) << expected << "\n"
                                                                << text.toStdString();
    EXPECT_FALSE(text.contains(QStringLiteral("Брой в опаковка"))) << "a price offer value";
    EXPECT_FALSE(window->qryData->filtered());
}

TEST_F(PrintTest, ALongLotHasThePageHeaderAndItsNumberOnEveryPage) {
    start(offerTender(60, 60));
    dialogs.offerTypeAnswers = {2};
    window->btnPrint->click();

    ASSERT_EQ(dialogs.pdfs.size(), 1);
    const int pages = pdfPageCount(dialogs.pdfs[0]);
    ASSERT_GE(pages, 3);
    EXPECT_EQ(dialogs.previewPageCounts, std::vector<int>{pages});
    for (int page = 1; page <= pages; ++page) {
        const QString text = words(pdfText(dialogs.pdfs[0], page));
        EXPECT_TRUE(text.contains(QStringLiteral("Наименование на продукта"))) << "page " << page;
        EXPECT_TRUE(text.contains(QStringLiteral("Стр. %1 от %2").arg(page).arg(pages)))
            << "page " << page;
    }
    const QString all = words(pdfText(dialogs.pdfs[0]));
    EXPECT_TRUE(all.contains(QStringLiteral("Марля хидрофилна 60")));
    EXPECT_EQ(all.count(QStringLiteral("ЦЕНОВО ПРЕДЛОЖЕНИЕ")), 1) << "the title only once";
}

TEST_F(PrintTest, ALotNotTakenPartInPrintsNoPositions) {
    start(offerTender(3, 3, /*noVat=*/false, /*takingPart=*/false));
    EXPECT_EQ(window->qryData->recordCount(), 0);
    dialogs.offerTypeAnswers = {1};
    window->btnPrint->click();

    ASSERT_EQ(dialogs.pdfs.size(), 1);
    const QString text = words(pdfText(dialogs.pdfs[0]));
    EXPECT_TRUE(text.contains(QStringLiteral("ТЕХНИЧЕСКО ПРЕДЛОЖЕНИЕ")));
    EXPECT_FALSE(text.contains(QStringLiteral("Марля")));
}

TEST_F(PrintTest, PrintingTwiceKeepsOnlyTheSecondRunsPages) {
    start(offerTender(40, 40));
    dialogs.offerTypeAnswers = {1, 1};
    window->btnPrint->click();
    window->btnPrint->click();

    ASSERT_EQ(dialogs.previewPageCounts.size(), 2u);
    EXPECT_EQ(dialogs.previewPageCounts[0], dialogs.previewPageCounts[1]);
    EXPECT_EQ(static_cast<int>(reports->rptObshtestvenaPorachkaTehnicheska.pages().size()),
              dialogs.previewPageCounts[1]);
    EXPECT_EQ(pdfPageCount(dialogs.pdfs[1]), dialogs.previewPageCounts[1]);
}

TEST_F(PrintTest, IncompleteCompanyDataIsToldAndTheCompanyPageShown) {
    nlohmann::json tender = offerTender(2, 2);
    tender["SPECS"][0]["IME_NA_FIRMATA"] = "   ";
    start(tender);
    window->pcMain->setCurrentWidget(window->tsObosobeniPozicii);
    window->btnPrint->click();

    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("Необходимо е данните за фирмата да са попълнени "
                                         "коректно:\n\r\n\r\"Наименование на фирмата\" трябва да е "
                                         "попълнено.\r\n")});
    EXPECT_EQ(window->pcMain->currentWidget(), window->tsInfo);
    EXPECT_TRUE(dialogs.texts(Kind::OfferType).isEmpty());
    EXPECT_TRUE(dialogs.texts(Kind::Preview).isEmpty());
}

TEST_F(PrintTest, CancellingTheOfferTypeTouchesNoDataset) {
    start(offerTender(2, 1));
    dialogs.offerTypeAnswers = {-1};
    print();

    EXPECT_EQ(dialogs.texts(Kind::OfferType).size(), 1);
    EXPECT_TRUE(dialogs.texts(Kind::Preview).isEmpty());
    EXPECT_FALSE(reports->qrySpecs->active());
    EXPECT_FALSE(window->qryData->filtered());
    EXPECT_EQ(window->qryData->recordCount(), 2);
}

// The printed offer holds only what the tender file holds: a company name being typed is stored
// before the print reads anything, and is what the offer shows.
TEST_F(PrintTest, TheOfferShowsTheCompanyNameBeingTypedOnceItIsStored) {
    start(offerTender(1, 1));
    window->qrySpecs->edit();
    window->qrySpecs->fieldByName(QStringLiteral("IME_NA_FIRMATA"))
        .setValue(QStringLiteral("Нова Фирма ЕООД"));
    dialogs.offerTypeAnswers = {1};
    window->btnPrint->click();

    ASSERT_EQ(dialogs.pdfs.size(), 1);
    const QString text = words(pdfText(dialogs.pdfs[0]));
    EXPECT_TRUE(text.contains(QStringLiteral("Участник: Нова Фирма ЕООД")));
    EXPECT_FALSE(text.contains(QStringLiteral("Медикс")));
    EXPECT_EQ(window->qrySpecs->state(), data::Dataset::State::Browse);
    EXPECT_EQ(fixture::readColumn(folder.file(), "SPECS", "", {}, "IME_NA_FIRMATA"),
              jet::Value(std::string("Нова Фирма ЕООД")));
}

// The price offer filters the positions while its report is made; a report that fails then
// (here a template whose band reads a dataset nobody registered) drops the filter on its way
// out, and every position is listed again.
TEST_F(PrintTest, APriceReportThatFailsWhileFilteredLeavesNoFilterBehind) {
    start(offerTender(3, 2));
    QTemporaryDir programFolder;
    QFile::copy(data::programFilePath(QStringLiteral("rep2.fr3")),
                programFolder.filePath(QStringLiteral("rep2.fr3")));
    QFile real(data::programFilePath(QStringLiteral("rep1.fr3")));
    ASSERT_TRUE(real.open(QIODevice::ReadOnly));
    QByteArray broken = real.readAll();
    ASSERT_TRUE(broken.contains("DataSetName=\"Data\""));
    broken.replace("DataSetName=\"Data\"", "DataSetName=\"Nope\"");
    QFile made(programFolder.filePath(QStringLiteral("rep1.fr3")));
    ASSERT_TRUE(made.open(QIODevice::WriteOnly));
    made.write(broken);
    made.close();
    TdmReports module(window->Connection, *window->qryData, dialogs,
                      [&](const QString& name) { return programFolder.filePath(name); });
    ASSERT_TRUE(guard.run([&] { module.DataModuleCreate(); }));

    dialogs.offerTypeAnswers = {2};
    EXPECT_FALSE(guard.run([&] { module.PrintObshtestvenaPorachka(); }));
    ASSERT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors()[0].contains(QStringLiteral("„Nope“")))
        << dialogs.errors()[0].toStdString();
    EXPECT_TRUE(dialogs.previewPageCounts.empty());
    EXPECT_FALSE(window->qryData->filtered());
    EXPECT_EQ(window->qryData->recordCount(), 3);
    EXPECT_FALSE(module.qrySpecs->active());
}

// The printed offer's PDF written again over a signed one: the old signature no longer matches
// and is moved aside, and the bidder is told to sign again.
TEST_F(PrintTest, APdfWrittenOverASignedOneMovesItsSignatureAside) {
    start(offerTender(1, 1));
    const QString pdf = folder.path() + QStringLiteral("/preview-1.pdf");
    QFile signature(pdf + QStringLiteral(".p7s"));
    ASSERT_TRUE(signature.open(QIODevice::WriteOnly));
    signature.write("signature of an earlier print");
    signature.close();
    dialogs.offerTypeAnswers = {1};
    window->btnPrint->click();

    ASSERT_EQ(dialogs.pdfs, QStringList{pdf});
    EXPECT_FALSE(QFile::exists(pdf + QStringLiteral(".p7s")));
    QFile aside(pdf + QStringLiteral(".p7s.old"));
    ASSERT_TRUE(aside.open(QIODevice::ReadOnly));
    EXPECT_EQ(aside.readAll(), QByteArray("signature of an earlier print"));
    ASSERT_EQ(dialogs.texts(Kind::Warning).size(), 1);
    EXPECT_TRUE(dialogs.texts(Kind::Warning)[0].contains(QStringLiteral("Подпишете файла отново")));
    EXPECT_EQ(dialogs.errors(), QStringList());
}

TEST_F(PrintTest, AMissingTechnicalTemplateLeavesBothReportsEmpty) {
    start(offerTender(1, 1));
    QTemporaryDir programFolder;
    QFile::copy(data::programFilePath(QStringLiteral("rep1.fr3")),
                programFolder.filePath(QStringLiteral("rep1.fr3")));
    TdmReports module(window->Connection, *window->qryData, dialogs,
                      [&](const QString& name) { return programFolder.filePath(name); });
    guard.run([&] { module.DataModuleCreate(); });

    EXPECT_EQ(dialogs.errors(),
              QStringList{QStringLiteral("Cannot open file \"%1\". No such file or directory")
                              .arg(programFolder.filePath(QStringLiteral("rep2.fr3")))});
    for (const report::Report* offer :
         {&module.rptObshtestvenaPorachkaCenova, &module.rptObshtestvenaPorachkaTehnicheska}) {
        ASSERT_EQ(offer->model().pages.size(), 1u);
        EXPECT_TRUE(offer->model().pages[0].bands.empty());
        EXPECT_EQ(offer->model().datasetNames,
                  (QStringList{QStringLiteral("Data"), QStringLiteral("Specs")}));
    }
}

TEST_F(PrintTest, AMissingPriceTemplateStillLetsTheTechnicalOfferPrint) {
    start(offerTender(1, 1));
    QTemporaryDir programFolder;
    QFile::copy(data::programFilePath(QStringLiteral("rep2.fr3")),
                programFolder.filePath(QStringLiteral("rep2.fr3")));
    TdmReports module(window->Connection, *window->qryData, dialogs,
                      [&](const QString& name) { return programFolder.filePath(name); });
    guard.run([&] { module.DataModuleCreate(); });

    EXPECT_EQ(dialogs.errors().size(), 1);
    EXPECT_TRUE(dialogs.errors()[0].startsWith(QStringLiteral("Cannot open file \"")));
    EXPECT_TRUE(module.rptObshtestvenaPorachkaCenova.model().pages[0].bands.empty());
    EXPECT_FALSE(module.rptObshtestvenaPorachkaTehnicheska.model().pages[0].bands.empty());
}

TEST_F(PrintTest, TheWindowRegistersItsReportDatasetsAndHoldsItsLayouts) {
    start(offerTender(2, 2));
    for (const char* name : {"dsreportspecs", "DSREPORTDATA", "dsReportOP", "specs", "DATA"})
        EXPECT_NE(report::findDataset(QString::fromLatin1(name)), nullptr) << name;

    window->rptReport->prepareReport();
    ASSERT_FALSE(window->rptReport->pages().empty());
    const QString pdf = folder.file(QStringLiteral("layout.pdf"));
    window->rptReport->exportPdf(pdf);
    const QString text = words(pdfText(pdf));
    EXPECT_TRUE(text.contains(QStringLiteral("Ценово предложение")));
    EXPECT_TRUE(text.contains(QStringLiteral("Обособена позиция: 3. Превързочни материали")));
    EXPECT_TRUE(text.contains(QStringLiteral("Марля хидрофилна 2")));
    for (const auto* layout : {window->rptReport2.get(), window->rptReportAll.get()})
        EXPECT_EQ(layout->model().pages.at(0).paperWidth, 297);
}

} // namespace
} // namespace printing
