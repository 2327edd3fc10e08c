// SPDX-License-Identifier: Apache-2.0
#include "offer/price_import.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/engine_error.h"
#include "data/number_format.h"
#include "data/tender_datasets.h"
#include "export/dMain.h"
#include "export/price_list.h"
#include "offer/dataset_rules.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cmath>
#include <map>
#include <optional>
#include <utility>

namespace priceimport {

namespace {

const QString kCustomCode = QStringLiteral("CUSTOM_CODE");
const QString kProductCode = QStringLiteral("PRODUCT_CODE");
const QString kName = QStringLiteral("IME");
constexpr qsizetype kMaxText = 255;

struct SheetColumn {
    pricelist::Column column;
    int index;
    bool single = false; // stored in a Single column
};

// Where the columns the import reads stand in the sheet.
struct Layout {
    int lot = -1;
    int position = -1;
    int key = -1; // none in a sheet made before the template had it, or by the bidder
    std::vector<SheetColumn> offered;
};

Layout findColumns(const std::vector<sheet::Cell>& heads, const data::Dataset& tender) {
    const auto indexOf = [&](const QString& head) {
        int found = -1;
        for (std::size_t i = 0; i < heads.size(); ++i) {
            if (heads[i].text.trimmed() != head)
                continue;
            if (found >= 0)
                throw data::Error(
                    QStringLiteral("Колоната „%1“ е в таблицата повече от веднъж.").arg(head));
            found = static_cast<int>(i);
        }
        return found;
    };
    Layout layout;
    const std::vector<pricelist::Column> columns = pricelist::columns(tender);
    for (const pricelist::Column& column : columns) {
        if (column.field.isEmpty())
            layout.lot = indexOf(column.head);
        else if (column.field == kCustomCode)
            layout.position = indexOf(column.head);
        else if (column.field == kProductCode)
            layout.key = indexOf(column.head);
        else if (column.offerValue)
            if (const int index = indexOf(column.head); index >= 0)
                layout.offered.push_back({column, index});
    }
    const auto missing = [](const QString& what) {
        return data::Error(QStringLiteral("Таблицата няма колона „%1“: това не е ценова листа "
                                          "на тръжния файл.")
                               .arg(what));
    };
    if (layout.lot < 0)
        throw missing(columns[0].head);
    if (layout.position < 0)
        throw missing(columns[1].head);
    if (layout.offered.empty())
        throw data::Error(QStringLiteral("Таблицата няма нито една колона с предлагани стойности "
                                         "(цена или параметър на офертата)."));
    return layout;
}

const sheet::Cell& cellAt(const std::vector<sheet::Cell>& row, int index) {
    static const sheet::Cell empty;
    return index < static_cast<int>(row.size()) ? row[static_cast<std::size_t>(index)] : empty;
}

// Codes and texts a refusal quotes, cut to what a line of the preview shows: a sheet may give a
// code of thousands of characters on every row.
QString shown(const QString& text) {
    constexpr qsizetype kShown = 40;
    return text.size() <= kShown ? text : text.left(kShown) + QStringLiteral("…");
}

// What was read of the file, said before anything is stored: the sheet of a workbook, which
// need not be the one it opens at; a CSV file's decimal separator, of which its numbers carry no
// sign.
QString sourceOf(const sheet::Table& table) {
    if (table.decimalSeparator.isNull())
        return table.sheetName.isEmpty()
                   ? QString()
                   : QStringLiteral("Прочетен лист: „%1“").arg(shown(table.sheetName));
    const QChar other = table.decimalSeparator == u'.' ? u',' : u'.';
    return QStringLiteral("Десетичен знак на числата: „%1“ (от регионалните настройки; число, "
                          "записано с „%2“, се отказва)")
        .arg(table.decimalSeparator, other);
}

// Why a cell holds no value the import can take, whatever its column.
std::optional<QString> unusableKind(const sheet::Cell& cell) {
    switch (cell.kind) {
    case sheet::CellKind::Formula:
        return QStringLiteral("формула (приемат се само стойности)");
    case sheet::CellKind::Date:
        return QStringLiteral("дата");
    case sheet::CellKind::Error:
        return QStringLiteral("грешка в клетката (%1)").arg(shown(cell.text));
    default:
        return std::nullopt;
    }
}

QString numberText(const sheet::Cell& cell) {
    return cell.text.isEmpty() ? QString::number(cell.number, 'g', sheet::kShownDigits) : cell.text;
}

// A code cell as text: a spreadsheet program may well have turned a code such as 7 into a
// number.
QString codeText(const sheet::Cell& cell) {
    switch (cell.kind) {
    case sheet::CellKind::Text:
    case sheet::CellKind::NumberAsText:
        return cell.text;
    case sheet::CellKind::Number:
        return numberText(cell);
    default:
        return QString();
    }
}

struct CellValue {
    QVariant value; // null: the cell is empty and the stored value stays
    QString refusal;
};

// A number is taken as exactly the number the sheet shows, or not at all: its decimals are
// counted on its text, never on the double it reads as, and it has no more digits than the offer
// file writes exactly. `separator` is the decimal separator the sheet's numbers were read with.
CellValue readNumberValue(const sheet::Cell& cell, const pricelist::Column& column,
                          QChar separator) {
    const auto digits = sheet::numberDigits(cell.text, separator);
    if (!digits || !std::isfinite(cell.number))
        return {{}, QStringLiteral("не е число (%1)").arg(shown(cell.text))};
    const qint64 decimals = std::max(column.decimals, 0);
    if (digits->decimals > decimals)
        return {{},
                decimals == 0 ? QStringLiteral("трябва да е цяло число (%1)").arg(shown(cell.text))
                              : QStringLiteral("повече от %1 знака след десетичния знак (%2)")
                                    .arg(decimals)
                                    .arg(shown(cell.text))};
    if (digits->integer + digits->decimals > data::kMaxNumberDigits)
        return {{},
                QStringLiteral("повече от %1 цифри (%2)")
                    .arg(data::kMaxNumberDigits)
                    .arg(shown(cell.text))};
    return {cell.number, {}};
}

CellValue readValue(const sheet::Cell& cell, const pricelist::Column& column, QChar separator) {
    if (cell.kind == sheet::CellKind::Empty)
        return {};
    if (const auto why = unusableKind(cell))
        return {{}, *why};
    if (!column.number) {
        const QString text = cell.kind == sheet::CellKind::Number ? numberText(cell) : cell.text;
        if (text.size() > kMaxText)
            return {{}, QStringLiteral("текстът е по-дълъг от %1 знака").arg(kMaxText)};
        return {text, {}};
    }
    if (cell.kind == sheet::CellKind::NumberAsText && !separator.isNull()) {
        const QChar other = separator == u'.' ? u',' : u'.';
        return {{},
                QStringLiteral("„%1“ не е десетичният знак на регионалните настройки (%2: %3?)")
                    .arg(other, shown(cell.text),
                         sheet::otherSeparatorReadings(cell.text, separator)
                             .join(QStringLiteral(" или ")))};
    }
    if (cell.kind == sheet::CellKind::NumberAsText)
        return {{}, QStringLiteral("число, записано като текст (%1)").arg(shown(cell.text))};
    if (cell.kind != sheet::CellKind::Number)
        return {{}, QStringLiteral("текст в числова колона (%1)").arg(shown(cell.text))};
    return readNumberValue(cell, column, separator.isNull() ? QChar(u'.') : separator);
}

// Whether two numbers are the same once stored in a column of the given precision: a Single
// column keeps a float, so 0.07 reads back as 0.07000000029802322 and is still the 0.07 given.
bool sameStored(double stored, double given, bool single) {
    return single ? static_cast<float>(stored) == static_cast<float>(given) : stored == given;
}

// Whether the position holds what `cell` gives already. The price list carries what is stored,
// numbers with every decimal they have, and a file may hold more decimals than its column lets
// the bidder type: a value handed back unchanged is no change, so it is neither refused nor
// stored again.
bool holdsAlready(const data::Dataset& position, const pricelist::Column& column,
                  const sheet::Cell& cell, bool single) {
    const data::Field& stored = position.fieldByName(column.field);
    if (stored.isNull())
        return false;
    if (column.number)
        return cell.kind == sheet::CellKind::Number &&
               sameStored(stored.asFloat(), cell.number, single);
    return cell.kind == sheet::CellKind::Text && stored.asString() == cell.text;
}

struct Lot {
    QVariant productCode;
    bool participating = false;
};

// A data row of the sheet with its codes.
struct SheetRow {
    int index; // into table.rows
    QString lot;
    QString position;
    QString key;
};

bool holdsAnything(const std::vector<sheet::Cell>& row) {
    return std::any_of(row.begin(), row.end(),
                       [](const sheet::Cell& cell) { return cell.kind != sheet::CellKind::Empty; });
}

} // namespace

int Preview::refusedRows() const {
    QSet<int> rowsRefused;
    for (const Refusal& refusal : refused)
        rowsRefused.insert(refusal.sheetRow);
    return static_cast<int>(rowsRefused.size());
}

namespace {

// A position by its code, or by its name where it has none.
QString positionText(const QString& code, const QString& name) {
    if (!code.isEmpty())
        return QStringLiteral("позиция %1").arg(shown(code));
    if (!name.isEmpty())
        return QStringLiteral("позиция „%1“").arg(shown(name));
    return QStringLiteral("позиция без номер и наименование");
}

QString describe(const Refusal& refusal) {
    QStringList where;
    if (refusal.sheetRow > 0)
        where << QStringLiteral("ред %1").arg(refusal.sheetRow);
    if (!refusal.lot.isEmpty())
        where << QStringLiteral("обособена позиция %1").arg(shown(refusal.lot));
    // A row refused before it named a position names none.
    if (!refusal.position.isEmpty() || !refusal.name.isEmpty())
        where << positionText(refusal.position, refusal.name);
    if (!refusal.column.isEmpty())
        where << QStringLiteral("„%1“").arg(refusal.column);
    return where.join(QStringLiteral(", ")) + QStringLiteral(": ") + refusal.reason;
}

QString describe(const Uncovered& position) {
    return QStringLiteral("обособена позиция %1, %2")
        .arg(shown(position.lot), positionText(position.position, position.name));
}

// The first kListed items under `heading`, a line each, and how many more there are.
template <typename Item> QString listed(const QString& heading, const std::vector<Item>& items) {
    if (items.empty())
        return {};
    QString text = QLatin1Char('\n') + heading + QLatin1Char('\n');
    const std::size_t shownItems = std::min(items.size(), kListed);
    for (std::size_t i = 0; i < shownItems; ++i)
        text += describe(items[i]) + QLatin1Char('\n');
    if (items.size() > shownItems)
        text += QStringLiteral("… и още %1\n").arg(items.size() - shownItems);
    return text;
}

} // namespace

QString Preview::text() const {
    QString text = source.isEmpty() ? QString() : source + QLatin1Char('\n');
    text += QStringLiteral("Редове в таблицата: %1\n"
                           "Съвпадат с позиция: %2\n"
                           "  ще бъдат записани: %3\n"
                           "  без промяна (нищо за запис): %4\n"
                           "Отказани редове: %5\n"
                           "Позиции, които таблицата не покрива: %6\n")
                .arg(rows)
                .arg(matched)
                .arg(accepted.size())
                .arg(unchanged)
                .arg(refusedRows())
                .arg(uncovered.size());
    text += listed(QStringLiteral("Отказани (нищо от тях не се записва):"), refused);
    text += listed(QStringLiteral("Позиции без ред в таблицата (остават, каквито са):"), uncovered);
    return text;
}

QString Outcome::text() const {
    QString text = QStringLiteral("Записани позиции: %1 от %2\n")
                       .arg(stored)
                       .arg(stored + static_cast<int>(notStored.size() + storedOtherwise.size()));
    if (!error.isEmpty())
        text += QStringLiteral("Грешка: ") + error + QLatin1Char('\n');
    text += listed(QStringLiteral("Незаписани (запазват предишните си стойности):"), notStored);
    text += listed(QStringLiteral("Записани с други стойности, отколкото в таблицата (проверете "
                                  "ги):"),
                   storedOtherwise);
    return text;
}

PriceImport::PriceImport(data::Connection& connection, const data::Dataset& qrySpecs)
    : connection_(connection), qrySpecs_(qrySpecs), positions_(data::makeQryData(connection)) {
    const jet::TableDef table = connection.database().table("PREDLOGENIA");
    for (const jet::Column& column : table.columns)
        if (column.type == jet::ColumnType::Single)
            singleColumns_.insert(QString::fromStdString(column.name));
    // The check of typing guards every position the import stores.
    positions_->beforePost = [this](data::Dataset& positions) {
        offer::qryDataBeforePost(positions, qrySpecs_);
    };
}

PriceImport::~PriceImport() = default;

void PriceImport::openPositions(const QVariant& lotProductCode) {
    positions_->close();
    positions_->setParameter(QStringLiteral("MASTER_CODE"), lotProductCode);
    positions_->open();
}

namespace {

// The records of the open positions dataset by the text of their `column`; the first of a
// text counts.
QHash<QString, int> recordsBy(const data::Dataset& positions, const QString& column) {
    QHash<QString, int> records;
    const int field = positions.fieldByName(column).index();
    for (int record = 0; record < positions.recordCount(); ++record) {
        const QVariant value = positions.valueAt(record, field);
        if (!value.isNull() && !records.contains(value.toString()))
            records.insert(value.toString(), record);
    }
    return records;
}

QString textAt(const data::Dataset& positions, int record, const QString& column) {
    return positions.valueAt(record, positions.fieldByName(column).index()).toString();
}

} // namespace

Preview PriceImport::preview(const sheet::Table& table, const Progress& proceed) {
    Preview preview;
    if (table.rows.empty())
        throw data::Error(QStringLiteral("Таблицата е празна."));
    Layout layout = findColumns(table.rows.front(), qrySpecs_);
    for (SheetColumn& offered : layout.offered)
        offered.single = singleColumns_.contains(offered.column.field);
    preview.source = sourceOf(table);

    std::unique_ptr<data::Dataset> lots = data::makeQryObosobeniPozicii(connection_);
    lots->open();
    QHash<QString, Lot> lotsByCode;
    for (lots->first(); !lots->eof(); lots->next()) {
        const data::Field& code = lots->fieldByName(kCustomCode);
        if (!code.isNull() && !lotsByCode.contains(code.asString()))
            lotsByCode.insert(code.asString(),
                              {lots->fieldByName(kProductCode).value(),
                               !lots->fieldByName(QStringLiteral("PP2_TEXT")).isNull()});
    }

    const auto refuseRow = [&](int index, const QString& lot, const QString& position,
                               const QString& reason, const QString& name = QString()) {
        preview.refused.push_back({index + 1, lot, position, QString(), reason, name});
    };
    // The rows of each lot taken part in, lots in the order the sheet first names them.
    std::vector<QString> lotOrder;
    std::map<QString, std::vector<SheetRow>> rowsOfLot;
    for (std::size_t r = 1; r < table.rows.size(); ++r) {
        const auto& row = table.rows[r];
        if (!holdsAnything(row))
            continue;
        ++preview.rows;
        const int index = static_cast<int>(r);
        const QString lot = codeText(cellAt(row, layout.lot));
        const QString position = codeText(cellAt(row, layout.position));
        const QString key = layout.key < 0 ? QString() : codeText(cellAt(row, layout.key));
        if (lot.isEmpty() || (position.isEmpty() && key.isEmpty())) {
            refuseRow(index, lot, position,
                      lot.isEmpty() ? QStringLiteral("липсва номер на обособената позиция")
                                    : QStringLiteral("липсва номер на позицията"));
            continue;
        }
        const auto known = lotsByCode.constFind(lot);
        if (known == lotsByCode.constEnd()) {
            refuseRow(index, lot, position, QStringLiteral("няма такава обособена позиция"));
            continue;
        }
        if (!known->participating) {
            refuseRow(index, lot, position,
                      QStringLiteral("не участвате в тази обособена позиция"));
            continue;
        }
        if (!rowsOfLot.contains(lot))
            lotOrder.push_back(lot);
        rowsOfLot[lot].push_back({index, lot, position, key});
    }

    int toMatch = 0;
    for (const auto& [lot, rows] : rowsOfLot)
        toMatch += static_cast<int>(rows.size());
    int matching = 0;
    data::Dataset& positions = *positions_;
    for (const QString& lot : lotOrder) {
        openPositions(lotsByCode.value(lot).productCode);
        const QHash<QString, int> byCode = recordsBy(positions, kCustomCode);
        const QHash<QString, int> byKey = recordsBy(positions, kProductCode);
        // Each row's record, then how many rows name each record.
        std::vector<std::pair<const SheetRow*, int>> matchedRows;
        QHash<int, int> timesGiven;
        for (const SheetRow& sheetRow : rowsOfLot[lot]) {
            const bool byItsKey = !sheetRow.key.isEmpty();
            const auto record =
                byItsKey ? byKey.constFind(sheetRow.key) : byCode.constFind(sheetRow.position);
            if (record == (byItsKey ? byKey.constEnd() : byCode.constEnd())) {
                refuseRow(sheetRow.index, lot, sheetRow.position,
                          QStringLiteral("няма такава позиция в обособената позиция"));
            } else if (byItsKey && !sheetRow.position.isEmpty() &&
                       textAt(positions, *record, kCustomCode) != sheetRow.position) {
                refuseRow(sheetRow.index, lot, sheetRow.position,
                          QStringLiteral("ключът е на друга позиция (%1); ключът не се променя")
                              .arg(positionText(textAt(positions, *record, kCustomCode),
                                                textAt(positions, *record, kName))));
            } else {
                matchedRows.emplace_back(&sheetRow, *record);
                ++timesGiven[*record];
            }
        }
        matching += static_cast<int>(rowsOfLot[lot].size() - matchedRows.size());
        QSet<int> covered;
        for (const auto& [sheetRow, record] : matchedRows) {
            if (proceed && !proceed(++matching, toMatch))
                throw sheet::ReadingStopped{};
            covered.insert(record);
            const QString code = textAt(positions, record, kCustomCode);
            const QString name = textAt(positions, record, kName);
            if (const int times = timesGiven.value(record); times > 1) {
                refuseRow(sheetRow->index, lot, code,
                          QStringLiteral("позицията е в таблицата %1 пъти; не се взема нито един "
                                         "от редовете ѝ")
                              .arg(times),
                          name);
                continue;
            }
            ++preview.matched;
            PositionValues update{
                sheetRow->index + 1,
                lot,
                code,
                lotsByCode.value(lot).productCode,
                positions.valueAt(record, positions.fieldByName(kProductCode).index()),
                {},
                name};
            bool refused = false;
            positions.moveTo(record);
            for (const SheetColumn& offered : layout.offered) {
                const sheet::Cell& given =
                    cellAt(table.rows[static_cast<std::size_t>(sheetRow->index)], offered.index);
                if (holdsAlready(positions, offered.column, given, offered.single))
                    continue;
                const CellValue cell = readValue(given, offered.column, table.decimalSeparator);
                if (!cell.refusal.isEmpty()) {
                    preview.refused.push_back(
                        {update.sheetRow, lot, code, offered.column.head, cell.refusal, name});
                    refused = true;
                } else if (!cell.value.isNull()) {
                    update.values.emplace_back(offered.column.field, cell.value);
                }
            }
            if (refused)
                continue;
            if (update.values.empty()) {
                ++preview.unchanged;
                continue;
            }
            // The check of typing, on the values the position would have.
            positions.moveTo(record);
            positions.edit();
            for (const auto& [field, value] : update.values)
                positions.fieldByName(field).setValue(value);
            const QString problems = TdmMain::IsPosOk(positions, qrySpecs_);
            positions.cancel();
            if (problems.isEmpty()) {
                preview.accepted.push_back(std::move(update));
                continue;
            }
            for (const QString& line : problems.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts))
                refuseRow(sheetRow->index, lot, code, line, name);
        }
        for (int record = 0; record < positions.recordCount(); ++record)
            if (!covered.contains(record))
                preview.uncovered.push_back({lot, textAt(positions, record, kCustomCode),
                                             textAt(positions, record, kName)});
    }
    positions.close();
    std::stable_sort(preview.refused.begin(), preview.refused.end(),
                     [](const Refusal& a, const Refusal& b) { return a.sheetRow < b.sheetRow; });
    return preview;
}

