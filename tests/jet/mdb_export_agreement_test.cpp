// SPDX-License-Identifier: Apache-2.0
// Our reader against the mdbtools reference: every Jet 4 file among the shared files lists the
// same user tables, and `tenderdb dump` prints every table as `mdb-export` does, except where
// mdb-export is known to be lossy or wrong (each such place is normalised below, with why).

#include "jet/data_page.h"
#include "jet/database.h"
#include "tests/jet/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>
#include <optional>
#include <ostream>
#include <regex>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

// ---- CSV as both tools write it: comma separated, newline terminated; a quoted field may hold
// commas, newlines and doubled quotes.

struct Field {
    std::string text;
    bool quoted = false;
    bool operator==(const Field&) const = default;
};
using Record = std::vector<Field>;

std::vector<Record> parseCsv(const std::string& csv) {
    std::vector<Record> records;
    Record record;
    std::size_t i = 0;
    while (i < csv.size()) {
        Field field;
        if (csv[i] == '"') {
            field.quoted = true;
            for (++i;; ++i) {
                if (i >= csv.size())
                    throw std::runtime_error("CSV: unterminated quoted field");
                if (csv[i] == '"') {
                    if (i + 1 < csv.size() && csv[i + 1] == '"') {
                        field.text += '"';
                        ++i;
                        continue;
                    }
                    ++i;
                    break;
                }
                field.text += csv[i];
            }
            if (i < csv.size() && csv[i] != ',' && csv[i] != '\n')
                throw std::runtime_error("CSV: text after a closing quote at byte " +
                                         std::to_string(i));
        } else {
            std::size_t end = csv.find_first_of(",\n", i);
            end = end == std::string::npos ? csv.size() : end;
            field.text = csv.substr(i, end - i);
            i = end;
        }
        record.push_back(std::move(field));
        if (i >= csv.size() || csv[i] == '\n') {
            records.push_back(std::move(record));
            record.clear();
        }
        ++i; // past the comma or the newline
    }
    return records;
}

TEST(CsvParser, ReadsQuotedCommasQuotesAndNewlines) {
    auto records = parseCsv("a,\"b,c\",\"say \"\"hi\"\"\",\"two\nlines\",\n,\"\"\n");
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(
        records[0],
        (Record{
            {"a", false}, {"b,c", true}, {"say \"hi\"", true}, {"two\nlines", true}, {"", false}}));
    EXPECT_EQ(records[1], (Record{{"", false}, {"", true}}));
    EXPECT_THROW(parseCsv("\"open\n"), std::runtime_error);
    EXPECT_THROW(parseCsv("\"a\"b\n"), std::runtime_error);
}

// ---- The files and tables to compare.

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        end = end == std::string::npos ? text.size() : end;
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

bool isJet4(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char header[0x15] = {};
    in.read(header, sizeof header);
    return in && header[0x14] == 0x01;
}

// Jet 3 files are left out here: the reader refuses them, which the damaged-file tests cover.
std::vector<std::string> jet4Files() {
    std::vector<std::string> files;
    for (const char* folder : {"mdb/real", "mdb"})
        for (const auto& entry : fs::directory_iterator(fs::path(BRX_SHARED_DIR) / folder))
            if (entry.path().extension() == ".mdb" && isJet4(entry.path()))
                files.push_back(entry.path().string());
    std::sort(files.begin(), files.end());
    return files;
}

std::vector<std::string> referenceTables(const std::string& file) {
    return lines(jettest::runProcess({"mdb-tables", "-1", file}).out);
}

struct TableCase {
    std::string file;
    std::string table;
};

void PrintTo(const TableCase& c, std::ostream* out) {
    *out << c.file << " table " << c.table;
}

// The tables come from mdb-tables so that a table our reader misses still gets its case.
std::vector<TableCase> tableCases() {
    std::vector<TableCase> cases;
    for (const std::string& file : jet4Files())
        for (const std::string& table : referenceTables(file))
            cases.push_back({file, table});
    return cases;
}

std::string caseName(std::string text) {
    for (char& c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)))
            c = '_';
    return text;
}

// ---- Comparison of one field, with the normalisations mdb-export needs.

std::optional<double> number(const Field& field) {
    double value = 0;
    const char* end = field.text.data() + field.text.size();
    auto [ptr, ec] = std::from_chars(field.text.data(), end, value);
    if (field.quoted || field.text.empty() || ec != std::errc() || ptr != end)
        return std::nullopt;
    return value;
}

