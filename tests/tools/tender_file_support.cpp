// SPDX-License-Identifier: Apache-2.0
#include "tender_file_support.h"

#include "jet/database.h"
#include "tests/jet/process.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <fstream>
#include <random>

namespace tendertest {

Folder::Folder() {
    std::random_device random;
    path_ = std::filesystem::temp_directory_path() /
            ("tenderfile-" + std::to_string(random()) + std::to_string(random()));
    std::filesystem::create_directories(path_);
}

Folder::~Folder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

ExportedTable mdbExport(const std::string& file, const std::string& table) {
    jettest::ProcessResult result = jettest::runProcess({"mdb-export", file, table});
    if (result.status != 0)
        throw std::runtime_error("mdb-export " + table + " failed: " + result.err);
    const std::string& csv = result.out;
    std::vector<std::vector<std::string>> records(1);
    std::string field;
    for (std::size_t i = 0; i < csv.size(); ++i) {
        char c = csv[i];
        if (c == '"') {
            for (++i; i < csv.size(); ++i) {
                if (csv[i] == '"' && i + 1 < csv.size() && csv[i + 1] == '"')
                    field += csv[++i];
                else if (csv[i] == '"')
                    break;
                else
                    field += csv[i];
            }
        } else if (c == ',' || c == '\n') {
            records.back().push_back(std::move(field));
            field.clear();
            if (c == '\n')
                records.emplace_back();
        } else {
            field += c;
        }
    }
    records.pop_back();
    ExportedTable out;
    out.columns = records.front();
    out.rows.assign(records.begin() + 1, records.end());
    return out;
}

namespace {

// Where a compared value is, streamed only when a comparison fails.
struct Where {
    const char* reader;
    const std::string& table;
    std::size_t row;
    const std::string& column;
};

std::ostream& operator<<(std::ostream& out, const Where& where) {
    return out << where.reader << ' ' << where.table << " row " << where.row + 1 << ' '
               << where.column;
}

// The description's value of `column` in the form mdb-export prints it: numbers are compared
// as numbers by the caller, texts as they are, yes/no as 1 or 0.
void expectExported(const nlohmann::json& value, const std::string& exported, const Where& where) {
    if (value.is_null() || (value.is_string() && value.get<std::string>().empty())) {
        EXPECT_EQ(exported, "") << where;
    } else if (value.is_string()) {
        EXPECT_EQ(exported, value.get<std::string>()) << where;
    } else if (value.is_boolean()) {
        EXPECT_EQ(exported, value.get<bool>() ? "1" : "0") << where;
    } else {
        double expected = value.get<double>();
        double actual = std::strtod(exported.c_str(), nullptr);
        EXPECT_NEAR(actual, expected, std::abs(expected) * 1e-9) << where << ": " << exported;
    }
}

void expectRead(const nlohmann::json& value, const jet::Value& read, const Where& where) {
    if (value.is_null()) {
        EXPECT_TRUE(jet::isNull(read)) << where;
    } else if (value.is_string()) {
        const auto* text = std::get_if<std::string>(&read);
        ASSERT_NE(text, nullptr) << where;
        EXPECT_EQ(*text, value.get<std::string>()) << where;
    } else if (value.is_boolean()) {
        EXPECT_EQ(read, jet::Value(value.get<bool>())) << where;
    } else if (const auto* integer = std::get_if<std::int64_t>(&read)) {
        EXPECT_EQ(*integer, value.get<std::int64_t>()) << where;
    } else {
        const auto* real = std::get_if<double>(&read);
        ASSERT_NE(real, nullptr) << where;
        EXPECT_EQ(*real, value.get<double>()) << where;
    }
}

} // namespace

namespace {

// The description's rows as the file should hold them: columns left out are null, a missing
// autonumber is one past the highest so far, and a yes/no, which cannot be null, reads no.
class Expected {
public:
    Expected(const nlohmann::json& description, const std::string& table)
        : rows_(description.contains(table) ? description.at(table) : empty_) {
        std::int64_t highest = 0;
        for (const nlohmann::json& row : rows_) {
            auto code = row.find("CODE");
            bool given = code != row.end() && code->is_number();
            highest = given ? std::max(highest, code->get<std::int64_t>()) : highest + 1;
            autoNumbers_.push_back(given ? code->get<std::int64_t>() : highest);
        }
    }

    std::size_t size() const { return rows_.size(); }

    nlohmann::json value(std::size_t r, const jet::Column& column) const {
        const nlohmann::json& row = rows_[r];
        if (column.isAutoNumber())
            return autoNumbers_[r];
        auto at = row.find(column.name);
        if (at != row.end() && !at->is_null())
            return *at;
        if (column.type == jet::ColumnType::Boolean)
            return false;
        return nullptr;
    }

private:
    inline static const nlohmann::json empty_ = nlohmann::json::array();
    const nlohmann::json& rows_;
    std::vector<std::int64_t> autoNumbers_;
};

} // namespace

void expectReaderHolds(const std::string& file, const nlohmann::json& description,
                       const std::string& table) {
    jet::Database db(file, jet::Database::Mode::ReadOnly);
    jet::TableDef def = db.table(table);
    Expected expected(description, table);
    std::size_t r = 0;
    db.scan(def, [&](jet::RowId, const jet::Row& row) {
        if (r < expected.size())
            for (std::size_t c = 0; c < def.columns.size(); ++c)
                expectRead(expected.value(r, def.columns[c]), row[c],
                           Where{"reader", table, r, def.columns[c].name});
        ++r;
    });
    EXPECT_EQ(r, expected.size()) << table;
}

void expectFileHolds(const std::string& file, const nlohmann::json& description,
                     const std::string& table) {
    jet::TableDef def = jet::Database(file, jet::Database::Mode::ReadOnly).table(table);
    Expected expected(description, table);
    ExportedTable exported = mdbExport(file, table);
    ASSERT_EQ(exported.rows.size(), expected.size()) << table;
    std::vector<const jet::Column*> exportedColumns;
    for (const std::string& name : exported.columns)
        exportedColumns.push_back(&def.column(name));
    for (std::size_t r = 0; r < expected.size(); ++r)
        for (std::size_t c = 0; c < exportedColumns.size(); ++c)
            expectExported(expected.value(r, *exportedColumns[c]), exported.rows[r].at(c),
                           Where{"mdb-export", table, r, exported.columns[c]});
    expectReaderHolds(file, description, table);
}

nlohmann::json readJson(const std::string& path) {
    std::ifstream in(path);
    return nlohmann::json::parse(in);
}

} // namespace tendertest
