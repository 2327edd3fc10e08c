// SPDX-License-Identifier: Apache-2.0
#pragma once

#include "jet/database_builder.h"

#include <string>
#include <vector>

namespace tender {

// Changes to the tender schema with which tests build the files the data layer must refuse.
struct SchemaChanges {
    enum class Order { Authority, Reversed, Alphabetical };
    Order order = Order::Authority;
    // "TABLE.COLUMN" names of columns left out of the new file.
    std::vector<std::string> dropped;
    // A column given another type, as "TABLE.COLUMN" and a type name of parseColumnType.
    struct Retype {
        std::string column;
        std::string type;
    };
    std::vector<Retype> retyped;
    // "TABLE.COLUMN" names of columns whose index is left out, the column kept.
    std::vector<std::string> unindexed;
};

// The two tables of a tender file, SPECS and PREDLOGENIA, with the columns, types and widths
// of the authority's files (SPECS.CODE an autonumber), the primary keys on SPECS.CODE and
// PREDLOGENIA.PRODUCT_CODE and an index on PREDLOGENIA.MASTER_CODE, changed as asked. No rows.
// Throws jet::Error for a change naming an unknown column or type.
std::vector<jet::NewTable> tenderSchema(const SchemaChanges& changes = {});

// "text(50)", "memo", "long", "integer", "byte", "double", "single", "currency", "datetime"
// or "yesno" as a column of that type (width for text only). Throws jet::Error otherwise.
jet::NewColumn parseColumnType(const std::string& name, const std::string& type);

} // namespace tender
