// SPDX-License-Identifier: Apache-2.0
#include "report/error.h"
#include "report/layout.h"
#include "report/preview.h"
#include "report/report.h"
#include "report/report_dataset.h"

#include <QComboBox>
#include <QKeyEvent>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

using namespace report;

ReportObject memo(const QString& text, QRectF rect, Stretch stretch = Stretch::None) {
    ReportObject object;
    object.name = QStringLiteral("M");
    object.text = text;
    object.rect = rect;
    object.stretch = stretch;
    return object;
}

Band band(BandKind kind, double height, std::vector<ReportObject> objects = {}) {
    Band result;
    result.kind = kind;
    result.name = QStringLiteral("B");
    result.height = height;
    result.objects = std::move(objects);
    return result;
}

// A page of 100 units of printable height (the margins take the rest), 10 units a row, a 20
// unit title, a 10 unit page header and page footer.
ReportModel rowsModel(const QString& dataset) {
    ReportPageSpec page;
    page.paperHeight = 20 + 100 / kUnitsPerMm;
    Band rows =
        band(BandKind::MasterData, 10, {memo(QStringLiteral("[rows.\"N\"]"), {0, 0, 50, 10})});
    rows.datasetName = dataset;
    page.bands = {
        band(BandKind::ReportTitle, 20, {memo(QStringLiteral("Заглавие"), {0, 0, 50, 20})}),
        band(BandKind::PageHeader, 10, {memo(QStringLiteral("Глава"), {0, 0, 50, 10})}), rows,
        band(BandKind::Footer, 10,
             {memo(QStringLiteral("Общо [SUM(<Rows.\"N\">)]"), {0, 0, 50, 10})}),
        band(BandKind::PageFooter, 10,
             {memo(QStringLiteral("Стр. [Page#] от [TotalPages#]"), {0, 0, 50, 10})})};
    ReportModel model;
    model.pages = {page};
    return model;
}

std::vector<QVariantList> numbers(int count) {
    std::vector<QVariantList> rows;
    for (int i = 1; i <= count; ++i)
        rows.push_back({i});
    return rows;
}

// The texts of a page from top to bottom.
QStringList texts(const PreparedPage& page) {
    QStringList result;
    for (const ReportObject& object : page.primitives)
        result << object.text;
    return result;
}

TEST(Layout, BreaksRowsIntoPagesWithHeaderAndFooterOnEach) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(12));
    const auto pages =
        layOutReport(rowsModel(QStringLiteral("ROWS")), QDateTime::currentDateTime());

    // Page 1: title, header, rows 1-6 (80 units less the footer's 10); page 2: header, rows
    // 7-12, the total.
    ASSERT_EQ(pages.size(), 2u);
    EXPECT_EQ(texts(pages[0]),
              (QStringList{QStringLiteral("Заглавие"), QStringLiteral("Глава"), "1", "2", "3", "4",
                           "5", "6", QStringLiteral("Стр. 1 от 2")}));
    EXPECT_EQ(texts(pages[1]),
              (QStringList{QStringLiteral("Глава"), "7", "8", "9", "10", "11", "12",
                           QStringLiteral("Общо 78"), QStringLiteral("Стр. 2 от 2")}));
    const double top = 10 * kUnitsPerMm;
    EXPECT_DOUBLE_EQ(pages[1].primitives[0].rect.top(), top) << "the header at the top of the page";
    EXPECT_NEAR(pages[1].primitives.back().rect.top(), top + 90, 1e-6)
        << "the footer at the bottom";
}

