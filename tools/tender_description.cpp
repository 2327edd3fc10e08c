// SPDX-License-Identifier: Apache-2.0
#include "tools/tender_description.h"

#include "jet/error.h"

#include <climits>
#include <cmath>

namespace tender {

namespace {

using jet::ColumnType;

bool isIntegerType(ColumnType type) {
    return type == ColumnType::Byte || type == ColumnType::Integer || type == ColumnType::Long;
}

jet::Value toValue(const jet::NewColumn& column, const nlohmann::json& value) {
    auto refuse = [&](const std::string& why) -> jet::Value {
        throw jet::Error("column " + column.name + ": " + why);
    };
    if (value.is_null())
        return std::monostate{};
    switch (column.type) {
    case ColumnType::Text:
    case ColumnType::Memo:
        if (!value.is_string())
            return refuse("needs a string, got " + value.dump());
        return value.get<std::string>();
    case ColumnType::Boolean:
        if (!value.is_boolean())
            return refuse("needs true or false, got " + value.dump());
        return value.get<bool>();
    case ColumnType::Double:
    case ColumnType::Single:
        if (!value.is_number())
            return refuse("needs a number, got " + value.dump());
        return value.get<double>();
    case ColumnType::Currency:
        // Stored as ten-thousandths in 64 bits.
        if (!value.is_number() || std::abs(value.get<double>()) > 9e14)
            return refuse("needs an amount of at most 9e14, got " + value.dump());
        return jet::Currency{static_cast<std::int64_t>(std::llround(value.get<double>() * 1e4))};
    case ColumnType::DateTime:
        if (!value.is_number())
            return refuse("needs a number of days since 1899-12-30, got " + value.dump());
        return jet::DateTime{value.get<double>()};
    default:
        break;
    }
    if (isIntegerType(column.type)) {
        if (value.is_number_unsigned() && value.get<std::uint64_t>() > INT64_MAX)
            return refuse(value.dump() + " is out of range");
        if (value.is_number_integer())
            return value.get<std::int64_t>();
        if (value.is_number_float()) {
            double number = value.get<double>();
            if (std::trunc(number) == number && std::abs(number) < 9.2e18)
                return static_cast<std::int64_t>(number);
        }
        return refuse("needs a whole number, got " + value.dump());
    }
    return refuse("values of this type cannot be described");
}

bool isDropped(const SchemaChanges& changes, const std::string& table, const std::string& column) {
    for (const std::string& qualified : changes.dropped)
        if (qualified == table + "." + column)
            return true;
    return false;
}

} // namespace

std::vector<jet::NewTable> tenderTables(const nlohmann::json& description,
                                        const SchemaChanges& changes) {
    if (!description.is_object())
        throw jet::Error("the tender description must be an object of tables");
    std::vector<jet::NewTable> tables = tenderSchema(changes);
    for (const auto& [name, rows] : description.items()) {
        bool known = false;
        for (const jet::NewTable& table : tables)
            known = known || table.name == name;
        if (!known)
            throw jet::Error("table " + name + ": not a table of a tender file");
        if (!rows.is_array())
            throw jet::Error("table " + name + ": its rows must be a list");
    }
    for (jet::NewTable& table : tables) {
        if (!description.contains(table.name))
            continue;
        const nlohmann::json& rows = description.at(table.name);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            std::string where = "table " + table.name + ", row " + std::to_string(r + 1);
            const nlohmann::json& given = rows[r];
            if (!given.is_object())
                throw jet::Error(where + ": a row must be an object of column values");
            jet::Row row(table.columns.size());
            for (const auto& [column, value] : given.items()) {
                std::size_t c = 0;
                while (c < table.columns.size() && table.columns[c].name != column)
                    ++c;
                if (c == table.columns.size()) {
                    if (isDropped(changes, table.name, column))
                        continue;
                    throw jet::Error(where + ", column " + column + ": no such column");
                }
                try {
                    row[c] = toValue(table.columns[c], value);
                } catch (const jet::Error& error) {
                    throw jet::Error(where + ", " + error.what());
                }
            }
            table.rows.push_back(std::move(row));
        }
    }
    return tables;
}

jet::CreateResult writeTender(const nlohmann::json& description, const std::string& path,
                              const SchemaChanges& changes, const jet::CreateOptions& options) {
    return jet::createDatabase(path, tenderTables(description, changes), options);
}

} // namespace tender
