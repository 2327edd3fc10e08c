// SPDX-License-Identifier: Apache-2.0
#include "tools/tender_schema.h"

#include "jet/error.h"

#include <algorithm>

namespace tender {

namespace {

using jet::ColumnType;
using jet::NewColumn;

NewColumn text(std::string name, std::uint16_t width) {
    return {std::move(name), ColumnType::Text, width};
}
NewColumn of(std::string name, ColumnType type) {
    return {std::move(name), type};
}

// Names of a parameter family: PREFIX1_SUFFIX .. PREFIXn_SUFFIX.
std::vector<std::string> family(const std::string& prefix, int first, int last,
                                const std::string& suffix) {
    std::vector<std::string> names;
    for (int i = first; i <= last; ++i)
        names.push_back(prefix + std::to_string(i) + suffix);
    return names;
}

void add(std::vector<NewColumn>& columns, const std::vector<std::string>& names, ColumnType type,
         std::uint16_t width = 0) {
    for (const std::string& name : names)
        columns.push_back({name, type, width});
}

std::vector<NewColumn> specsColumns() {
    std::vector<NewColumn> c;
    c.push_back({"CODE", ColumnType::Long, 0, true});
    c.push_back(text("IME_NA_FIRMATA", 255));
    c.push_back(text("IME_NA_KONKURSA", 255));
    c.push_back(of("IS_OBOSOBENI_POZICII", ColumnType::Boolean));
    c.push_back(of("KONKURS", ColumnType::Long));
    c.push_back(of("NO_DDS", ColumnType::Boolean));
    add(c, family("KP", 1, 4, "_TIP"), ColumnType::Long);
    add(c, family("KP", 1, 4, "_RAZRYAD"), ColumnType::Long);
    add(c, family("KP", 1, 4, "_IME"), ColumnType::Text, 50);
    add(c, family("KP", 1, 4, "_OGRANICHENIE"), ColumnType::Long);
    add(c, family("KP", 1, 4, "_TEXT"), ColumnType::Text, 255);
    add(c, family("KP", 1, 4, "_NUMBER"), ColumnType::Double);
    c.push_back(of("PP1_OFERTA", ColumnType::Long));
    c.push_back(of("PP1_RAZRYAD", ColumnType::Long));
    c.push_back(text("PP1_IME", 50));
    add(c, family("PP", 2, 6, "_OFERTA"), ColumnType::Long);
    add(c, family("PP", 2, 6, "_TIP"), ColumnType::Long);
    add(c, family("PP", 2, 6, "_RAZRYAD"), ColumnType::Long);
    add(c, family("PP", 2, 6, "_IME"), ColumnType::Text, 50);
    add(c, family("PP", 2, 6, "_OGRANICHENIE"), ColumnType::Long);
    add(c, family("CAPTION_INFO", 1, 8, ""), ColumnType::Text, 100);
    for (const char* name :
         {"CAPTION_PRODUCT", "CAPTION_GOD_POTREBLENIE", "CAPTION_MAX_CENA", "CAPTION_NOMER"})
        c.push_back(text(name, 100));
    c.push_back(of("BROI_INFO_POLETA", ColumnType::Long));
    return c;
}

std::vector<NewColumn> predlogeniaColumns() {
    std::vector<NewColumn> c;
    c.push_back(of("PRODUCT_CODE", ColumnType::Long));
    c.push_back(text("CUSTOM_CODE", 10));
    c.push_back(of("MASTER_CODE", ColumnType::Long));
    c.push_back(text("BELEJKI", 255));
    c.push_back(text("MEASURE_IME", 255));
    c.push_back(of("GODISHNO_POTREBLENIE", ColumnType::Double));
    c.push_back(of("PP1_NUMBER", ColumnType::Double));
    for (int i = 2; i <= 6; ++i) {
        c.push_back(text("PP" + std::to_string(i) + "_TEXT", 255));
        c.push_back(of("PP" + std::to_string(i) + "_NUMBER", ColumnType::Double));
    }
    c.push_back(of("MAX_CENA", ColumnType::Double));
    c.push_back(of("IME", ColumnType::Memo));
    add(c, family("INFO", 1, 8, ""), ColumnType::Text, 255);
    return c;
}

std::pair<std::string, std::string> splitQualified(const std::string& qualified) {
    auto dot = qualified.find('.');
    if (dot == std::string::npos)
        throw jet::Error("column " + qualified + ": give it as TABLE.COLUMN");
    return {qualified.substr(0, dot), qualified.substr(dot + 1)};
}

std::vector<NewColumn>::iterator findColumn(std::vector<jet::NewTable>& tables,
                                            const std::string& qualified, jet::NewTable*& owner) {
    // Named, not bound: a lambda may not capture a structured binding before Clang 16.
    const auto parts = splitQualified(qualified);
    const auto& table = parts.first;
    const auto& column = parts.second;
    for (jet::NewTable& candidate : tables) {
        if (candidate.name != table)
            continue;
        auto at = std::find_if(candidate.columns.begin(), candidate.columns.end(),
                               [&](const NewColumn& c) { return c.name == column; });
        if (at != candidate.columns.end()) {
            owner = &candidate;
            return at;
        }
    }
    throw jet::Error("no column " + qualified + " in the tender schema");
}

} // namespace

NewColumn parseColumnType(const std::string& name, const std::string& type) {
    static const std::pair<const char*, ColumnType> kTypes[] = {
        {"memo", ColumnType::Memo},         {"long", ColumnType::Long},
        {"integer", ColumnType::Integer},   {"byte", ColumnType::Byte},
        {"double", ColumnType::Double},     {"single", ColumnType::Single},
        {"currency", ColumnType::Currency}, {"datetime", ColumnType::DateTime},
        {"yesno", ColumnType::Boolean}};
    for (const auto& [typeName, columnType] : kTypes)
        if (type == typeName)
            return {name, columnType};
    if (type.rfind("text(", 0) == 0 && type.back() == ')') {
        std::string digits = type.substr(5, type.size() - 6);
        if (!digits.empty() && digits.size() <= 3 &&
            std::all_of(digits.begin(), digits.end(), [](char d) { return d >= '0' && d <= '9'; }))
            if (int width = std::stoi(digits); width >= 1 && width <= 255)
                return text(name, static_cast<std::uint16_t>(width));
    }
    throw jet::Error(
        "unknown column type " + type +
        " (text(N) with N from 1 to 255, memo, long, integer, byte, double, single, currency, "
        "datetime, yesno)");
}

std::vector<jet::NewTable> tenderSchema(const SchemaChanges& changes) {
    std::vector<jet::NewTable> tables(2);
    tables[0].name = "SPECS";
    tables[0].columns = specsColumns();
    tables[0].indexes = {{"PrimaryKey", "CODE", true}};
    tables[1].name = "PREDLOGENIA";
    tables[1].columns = predlogeniaColumns();
    tables[1].indexes = {{"PrimaryKey", "PRODUCT_CODE", true}, {"MASTER_CODE", "MASTER_CODE"}};

    for (const auto& retype : changes.retyped) {
        jet::NewTable* owner = nullptr;
        auto at = findColumn(tables, retype.column, owner);
        *at = parseColumnType(at->name, retype.type);
    }
    for (const std::string& qualified : changes.unindexed) {
        jet::NewTable* owner = nullptr;
        const std::string column = findColumn(tables, qualified, owner)->name;
        std::erase_if(owner->indexes,
                      [&](const jet::NewIndex& index) { return index.column == column; });
    }
    for (const std::string& qualified : changes.dropped) {
        jet::NewTable* owner = nullptr;
        auto at = findColumn(tables, qualified, owner);
        owner->columns.erase(at);
    }
    for (jet::NewTable& table : tables) {
        if (changes.order == SchemaChanges::Order::Reversed)
            std::reverse(table.columns.begin(), table.columns.end());
        if (changes.order == SchemaChanges::Order::Alphabetical)
            std::sort(table.columns.begin(), table.columns.end(),
                      [](const NewColumn& a, const NewColumn& b) { return a.name < b.name; });
    }
    return tables;
}

} // namespace tender
