// SPDX-License-Identifier: Apache-2.0
// Times the import of prices for 10,000 positions against the same prices typed, that is
// posted one position at a time, in the same run; medians of repeated runs, each on a fresh copy
// of a generated tender whose every lot is taken part in.
//
//   import   the preview of a sheet of 10,000 rows (every position check), then storing them:
//            one write lock and one sync for the pass
//   typing   10,000 posts through the positions dataset, each with the check, its own lock and
//            its own sync, as the edit page stores a position
//
// Then times the import of every price of a tender of 50,500 positions into the file as the
// authority delivers it, without offered values, against the same import into the file that
// already holds values: in the first every row grows, those their page cannot hold move to other
// pages, and the file and its maps grow with them; in the second every row stays where it is. The
// two take turns on fresh copies.
//
// Run it by hand from the build folder: bench/import_bench [RUNS]. It prints Markdown for
// bench/RESULTS.md.

#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/price_list.h"
#include "offer/dataset_rules.h"
#include "offer/price_import.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include "machine.h"
#include "median.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>

namespace {

constexpr int kLots = 20;
constexpr int kPositions = 10000;
constexpr int kLargeLots = 500;
constexpr int kLargePositions = 50000;
// The generated tender asks for the price and a trade name (PP2, which must be filled in).
const QString kPrice = QStringLiteral("PP1_NUMBER");
const QString kTradeName = QStringLiteral("PP2_TEXT");

QString tradeName(int round) {
    return QStringLiteral("Медикс %1").arg(round);
}

bool isLot(const nlohmann::json& row) {
    return !row.contains("MASTER_CODE") || row["MASTER_CODE"].is_null();
}

// The generated tender with every lot taken part in, so that every position can be priced.
nlohmann::json everyLotTakenPartIn(int lots = kLots, int positions = kPositions) {
    nlohmann::json tender = tender::generateTender(lots, positions);
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (isLot(row))
            row["PP2_TEXT"] = "Да";
    return tender;
}

// The same with no position offered yet, as a bidder starts.
nlohmann::json nothingOffered(nlohmann::json tender) {
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (!isLot(row))
            for (const char* offered : {"PP1_NUMBER", "PP2_TEXT", "PP3_TEXT"})
                row.erase(offered);
    return tender;
}

// The tender file with its tender record and lots open, as the client holds them.
struct OpenTender {
    explicit OpenTender(const QString& file) {
        connection.open(file);
        qrySpecs->open();
        qryObosobeniPozicii->open();
    }
    data::Connection connection;
    std::unique_ptr<data::Dataset> qrySpecs = data::makeQrySpecs(connection);
    std::unique_ptr<data::Dataset> qryObosobeniPozicii = data::makeQryObosobeniPozicii(connection);
};

// Opens the positions of each lot in turn and calls `each(lots)` with every one of them current.
template <typename Each>
void forEachPosition(OpenTender& tender, data::Dataset& positions, Each each) {
    data::Dataset& lots = *tender.qryObosobeniPozicii;
    for (lots.first(); !lots.eof(); lots.next()) {
        positions.close();
        positions.setParameter(QStringLiteral("MASTER_CODE"),
                               lots.fieldByName(QStringLiteral("PRODUCT_CODE")).value());
        positions.open();
        for (positions.first(); !positions.eof(); positions.next())
            each(lots);
    }
}

// A new price and trade name for every position; the other offer values are left empty, which
// keeps what is stored.
sheet::Table priceSheet(OpenTender& tender, int round) {
    sheet::Table table;
    std::vector<sheet::Cell> heads;
    std::size_t priceColumn = 0;
    std::size_t nameColumn = 0;
    for (const pricelist::Column& column : pricelist::columns(*tender.qrySpecs)) {
        if (column.field == kPrice)
            priceColumn = heads.size();
        if (column.field == kTradeName)
            nameColumn = heads.size();
        heads.push_back({sheet::CellKind::Text, column.head, 0});
    }
    table.rows.push_back(heads);
    std::unique_ptr<data::Dataset> positions = data::makeQryData(tender.connection);
    forEachPosition(tender, *positions, [&](const data::Dataset& lots) {
        const double price = 1.25 + round + positions->recNo();
        std::vector<sheet::Cell> row(heads.size());
        row[0] = {sheet::CellKind::Text, lots.fieldByName(QStringLiteral("CUSTOM_CODE")).asString(),
                  0};
        row[1] = {sheet::CellKind::Text,
                  positions->fieldByName(QStringLiteral("CUSTOM_CODE")).asString(), 0};
        row[priceColumn] = {sheet::CellKind::Number, QString::number(price), price};
        row[nameColumn] = {sheet::CellKind::Text, tradeName(round), 0};
        table.rows.push_back(std::move(row));
    });
    return table;
}

// One timed pass (the next would find nothing to change): wall and processor time.
bench::Times importOnce(const QString& file, int round) {
    OpenTender tender(file);
    const sheet::Table table = priceSheet(tender, round);
    priceimport::PriceImport import(tender.connection, *tender.qrySpecs);
    return bench::timed([&] {
        const priceimport::Preview preview = import.preview(table);
        const priceimport::Outcome outcome = import.store(preview);
        // A position whose sheet row repeats what it holds is not stored again.
        if (!outcome.complete() ||
            preview.accepted.size() + preview.unchanged + 1 != table.rows.size()) {
            std::fprintf(stderr, "stored %d of %zu\n%s\n", outcome.stored, table.rows.size() - 1,
                         outcome.text().left(3000).toUtf8().constData());
            std::exit(1);
        }
    });
}

double typeOnce(const QString& file, int round) {
    OpenTender tender(file);
    std::unique_ptr<data::Dataset> positions = data::makeQryData(tender.connection);
    offer::installDatasetRules(*tender.qrySpecs, *tender.qryObosobeniPozicii, *positions);
    return bench::median(1, [&] {
        forEachPosition(tender, *positions, [&](const data::Dataset&) {
            positions->edit();
            positions->fieldByName(kPrice).setValue(1.25 + round + positions->recNo());
            positions->fieldByName(kTradeName).setValue(tradeName(round));
            positions->post();
        });
    });
}

template <typename Pass> auto onCopy(const QString& original, int round, Pass pass) {
    QTemporaryDir folder;
    const QString copy = folder.filePath(QStringLiteral("DB.mdb"));
    std::filesystem::copy_file(original.toStdString(), copy.toStdString());
    return pass(copy, round);
}

template <typename Pass> double medianOverCopies(int runs, const QString& original, Pass pass) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run)
        times.push_back(onCopy(original, run, pass));
    return bench::medianOf(times);
}

