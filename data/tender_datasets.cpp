// SPDX-License-Identifier: Apache-2.0
#include "data/tender_datasets.h"

#include "data/connection.h"
#include "data/engine_error.h"
#include "data/error.h"

#include <QHash>

#include <algorithm>
#include <type_traits>

namespace data {

namespace {

const QString kSpecs = QStringLiteral("SPECS");
const QString kPredlogenia = QStringLiteral("PREDLOGENIA");

FieldDef column(const QString& name, FieldType type, int size = 0) {
    return FieldDef(name, type, size);
}
FieldDef integer(const QString& name) {
    return column(name, FieldType::Integer);
}
FieldDef floating(const QString& name) {
    return column(name, FieldType::Double);
}
FieldDef text(const QString& name, int size) {
    return column(name, FieldType::Text, size);
}
QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

// A null key comes first; the others compare as text.
bool keyBefore(const std::optional<QString>& a, const std::optional<QString>& b) {
    if (!a || !b)
        return !a && b;
    return QString::compare(*a, *b, Qt::CaseInsensitive) < 0;
}

std::size_t columnIndex(const jet::TableDef& table, const char* name) {
    return static_cast<std::size_t>(&table.column(name) - table.columns.data());
}

std::optional<double> number(const jet::Value& value) {
    if (const auto* d = std::get_if<double>(&value))
        return *d;
    if (const auto* i = std::get_if<std::int64_t>(&value))
        return static_cast<double>(*i);
    return std::nullopt;
}

QVariant variant(const std::optional<double>& value) {
    return value ? QVariant(*value) : QVariant();
}

void addTo(std::optional<double>& sum, double value) {
    sum = sum.value_or(0.0) + value;
}

// Groups 1 to 6 of the tender record: identity, parameter descriptors, values and captions.
std::vector<FieldDef> tenderRecordFields() {
    std::vector<FieldDef> fields{
        FieldDef(QStringLiteral("CODE"), FieldType::AutoIncrement).asReadOnly(),
        text(QStringLiteral("IME_NA_FIRMATA"), 255),
        text(QStringLiteral("IME_NA_KONKURSA"), 255),
        column(QStringLiteral("IS_OBOSOBENI_POZICII"), FieldType::Boolean),
        integer(QStringLiteral("KONKURS")),
        column(QStringLiteral("NO_DDS"), FieldType::Boolean),
    };
    for (int n = 1; n <= 4; ++n) {
        fields.push_back(integer(numbered("KP%1_TIP", n)));
        fields.push_back(integer(numbered("KP%1_RAZRYAD", n)));
        fields.push_back(text(numbered("KP%1_IME", n), 50));
    }
    fields.push_back(integer(QStringLiteral("PP1_OFERTA")));
    fields.push_back(integer(QStringLiteral("PP1_RAZRYAD")));
    fields.push_back(text(QStringLiteral("PP1_IME"), 50));
    for (int n = 2; n <= 6; ++n) {
        fields.push_back(integer(numbered("PP%1_OFERTA", n)));
        fields.push_back(integer(numbered("PP%1_TIP", n)));
        fields.push_back(integer(numbered("PP%1_RAZRYAD", n)));
        fields.push_back(text(numbered("PP%1_IME", n), 50));
    }
    for (int n = 1; n <= 4; ++n) {
        fields.push_back(text(numbered("KP%1_TEXT", n), 255));
        fields.push_back(floating(numbered("KP%1_NUMBER", n)));
    }
    for (int n = 1; n <= 8; ++n)
        fields.push_back(text(numbered("CAPTION_INFO%1", n), 100));
    fields.push_back(text(QStringLiteral("CAPTION_PRODUCT"), 100));
    fields.push_back(text(QStringLiteral("CAPTION_GOD_POTREBLENIE"), 100));
    fields.push_back(integer(QStringLiteral("BROI_INFO_POLETA")));
    fields.push_back(text(QStringLiteral("CAPTION_MAX_CENA"), 100));
    fields.push_back(text(QStringLiteral("CAPTION_NOMER"), 100));
    return fields;
}

// Texts reach the datasets as UTF-16, the form they take there, decoded once and unit for unit
// as stored: half a surrogate pair that another program wrote is shown, checked and refused as
// what it is, not passed on as U+FFFD.
constexpr jet::TextForm kTextsAsStored = jet::TextForm::Utf16;

// The rows of SPECS in the order the file holds them, with _NO_DDS when asked for.
Query specsQuery(bool withNoDds) {
    return [withNoDds](const jet::Database& database, const jet::TableDef& table, const Dataset&,
                       ColumnPick& pick) {
        std::optional<std::size_t> noDds;
        if (withNoDds)
            noDds = pick.place(columnIndex(table, "NO_DDS"));
        std::vector<SnapshotRow> rows;
        database.scan(
            table, pick.columns(),
            [&](jet::RowId id, const jet::Row& row) {
                SnapshotRow snapshot{id, row, {}};
                if (noDds) {
                    const auto* flag = std::get_if<bool>(&row[*noDds]);
                    snapshot.derived.insert(QStringLiteral("_NO_DDS"), flag != nullptr && *flag
                                                                           ? QStringLiteral("Да")
                                                                           : QStringLiteral("Не"));
                }
                rows.push_back(std::move(snapshot));
            },
            {}, kTextsAsStored);
        return rows;
    };
}

// An ordering key made once for a sort. Codes are digits and Latin letters nearly always: those
// compare as their ASCII bytes with the letters lowered, which orders them as the case-blind
// comparison of keyBefore does, at a tenth of its cost. The text key is made only when some code
// is not of that kind.
struct SortKey {
    std::optional<std::string> foldedAscii;
    std::optional<QString> key;
    std::size_t row;
};

// The ordering key of a code all of whose characters are ASCII, the letters lowered; std::nullopt
// for a null code or any other.
std::optional<std::string> foldedAsciiKey(const jet::Value& customCode) {
    const auto fold = [](const auto& code) -> std::optional<std::string> {
        constexpr std::size_t kWidth = 10;
        const std::size_t size = code.size();
        std::string folded(size < kWidth ? kWidth - size : 0, '0');
        for (std::size_t i = 0; i < size; ++i) {
            const auto c = static_cast<std::uint32_t>(
                static_cast<std::make_unsigned_t<std::decay_t<decltype(code[i])>>>(code[i]));
            if (c >= 0x80)
                return std::nullopt;
            if (i + kWidth >= size)
                folded += static_cast<char>(c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c);
        }
        return folded;
    };
    if (const auto* text = std::get_if<std::u16string>(&customCode))
        return fold(*text);
    if (const auto* text = std::get_if<std::string>(&customCode))
        return fold(*text);
    return std::nullopt;
}

bool sortKeyBefore(const SortKey& a, const SortKey& b) {
    if (a.foldedAscii && b.foldedAscii)
        return *a.foldedAscii < *b.foldedAscii;
    return keyBefore(a.key, b.key);
}

void sortByCustomCode(std::vector<SnapshotRow>& rows, std::size_t customCode) {
    // Each key is made once, not at every comparison: hundreds of lots make thousands of them.
    std::vector<SortKey> keys;
    keys.reserve(rows.size());
    bool allAscii = true;
    for (std::size_t i = 0; i < rows.size(); ++i) {
        keys.push_back({foldedAsciiKey(rows[i].columns[customCode]), std::nullopt, i});
        allAscii = allAscii && keys.back().foldedAscii;
    }
    if (!allAscii)
        for (SortKey& key : keys)
            key.key = orderingKey(toVariant(rows[key.row].columns[customCode]));
    // Tenders list their positions in code order nearly always: then nothing moves.
    if (std::is_sorted(keys.begin(), keys.end(), sortKeyBefore))
        return;
    std::stable_sort(keys.begin(), keys.end(), sortKeyBefore);
    std::vector<SnapshotRow> sorted;
    sorted.reserve(rows.size());
    for (const SortKey& key : keys)
        sorted.push_back(std::move(rows[key.row]));
    rows = std::move(sorted);
}

// What the positions of one lot add up to; every total stays null until a position adds to it.
struct LotTotals {
    std::optional<double> price;      // sum(PP1_NUMBER)
    std::optional<double> totalPrice; // sum(PP1_NUMBER * GODISHNO_POTREBLENIE)
    std::optional<double> positions;  // sum(1)
    std::optional<double> offered;    // sum(1) where PP1_NUMBER > 0
};

// Reads the lots whole and, of the positions, only what the totals need: the memo and the
// texts of 50,000 positions would cost most of the time and none of the result. Gathers where
// each lot's positions live on the way.
Query lotsWithTotals(Connection& connection) {
    return [&connection](const jet::Database& database, const jet::TableDef& table,
                         const Dataset& dataset, ColumnPick& pick) {
        const std::size_t columns[] = {
            columnIndex(table, "MASTER_CODE"), columnIndex(table, "PRODUCT_CODE"),
            columnIndex(table, "PP1_NUMBER"), columnIndex(table, "GODISHNO_POTREBLENIE")};
        enum { kMaster, kProduct, kPrice, kQuantity };

        LotPositions& positions = connection.lotPositions();
        positions.clear();
        std::vector<jet::RowId> lotRows;
        QHash<std::int64_t, LotTotals> totals;
        database.scan(
            table, columns,
            [&](jet::RowId id, const jet::Row& row) {
                const auto* master = std::get_if<std::int64_t>(&row[kMaster]);
                if (master == nullptr) {
                    lotRows.push_back(id);
                    return;
                }
                positions.add(*master, id);
                LotTotals& lot = totals[*master];
                addTo(lot.positions, 1);
                const std::optional<double> unitPrice = number(row[kPrice]);
                if (!unitPrice)
                    return;
                addTo(lot.price, *unitPrice);
                if (const std::optional<double> amount = number(row[kQuantity]))
                    addTo(lot.totalPrice, *unitPrice * *amount);
                if (*unitPrice > 0)
                    addTo(lot.offered, 1);
            },
            [&dataset](std::size_t done, std::size_t total) {
                dataset.reportProgress(done, total);
            });
        positions.markComplete();

        const std::size_t productCode = pick.place(columns[kProduct]);
        const std::size_t customCode = pick.place(columnIndex(table, "CUSTOM_CODE"));
        std::vector<jet::Row> lotValues =
            database.read(table, lotRows, pick.columns(), kTextsAsStored);
        std::vector<SnapshotRow> lots;
        lots.reserve(lotRows.size());
        for (std::size_t i = 0; i < lotRows.size(); ++i) {
            SnapshotRow lot{lotRows[i], std::move(lotValues[i]), {}};
            const auto* code = std::get_if<std::int64_t>(&lot.columns[productCode]);
            const LotTotals sums = code != nullptr ? totals.value(*code) : LotTotals{};
            lot.derived.insert(QStringLiteral("_CENA"), variant(sums.price));
            lot.derived.insert(QStringLiteral("_OBSHTA_CENA"), variant(sums.totalPrice));
            lot.derived.insert(QStringLiteral("_OBSHT_BROI_POZICII"), variant(sums.positions));
            lot.derived.insert(QStringLiteral("_OFERIRANI_POZICII"), variant(sums.offered));
            lots.push_back(std::move(lot));
        }
        sortByCustomCode(lots, customCode);
        return lots;
    };
}

// Fills `positions` with where the rows of every lot live, reading only MASTER_CODE.
void gatherLotPositions(const jet::Database& database, const jet::TableDef& table,
                        LotPositions& positions) {
    const std::size_t masterCode[] = {columnIndex(table, "MASTER_CODE")};
    positions.clear();
    database.scan(table, masterCode, [&](jet::RowId id, const jet::Row& row) {
        if (const auto* master = std::get_if<std::int64_t>(&row[0]))
            positions.add(*master, id);
    });
    positions.markComplete();
}

// The rows `ids` of `lot` with the columns of `pick`, of which MASTER_CODE is at `masterCode`;
// std::nullopt when an id no longer leads to a position of the lot (another program changed the
// table since the ids were gathered).
std::optional<std::vector<SnapshotRow>> readPositions(const jet::Database& database,
                                                      const jet::TableDef& table,
                                                      const std::vector<jet::RowId>& ids,
                                                      std::int64_t lot, const ColumnPick& pick,
                                                      std::size_t masterCode) {
    std::vector<jet::Row> read;
    try {
        read = database.read(table, ids, pick.columns(), kTextsAsStored);
    } catch (const jet::Error&) {
        return std::nullopt;
    }
    std::vector<SnapshotRow> rows;
    rows.reserve(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) {
        if (read[i][masterCode] != jet::Value(lot))
            return std::nullopt;
        rows.push_back({ids[i], std::move(read[i]), {}});
    }
    return rows;
}

// The positions of the lot named by the parameter, read by their row ids: a lot switch costs
// the lot's rows, not the table's. The ids come from the map the lots' totals gathered; without
// it, or once another program made it stale, from the file's MASTER_CODE index, which follows
// every change Access makes; only where neither answers is the table scanned for a new map.
Query positionsOfLot(Connection& connection) {
    return [&connection](const jet::Database& database, const jet::TableDef& table,
                         const Dataset& dataset, ColumnPick& pick) {
        const QVariant wanted = dataset.parameter(QStringLiteral("MASTER_CODE"));
        if (wanted.isNull())
            return std::vector<SnapshotRow>{}; // "= null" matches no row
        const std::int64_t lot = wanted.toLongLong();
        const std::size_t masterColumn = columnIndex(table, "MASTER_CODE");
        const std::size_t masterCode = pick.place(masterColumn);
        const std::size_t customCode = pick.place(columnIndex(table, "CUSTOM_CODE"));
        LotPositions& positions = connection.lotPositions();
        std::optional<std::vector<SnapshotRow>> rows;
        if (positions.complete()) {
            rows = readPositions(database, table, positions.of(lot), lot, pick, masterCode);
            if (!rows)
                positions.clear(); // a stale map would hide positions that joined other lots
        }
        if (!rows) {
            if (const std::optional<std::vector<jet::RowId>> ids =
                    database.findThroughIndex(table, masterColumn, jet::Value(lot)))
                rows = readPositions(database, table, *ids, lot, pick, masterCode);
        }
        if (!rows) {
            gatherLotPositions(database, table, positions);
            rows = readPositions(database, table, positions.of(lot), lot, pick, masterCode);
        }
        if (!rows)
            throw Error(QStringLiteral("Позициите на обособена позиция %1 се промениха от друга "
                                       "програма, докато се четяха. Опитайте отново.")
                            .arg(lot));
        sortByCustomCode(*rows, customCode);
        return std::move(*rows);
    };
}

} // namespace

std::optional<QString> orderingKey(const QVariant& customCode) {
    if (customCode.isNull())
        return std::nullopt;
    return (QStringLiteral("0000000000") + customCode.toString()).right(10);
}

bool orderedBefore(const QVariant& customCodeA, const QVariant& customCodeB) {
    return keyBefore(orderingKey(customCodeA), orderingKey(customCodeB));
}

std::unique_ptr<Dataset> makeQrySpecsInit(Connection& connection) {
    std::vector<FieldDef> fields;
    for (int n = 1; n <= 4; ++n) {
        fields.push_back(integer(numbered("KP%1_TIP", n)));
        fields.push_back(integer(numbered("KP%1_RAZRYAD", n)));
        fields.push_back(text(numbered("KP%1_IME", n), 50));
    }
    return std::make_unique<Dataset>(QStringLiteral("qrySpecsInit"), connection, kSpecs,
                                     std::move(fields), specsQuery(false));
}

std::unique_ptr<Dataset> makeQrySpecs(Connection& connection) {
    std::vector<FieldDef> fields = tenderRecordFields();
    for (int n = 1; n <= 4; ++n)
        fields.push_back(integer(numbered("KP%1_OGRANICHENIE", n)));
    for (int n = 2; n <= 6; ++n)
        fields.push_back(integer(numbered("PP%1_OGRANICHENIE", n)));
    fields.push_back(FieldDef(QStringLiteral("_NO_DDS"), FieldType::Text, 255, FieldKind::Derived));
    return std::make_unique<Dataset>(QStringLiteral("qrySpecs"), connection, kSpecs,
                                     std::move(fields), specsQuery(true));
}

std::unique_ptr<Dataset> makeReportQrySpecs(Connection& connection) {
    return std::make_unique<Dataset>(QStringLiteral("qrySpecs"), connection, kSpecs,
                                     tenderRecordFields(), specsQuery(false));
}

std::unique_ptr<Dataset> makeQryObosobeniPozicii(Connection& connection) {
    const auto derived = [](const char* name) {
        return FieldDef(QString::fromLatin1(name), FieldType::Double, 0, FieldKind::Derived);
    };
    std::vector<FieldDef> fields{
        integer(QStringLiteral("MASTER_CODE")),
        FieldDef(QStringLiteral("_STATUS"), FieldType::Text, 255, FieldKind::Calculated),
        derived("_CENA"),
        derived("_OBSHT_BROI_POZICII"),
        derived("_OFERIRANI_POZICII"),
        text(QStringLiteral("CUSTOM_CODE"), 10),
        column(QStringLiteral("IME"), FieldType::Memo),
        text(QStringLiteral("MEASURE_IME"), 255),
        text(QStringLiteral("BELEJKI"), 255),
        floating(QStringLiteral("GODISHNO_POTREBLENIE")),
    };
    for (int n = 1; n <= 8; ++n)
        fields.push_back(text(numbered("INFO%1", n), 255));
    fields.push_back(floating(QStringLiteral("MAX_CENA")));
    fields.push_back(floating(QStringLiteral("PP1_NUMBER")));
    for (int n = 2; n <= 6; ++n) {
        fields.push_back(text(numbered("PP%1_TEXT", n), 255));
        fields.push_back(floating(numbered("PP%1_NUMBER", n)));
    }
    fields.push_back(integer(QStringLiteral("PRODUCT_CODE")));
    fields.push_back(derived("_OBSHTA_CENA"));
    return std::make_unique<Dataset>(QStringLiteral("qryObosobeniPozicii"), connection,
                                     kPredlogenia, std::move(fields), lotsWithTotals(connection));
}

std::unique_ptr<Dataset> makeQryData(Connection& connection, const QStringList& only) {
    const auto calculated = [](const char* name, FieldType type, int size, const char* format) {
        return FieldDef(QString::fromLatin1(name), type, size, FieldKind::Calculated)
            .withFormat(QString::fromLatin1(format));
    };
    const QString offerFormat = QStringLiteral("# ### ##0.00");
    std::vector<FieldDef> fields{
        integer(QStringLiteral("PRODUCT_CODE")),
        text(QStringLiteral("BELEJKI"), 255).withLabel(QStringLiteral("Бележки")).asReadOnly(),
        text(QStringLiteral("MEASURE_IME"), 255).withLabel(QStringLiteral("М.Ед.")).asReadOnly(),
        floating(QStringLiteral("GODISHNO_POTREBLENIE"))
            .withLabel(QStringLiteral("Год. потр."))
            .withFormat(QStringLiteral("# ###")),
    };
    for (int n = 1; n <= 8; ++n)
        fields.push_back(text(numbered("INFO%1", n), 255));
    fields.push_back(
        floating(QStringLiteral("MAX_CENA")).withFormat(QStringLiteral("# ##0.00000")));
    fields.push_back(calculated("_CENA_OBSHTO", FieldType::Double, 0, "# ##0.00"));
    fields.push_back(calculated("_CENA_OBSHTO_DDS", FieldType::Double, 0, "# ##0.00"));
    fields.push_back(calculated("_SAGLASIE", FieldType::Text, 10, ""));
    fields.push_back(calculated("_CENA_OPAKOVKA", FieldType::Double, 0, "# ##0.00"));
    fields.push_back(calculated("_CENA_OPAKOVKA_DDS", FieldType::Double, 0, "# ##0.00"));
    fields.push_back(calculated("_BROY_OPAKOVKI", FieldType::Double, 0, "# ##0.#####"));
    fields.push_back(calculated("_OBSHTA_STOYNOST", FieldType::Double, 0, "# ##0.00"));
    fields.push_back(floating(QStringLiteral("PP1_NUMBER")).withFormat(offerFormat));
    for (int n = 2; n <= 6; ++n) {
        fields.push_back(text(numbered("PP%1_TEXT", n), 255));
        fields.push_back(floating(numbered("PP%1_NUMBER", n)).withFormat(offerFormat));
    }
    fields.push_back(text(QStringLiteral("CUSTOM_CODE"), 10));
    fields.push_back(
        column(QStringLiteral("IME"), FieldType::Memo).withLabel(QStringLiteral("Наименование")));
    if (!only.isEmpty())
        std::erase_if(fields,
                      [&only](const FieldDef& field) { return !only.contains(field.name); });
    auto dataset = std::make_unique<Dataset>(QStringLiteral("qryData"), connection, kPredlogenia,
                                             std::move(fields), positionsOfLot(connection));
    dataset->setParameter(QStringLiteral("MASTER_CODE"), QVariant());
    return dataset;
}

void checkIsTender(const Connection& connection) {
    const jet::Database& database = connection.database();
    const std::vector<std::string> tables = engineCall([&] { return database.tableNames(); });
    for (const char* needed : {"SPECS", "PREDLOGENIA"}) {
        const QString name = QString::fromLatin1(needed);
        const bool found = std::any_of(tables.begin(), tables.end(), [&](const std::string& t) {
            return QString::fromStdString(t).compare(name, Qt::CaseInsensitive) == 0;
        });
        if (!found)
            throw Error(QStringLiteral("Файлът „%1“ не е файл на търг: в него няма таблица %2.")
                            .arg(QString::fromStdString(database.path()), name));
    }
}

} // namespace data
