// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace jet {

using Bytes = std::vector<std::uint8_t>;

// A currency amount as Jet stores it: the value times 10,000.
struct Currency {
    std::int64_t scaled = 0;
    bool operator==(const Currency&) const = default;
};

// A date/time as Jet stores it: days since 1899-12-30, the time as the fraction of a day.
struct DateTime {
    double days = 0;
    bool operator==(const DateTime&) const = default;
};

// A decimal (numeric) value in its exact decimal notation, such as "-12.50".
struct Decimal {
    std::string text;
    bool operator==(const Decimal&) const = default;
};

// One column value. Text is UTF-8 throughout the engine; integers of every width are widened;
// single and double precision are both double. std::monostate is null. A reader whose texts are
// UTF-16 anyway may ask for them as such (TextForm::Utf16), which spares decoding them twice and
// gives them exactly as stored, unpaired surrogates included; such a writer may give texts as
// std::u16string too, stored unit for unit.
using Value = std::variant<std::monostate, bool, std::int64_t, double, std::string, Bytes, Currency,
                           DateTime, Decimal, std::u16string>;

enum class TextForm { Utf8, Utf16 };

inline bool isNull(const Value& value) {
    return std::holds_alternative<std::monostate>(value);
}

// Where a row lives: a data page and its slot there. Stable for the life of the row: a row
// that moves leaves a pointer at this place.
struct RowId {
    std::uint32_t page = 0;
    std::uint16_t row = 0;
    bool operator==(const RowId&) const = default;
    auto operator<=>(const RowId&) const = default;
};

using Row = std::vector<Value>;

} // namespace jet
