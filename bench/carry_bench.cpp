// SPDX-License-Identifier: Apache-2.0
// Times the carry of an offer of 10,000 positions from an older tender file against the import
// of the same prices and values from a CSV price list, in the same run; medians of repeated
// runs, each on a fresh copy of the new file.
//
//   carry    the preview (the old file read, every position compared and checked), then storing
//            it: the tender record, the lots and the positions in one lock and one sync
//   import   the CSV file read, its preview (every position check), then storing it the same way
//
// Run it by hand from the build folder: bench/carry_bench [RUNS]. It prints Markdown for
// bench/RESULTS.md.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "export/workbook.h"
#include "offer/offer_carry.h"
#include "offer/price_import.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include "machine.h"
#include "median.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <functional>
#include <memory>

namespace {

constexpr int kLots = 20;
constexpr int kPositions = 10000;

void expectStored(int stored) {
    if (stored != kPositions) {
        std::fprintf(stderr, "stored %d of %d positions\n", stored, kPositions);
        std::exit(1);
    }
}

// The old file's offer as a filled price list in CSV: lot code, position code and every
// offered value the new file asks for, headed as the price list heads them.
QString priceListOf(const QString& oldFile, const QString& folder) {
    data::Connection connection;
    connection.openReadOnly(oldFile);
    const std::unique_ptr<data::Dataset> specs = data::makeQrySpecs(connection);
    specs->open();
    std::vector<pricelist::Column> offered;
    QStringList heads = {pricelist::lotCodeHead(), pricelist::columns(*specs)[1].head};
    for (const pricelist::Column& column : pricelist::columns(*specs))
        if (column.offerValue) {
            offered.push_back(column);
            heads << column.head;
        }
    QString text = heads.join(QLatin1Char(';')) + QLatin1Char('\n');
    const std::unique_ptr<data::Dataset> lots = data::makeQryObosobeniPozicii(connection);
    const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection);
    lots->open();
    for (lots->first(); !lots->eof(); lots->next()) {
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"),
                                lots->fieldByName(QStringLiteral("PRODUCT_CODE")).value());
        positions->open();
        for (positions->first(); !positions->eof(); positions->next()) {
            QStringList row = {lots->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
                               positions->fieldByName(QStringLiteral("CUSTOM_CODE")).asString()};
            for (const pricelist::Column& column : offered) {
                const data::Field& field = positions->fieldByName(column.field);
                row << (column.number ? QString::number(field.asFloat(), 'f', column.decimals)
                                      : field.asString());
            }
            text += row.join(QLatin1Char(';')) + QLatin1Char('\n');
        }
    }
    const QString path = folder + QStringLiteral("/prices.csv");
    QFile out(path);
    if (!out.open(QIODevice::WriteOnly) || out.write(text.toUtf8()) < 0)
        std::exit(1);
    return path;
}

bench::Times carryOnce(const QString& file, const QString& oldFile) {
    data::Connection connection;
    connection.open(file);
    offercarry::OfferCarry carry(connection);
    return bench::timed(
        [&] { expectStored(carry.store(carry.preview(oldFile)).positions.stored); });
}

bench::Times importOnce(const QString& file, const QString& csv) {
    data::Connection connection;
    connection.open(file);
    const std::unique_ptr<data::Dataset> specs = data::makeQrySpecs(connection);
    specs->open();
    priceimport::PriceImport import(connection, *specs);
    return bench::timed(
        [&] { expectStored(import.store(import.preview(sheet::readWorkbook(csv))).stored); });
}

bench::Times onCopy(const QString& original,
                    const std::function<bench::Times(const QString&)>& pass) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("DB.mdb"));
    std::filesystem::copy_file(original.toStdString(), copy.toStdString());
    return pass(copy);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    // The new file with every lot taken part in, as the import needs it, a third of them priced;
    // the old one with every position offered otherwise, so that every position has values to
    // carry, and the same values in the price list.
    nlohmann::json fresh = tender::generateTender(kLots, kPositions);
    for (nlohmann::json& row : fresh["PREDLOGENIA"])
        if (!row.contains("MASTER_CODE"))
            row["PP2_TEXT"] = "Да";
    const QString original = folder.filePath(QStringLiteral("new.mdb"));
    const QString oldFile = folder.filePath(QStringLiteral("old.mdb"));
    tender::writeTender(fresh, original.toStdString());
    tender::writeTender(tender::everyPositionOffered(fresh), oldFile.toStdString());
    const QString csv = priceListOf(oldFile, folder.path());

    // The two passes take turns, so that a change in the machine's load meets both.
    std::vector<double> carryWall, carryProcessor, importWall, importProcessor;
    for (int run = 0; run < runs; ++run) {
        const bench::Times carried =
            onCopy(original, [&](const QString& file) { return carryOnce(file, oldFile); });
        const bench::Times imported =
            onCopy(original, [&](const QString& file) { return importOnce(file, csv); });
        carryWall.push_back(carried.wall);
        carryProcessor.push_back(carried.processor);
        importWall.push_back(imported.wall);
        importProcessor.push_back(imported.processor);
    }
    const bench::Times carried{bench::medianOf(carryWall), bench::medianOf(carryProcessor)};
    const bench::Times imported{bench::medianOf(importWall), bench::medianOf(importProcessor)};

    std::printf("## Carry of an offer of %d positions against the import of the same prices\n\n",
                kPositions);
    std::printf("Written from `bench/carry_bench %d`.\n\n", runs);
    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- A generated tender of %d lots and %d positions, every lot taken part in; "
                "the old file with every position offered; each run on a fresh copy, the two "
                "passes in turn, medians of %d runs\n\n",
                kLots, kPositions, runs);
    std::printf("| pass | wall time | processor time |\n|---|---|---|\n");
    std::printf("| carry: old file read and compared, preview, storing in one lock and sync | "
                "%.3f s | %.3f s |\n",
                carried.wall, carried.processor);
    std::printf("| import: CSV read, preview, storing in one lock and sync | %.3f s | %.3f s |\n",
                imported.wall, imported.processor);
    std::printf("\ncarry / import: **%.2f** wall time, **%.2f** processor time (goal: at most "
                "2)\n",
                carried.wall / imported.wall, carried.processor / imported.processor);
    return 0;
}
