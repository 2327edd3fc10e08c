// SPDX-License-Identifier: Apache-2.0
// Damaged and foreign files: every one must end in a jet::Error whose message names the file and
// what is wrong, never in a crash, a hang, a read out of bounds or a silently short result.

#include "jet/bytes.h"
#include "jet/data_page.h"
#include "jet/database.h"
#include "jet/header.h"
#include "jet/long_value.h"
#include "jet/row_codec.h"
#include "jet/usage_map.h"
#include "tests/jet/process.h"
#include "tests/jet/test_files.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <functional>
#include <optional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace {

namespace fs = std::filesystem;

using jettest::TempFolder;

// Everything a reader of the file does: open, list the tables, read each definition and decode
// every row. Returns the error's message, or nothing when the whole file read cleanly.
std::optional<std::string> readEverything(const fs::path& path) {
    try {
        jet::Database db(path.string(), jet::Database::Mode::ReadOnly);
        for (const std::string& name : db.tableNames())
            db.scan(db.table(name), [](jet::RowId, const jet::Row&) {});
    } catch (const jet::Error& error) {
        return std::string(error.what());
    }
    return std::nullopt;
}

// Where things are in the shared files, looked up with the engine itself so that the patches
// below hit what they mean to.
struct Landmarks {
    std::uint32_t definitionPage = 0; // of the file's first user table
    jet::RowId firstRow;              // of that table
    jet::RowId lastRow;
    std::size_t firstMemo = 0; // file offset of the first row's first memo definition, if any
};

Landmarks landmarks(const fs::path& file) {
    jet::Database db(file.string(), jet::Database::Mode::ReadOnly);
    jet::TableDef def = db.table(db.tableNames().front());
    Landmarks marks{def.definitionPage, {}, {}, 0};
    bool first = true;
    db.scan(def, [&](jet::RowId id, const jet::Row&) {
        if (std::exchange(first, false))
            marks.firstRow = id;
        marks.lastRow = id;
    });
    jet::Page page = db.file().read(marks.firstRow.page);
    auto row = jet::DataPage(page, "").rowBytes(marks.firstRow.row);
    jet::RowLayout layout = jet::parseRow(row, def.variableColumnCount > 0, "");
    for (const jet::Column& column : def.columns)
        if (column.type == jet::ColumnType::Memo && marks.firstMemo == 0)
            marks.firstMemo =
                marks.firstRow.page * jet::kPageSize +
                static_cast<std::size_t>(layout.variableBytes(column).data() - page.data());
    return marks;
}

std::size_t at(std::uint32_t page, std::size_t offset) {
    return page * jet::kPageSize + offset;
}

struct DamageCase {
    const char* name;
    const char* source; // a shared file, relative to mdb/
    std::function<void(jet::Bytes&, const Landmarks&)> damage;
    std::vector<std::string> expected; // parts of the message, besides the file's path
};

void PrintTo(const DamageCase& c, std::ostream* out) {
    *out << c.name;
}

