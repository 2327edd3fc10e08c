// SPDX-License-Identifier: Apache-2.0
#include "tests/jet/update_support.h"

#include "tests/jet/process.h"

#include "jet/slot_page.h"
#include "jet/usage_map.h"
#include "jet/usage_map_writer.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <stdexcept>

namespace jettest {

namespace fs = std::filesystem;

namespace {

constexpr char kFieldSeparator = '\x1f';
constexpr char kRowSeparator = '\x1e';

bool isReal(const jet::Column& column) {
    return column.type == jet::ColumnType::Double || column.type == jet::ColumnType::Single;
}

std::string normalisedReal(double value) {
    char text[64];
    std::snprintf(text, sizeof text, "%.12g", value);
    return text;
}

std::string fieldOf(const jet::Column& column, const jet::Value& value) {
    if (const auto* text = std::get_if<std::string>(&value))
        return *text;
    if (const auto* flag = std::get_if<bool>(&value))
        return *flag ? "1" : "0";
    if (const auto* number = std::get_if<std::int64_t>(&value))
        return std::to_string(*number);
    if (const auto* real = std::get_if<double>(&value))
        return normalisedReal(*real);
    if (jet::isNull(value))
        return "";
    throw std::runtime_error("column " + column.name + ": a type the update tests do not compare");
}

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    for (std::size_t at = text.find(separator); at != std::string::npos;
         at = text.find(separator, start)) {
        parts.push_back(text.substr(start, at - start));
        start = at + 1;
    }
    parts.push_back(text.substr(start));
    return parts;
}

} // namespace

std::vector<Record> exportRecords(const fs::path& file, const jet::TableDef& table) {
    ProcessResult result =
        runProcess({"mdb-export", "-Q", "-d", std::string(1, kFieldSeparator), "-R",
                    std::string(1, kRowSeparator), file.string(), table.name});
    if (result.status != 0)
        throw std::runtime_error("mdb-export " + table.name + " failed: " + result.err);
    // Access's deleted rows have no bytes; mdb-export notes each one it passes.
    for (const std::string& line : split(result.err, '\n'))
        if (!line.empty() && line != "warning: row_size = 0.")
            throw std::runtime_error("mdb-export " + table.name + ": " + line);
    std::vector<std::string> rows = split(result.out, kRowSeparator);
    if (!rows.empty() && rows.back().empty())
        rows.pop_back();
    std::vector<Record> records;
    for (std::size_t i = 1; i < rows.size(); ++i) { // the first is the header
        Record record = split(rows[i], kFieldSeparator);
        if (record.size() != table.columns.size())
            throw std::runtime_error("mdb-export " + table.name + ": a row of " +
                                     std::to_string(record.size()) + " fields");
        for (std::size_t c = 0; c < record.size(); ++c)
            if (isReal(table.columns[c]) && !record[c].empty())
                record[c] = normalisedReal(std::strtod(record[c].c_str(), nullptr));
        records.push_back(std::move(record));
    }
    std::sort(records.begin(), records.end());
    return records;
}

std::vector<Record> recordsOf(const jet::TableDef& table, const std::vector<jet::Row>& rows) {
    std::vector<Record> records;
    for (const jet::Row& row : rows) {
        Record record;
        for (std::size_t c = 0; c < row.size(); ++c)
            record.push_back(fieldOf(table.columns[c], row[c]));
        records.push_back(std::move(record));
    }
    std::sort(records.begin(), records.end());
    return records;
}

std::map<jet::RowId, jet::Row> readRows(const jet::Database& db, const jet::TableDef& table) {
    std::map<jet::RowId, jet::Row> rows;
    db.scan(table, [&](jet::RowId id, const jet::Row& row) {
        if (!rows.emplace(id, row).second)
            throw std::runtime_error("row listed twice");
    });
    return rows;
}

std::vector<jet::Row> valuesOf(const std::map<jet::RowId, jet::Row>& rows) {
    std::vector<jet::Row> values;
    for (const auto& [id, row] : rows)
        values.push_back(row);
    return values;
}

std::string repeat(const std::string& unit, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

void leaveNoMapRoomToGrow(const std::string& path) {
    jet::PageFile file(path, jet::PageFile::Access::ReadWrite);
    const jet::TableDef def = jet::readTableDef(file, 27, "PREDLOGENIA");
    const auto rewrite = [&](jet::MapLocation at, const jet::Bytes& row) {
        jet::SlotPage page = jet::unpackDataPage(at.page, file.read(at.page), file.where(at.page));
        if (page.slots.at(at.row).bytes.size() != row.size())
            throw std::runtime_error("a map row of another size");
        page.slots[at.row].bytes = row;
        file.write(at.page, page.packed());
    };
    const std::vector<std::uint32_t> owned = jet::readUsageMap(file, def.ownedPages).pages;
    rewrite(def.ownedPages, jet::inlineMapRow(owned.front(), owned));
    jet::Bytes noPages(jet::kUsageMapRowSize, 0);
    noPages[0] = jet::kReferenceMap;
    rewrite(def.freeSpacePages, noPages);

    jet::SlotPage pageOne = jet::unpackDataPage(1, file.read(1), file.where(1));
    const std::size_t room = jet::kPageSize - pageOne.usedBytes() - 2;
    pageOne.slots.push_back({jet::inlineMapRow(0, {}, room - 5 - 20), 0});
    file.write(1, pageOne.packed());
    std::filesystem::resize_file(path, std::uintmax_t{600} * jet::kPageSize);
}

} // namespace jettest
