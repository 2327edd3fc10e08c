// SPDX-License-Identifier: Apache-2.0
// Times writing a generated tender of 50,000 positions (the description built in memory, then
// encoded and written as a new file) against a reference measured in the same run: writing the
// same number of zero pages through the same page store, which is the disk's share of the work.
// Prints the medians and their ratio; run it by hand: generate_bench [POSITIONS] [RUNS].

#include "bench/median.h"
#include "jet/page_store.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

using bench::median;

} // namespace

int main(int argc, char** argv) {
    int positions = argc > 1 ? std::stoi(argv[1]) : 50000;
    int runs = argc > 2 ? std::stoi(argv[2]) : 5;
    int lots = std::max(1, positions / 400);
    std::filesystem::path out = std::filesystem::temp_directory_path() / "generate_bench.mdb";

    nlohmann::json tender;
    double describe = median(runs, [&] { tender = tender::generateTender(lots, positions); });
    double write = median(runs, [&] { tender::writeTender(tender, out.string()); });
    auto pages = static_cast<std::uint32_t>(std::filesystem::file_size(out) / jet::kPageSize);
    double reference = median(runs, [&] {
        jet::PageStore store;
        for (std::uint32_t i = 0; i < pages; ++i)
            store.allocate();
        store.writeTo(out.string());
    });
    std::filesystem::remove(out);

    std::printf("positions: %d in %d lots, file of %u pages (%.1f MB), median of %d runs\n",
                positions, lots, pages, pages * 4096.0 / 1e6, runs);
    std::printf("describe (generate the JSON): %.3f s\n", describe);
    std::printf("create the file from it:      %.3f s\n", write);
    std::printf("generate in all:              %.3f s\n", describe + write);
    std::printf("reference, write %u zero pages: %.3f s\n", pages, reference);
    std::printf("create / reference: %.2f\n", write / reference);
    return 0;
}