namespace {

using Values = std::vector<std::pair<QString, QVariant>>;

// Whether the position holds `values`, numbers compared at their column's precision.
bool holdsValues(const data::Dataset& positions, const Values& values,
                 const QSet<QString>& singleColumns) {
    for (const auto& [field, value] : values) {
        const data::Field& stored = positions.fieldByName(field);
        if (stored.isNull() || value.isNull()) {
            if (stored.isNull() != value.isNull())
                return false;
            continue;
        }
        const bool same =
            value.typeId() == QMetaType::Double
                ? sameStored(stored.asFloat(), value.toDouble(), singleColumns.contains(field))
                : stored.asString() == value.toString();
        if (!same)
            return false;
    }
    return true;
}

// What the position holds now in the fields `update` changes.
Values currentValues(const data::Dataset& positions, const PositionValues& update) {
    Values values;
    for (const auto& [field, value] : update.values)
        values.emplace_back(field, positions.fieldByName(field).value());
    return values;
}

// The accepted positions by lot, lots in the order of the preview.
std::vector<std::vector<const PositionValues*>> byLot(const Preview& preview) {
    std::vector<std::vector<const PositionValues*>> lots;
    std::map<QString, std::size_t> lotIndex;
    for (const PositionValues& update : preview.accepted) {
        const auto [at, added] = lotIndex.try_emplace(update.lot, lots.size());
        if (added)
            lots.emplace_back();
        lots[at->second].push_back(&update);
    }
    return lots;
}

} // namespace

