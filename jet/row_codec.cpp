// SPDX-License-Identifier: Apache-2.0
#include "jet/row_codec.h"

#include "jet/bytes.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/text_codec.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <climits>
#include <cstring>

namespace jet {

bool RowLayout::bit(std::uint16_t columnNumber) const {
    std::size_t byte = columnNumber / 8u;
    return columnNumber < columnCount && byte < nullMask.size() &&
           ((nullMask[byte] >> (columnNumber % 8)) & 1) != 0;
}

std::span<const std::uint8_t> RowLayout::fixedBytes(const Column& column) const {
    std::size_t at = 2u + column.fixedOffset;
    if (column.number >= columnCount || at + column.length > bytes.size())
        return {};
    return bytes.subspan(at, column.length);
}

std::span<const std::uint8_t> RowLayout::variableBytes(const Column& column) const {
    if (column.variableIndex >= variable.size())
        return {};
    return variable[column.variableIndex];
}

RowLayout parseRow(std::span<const std::uint8_t> row, bool hasVariableColumns,
                   const std::string& where) {
    // Every read below is checked by the size tests before it, once per row rather than once
    // per read: scans parse tens of thousands of rows.
    auto u16 = [&row](std::size_t at) {
        return static_cast<std::size_t>(row[at] | row[at + 1] << 8);
    };
    if (row.size() < 2)
        throw Error(where + ": row of " + std::to_string(row.size()) +
                    " bytes cannot hold its column count");
    RowLayout layout;
    layout.bytes = row;
    layout.columnCount = static_cast<std::uint16_t>(u16(0));
    std::size_t maskSize = (layout.columnCount + 7u) / 8u;
    if (maskSize + 2 > row.size())
        throw Error(where + ": row of " + std::to_string(row.size()) + " bytes cannot hold " +
                    std::to_string(layout.columnCount) + " columns");
    std::size_t maskAt = row.size() - maskSize;
    layout.nullMask = row.subspan(maskAt, maskSize);
    if (!hasVariableColumns) {
        layout.fixedArea = row.subspan(2, maskAt - 2);
        return layout;
    }

    std::size_t variableCount = u16(maskAt - 2);
    // The offset table holds one entry per variable column plus the end of the variable data.
    if ((variableCount + 1) * 2 + 2 > maskAt)
        throw Error(where + ": " + std::to_string(variableCount) +
                    " variable columns do not fit the row");
    std::size_t tableEnd = maskAt - 2;
    auto offset = [&](std::size_t i) { return u16(tableEnd - 2 * (i + 1)); };
    std::size_t dataLimit = tableEnd - 2 * (variableCount + 1);
    layout.variable.reserve(variableCount);
    for (std::size_t i = 0; i < variableCount; ++i) {
        std::size_t start = offset(i);
        std::size_t end = offset(i + 1);
        if (start > end || end > dataLimit)
            throw Error(where + ": variable column " + std::to_string(i) + " has bounds " +
                        std::to_string(start) + ".." + std::to_string(end) + " outside the row");
        layout.variable.push_back(row.subspan(start, end - start));
    }
    std::size_t variableStart = offset(0);
    if (variableStart < 2 || variableStart > dataLimit)
        throw Error(where + ": variable data starts at " + std::to_string(variableStart) +
                    ", outside the row");
    layout.fixedArea = row.subspan(2, variableStart - 2);
    return layout;
}

namespace {

// Jet's decimal: a sign byte (0x80 negative), then a 128-bit magnitude as four little-endian
// 32-bit words, the most significant first; the column's scale places the decimal point.
Decimal decodeDecimal(const ByteView& view, std::uint8_t scale) {
    std::array<std::uint32_t, 4> words{view.u32(1), view.u32(5), view.u32(9), view.u32(13)};
    std::string digits;
    auto isZero = [&] { return words[0] == 0 && words[1] == 0 && words[2] == 0 && words[3] == 0; };
    do {
        std::uint64_t remainder = 0;
        for (std::uint32_t& word : words) {
            std::uint64_t current = remainder << 32 | word;
            word = static_cast<std::uint32_t>(current / 10);
            remainder = current % 10;
        }
        digits.insert(digits.begin(), static_cast<char>('0' + remainder));
    } while (!isZero());
    if (scale > 0) {
        if (digits.size() <= scale)
            digits.insert(0, scale + 1 - digits.size(), '0');
        digits.insert(digits.size() - scale, 1, '.');
    }
    bool negative = (view.u8(0) & 0x80) != 0 && digits.find_first_not_of("0.") != std::string::npos;
    return Decimal{(negative ? "-" : "") + digits};
}

// A Single holds what was typed as its nearest float: 0.07 is kept as 0.0700000002980232. Widened
// bit for bit, that float would be shown and submitted as another number than the one typed, so
// it is read as the double of its shortest decimal, which narrows back to the same float.
double singleAsTyped(float stored) {
    std::array<char, 32> shortest{};
    const auto written = std::to_chars(shortest.data(), shortest.data() + shortest.size(), stored);
    double typed = 0;
    const auto read = std::from_chars(shortest.data(), written.ptr, typed);
    if (written.ec != std::errc() || read.ec != std::errc() || static_cast<float>(typed) != stored)
        return double{stored};
    return typed;
}

Value decodedText(std::span<const std::uint8_t> stored, TextForm texts) {
    if (texts == TextForm::Utf16)
        return decodeTextUtf16(stored);
    return decodeText(stored);
}

Value decodeFixed(const Column& column, std::span<const std::uint8_t> raw, const std::string& where,
                  TextForm texts) {
    // Checked once here, so the reads below cannot fail and a scan builds no message per value.
    if (raw.size() < fixedValueSize(column.type))
        throw Error(where + ", column " + column.name + ": " + std::to_string(raw.size()) +
                    " bytes cannot hold a " + std::string(columnTypeName(column.type)));
    ByteView view(raw, {});
    switch (column.type) {
    case ColumnType::Byte:
        return std::int64_t{view.u8(0)};
    case ColumnType::Integer:
        return std::int64_t{static_cast<std::int16_t>(view.u16(0))};
    case ColumnType::Long:
        return std::int64_t{static_cast<std::int32_t>(view.u32(0))};
    case ColumnType::Currency:
        return Currency{static_cast<std::int64_t>(view.u64(0))};
    case ColumnType::Single:
        return singleAsTyped(view.f32(0));
    case ColumnType::Double:
        return view.f64(0);
    case ColumnType::DateTime:
        return DateTime{view.f64(0)};
    case ColumnType::Numeric:
        return decodeDecimal(view, column.scale);
    case ColumnType::Text:
        return decodedText(raw, texts);
    default:
        return Bytes(raw.begin(), raw.end());
    }
}

Value decodeVariable(const PageFile& file, const Column& column, std::span<const std::uint8_t> raw,
                     const std::string& where, TextForm texts) {
    switch (column.type) {
    case ColumnType::Text:
        return decodedText(raw, texts);
    case ColumnType::Memo:
        return decodedText(readLongValue(file, raw, where + ", column " + column.name), texts);
    case ColumnType::Ole:
        return readLongValue(file, raw, where + ", column " + column.name);
    default:
        // Access keeps numbers of some system tables among the variable-length values.
        if (fixedValueSize(column.type) > 0)
            return decodeFixed(column, raw, where, texts);
        return Bytes(raw.begin(), raw.end());
    }
}

} // namespace

Value decodeValue(const PageFile& file, const Column& column, const RowLayout& layout,
                  const std::string& where, TextForm texts) {
    if (column.type == ColumnType::Boolean)
        return layout.bit(column.number);
    if (!layout.bit(column.number))
        return std::monostate{};
    if (column.isFixed()) {
        auto raw = layout.fixedBytes(column);
        if (raw.empty())
            throw Error(where + ", column " + column.name + ": fixed value lies outside the row");
        return decodeFixed(column, raw, where, texts);
    }
    return decodeVariable(file, column, layout.variableBytes(column), where, texts);
}

Row decodeRow(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
              const std::string& where) {
    RowLayout layout = parseRow(row, def.variableColumnCount > 0, where);
    Row values;
    values.reserve(def.columns.size());
    for (const Column& column : def.columns)
        values.push_back(decodeValue(file, column, layout, where));
    return values;
}

void decodeColumns(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
                   std::span<const std::size_t> indexes, Row& values, const std::string& where,
                   TextForm texts) {
    // Fixed-length values are found by their offsets alone: the variable part of the row is
    // taken apart only when a column asked for lies there.
    bool variable = std::any_of(indexes.begin(), indexes.end(), [&](std::size_t index) {
        const Column& column = def.columns.at(index);
        return !column.isFixed() && column.type != ColumnType::Boolean;
    });
    RowLayout layout = parseRow(row, variable && def.variableColumnCount > 0, where);
    values.resize(indexes.size());
    for (std::size_t i = 0; i < indexes.size(); ++i)
        values[i] = decodeValue(file, def.columns.at(indexes[i]), layout, where, texts);
}

} // namespace jet

