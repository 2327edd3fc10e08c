// SPDX-License-Identifier: Apache-2.0
#include "tools/csv_format.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <stdexcept>

namespace tenderdb {

namespace {

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"')
            out += '"';
        out += c;
    }
    return out + "\"";
}

// The shortest digits that read back as the same number, never in exponent form.
template <typename Float> std::string number(Float value) {
    char buffer[400];
    auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    return std::string(buffer, result.ptr);
}

std::string currency(std::int64_t scaled) {
    char buffer[64];
    std::uint64_t magnitude =
        scaled < 0 ? 0 - static_cast<std::uint64_t>(scaled) : static_cast<std::uint64_t>(scaled);
    std::snprintf(buffer, sizeof buffer, "%s%llu.%04llu", scaled < 0 ? "-" : "",
                  static_cast<unsigned long long>(magnitude / 10000),
                  static_cast<unsigned long long>(magnitude % 10000));
    return buffer;
}

// Access holds dates from 0100-01-01 to 9999-12-31, these many days from 1899-12-30.
constexpr double kFirstDay = -657434;
constexpr double kDayAfterLast = 2958466;

// Days since 1899-12-30 to a civil date and time (proleptic Gregorian, whole seconds). The whole
// part counts days from the epoch and the fraction's size is the time of that day, also before
// the epoch: -1.25 is 1899-12-29 06:00.
std::string dateTime(double days) {
    // A damaged value outside that range (or not a number) has no date; its stored day count is
    // printed instead, so that it neither overflows the conversion below nor passes for a date.
    if (!(days > kFirstDay - 1 && days < kDayAfterLast)) {
        char buffer[64];
        auto result = std::to_chars(buffer, buffer + sizeof buffer, days);
        return quoted(std::string(buffer, result.ptr));
    }
    double whole = std::trunc(days);
    auto seconds = static_cast<long long>(std::llround(std::abs(days - whole) * 86400.0));
    auto day = static_cast<long long>(whole);
    if (seconds >= 86400) {
        seconds -= 86400;
        ++day;
    }
    // Days from 1970-01-01, then the civil-from-days algorithm.
    long long z = day - 25569 + 719468;
    long long era = (z >= 0 ? z : z - 146096) / 146097;
    long long doe = z - era * 146097;
    long long yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    long long doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    long long mp = (5 * doy + 2) / 153;
    long long d = doy - (153 * mp + 2) / 5 + 1;
    long long m = mp < 10 ? mp + 3 : mp - 9;
    long long y = yoe + era * 400 + (m <= 2 ? 1 : 0);
    char buffer[160];
    std::snprintf(buffer, sizeof buffer, "%02lld/%02lld/%02lld %02lld:%02lld:%02lld", m, d,
                  ((y % 100) + 100) % 100, seconds / 3600, seconds / 60 % 60, seconds % 60);
    return quoted(buffer);
}

std::string bytes(const jet::Bytes& raw) {
    return quoted(std::string(raw.begin(), raw.end()));
}

} // namespace

std::string csvValue(const jet::Column& column, const jet::Value& value) {
    struct Visitor {
        const jet::Column& column;
        std::string operator()(std::monostate) const { return {}; }
        std::string operator()(bool b) const { return b ? "1" : "0"; }
        std::string operator()(std::int64_t i) const { return std::to_string(i); }
        std::string operator()(double d) const {
            if (column.type == jet::ColumnType::Single)
                return number(static_cast<float>(d));
            return number(d);
        }
        std::string operator()(const std::string& text) const { return quoted(text); }
        std::string operator()(const jet::Bytes& raw) const { return bytes(raw); }
        std::string operator()(jet::Currency c) const { return currency(c.scaled); }
        std::string operator()(jet::DateTime d) const { return dateTime(d.days); }
        std::string operator()(const jet::Decimal& d) const { return d.text; }
        // The dump reads its texts as UTF-8.
        std::string operator()(const std::u16string&) const {
            throw std::logic_error("a text read as UTF-16 reached the CSV writer");
        }
    };
    return std::visit(Visitor{column}, value);
}

std::string csvHeader(const jet::TableDef& table) {
    std::string line;
    for (const jet::Column& column : table.columns) {
        if (!line.empty())
            line += ',';
        line += column.name;
    }
    return line;
}

} // namespace tenderdb