Outcome PriceImport::store(const Preview& preview, const std::function<void()>& firstInBatch,
                           const Progress& proceed) {
    Outcome outcome;
    const auto lots = byLot(preview);
    QHash<const PositionValues*, QString> postErrors;
    QHash<const PositionValues*, Values> previous;
    const int total = static_cast<int>(preview.accepted.size());
    int done = 0;
    data::Dataset& positions = *positions_;
    std::optional<jet::Database::Batch> batch;
    try {
        batch.emplace(connection_.database());
        if (firstInBatch)
            firstInBatch();
        bool stopped = false;
        for (const auto& lot : lots) {
            openPositions(lot.front()->lotProductCode);
            const QHash<QString, int> records = recordsBy(positions, kProductCode);
            for (const PositionValues* update : lot) {
                const auto record = records.constFind(update->productCode.toString());
                if (record == records.constEnd()) {
                    postErrors.insert(update, QStringLiteral("позицията вече я няма във файла"));
                } else {
                    positions.moveTo(*record);
                    previous.insert(update, currentValues(positions, *update));
                    positions.edit();
                    try {
                        for (const auto& [field, value] : update->values)
                            positions.fieldByName(field).setValue(value);
                        positions.post();
                    } catch (const data::FileError&) {
                        throw; // not this position's values: the file cannot take the batch
                    } catch (const std::exception& failure) {
                        positions.cancel();
                        postErrors.insert(update, QString::fromUtf8(failure.what()).trimmed());
                    }
                }
                stopped = proceed && !proceed(++done, total);
                if (stopped)
                    break;
            }
            if (stopped)
                break;
        }
        if (stopped) {
            batch->rollBack();
            outcome.error = QStringLiteral("Записът е прекъснат: файлът е както преди него.");
        } else {
            batch->finish();
        }
    } catch (const std::exception& failure) {
        positions.cancel();
        const auto* engine = dynamic_cast<const jet::Error*>(&failure);
        outcome.error =
            engine ? data::bidderMessage(*engine) : QString::fromUtf8(failure.what()).trimmed();
        if (batch && !batch->ended()) {
            try {
                batch->rollBack();
                outcome.error += QStringLiteral("\nНищо не е записано: файлът е както преди "
                                                "записа.");
            } catch (const jet::Error& rollback) {
                outcome.error += QStringLiteral("\nФайлът не можа да бъде върнат както преди "
                                                "записа: %1")
                                     .arg(data::bidderMessage(rollback));
            }
        }
    }
    batch.reset();

    // What the file holds now tells which positions were stored, whatever ended the pass.
    for (const auto& lot : lots) {
        openPositions(lot.front()->lotProductCode);
        const QHash<QString, int> records = recordsBy(positions, kProductCode);
        for (const PositionValues* update : lot) {
            const auto record = records.constFind(update->productCode.toString());
            const QString reason = postErrors.value(update, outcome.error);
            const Refusal refusal{update->sheetRow,
                                  update->lot,
                                  update->position,
                                  QString(),
                                  reason.isEmpty() ? QStringLiteral("не е записана") : reason,
                                  update->name};
            if (record == records.constEnd()) {
                outcome.notStored.push_back(refusal);
                continue;
            }
            positions.moveTo(*record);
            if (holdsValues(positions, update->values, singleColumns_))
                ++outcome.stored;
            else if (!previous.contains(update) ||
                     holdsValues(positions, previous.value(update), singleColumns_))
                outcome.notStored.push_back(refusal);
            else
                outcome.storedOtherwise.push_back(
                    {update->sheetRow, update->lot, update->position, QString(),
                     reason.isEmpty() ? QStringLiteral("файлът държи други стойности") : reason,
                     update->name});
        }
    }
    positions.close();
    return outcome;
}

} // namespace priceimport