const std::vector<DamageCase>& damageCases() {
    static const std::vector<DamageCase> cases = {
        {"EmptyFile",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) { b.clear(); },
         {"empty or shorter than one page"}},
        {"NoSignature",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) { b.assign(8 * jet::kPageSize, 0); },
         {"not an Access database"}},
        {"FirstPageOnly",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) { b.resize(jet::kPageSize); },
         {"page 2", "out of range (1 pages)"}},
        // Cut in the middle of the table's last data page, the file's last page: the rows
        // there must not vanish from a listing that then looks complete.
        {"CutMidDataPage",
         "real/test2V2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) { b.resize(at(m.lastRow.page, 1000)); },
         {"page 15: table MSP_PROJECTS has pages past the end of the file (60 pages): the file "
          "is cut short"}},
        {"EncryptedHeader",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) {
             constexpr std::size_t masked = 0x18;
             jet::maskHeader(b.data() + masked, 128);
             jet::putU32(b, 0x3E, 0x12345678);
             jet::maskHeader(b.data() + masked, 128);
         },
         {"encrypted"}},
        {"UnknownVersion",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) { b[0x14] = 7; },
         {"unsupported format version 7"}},
        {"DefinitionContinuesOutOfRange",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             jet::putU32(b, at(m.definitionPage, 4), 0x00FFFFFF);
         },
         {"page 16777215", "table definition page out of range"}},
        {"DefinitionContinuesIntoItself",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             jet::putU32(b, at(m.definitionPage, 4), m.definitionPage);
         },
         {"page chain loops"}},
        {"OwnedPagesMapOutOfRange",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             jet::putU32(b, at(m.definitionPage, 55), 0x00FFFF00);
         },
         {"page 65535", "usage map page out of range"}},
        {"AbsurdColumnCount",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             jet::putU16(b, at(m.definitionPage, 45), 0xFFFF);
         },
         {"implausible counts (65535 columns"}},
        {"RowOffsetPastPageEnd",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             std::size_t slot = at(m.firstRow.page, jet::kDataPageHeader + 2u * m.firstRow.row);
             jet::putU16(b, slot, jet::kRowOffsetMask);
         },
         {"row 0: bounds 8191..4096 are not valid"}},
        {"RowCountPastPageEnd",
         "real/testV2000.mdb",
         [](jet::Bytes& b, const Landmarks& m) { jet::putU16(b, at(m.firstRow.page, 12), 4000); },
         {"row count 4000 does not fit the page"}},
        // A memo stored as a chain of long-value rows whose first row leads back to itself: the
        // reader must give up rather than follow it for ever.
        {"LongValueChainLoops",
         "real/DateTestDatabase.mdb",
         [](jet::Bytes& b, const Landmarks& m) {
             // The second row of the page becomes a chain row pointing to itself, and the
             // memo of the first row a chain of the largest length starting there.
             ASSERT_NE(m.firstMemo, 0u) << "the first row has no memo";
             jet::RowId loop{m.firstRow.page, static_cast<std::uint16_t>(m.firstRow.row + 1)};
             std::size_t slot = at(loop.page, jet::kDataPageHeader + 2u * loop.row);
             std::size_t row = at(loop.page, (b[slot] | b[slot + 1] << 8) & jet::kRowOffsetMask);
             jet::putU32(b, row, loop.page << 8 | loop.row);
             jet::putU32(b, m.firstMemo, 0x00FFFFFF);
             jet::putU32(b, m.firstMemo + 4, loop.page << 8 | loop.row);
         },
         {"column LongTextCol: long value chain loops"}},
        // overflowTestV2000: row 2 of page 27 is relocated to row 0 of page 28. Pointing that
        // row back at its origin makes a loop the reader must leave.
        {"RelocationLoop",
         "real/overflowTestV2000.mdb",
         [](jet::Bytes& b, const Landmarks&) {
             std::size_t slot = at(28, jet::kDataPageHeader);
             std::uint16_t word = static_cast<std::uint16_t>(b[slot] | b[slot + 1] << 8);
             jet::putU16(b, slot, static_cast<std::uint16_t>(word | jet::kRowOverflow));
             std::size_t row = at(28, word & jet::kRowOffsetMask);
             b[row] = 2;
             jet::putU24(b, row + 1, 27);
         },
         {"relocation pointers loop"}},
    };
    return cases;
}

class DamagedFile : public testing::TestWithParam<DamageCase> {};

TEST_P(DamagedFile, IsRefusedWithAMessageNamingFileAndFault) {
    const DamageCase& c = GetParam();
    fs::path source = jettest::sharedFile(c.source);
    jet::Bytes bytes = jettest::fileBytes(source);
    ASSERT_FALSE(bytes.empty()) << source;
    c.damage(bytes, landmarks(source));
    TempFolder folder;
    fs::path copy = folder.write("damaged.mdb", bytes);

    std::optional<std::string> message = readEverything(copy);
    ASSERT_TRUE(message) << "the damaged file read without an error";
    EXPECT_NE(message->find(copy.string()), std::string::npos) << *message;
    for (const std::string& part : c.expected)
        EXPECT_NE(message->find(part), std::string::npos) << *message;
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedFile, testing::ValuesIn(damageCases()),
                         [](const testing::TestParamInfo<DamageCase>& damage) {
                             return std::string(damage.param.name);
                         });