// A long layout reports each row laid out against the rows of its dataset, and stops, with no
// page, when told to.
TEST(Layout, ReportsItsRowsAndStopsWhenToldTo) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(12));
    for (const int stopAfter : {0, 5}) {
        SCOPED_TRACE(stopAfter == 0 ? "to the end" : "stopped");
        std::vector<std::pair<int, int>> told;
        const auto pages =
            layOutReport(rowsModel(QStringLiteral("Rows")), QDateTime(), [&](int done, int total) {
                told.emplace_back(done, total);
                return done != stopAfter;
            });
        const int laidOut = stopAfter == 0 ? 12 : stopAfter;
        ASSERT_EQ(told.size(), static_cast<std::size_t>(laidOut));
        for (int row = 1; row <= laidOut; ++row)
            EXPECT_EQ(told[static_cast<std::size_t>(row - 1)], std::make_pair(row, 12));
        EXPECT_EQ(pages.size(), stopAfter == 0 ? 2u : 0u);
    }
}

TEST(Layout, ADatasetWithoutRowsStillPrintsTheFooterAndOnePage) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")});
    const auto pages =
        layOutReport(rowsModel(QStringLiteral("Rows")), QDateTime::currentDateTime());
    ASSERT_EQ(pages.size(), 1u);
    EXPECT_EQ(texts(pages[0]),
              (QStringList{QStringLiteral("Заглавие"), QStringLiteral("Глава"),
                           QStringLiteral("Общо 0"), QStringLiteral("Стр. 1 от 1")}));
}

TEST(Layout, AnUnknownDatasetIsAnError) {
    EXPECT_THROW(layOutReport(rowsModel(QStringLiteral("Nyama")), QDateTime()), Error);
}

TEST(Layout, AStretchingBandGrowsWithItsTallestTextAndPushesWhatIsBelow) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")},
                     {{QStringLiteral("дълъг текст ").repeated(30)}, {QStringLiteral("къс")}});
    ReportPageSpec page;
    Band data = band(BandKind::MasterData, 30,
                     {memo(QStringLiteral("[Rows.\"N\"]"), {0, 0, 100, 20}, Stretch::ActualHeight),
                      memo(QStringLiteral("под"), {0, 22, 100, 8}),
                      memo(QStringLiteral("рамка"), {100, 0, 20, 30}, Stretch::MaxHeight)});
    data.datasetName = QStringLiteral("Rows");
    data.stretches = true;
    page.bands = {data};
    ReportModel model;
    model.pages = {page};
    const auto pages = layOutReport(model, QDateTime());

    ASSERT_EQ(pages.size(), 1u);
    const auto& p = pages[0].primitives;
    ASSERT_EQ(p.size(), 6u);
    const double grown = p[0].rect.height();
    EXPECT_GT(grown, 40) << "many lines of text";
    EXPECT_EQ(p[1].rect.top(), p[0].rect.top() + 22 + (grown - 20)) << "pushed down by the growth";
    EXPECT_EQ(p[2].rect.bottom(), p[1].rect.bottom()) << "the frame reaches the band's bottom";
    EXPECT_EQ(p[3].rect.top(), p[1].rect.bottom()) << "the next row starts below";
    EXPECT_EQ(p[3].rect.height(), 20) << "a short text keeps its height";
}

TEST(Layout, ABandTallerThanAPageGoesOnAPageOfItsOwn) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(3));
    ReportModel model = rowsModel(QStringLiteral("Rows"));
    model.pages[0].bands[2].height = 500;
    const auto pages = layOutReport(model, QDateTime());
    EXPECT_EQ(pages.size(), 4u);
}

// A page header that leaves no room above the page footer would push every row below the
// paper's edge, page after blank page: the template is refused before a page is made, naming
// the band. One that leaves room lays out.
TEST(Layout, APageHeaderLeavingNoRoomForRowsIsRefusedNamingIt) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(3));
    const auto headed = [](double height) {
        ReportModel model = rowsModel(QStringLiteral("Rows"));
        model.sourceName = QStringLiteral("rep1.fr3");
        Band& header = model.pages[0].bands[1];
        header.name = QStringLiteral("PageHeader1");
        header.height = height;
        return model;
    };
    // The printable height is 100 units, the page footer 10.
    for (const double height : {90.0, 250.0}) {
        try {
            layOutReport(headed(height), QDateTime());
            ADD_FAILURE() << height;
        } catch (const Error& refused) {
            EXPECT_EQ(QString::fromUtf8(refused.what()),
                      QStringLiteral("Горният колонтитул PageHeader1 в шаблона „rep1.fr3“ не "
                                     "оставя място за редовете: заедно с долния колонтитул е "
                                     "по-висок от страницата."));
        }
    }
    EXPECT_FALSE(layOutReport(headed(60), QDateTime()).empty());
}

