// SPDX-License-Identifier: Apache-2.0
// Times a lot switch of the client (qryData closed, MASTER_CODE set, opened again) on a created
// tender of 500 lots x 100 positions, three ways the positions of the lot are found:
//
//   map    the row ids the lots' totals gathered, which the client uses first (the reference)
//   index  the file's MASTER_CODE index, a tree of leaf and intermediate pages, which the client
//          uses when it has no trustworthy map
//   scan   neither: a file without the index and no map, so the table's MASTER_CODE is scanned
//
// Each as the median of RUNS switches to lots spread over the tender, with the pages each reads.
// Run it by hand from the build folder: bench/lot_switch_bench [RUNS]; it prints Markdown for
// bench/RESULTS.md.

#include "bench/machine.h"
#include "data/connection.h"
#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <QString>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr int kLots = 500;
constexpr int kPositions = 50000;

enum class Way { Map, Index, Scan };

struct Figure {
    double milliseconds = 0; // median
    double pages = 0;        // median pages read
};

double medianOf(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

Figure lotSwitch(const fs::path& file, Way way, int runs) {
    data::Connection connection;
    connection.open(QString::fromStdString(file.string()));
    auto lots = data::makeQryObosobeniPozicii(connection);
    auto positions = data::makeQryData(connection);
    lots->open(); // gathers the map while it sums the lots' totals
    const int count = lots->recordCount();
    const auto lotAt = [&](int record) {
        return lots->valueAt(record, lots->fieldByName(QStringLiteral("PRODUCT_CODE")).index())
            .toLongLong();
    };
    std::vector<double> times;
    std::vector<double> pages;
    for (int i = -1; i < runs; ++i) { // the first switch is not counted
        if (way != Way::Map)
            connection.lotPositions().clear();
        const qint64 lot = lotAt((i + 2) * 7919 % count);
        const std::uint64_t before = connection.database().file().pagesRead();
        const auto start = Clock::now();
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), lot);
        positions->open();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (positions->recordCount() == 0 ||
            connection.lotPositions().complete() != (way != Way::Index))
            throw std::runtime_error("the switch did not go the way it was meant to");
        if (i >= 0) {
            times.push_back(elapsed * 1e3);
            pages.push_back(static_cast<double>(connection.database().file().pagesRead() - before));
        }
    }
    return {medianOf(times), medianOf(pages)};
}

} // namespace

int main(int argc, char** argv) {
    const int runs = argc > 1 ? std::stoi(argv[1]) : 101;
    const fs::path folder = fs::temp_directory_path() / "lot_switch_bench";
    fs::create_directories(folder);
    const nlohmann::json tender = tender::generateTender(kLots, kPositions);
    const fs::path indexed = folder / "indexed.mdb";
    const fs::path unindexed = folder / "unindexed.mdb";
    tender::writeTender(tender, indexed.string());
    tender::SchemaChanges noIndex;
    noIndex.unindexed = {"PREDLOGENIA.MASTER_CODE"};
    tender::writeTender(tender, unindexed.string(), noIndex);
    const auto filePages = fs::file_size(indexed) / 4096;

    const Figure map = lotSwitch(indexed, Way::Map, runs);
    const Figure index = lotSwitch(indexed, Way::Index, runs);
    const Figure scan = lotSwitch(unindexed, Way::Scan, std::max(5, runs / 10));
    fs::remove_all(folder);

    std::printf("- Machine: %s\n", bench::machine().c_str());
    std::printf("- Tender: `tenderdb create` of %d lots x %d positions (%ju pages); medians of %d "
                "switches (the scan: %d)\n\n",
                kLots, kPositions / kLots, static_cast<std::uintmax_t>(filePages), runs,
                std::max(5, runs / 10));
    std::printf("| lot switch, the lot's rows found through | median | pages read | / map |\n");
    std::printf("|---|---|---|---|\n");
    std::printf("| the map of the lots' totals (reference) | %.3f ms | %.0f | 1.00 |\n",
                map.milliseconds, map.pages);
    std::printf("| the MASTER_CODE index | %.3f ms | %.0f | %.2f |\n", index.milliseconds,
                index.pages, index.milliseconds / map.milliseconds);
    std::printf("| a scan of MASTER_CODE (file without the index) | %.3f ms | %.0f | %.1f |\n",
                scan.milliseconds, scan.pages, scan.milliseconds / map.milliseconds);
    return 0;
}
