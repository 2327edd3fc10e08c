// SPDX-License-Identifier: Apache-2.0
#include "tools/update_command.h"

#include "jet/database.h"
#include "jet/row_update.h"

#include <charconv>
#include <cmath>
#include <iostream>
#include <optional>
#include <stdexcept>

namespace tenderdb {

namespace {

struct Assignment {
    std::string column;
    std::optional<std::string> text; // std::nullopt for null
};

Assignment assignment(const std::string& option, const std::string& argument, bool null) {
    if (null)
        return {argument, std::nullopt};
    std::size_t equals = argument.find('=');
    if (equals == std::string::npos || equals == 0)
        throw std::invalid_argument(option + " needs COLUMN=VALUE, got " + argument);
    return {argument.substr(0, equals), argument.substr(equals + 1)};
}

jet::Value parseValue(const jet::Column& column, const std::string& text) {
    auto refuse = [&](const std::string& what) {
        return jet::Error("column " + column.name + ": \"" + text + "\" is not " + what);
    };
    switch (column.type) {
    case jet::ColumnType::Text:
        return text;
    case jet::ColumnType::Boolean:
        if (text == "true")
            return true;
        if (text == "false")
            return false;
        throw refuse("true or false");
    case jet::ColumnType::Byte:
    case jet::ColumnType::Integer:
    case jet::ColumnType::Long: {
        std::int64_t number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || text.empty())
            throw refuse("a whole number");
        return number;
    }
    case jet::ColumnType::Single:
    case jet::ColumnType::Double: {
        double number = 0;
        auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (error != std::errc() || end != text.data() + text.size() || text.empty() ||
            !std::isfinite(number))
            throw refuse("a number (with a decimal point, if any)");
        return number;
    }
    default:
        throw jet::Error("column " + column.name + ": values of type " +
                         std::string(jet::columnTypeName(column.type)) +
                         " cannot be given on the command line");
    }
}

jet::Value valueOf(const jet::TableDef& table, const Assignment& assignment) {
    if (!assignment.text)
        return std::monostate{};
    return parseValue(table.column(assignment.column), *assignment.text);
}

} // namespace

void updateCommand(const std::vector<std::string>& args) {
    if (args.size() < 2)
        throw std::invalid_argument("update needs FILE and TABLE");
    std::optional<Assignment> where;
    std::vector<Assignment> sets;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        const std::string& option = args[i];
        if (i + 1 >= args.size())
            throw std::invalid_argument(option + " needs an argument");
        bool isWhere = option == "--where" || option == "--where-null";
        bool isSet = option == "--set" || option == "--set-null";
        if (!isWhere && !isSet)
            throw std::invalid_argument("unknown option " + option);
        Assignment parsed = assignment(option, args[i + 1], option.ends_with("-null"));
        if (isSet) {
            sets.push_back(std::move(parsed));
        } else if (where) {
            throw std::invalid_argument("only one --where or --where-null may be given");
        } else {
            where = std::move(parsed);
        }
    }
    if (!where || sets.empty())
        throw std::invalid_argument("update needs one --where or --where-null and at least one "
                                    "--set or --set-null");

    jet::Database db(args[0], jet::Database::Mode::ReadWrite);
    jet::TableDef table = db.table(args[1]);
    const jet::Column& key = table.column(where->column);
    std::size_t keyIndex = static_cast<std::size_t>(&key - table.columns.data());
    jet::Value wanted = valueOf(table, *where);
    std::vector<jet::Database::ColumnChange> changes;
    for (const Assignment& set : sets)
        changes.push_back({set.column, valueOf(table, set)});
    jet::checkChanges(table, changes);

    // An index over the --where column leads to the rows through a few pages; without one only
    // that column is decoded, the rest of each row never looked at.
    std::vector<jet::RowId> matches;
    if (std::optional<std::vector<jet::RowId>> found =
            db.findThroughIndex(table, keyIndex, wanted)) {
        matches = std::move(*found);
    } else {
        const std::size_t keyColumn[] = {keyIndex};
        db.scan(table, keyColumn, [&](jet::RowId id, const jet::Row& row) {
            if (row[0] == wanted)
                matches.push_back(id);
        });
    }
    // The rows were found without the write lock: another writer may have changed one since,
    // so each must still match when it is read again under the lock.
    auto stillMatches = [&](const jet::Row& row) { return row[keyIndex] == wanted; };
    std::size_t done = 0;
    try {
        for (jet::RowId id : matches)
            if (db.updateIf(table, id, stillMatches, changes))
                ++done;
    } catch (const jet::Error& error) {
        throw jet::Error(std::string(error.what()) + " (" + std::to_string(done) + " of " +
                         std::to_string(matches.size()) + " rows were updated before it)");
    }
    std::cout << done << (done == 1 ? " row" : " rows") << " updated\n";
}

} // namespace tenderdb
