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
// The generated tender asks for the price and a trade name (PP2, which must be filled in).
const QString kPrice = QStringLiteral("PP1_NUMBER");
const QString kTradeName = QStringLiteral("PP2_TEXT");

QString tradeName(int round) {
    return QStringLiteral("Медикс %1").arg(round);
}

// The generated tender with every lot taken part in, so that every position can be priced.
nlohmann::json everyLotTakenPartIn() {
    nlohmann::json tender = tender::generateTender(kLots, kPositions);
    for (nlohmann::json& row : tender["PREDLOGENIA"])
        if (!row.contains("MASTER_CODE") || row["MASTER_CODE"].is_null())
            row["PP2_TEXT"] = "Да";
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

double importOnce(const QString& file, int round) {
    OpenTender tender(file);
    const sheet::Table table = priceSheet(tender, round);
    priceimport::PriceImport import(tender.connection, *tender.qrySpecs);
    return bench::median(1, [&] { // one timed pass: the next would find nothing to change
        const priceimport::Outcome outcome = import.store(import.preview(table));
        if (outcome.stored != kPositions) {
            std::fprintf(stderr, "stored %d of %d\n", outcome.stored, kPositions);
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

template <typename Pass> double medianOverCopies(int runs, const QString& original, Pass pass) {
    std::vector<double> times;
    for (int run = 0; run < runs; ++run) {
        QTemporaryDir folder;
        const QString copy = folder.filePath(QStringLiteral("DB.mdb"));
        std::filesystem::copy_file(original.toStdString(), copy.toStdString());
        times.push_back(pass(copy, run));
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 3;
    QTemporaryDir folder;
    const QString original = folder.filePath(QStringLiteral("tender.mdb"));
    tender::writeTender(everyLotTakenPartIn(), original.toStdString());

    const double imported = medianOverCopies(runs, original, importOnce);
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
    return 0;
}