bool sameField(const jet::Column& column, const Field& ours, const Field& theirs) {
    switch (column.type) {
    case jet::ColumnType::Single:
    case jet::ColumnType::Double: {
        // We print the shortest digits that read back as the stored number; mdb-export prints a
        // fixed number of digits (9.800000000000001 for 9.8). Equal within the type's precision.
        auto a = number(ours);
        auto b = number(theirs);
        if (!a || !b)
            break;
        double epsilon = column.type == jet::ColumnType::Single
                             ? std::numeric_limits<float>::epsilon()
                             : std::numeric_limits<double>::epsilon();
        return std::abs(*a - *b) <= 4 * epsilon * std::max(std::abs(*a), std::abs(*b));
    }
    case jet::ColumnType::DateTime: {
        // mdb-export cannot print a date far from today (years 9999 or before 1900) and writes
        // day 00 instead; any well-formed date of ours stands against that.
        static const std::regex unprintable(R"(\d\d/00/\d\d \d\d:\d\d:\d\d)");
        static const std::regex wellFormed(
            R"((0[1-9]|1[0-2])/(0[1-9]|[12]\d|3[01])/\d\d ([01]\d|2[0-3]):[0-5]\d:[0-5]\d)");
        if (theirs.quoted && std::regex_match(theirs.text, unprintable))
            return ours.quoted && std::regex_match(ours.text, wellFormed);
        break;
    }
    case jet::ColumnType::Text:
    case jet::ColumnType::Memo:
        // mdb-export prints an empty text like a null, as nothing; we keep the two apart.
        if (ours.quoted && ours.text.empty())
            return theirs == Field{};
        break;
    default:
        break;
    }
    return ours == theirs;
}

bool sameRecord(const jet::TableDef& def, const Record& ours, const Record& theirs) {
    if (ours.size() != def.columns.size() || theirs.size() != def.columns.size())
        return false;
    for (std::size_t i = 0; i < def.columns.size(); ++i)
        if (!sameField(def.columns[i], ours[i], theirs[i]))
            return false;
    return true;
}

std::string show(const Record& record) {
    std::string out;
    for (const Field& field : record)
        out += (out.empty() ? "" : ",") + (field.quoted ? "\"" + field.text + "\"" : field.text);
    return out;
}

// A row that Jet relocated is listed by us at its original place and by mdb-export where its
// data lives, so such a table agrees only as a multiset of rows.
bool hasRelocatedRows(const jet::Database& db, const jet::TableDef& def) {
    bool relocated = false;
    db.scan(def, [&](jet::RowId id, const jet::Row&) {
        jet::Page page = db.file().read(id.page);
        relocated = relocated || jet::DataPage(page, db.file().where(id.page)).isOverflow(id.row);
    });
    return relocated;
}

// ---- The tests.

class TableList : public testing::TestWithParam<std::string> {};

TEST_P(TableList, AgreesWithMdbTables) {
    const std::string& file = GetParam();
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    EXPECT_EQ(db.tableNames(), referenceTables(file));
}

INSTANTIATE_TEST_SUITE_P(SharedFiles, TableList, testing::ValuesIn(jet4Files()),
                         [](const testing::TestParamInfo<std::string>& file) {
                             return caseName(fs::path(file.param).stem().string());
                         });

class TableDump : public testing::TestWithParam<TableCase> {};

TEST_P(TableDump, AgreesWithMdbExport) {
    const auto& [file, table] = GetParam();
    auto ours = jettest::runProcess({TENDERDB_PATH, "dump", file, table});
    ASSERT_EQ(ours.status, 0) << ours.err;
    auto theirs = jettest::runProcess({"mdb-export", file, table});
    ASSERT_EQ(theirs.status, 0) << theirs.err;
    std::vector<Record> ourRecords = parseCsv(ours.out);
    std::vector<Record> theirRecords = parseCsv(theirs.out);
    ASSERT_FALSE(ourRecords.empty());
    ASSERT_FALSE(theirRecords.empty());
    EXPECT_EQ(show(ourRecords[0]), show(theirRecords[0])) << "header";
    ASSERT_EQ(ourRecords.size(), theirRecords.size()) << "row count";

    jet::Database db(file, jet::Database::Mode::ReadOnly);
    jet::TableDef def = db.table(table);
    if (!hasRelocatedRows(db, def)) {
        for (std::size_t i = 1; i < ourRecords.size(); ++i)
            EXPECT_TRUE(sameRecord(def, ourRecords[i], theirRecords[i]))
                << "row " << i << "\n ours:   " << show(ourRecords[i])
                << "\n theirs: " << show(theirRecords[i]);
        return;
    }
    std::vector<bool> matched(theirRecords.size(), false);
    for (std::size_t i = 1; i < ourRecords.size(); ++i) {
        bool found = false;
        for (std::size_t j = 1; j < theirRecords.size() && !found; ++j)
            if (!matched[j] && sameRecord(def, ourRecords[i], theirRecords[j]))
                matched[j] = found = true;
        EXPECT_TRUE(found) << "row " << i << " not in mdb-export's output: " << show(ourRecords[i]);
    }
}

INSTANTIATE_TEST_SUITE_P(SharedFiles, TableDump, testing::ValuesIn(tableCases()),
                         [](const testing::TestParamInfo<TableCase>& table) {
                             return caseName(fs::path(table.param.file).stem().string() + "_" +
                                             table.param.table);
                         });

} // namespace