void importAgainstTyping(int runs, const QString& folder) {
    const QString original = folder + QStringLiteral("/tender.mdb");
    tender::writeTender(everyLotTakenPartIn(), original.toStdString());

    const double imported = medianOverCopies(runs, original, [](const QString& file, int round) {
        return importOnce(file, round).wall;
    });
    const double typed = medianOverCopies(runs, original, typeOnce);

    std::printf("## Import of %d prices against %d single posts\n\n", kPositions, kPositions);
    std::printf("Written from `bench/import_bench %d`.\n\n", runs);
    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- A generated tender of %d lots and %d positions, every lot taken part in; "
                "each run on a fresh copy, medians of %d runs\n\n",
                kLots, kPositions, runs);
    std::printf("| pass | time |\n|---|---|\n");
    std::printf("| import: preview and storing, one lock and one sync | %.3f s |\n", imported);
    std::printf("| typing: one post per position, each locked and synced | %.3f s |\n", typed);
    std::printf("\ntyping / import: **%.1f**\n", typed / imported);
}

void importIntoAGrowingFile(int runs, const QString& folder) {
    const nlohmann::json offered =
        tender::everyPositionOffered(everyLotTakenPartIn(kLargeLots, kLargePositions));
    const QString empty = folder + QStringLiteral("/delivered.mdb");
    const QString full = folder + QStringLiteral("/offered.mdb");
    tender::writeTender(nothingOffered(offered), empty.toStdString());
    tender::writeTender(offered, full.toStdString());
    const auto pages = [](const QString& file) {
        return std::filesystem::file_size(file.toStdString()) / 4096;
    };

    // The two take turns, so that a change in the machine's load meets both.
    std::vector<double> growingWall, growingProcessor, inPlaceWall, inPlaceProcessor;
    std::uintmax_t grownTo = 0;
    for (int run = 0; run < runs; ++run) {
        const bench::Times growing = onCopy(empty, run, [&](const QString& file, int round) {
            const bench::Times times = importOnce(file, round);
            grownTo = pages(file);
            return times;
        });
        const bench::Times inPlace = onCopy(full, run, importOnce);
        growingWall.push_back(growing.wall);
        growingProcessor.push_back(growing.processor);
        inPlaceWall.push_back(inPlace.wall);
        inPlaceProcessor.push_back(inPlace.processor);
    }
    const bench::Times growing{bench::medianOf(growingWall), bench::medianOf(growingProcessor)};
    const bench::Times inPlace{bench::medianOf(inPlaceWall), bench::medianOf(inPlaceProcessor)};

    std::printf("## Import of %d prices into the file as delivered, without offered values\n\n",
                kLargePositions);
    std::printf("Written from `bench/import_bench %d`.\n\n", runs);
    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- A generated tender of %d lots and %d positions, every lot taken part in; the "
                "file as delivered has %ju pages and grows to %ju, the file already offered has "
                "%ju; each run on a fresh copy, the two passes in turn, medians of %d runs\n\n",
                kLargeLots, kLargePositions, pages(empty), grownTo, pages(full), runs);
    std::printf("| pass | wall time | processor time |\n|---|---|---|\n");
    std::printf("| into the file as delivered: every row grows, many move | %.3f s | %.3f s |\n",
                growing.wall, growing.processor);
    std::printf("| into the file already offered: every row stays in place | %.3f s | %.3f s |\n",
                inPlace.wall, inPlace.processor);
    std::printf("\ndelivered / offered: **%.2f** wall time, **%.2f** processor time (goal: at "
                "most 1.5)\n",
                growing.wall / inPlace.wall, growing.processor / inPlace.processor);
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    importAgainstTyping(runs, folder.path());
    std::printf("\n");
    importIntoAGrowingFile(runs, folder.path());
    return 0;
}