namespace jet {

namespace {

// A value that does not fit `column`, of the kind `kind` (limit: the column's width in
// characters or bytes, for a value too long).
std::string fitError(const Column& column, const std::string& why) {
    return "column " + column.name + ": " + why;
}

// A value that does not fit `column`, of the kind `kind` (limit: the column's width in
// characters or bytes, for a value too long).
Error misfit(Error::Kind kind, const Column& column, const std::string& why,
             std::int64_t limit = 0) {
    return Error::misfit(kind, column.name, fitError(column, why), limit);
}

std::int64_t integerFor(const Column& column, const Value& value, std::int64_t low,
                        std::int64_t high) {
    std::int64_t number = 0;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        number = *i;
    else if (const auto* b = std::get_if<bool>(&value))
        number = *b ? -1 : 0;
    else
        throw misfit(Error::Kind::WrongType, column, "needs a whole number");
    if (number < low || number > high)
        throw misfit(Error::Kind::OutOfRange, column,
                     std::to_string(number) + " is out of range " + std::to_string(low) + ".." +
                         std::to_string(high));
    return number;
}

double realFor(const Column& column, const Value& value) {
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    if (const auto* t = std::get_if<DateTime>(&value))
        return t->days;
    throw misfit(Error::Kind::WrongType, column, "needs a number");
}

Bytes littleEndian(std::uint64_t raw, std::size_t size) {
    Bytes out(size);
    for (std::size_t i = 0; i < size; ++i)
        out[i] = static_cast<std::uint8_t>(raw >> (8 * i));
    return out;
}

} // namespace

StoredValue encodeValue(const Column& column, const Value& value) {
    if (column.type == ColumnType::Boolean) {
        if (isNull(value))
            return {false, {}};
        if (const auto* b = std::get_if<bool>(&value))
            return {*b, {}};
        throw misfit(Error::Kind::WrongType, column, "needs yes or no");
    }
    if (isNull(value))
        return {false, {}};
    switch (column.type) {
    case ColumnType::Byte:
        return {true,
                littleEndian(static_cast<std::uint64_t>(integerFor(column, value, 0, 255)), 1)};
    case ColumnType::Integer:
        return {true, littleEndian(static_cast<std::uint64_t>(
                                       integerFor(column, value, INT16_MIN, INT16_MAX)),
                                   2)};
    case ColumnType::Long:
        return {true, littleEndian(static_cast<std::uint64_t>(
                                       integerFor(column, value, INT32_MIN, INT32_MAX)),
                                   4)};
    case ColumnType::Single: {
        auto single = static_cast<float>(realFor(column, value));
        std::uint32_t raw;
        std::memcpy(&raw, &single, sizeof raw);
        return {true, littleEndian(raw, 4)};
    }
    case ColumnType::Double:
    case ColumnType::DateTime: {
        double real = realFor(column, value);
        std::uint64_t raw;
        std::memcpy(&raw, &real, sizeof raw);
        return {true, littleEndian(raw, 8)};
    }
    case ColumnType::Currency: {
        const auto* money = std::get_if<Currency>(&value);
        if (money == nullptr)
            throw misfit(Error::Kind::WrongType, column, "needs a currency amount");
        return {true, littleEndian(static_cast<std::uint64_t>(money->scaled), 8)};
    }
    case ColumnType::Text: {
        // A text comes as UTF-8 or as the UTF-16 units to store (see TextForm).
        const auto* text = std::get_if<std::string>(&value);
        const auto* units = std::get_if<std::u16string>(&value);
        if (text == nullptr && units == nullptr)
            throw misfit(Error::Kind::WrongType, column, "needs a text");
        std::size_t width = column.length / 2u;
        std::size_t length = 0;
        try {
            length = units != nullptr ? units->size() : utf16Length(*text);
        } catch (const Error& error) {
            throw misfit(Error::Kind::WrongType, column, error.what());
        }
        if (length > width)
            throw misfit(Error::Kind::TooLong, column,
                         "text of " + std::to_string(length) +
                             " characters is longer than the column's " + std::to_string(width),
                         static_cast<std::int64_t>(width));
        Bytes stored = units != nullptr ? encodeText(*units, column.compressedUnicode)
                                        : encodeText(*text, column.compressedUnicode);
        if (column.isFixed())
            stored.resize(column.length, 0);
        return {true, std::move(stored)};
    }
    case ColumnType::Binary:
        if (const auto* raw = std::get_if<Bytes>(&value)) {
            if (raw->size() > column.length)
                throw misfit(Error::Kind::TooLong, column, "binary value longer than the column",
                             column.length);
            return {true, *raw};
        }
        throw misfit(Error::Kind::WrongType, column, "needs bytes");
    default:
        throw misfit(Error::Kind::WrongType, column,
                     "values of type " + std::string(columnTypeName(column.type)) +
                         " cannot be written");
    }
}

StoredValue storedValue(const Column& column, const RowLayout& layout) {
    StoredValue stored{layout.bit(column.number), {}};
    if (column.type == ColumnType::Boolean || !stored.present)
        return stored;
    auto raw = column.isFixed() ? layout.fixedBytes(column) : layout.variableBytes(column);
    stored.bytes.assign(raw.begin(), raw.end());
    return stored;
}

Bytes encodeRow(const TableDef& def, const std::vector<StoredValue>& values,
                const RowLayout* replaced) {
    if (values.size() != def.columns.size())
        throw Error("table " + def.name + ": a row needs " + std::to_string(def.columns.size()) +
                    " values, got " + std::to_string(values.size()));
    std::uint16_t columnCount = def.maxColumnCount;
    std::size_t fixedSize = 0;
    for (const Column& column : def.columns) {
        if (column.number >= columnCount)
            columnCount = static_cast<std::uint16_t>(column.number + 1);
        if (column.isFixed() && column.type != ColumnType::Boolean)
            fixedSize = std::max<std::size_t>(fixedSize, column.fixedOffset + column.length);
    }

    if (replaced != nullptr) {
        columnCount = std::max(columnCount, replaced->columnCount);
        fixedSize = std::max(fixedSize, replaced->fixedArea.size());
    }
    Bytes row(2 + fixedSize, 0);
    putU16(row, 0, columnCount);
    if (replaced != nullptr)
        std::copy(replaced->fixedArea.begin(), replaced->fixedArea.end(), row.begin() + 2);
    Bytes nullMask((columnCount + 7u) / 8u, 0);
    std::vector<const StoredValue*> variable(def.variableColumnCount, nullptr);
    for (std::size_t i = 0; i < values.size(); ++i) {
        const Column& column = def.columns[i];
        const StoredValue& value = values[i];
        if (value.present)
            nullMask[column.number / 8u] |= static_cast<std::uint8_t>(1u << (column.number % 8));
        if (column.type == ColumnType::Boolean || !value.present)
            continue;
        if (column.isFixed()) {
            if (value.bytes.size() != column.length)
                throw Error(fitError(
                    column, "fixed value of " + std::to_string(value.bytes.size()) +
                                " bytes, the column holds " + std::to_string(column.length)));
            std::copy(value.bytes.begin(), value.bytes.end(), row.begin() + 2 + column.fixedOffset);
        } else if (column.variableIndex < variable.size()) {
            variable[column.variableIndex] = &value;
        } else {
            throw Error(fitError(column, "variable slot " + std::to_string(column.variableIndex) +
                                             " outside the table's " +
                                             std::to_string(variable.size())));
        }
    }

    if (!variable.empty()) {
        std::vector<std::uint16_t> offsets;
        for (const StoredValue* value : variable) {
            offsets.push_back(static_cast<std::uint16_t>(row.size()));
            if (value != nullptr)
                row.insert(row.end(), value->bytes.begin(), value->bytes.end());
        }
        offsets.push_back(static_cast<std::uint16_t>(row.size()));
        std::size_t tableAt = row.size();
        row.resize(tableAt + 2 * offsets.size() + 2);
        for (std::size_t i = 0; i < offsets.size(); ++i)
            putU16(row, tableAt + 2 * (offsets.size() - 1 - i), offsets[i]);
        putU16(row, row.size() - 2, static_cast<std::uint16_t>(variable.size()));
    }
    row.insert(row.end(), nullMask.begin(), nullMask.end());
    return row;
}

} // namespace jet