// In a sound file a chain's pieces add up to its stated length. Where the last piece holds more
// than is still missing, the value is only as long as stated: the rest is no part of it.
TEST(LongValueChain, IsReadToItsStatedLengthOnly) {
    jet::Database db(jettest::sharedFile("tender-sample.mdb").string(),
                     jet::Database::Mode::ReadOnly);
    jet::TableDef def = db.table("PREDLOGENIA");
    const jet::Column& memo = def.column("IME");
    jet::Bytes definition;
    for (std::uint32_t number : jet::readUsageMap(db.file(), def.ownedPages).pages) {
        jet::Page page = db.file().read(number);
        if (page[0] != jet::kDataPageType || !definition.empty())
            continue;
        jet::DataPage data(page, "page");
        for (std::uint16_t slot = 0; slot < data.rowCount() && definition.empty(); ++slot) {
            if (data.isDeleted(slot) || data.isOverflow(slot))
                continue;
            auto bytes = jet::parseRow(data.rowBytes(slot), true, "row").variableBytes(memo);
            if (bytes.size() >= jet::kLongValueHeader && bytes[3] == jet::kLongValueChain)
                definition.assign(bytes.begin(), bytes.end());
        }
    }
    ASSERT_FALSE(definition.empty()) << "no memo of the sample is a chain";
    const jet::Bytes whole = jet::readLongValue(db.file(), definition, "memo");
    ASSERT_GT(whole.size(), jet::kPageSize) << "the chain has a single piece";

    for (std::size_t length : {whole.size() - 1, whole.size() - 100, std::size_t{10}}) {
        SCOPED_TRACE(length);
        jet::Bytes shorter = definition;
        jet::putU24(shorter, 0, static_cast<std::uint32_t>(length));
        EXPECT_EQ(jet::readLongValue(db.file(), shorter, "memo"),
                  jet::Bytes(whole.begin(), whole.begin() + static_cast<std::ptrdiff_t>(length)));
    }
}

TEST(ForeignFile, MissingFileAndJet3FileAreRefused) {
    std::string missing = (fs::temp_directory_path() / "jet-no-such-file.mdb").string();
    EXPECT_EQ(readEverything(missing),
              missing + ": cannot open the file: No such file or directory");
    std::string jet3 = jettest::sharedFile("real/nwind.mdb").string();
    EXPECT_EQ(readEverything(jet3),
              jet3 + ": Jet 3 (Access 97) files are not supported, only Jet 4");
}

// The command line reports an error on standard error with status 1 and nothing on standard
// output, whatever the command.
TEST(TenderdbCommand, ReportsErrorsOnStandardErrorWithStatus1) {
    TempFolder folder;
    jet::Bytes bytes = jettest::fileBytes(jettest::sharedFile("real/testV2000.mdb"));
    bytes.resize(jet::kPageSize);
    std::string cut = folder.write("cut.mdb", bytes).string();
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"tables", cut},
             {"schema", cut},
             {"dump", cut, "Table1"},
             {"dump", jettest::sharedFile("real/testV2000.mdb"), "NoSuchTable"},
             {"tables", jettest::sharedFile("real/nwind.mdb")}}) {
        std::vector<std::string> argv{TENDERDB_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        jettest::ProcessResult result = jettest::runProcess(argv);
        EXPECT_EQ(result.status, 1) << args[0] << ' ' << args[1];
        EXPECT_EQ(result.out, "") << args[0] << ' ' << args[1];
        EXPECT_EQ(result.err.rfind("tenderdb: " + args[1], 0), 0u) << result.err;
    }
}

// A FIFO must be refused at once: opening one for reading would otherwise wait for a writer that
// never comes. `timeout` turns such a wait into status 124.
TEST(TenderdbCommand, RefusesWhatIsNotARegularFileWithoutWaiting) {
    TempFolder folder;
    fs::path placeholder = folder.write("fifo.mdb", {});
    fs::remove(placeholder);
    std::string fifo = placeholder.string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"tables", fifo},
             {"schema", fifo},
             {"dump", fifo, "Table1"},
             {"check", fifo},
             {"update", fifo, "T", "--where", "A=1", "--set", "B=2"}}) {
        std::vector<std::string> argv{"timeout", "5", TENDERDB_PATH};
        argv.insert(argv.end(), args.begin(), args.end());
        jettest::ProcessResult result = jettest::runProcess(argv);
        EXPECT_EQ(result.status, 1) << args[0];
        EXPECT_EQ(result.err, "tenderdb: " + fifo + ": not a regular file\n") << args[0];
    }
    std::string folderPath = placeholder.parent_path().string();
    EXPECT_EQ(readEverything(folderPath), folderPath + ": not a regular file");
}

TEST(TenderdbCommand, HelpSucceedsAndWrongUsageIsStatus2) {
    jettest::ProcessResult help = jettest::runProcess({TENDERDB_PATH, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.out.find("dump FILE TABLE"), std::string::npos);
    EXPECT_EQ(help.err, "");
    jettest::ProcessResult wrong = jettest::runProcess({TENDERDB_PATH, "dump", "only-a-file"});
    EXPECT_EQ(wrong.status, 2);
    EXPECT_NE(wrong.err.find("Usage:"), std::string::npos);
}

} // namespace
