// SPDX-License-Identifier: Apache-2.0
#include "print_test_support.h"

#include "data/dataset.h"
#include "report/preview.h"
#include "tests/app/start_client.h"
#include "tools/tender_description.h"

#include <QFile>
#include <QProcess>
#include <QRegularExpression>

namespace printing {

nlohmann::json offerTender(int positions, int priced, bool noVat, bool takingPart) {
    nlohmann::json specs = {
        {"IME_NA_FIRMATA", "Медикс ООД"},
        {"IME_NA_KONKURSA", "Доставка на превързочни материали за МБАЛ – Габрово"},
        {"NO_DDS", noVat},
        {"PP1_IME", "Ед. цена без ДДС (лв.)"},
        {"PP1_RAZRYAD", 2},
        {"PP1_OFERTA", 2},
        {"PP2_IME", "Търговско наименование"},
        {"PP2_TIP", 2},
        {"PP2_OFERTA", 1},
        {"PP3_IME", "Брой в опаковка"},
        {"PP3_TIP", 3},
        {"PP3_OFERTA", 2},
        {"CAPTION_NOMER", "№ по ред"},
        {"CAPTION_PRODUCT", "Наименование на продукта"},
        {"CAPTION_GOD_POTREBLENIE", "Прогнозно количество"},
    };
    nlohmann::json rows = nlohmann::json::array();
    nlohmann::json lot = {
        {"PRODUCT_CODE", kLot}, {"CUSTOM_CODE", "3"}, {"IME", "Превързочни материали"}};
    if (takingPart)
        lot["PP2_TEXT"] = "Да";
    rows.push_back(lot);
    for (int i = 1; i <= positions; ++i) {
        nlohmann::json row = {{"PRODUCT_CODE", 100 + i},
                              {"MASTER_CODE", kLot},
                              {"CUSTOM_CODE", std::to_string(i)},
                              {"IME", "Марля хидрофилна " + std::to_string(i)},
                              {"MEASURE_IME", "бр."},
                              {"GODISHNO_POTREBLENIE", 10 * i},
                              {"PP2_TEXT", "Марка-" + std::to_string(i)},
                              {"PP3_NUMBER", 12}};
        if (i <= priced)
            row["PP1_NUMBER"] = 1.25 * i;
        rows.push_back(row);
    }
    return {{"SPECS", {specs}}, {"PREDLOGENIA", rows}};
}

QString pdfText(const QString& path, int page) {
    QStringList arguments{QStringLiteral("-raw")};
    if (page > 0)
        arguments << QStringLiteral("-f") << QString::number(page) << QStringLiteral("-l")
                  << QString::number(page);
    arguments << path << QStringLiteral("-");
    QProcess process;
    process.start(QStringLiteral("pdftotext"), arguments);
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return QString::fromUtf8(process.readAllStandardOutput());
}

int pdfPageCount(const QString& path) {
    QProcess process;
    process.start(QStringLiteral("pdfinfo"), {path});
    EXPECT_TRUE(process.waitForFinished(60000));
    const QString info = QString::fromUtf8(process.readAllStandardOutput());
    const auto match = QRegularExpression(QStringLiteral("Pages:\\s+(\\d+)")).match(info);
    return match.hasMatch() ? match.captured(1).toInt() : -1;
}

void PrintingDialogs::showPreview(QDialog& preview) {
    ScriptedDialogs::showPreview(preview);
    auto* reportPreview = dynamic_cast<report::PreviewDialog*>(&preview);
    if (reportPreview == nullptr)
        return;
    previewPageCounts.push_back(reportPreview->pageCount());
    const QString path =
        QDir(folder_).filePath(QStringLiteral("preview-%1.pdf").arg(pdfs.size() + 1));
    saveFileAnswers.push_back(path);
    reportPreview->exportToPdf();
    pdfs << path;
}

void PrintTest::start(const nlohmann::json& tender) {
    tender::writeTender(tender, folder.file().toStdString());
    window = apptest::startClientIn(folder.path(), guard);
    window->show();
    reports = std::make_unique<TdmReports>(window->Connection, *window->qryData, dialogs);
    window->dmReports = reports.get();
    guard.run([this] { reports->DataModuleCreate(); });
    ASSERT_TRUE(dialogs.errors().isEmpty()) << dialogs.errors().join(u'\n').toStdString();
}

void PrintTest::print() {
    guard.run([this] { reports->PrintObshtestvenaPorachka(); });
}

} // namespace printing
