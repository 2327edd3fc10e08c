#include "jet/row_codec.h"

#include "jet/bytes.h"
#include "jet/long_value.h"
#include "jet/page_file.h"
#include "jet/text_codec.h"

#include <array>

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

RowLayout parseRow(std::span<const std::uint8_t> row, const std::string& where) {
    ByteView view(row, where);
    RowLayout layout;
    layout.bytes = row;
    layout.columnCount = view.u16(0);
    std::size_t maskSize = (layout.columnCount + 7u) / 8u;
    if (maskSize + 4 > row.size())
        throw Error(where + ": row of " + std::to_string(row.size()) + " bytes cannot hold " +
                    std::to_string(layout.columnCount) + " columns");
    std::size_t maskAt = row.size() - maskSize;
    layout.nullMask = view.slice(maskAt, maskSize);

    std::size_t variableCount = view.u16(maskAt - 2);
    // The offset table holds one entry per variable column plus the end of the variable data.
    if ((variableCount + 1) * 2 + 2 > maskAt)
        throw Error(where + ": " + std::to_string(variableCount) +
                    " variable columns do not fit the row");
    std::size_t tableEnd = maskAt - 2;
    auto offset = [&](std::size_t i) { return view.u16(tableEnd - 2 * (i + 1)); };
    std::size_t dataLimit = tableEnd - 2 * (variableCount + 1);
    for (std::size_t i = 0; i < variableCount; ++i) {
        std::size_t start = offset(i);
        std::size_t end = offset(i + 1);
        if (start > end || end > dataLimit)
            throw Error(where + ": variable column " + std::to_string(i) + " has bounds " +
                        std::to_string(start) + ".." + std::to_string(end) +
                        " outside the row");
        layout.variable.push_back(row.subspan(start, end - start));
    }
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

Value decodeFixed(const Column& column, std::span<const std::uint8_t> raw,
                  const std::string& where) {
    ByteView view(raw, where + ", column " + column.name);
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
        return double{view.f32(0)};
    case ColumnType::Double:
        return view.f64(0);
    case ColumnType::DateTime:
        return DateTime{view.f64(0)};
    case ColumnType::Numeric:
        return decodeDecimal(view, column.scale);
    case ColumnType::Text:
        return decodeText(raw);
    default:
        return Bytes(raw.begin(), raw.end());
    }
}

Value decodeVariable(const PageFile& file, const Column& column,
                     std::span<const std::uint8_t> raw, const std::string& where) {
    switch (column.type) {
    case ColumnType::Text:
        return decodeText(raw);
    case ColumnType::Memo:
        return decodeText(readLongValue(file, raw, where + ", column " + column.name));
    case ColumnType::Ole:
        return readLongValue(file, raw, where + ", column " + column.name);
    default:
        return Bytes(raw.begin(), raw.end());
    }
}

} // namespace

Value decodeValue(const PageFile& file, const Column& column, const RowLayout& layout,
                  const std::string& where) {
    if (column.type == ColumnType::Boolean)
        return layout.bit(column.number);
    if (!layout.bit(column.number))
        return std::monostate{};
    if (column.isFixed()) {
        auto raw = layout.fixedBytes(column);
        if (raw.empty())
            throw Error(where + ", column " + column.name + ": fixed value lies outside the row");
        return decodeFixed(column, raw, where);
    }
    return decodeVariable(file, column, layout.variableBytes(column), where);
}

Row decodeRow(const PageFile& file, const TableDef& def, std::span<const std::uint8_t> row,
              const std::string& where) {
    RowLayout layout = parseRow(row, where);
    Row values;
    values.reserve(def.columns.size());
    for (const Column& column : def.columns)
        values.push_back(decodeValue(file, column, layout, where));
    return values;
}

} // namespace jet