TEST(Preview, NavigatesZoomsAndExportsThroughItsQuestions) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(20));
    Report report;
    report.setModel(rowsModel(QStringLiteral("Rows")));
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("out.pdf"));
    QStringList asked;
    PreviewQuestions questions;
    questions.saveFileName = [&](const QString& proposed, const QString&) {
        asked << proposed;
        return pdf;
    };
    questions.error = [&](const QString& text) { asked << text; };
    int shownPages = 0;
    report.showReport(
        [&](QDialog& dialog) {
            auto& preview = dynamic_cast<PreviewDialog&>(dialog);
            shownPages = preview.pageCount();
            EXPECT_EQ(preview.currentPage(), 0);
            QTest::keyClick(&preview, Qt::Key_PageDown);
            EXPECT_EQ(preview.currentPage(), 1);
            QTest::keyClick(&preview, Qt::Key_End);
            EXPECT_EQ(preview.currentPage(), preview.pageCount() - 1);
            preview.setCurrentPage(99);
            EXPECT_EQ(preview.currentPage(), preview.pageCount() - 1);
            preview.setZoom(2);
            EXPECT_EQ(preview.zoom(), 2);
            preview.exportToPdf();
        },
        questions);
    EXPECT_EQ(shownPages, 3); // 6 rows below the title, then 7 a page
    EXPECT_EQ(asked, QStringList{QStringLiteral("Оферта.pdf")});
    EXPECT_TRUE(QFileInfo(pdf).size() > 0);
}

// A landscape page is wider than the preview at 100 %: the preview opens fitted to its width,
// with nothing to scroll across.
TEST(Preview, OpensFittedToThePageWidth) {
    const std::vector<PreparedPage> pages{{QSizeF(1123, 794), {}}, {QSizeF(1123, 794), {}}};
    PreviewDialog preview(pages, {});
    preview.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&preview));
    EXPECT_EQ(preview.fit(), PreviewDialog::Fit::PageWidth);
    EXPECT_EQ(preview.findChild<QComboBox*>()->currentText(), QStringLiteral("По ширина"));
    EXPECT_LT(preview.zoom(), 1.0);
    const QScrollArea& scroll = *preview.findChild<QScrollArea*>();
    EXPECT_EQ(scroll.horizontalScrollBar()->maximum(), 0);
    EXPECT_LE(scroll.widget()->width(), scroll.viewport()->width());
    // It stays fitted from page to page, until a zoom is chosen.
    QTest::keyClick(&preview, Qt::Key_PageDown);
    EXPECT_EQ(preview.fit(), PreviewDialog::Fit::PageWidth);
    preview.setZoom(1);
    EXPECT_EQ(preview.fit(), PreviewDialog::Fit::None);
}

TEST(Preview, AnExportThatCannotBeWrittenIsTold) {
    ListDataset rows(QStringLiteral("Rows"), {QStringLiteral("N")}, numbers(1));
    Report report;
    report.setModel(rowsModel(QStringLiteral("Rows")));
    report.prepareReport();
    QStringList errors;
    PreviewDialog preview(report.pages(), {[](const QString&, const QString&) {
                                               return QStringLiteral("/nonexistent-folder/out.pdf");
                                           },
                                           [&](const QString& text) { errors << text; },
                                           {}});
    preview.exportToPdf();
    ASSERT_EQ(errors.size(), 1);
    EXPECT_TRUE(errors[0].contains(QStringLiteral("/nonexistent-folder/out.pdf")));
}

} // namespace
