// SPDX-License-Identifier: Apache-2.0
// Times posts through the engine, with and without making them durable, on the sample tender
// and on a generated one of many positions, against a reference measured in the same run:
// writing one page and making it durable, the least a durable post can cost. Prints a Markdown
// table; run it by hand: update_bench [POSITIONS] [POSTS] (defaults 5000 and 200).

#include "jet/database.h"
#include "jet/row_update.h"
#include "tools/tender_description.h"
#include "tools/tender_generator.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Changes = std::vector<jet::Database::ColumnChange>;

// Mean seconds per call of `work` over `count` calls.
double perCall(int count, const std::function<void(int)>& work) {
    auto start = Clock::now();
    for (int i = 0; i < count; ++i)
        work(i);
    return std::chrono::duration<double>(Clock::now() - start).count() / count;
}

struct Measure {
    std::string file;
    std::string post;
    double synced = 0;
    double unsynced = 0;
};

std::vector<Measure> measure(const std::string& name, const fs::path& path, int posts) {
    jet::Database db(path.string(), jet::Database::Mode::ReadWrite);
    jet::TableDef table = db.table("PREDLOGENIA");
    std::vector<jet::RowId> rows;
    db.scan(table, [&](jet::RowId id, const jet::Row&) { rows.push_back(id); });
    std::string big;
    for (int i = 0; i < 255; ++i)
        big += "Ж";
    Changes grow, shrink;
    for (const char* column : {"INFO1", "INFO2", "INFO3", "INFO4", "INFO5"}) {
        grow.push_back({column, big});
        shrink.push_back({column, std::monostate{}});
    }

    std::vector<Measure> results;
    auto run = [&](const std::string& post, const std::function<Changes(int)>& changes,
                   const std::function<jet::RowId(int)>& row) {
        Measure m{name, post};
        for (auto durability : {jet::Durability::Synced, jet::Durability::Unsynced}) {
            double seconds = perCall(posts, [&](int i) {
                jet::updateRow(db.file(), table, row(i), changes(i), durability);
            });
            (durability == jet::Durability::Synced ? m.synced : m.unsynced) = seconds;
        }
        results.push_back(m);
    };
    run(
        "a number, row stays in place",
        [](int i) {
            return Changes{{"PP1_NUMBER", i * 0.5}};
        },
        [&](int i) { return rows[static_cast<std::size_t>(i) % rows.size()]; });
    run(
        "5 texts of 255 Cyrillic letters, then null: the row moves out and back",
        [&](int i) { return i % 2 == 0 ? grow : shrink; },
        [&](int) { return rows[rows.size() / 2]; });
    return results;
}

} // namespace

int main(int argc, char** argv) {
    int positions = argc > 1 ? std::stoi(argv[1]) : 5000;
    int posts = argc > 2 ? std::stoi(argv[2]) : 200;
    fs::path folder = fs::temp_directory_path() / "update_bench";
    fs::create_directories(folder);
    fs::path sample = folder / "sample.mdb";
    fs::path generated = folder / "generated.mdb";
    fs::copy_file(fs::path(BRX_SHARED_DIR) / "mdb" / "tender-sample.mdb", sample,
                  fs::copy_options::overwrite_existing);
    fs::permissions(sample, fs::perms::owner_read | fs::perms::owner_write);
    tender::writeTender(tender::generateTender(std::max(1, positions / 400), positions),
                        generated.string());

    double reference = 0;
    {
        jet::PageFile file(sample.string(), jet::PageFile::Access::ReadWrite);
        jet::Page first = file.read(0);
        reference = perCall(posts, [&](int) {
            file.write(0, first);
            file.sync();
        });
    }

    std::vector<Measure> all = measure("sample (38 positions)", sample, posts);
    for (Measure& m :
         measure("generated (" + std::to_string(positions) + " positions)", generated, posts))
        all.push_back(m);
    fs::remove_all(folder);

    std::printf("| file | post | synced | not synced | synced / reference |\n");
    std::printf("|---|---|---|---|---|\n");
    for (const Measure& m : all)
        std::printf("| %s | %s | %.3f ms | %.3f ms | %.2f |\n", m.file.c_str(), m.post.c_str(),
                    m.synced * 1e3, m.unsynced * 1e3, m.synced / reference);
    std::printf("\nreference, one page written and synced: %.3f ms; %d posts of each kind\n",
                reference * 1e3, posts);
    return 0;
}
