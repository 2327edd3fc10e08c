// SPDX-License-Identifier: Apache-2.0
#include "offer/offer_carry.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/error.h"
#include "data/number_format.h"
#include "data/tender_datasets.h"
#include "export/BRX_XSD.h"
#include "export/dMain.h"
#include "export/price_list.h"

#include <QFileInfo>
#include <QHash>
#include <QLocale>
#include <QSet>

#include <optional>

namespace offercarry {

namespace {

const QString kProductCode = QStringLiteral("PRODUCT_CODE");
const QString kCustomCode = QStringLiteral("CUSTOM_CODE");
const QString kParticipation = QStringLiteral("PP2_TEXT");
const QString kMasterCode = QStringLiteral("MASTER_CODE");

// The values that describe a position; a change in any of them may change its price.
struct Described {
    QString column;
    QString caption;       // when the tender gives none
    QString tenderCaption; // the column of the tender record that captions it, if any
};
const std::vector<Described>& describedColumns() {
    static const std::vector<Described> columns = [] {
        std::vector<Described> all = {
            {QStringLiteral("IME"), QStringLiteral("наименование"),
             QStringLiteral("CAPTION_PRODUCT")},
            {QStringLiteral("MEASURE_IME"), QStringLiteral("мярка"), QString()},
            {QStringLiteral("GODISHNO_POTREBLENIE"), QStringLiteral("количество"),
             QStringLiteral("CAPTION_GOD_POTREBLENIE")},
        };
        for (int n = 1; n <= 8; ++n)
            all.push_back({QStringLiteral("INFO%1").arg(n), QStringLiteral("INFO%1").arg(n),
                           QStringLiteral("CAPTION_INFO%1").arg(n)});
        all.push_back({QStringLiteral("MAX_CENA"), QStringLiteral("максимална цена"),
                       QStringLiteral("CAPTION_MAX_CENA")});
        return all;
    }();
    return columns;
}

// The caption the bidder knows a descriptive value by: the tender's, where it gives one.
QString captionOf(const Described& described, const data::Dataset& specs) {
    const QString caption = described.tenderCaption.isEmpty()
                                ? QString()
                                : specs.fieldByName(described.tenderCaption).asString().trimmed();
    return caption.isEmpty() ? described.caption : caption;
}

bool isNumber(const QVariant& value) {
    return value.typeId() == QMetaType::Double;
}

// A value as the bidder reads it: numbers in their shortest exact form with the regional
// decimal separator.
QString shown(const QVariant& value) {
    if (value.isNull())
        return QStringLiteral("(няма)");
    if (value.typeId() == QMetaType::Bool)
        return value.toBool() ? QStringLiteral("Да") : QStringLiteral("Не");
    if (isNumber(value))
        return data::formatNumber(value.toDouble(), QString(),
                                  QLocale::system().decimalPoint().front());
    return value.toString();
}

// The decimals a number needs to be written exactly: those of the shortest text that reads back
// as the same double, which is what the bidder typed.
int decimalsOf(double value) {
    const QString text = QString::number(value, 'f', QLocale::FloatingPointShortest);
    const qsizetype point = text.indexOf(QLatin1Char('.'));
    return point < 0 ? 0 : static_cast<int>(text.size() - point - 1);
}

// A null, an empty text and a No are all nothing: a yes/no column reads a null as No.
bool nothing(const QVariant& value) {
    if (value.typeId() == QMetaType::Bool)
        return !value.toBool();
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

// Whether two stored values are the same.
bool sameValue(const QVariant& a, const QVariant& b) {
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return a.toBool() == b.toBool();
    if (nothing(a) || nothing(b))
        return nothing(a) && nothing(b);
    if (isNumber(a) || isNumber(b))
        return a.toDouble() == b.toDouble();
    return a.toString() == b.toString();
}

QString decimalsCount(int count) {
    return count == 1 ? QStringLiteral("1 знак") : QStringLiteral("%1 знака").arg(count);
}

QString decimalsReason(int has, int allowed) {
    return allowed <= 0
               ? QStringLiteral("новият файл допуска само цели числа, а стойността има %1 след "
                                "десетичния знак")
                     .arg(decimalsCount(has))
               : QStringLiteral("новият файл допуска до %1 след десетичния знак, а стойността "
                                "има %2")
                     .arg(decimalsCount(allowed), decimalsCount(has));
}

// What a value asked for in the old file is in the new one.
struct Asked {
    QString column;  // the column of the value: KPn_TEXT or KPn_NUMBER, PPn_TEXT or PPn_NUMBER
    QString caption; // as the tender names it
    bool number = false;
    int decimals = 0;
};

// Why `value` (a number when `number`) is one no bidder can type, which a file written by
// another tool may hold: an offer file could not carry it as it is. Nothing when typing could
// have stored it.
std::optional<QString> untypableRefusal(const QVariant& value, bool number) {
    if (value.isNull())
        return std::nullopt;
    if (number) {
        const QString refusal = numberRefusal(value.toDouble(), QLocale::system().decimalPoint());
        return refusal.isEmpty() ? std::nullopt
                                 : std::optional(QStringLiteral("стойността ") + refusal);
    }
    const QString text = value.toString();
    if (const auto bad = firstUnwritableCharacter(text))
        return QStringLiteral("текстът ") + unwritableCharacterReason(text, *bad);
    return std::nullopt;
}

// Why a value asked for as `before` cannot go where the new file asks for `after` (none when
// it is not asked for); nothing when it can, as far as its kind goes. A caption changed alone
// refuses nothing: the bidder is shown it to look at again.
std::optional<QString> kindRefusal(const Asked& before, const std::optional<Asked>& after,
                                   const QVariant& value) {
    if (!after)
        return QStringLiteral("новият файл не иска тази стойност");
    if (after->number != before.number)
        return after->number ? QStringLiteral("новият файл иска число вместо текст")
                             : QStringLiteral("новият файл иска текст вместо число");
    if (const auto refusal = untypableRefusal(value, before.number))
        return refusal;
    if (before.number && decimalsOf(value.toDouble()) > std::max(after->decimals, 0))
        return decimalsReason(decimalsOf(value.toDouble()), after->decimals);
    return std::nullopt;
}

// The tender parameter `n` as a tender record asks for it; none when it is not in use.
std::optional<Asked> tenderParameter(const data::Dataset& specs, int n) {
    const QString prefix = QStringLiteral("KP%1_").arg(n);
    const qint64 type = specs.fieldByName(prefix + QStringLiteral("TIP")).asInteger();
    if (type != 2 && type != 3)
        return std::nullopt;
    const bool number = type == 3;
    return Asked{
        prefix + (number ? QStringLiteral("NUMBER") : QStringLiteral("TEXT")),
        specs.fieldByName(prefix + QStringLiteral("IME")).asString(), number,
        static_cast<int>(specs.fieldByName(prefix + QStringLiteral("RAZRYAD")).asInteger())};
}

// The offered values of a position as the price list has them, by parameter ("PP3_").
QHash<QString, Asked> offeredValues(const data::Dataset& specs) {
    QHash<QString, Asked> asked;
    for (const pricelist::Column& column : pricelist::columns(specs))
        if (column.offerValue)
            asked.insert(column.field.left(4),
                         {column.field, column.head, column.number, column.decimals});
    return asked;
}

std::optional<Asked> findAsked(const QHash<QString, Asked>& asked, const QString& parameter) {
    const auto found = asked.constFind(parameter);
    return found == asked.constEnd() ? std::nullopt : std::optional<Asked>(*found);
}

// The values of the tender record and of the positions the new file asks for as the old one
// did, of the same kind, under another caption; by column.
std::vector<Renamed> renamedColumns(const data::Dataset& before, const data::Dataset& after) {
    std::vector<Renamed> renamed;
    const auto compare = [&](const Asked& old, const std::optional<Asked>& now) {
        if (now && now->number == old.number && now->caption.trimmed() != old.caption.trimmed())
            renamed.push_back({old.column, old.caption, now->caption});
    };
    for (int n = 1; n <= 4; ++n)
        if (const std::optional<Asked> old = tenderParameter(before, n))
            compare(*old, tenderParameter(after, n));
    const QHash<QString, Asked> asked = offeredValues(after);
    for (const Asked& old : offeredValues(before))
        compare(old, findAsked(asked, old.column.left(4)));
    std::sort(renamed.begin(), renamed.end(),
              [](const Renamed& a, const Renamed& b) { return a.column < b.column; });
    return renamed;
}

// Which of the two files a message means.
QString oldFileNamed(const QString& path) {
    return QStringLiteral("Старият файл %1").arg(path);
}
QString newFileNamed(const data::Connection& connection) {
    return QStringLiteral("Новият файл %1")
        .arg(QString::fromStdString(connection.database().path()));
}

// Runs `read` on one of the files; whatever keeps it from being read is told with the file.
template <typename Read> auto reading(const QString& file, Read&& read) {
    try {
        return read();
    } catch (const std::exception& failure) {
        throw data::Error(file + QStringLiteral(": ") +
                          QString::fromUtf8(failure.what()).trimmed());
    }
}

// The values are matched by PRODUCT_CODE: a code given twice leaves a value no single place.
void refuseRepeats(const std::vector<QVariant>& codes, const QString& file) {
    QSet<qint64> seen;
    for (const QVariant& code : codes) {
        if (code.isNull())
            continue;
        if (seen.contains(code.toLongLong()))
            throw data::Error(QStringLiteral("%1 дава PRODUCT_CODE %2 на повече от един ред. "
                                             "Офертата не се пренася.")
                                  .arg(file)
                                  .arg(code.toLongLong()));
        seen.insert(code.toLongLong());
    }
}

// A position of the old file's lots taken part in.
struct OldPosition {
    QString lot;
    QString code;
    QVariant lotProductCode;
    std::vector<QVariant> described;                 // in describedColumns' order
    std::vector<std::pair<Asked, QVariant>> offered; // the values it holds
    bool matched = false;
};

struct OldLot {
    QString code;
    QVariant productCode;
    QVariant mark;
};

struct NewLot {
    QString code;
    QVariant productCode;
    bool participating = false; // now or once the carry is stored
};

std::vector<NewLot> newLots(data::Connection& connection) {
    std::vector<NewLot> lots;
    const std::unique_ptr<data::Dataset> dataset = data::makeQryObosobeniPozicii(connection);
    dataset->open();
    for (dataset->first(); !dataset->eof(); dataset->next())
        lots.push_back({dataset->fieldByName(kCustomCode).asString(),
                        dataset->fieldByName(kProductCode).value(),
                        !dataset->fieldByName(kParticipation).isNull()});
    return lots;
}

// Every lot of the old file; `mark` is null for those not taken part in.
std::vector<OldLot> oldLotsOf(data::Connection& connection) {
    std::vector<OldLot> lots;
    const std::unique_ptr<data::Dataset> dataset = data::makeQryObosobeniPozicii(connection);
    dataset->open();
    for (dataset->first(); !dataset->eof(); dataset->next())
        lots.push_back({dataset->fieldByName(kCustomCode).asString(),
                        dataset->fieldByName(kProductCode).value(),
                        dataset->fieldByName(kParticipation).value()});
    return lots;
}

QString konkursText(const QVariant& konkurs) {
    return konkurs.isNull() ? QStringLiteral("без номер")
                            : QStringLiteral("№%1").arg(konkurs.toLongLong());
}

} // namespace

bool Value::replaces() const {
    return !nothing(replacing);
}

int Preview::positionValues() const {
    int count = 0;
    for (const Position& position : positions)
        count += static_cast<int>(position.values.size());
    return count;
}

int Preview::replacements() const {
    const auto replacing = [](const std::vector<Value>& values) {
        return static_cast<int>(std::count_if(values.begin(), values.end(),
                                              [](const Value& v) { return v.replaces(); }));
    };
    int count = replacing(tender);
    for (const Position& position : positions)
        count += replacing(position.values);
    return count;
}

namespace {

QString placeText(const QString& lot, const QString& position) {
    QStringList where;
    if (!lot.isEmpty())
        where << QStringLiteral("обособена позиция %1").arg(lot);
    if (!position.isEmpty())
        where << QStringLiteral("позиция %1").arg(position);
    return where.isEmpty() ? QStringLiteral("данни за фирмата") : where.join(QStringLiteral(", "));
}

// A value as the lists show it: a replacement as what the new file holds and what the old
// would put in its place.
QString valueText(const Value& value) {
    return QStringLiteral("„%1“: ").arg(value.caption) +
           (value.replaces()
                ? QStringLiteral("%1 → %2").arg(shown(value.replacing), shown(value.value))
                : shown(value.value));
}

QString valueLine(const Value& value) {
    QString line = placeText(value.lot, value.position) + QStringLiteral(", ") + valueText(value);
    if (!value.reason.isEmpty())
        line += QStringLiteral(" – ") + value.reason;
    return line + QLatin1Char('\n');
}

QString differencesText(const std::vector<Difference>& differences) {
    QStringList parts;
    for (const Difference& difference : differences)
        parts << QStringLiteral("%1: „%2“ → „%3“")
                     .arg(difference.caption, difference.before, difference.after);
    return parts.join(QStringLiteral("; "));
}

QString renamedText(const Renamed& renamed) {
    return QStringLiteral("%1: „%2“ → „%3“").arg(renamed.column, renamed.before, renamed.after);
}

} // namespace

QString Preview::text() const {
    QString text = QStringLiteral("Пренасяне от %1 (поръчка %2)\n"
                                  "Данни за фирмата и параметри на поръчката за пренасяне: %3\n"
                                  "Обособени позиции с участие за пренасяне: %4\n"
                                  "Позиции със стойности за пренасяне: %5 (стойности: %6)\n"
                                  "Позиции с променено описание: %7\n"
                                  "Позиции, които новият файл няма: %8\n"
                                  "Нови позиции за оценяване: %9\n"
                                  "Отказани стойности (не се пренасят): %10\n"
                                  "Стойности, които новият файл вече съдържа (без промяна): %11\n")
                       .arg(oldFile, konkursText(konkurs))
                       .arg(tender.size())
                       .arg(lots.size())
                       .arg(positions.size())
                       .arg(positionValues())
                       .arg(changed.size())
                       .arg(gone.size())
                       .arg(added.size())
                       .arg(refused.size())
                       .arg(equal) +
                   QStringLiteral("Нови обособени позиции: %1\n"
                                  "Позиции, които остават непълни: %2\n"
                                  "Стойности, които новият файл съдържа различно: %3\n"
                                  "Стойности с променено наименование: %4\n")
                       .arg(newLots.size())
                       .arg(std::count_if(
                           positions.begin(), positions.end(),
                           [](const Position& position) { return !position.stillNeeds.empty(); }))
                       .arg(replacements())
                       .arg(renamed.size());
    if (replacements() > 0)
        text += QStringLiteral("\nСтойност, която новият файл съдържа различно, е показана като "
                               "„стойност в новия файл → стойност в стария файл“. Запазва се "
                               "тази в новия файл, освен ако не изберете стойностите от стария.\n");
    if (!tender.empty()) {
        text += QStringLiteral("\nДанни за фирмата и параметри на поръчката:\n");
        for (const Value& value : tender)
            text += valueLine(value);
    }
    if (!lots.empty()) {
        text += QStringLiteral("\nУчастие в обособени позиции:\n");
        for (const Place& lot : lots)
            text += QStringLiteral("обособена позиция %1\n").arg(lot.lot);
    }
    if (!newLots.empty()) {
        text += QStringLiteral("\nНови обособени позиции (участие в тях не се пренася):\n");
        for (const Place& lot : newLots)
            text += QStringLiteral("обособена позиция %1\n").arg(lot.lot);
    }
    if (!positions.empty()) {
        text += QStringLiteral("\nСтойности на позициите:\n");
        for (const Position& position : positions) {
            QStringList values;
            for (const Value& value : position.values)
                values << valueText(value);
            text += placeText(position.place.lot, position.place.position) + QStringLiteral(": ") +
                    values.join(QStringLiteral(", "));
            if (!position.stillNeeds.empty())
                text += QStringLiteral(" – остава непълна: ") +
                        position.stillNeeds.join(QLatin1Char(' '));
            text += QLatin1Char('\n');
        }
    }
    if (!renamed.empty()) {
        text += QStringLiteral("\nПроменено наименование на стойност (пренася се; проверете я "
                               "отново):\n");
        for (const Renamed& value : renamed)
            text += renamedText(value) + QLatin1Char('\n');
    }
    if (!changed.empty()) {
        text += QStringLiteral("\nПроменено описание (проверете цената отново):\n");
        for (const ChangedPosition& position : changed)
            text += placeText(position.lot, position.position) + QStringLiteral(": ") +
                    differencesText(position.differences) + QLatin1Char('\n');
    }
    if (!gone.empty()) {
        text += QStringLiteral("\nПозиции, които новият файл няма (нищо от тях не се пренася):\n");
        for (const Place& position : gone)
            text += placeText(position.lot, position.position) + QLatin1Char('\n');
    }
    if (!added.empty()) {
        text += QStringLiteral("\nНови позиции (остават за оценяване):\n");
        for (const Place& position : added)
            text += placeText(position.lot, position.position) + QLatin1Char('\n');
    }
    if (!refused.empty()) {
        text += QStringLiteral("\nОтказани стойности (не се пренасят):\n");
        for (const Value& value : refused)
            text += valueLine(value);
    }
    return text;
}

QString Outcome::text() const {
    QString text = QStringLiteral("Записани данни за фирмата и параметри: %1 от %2\n"
                                  "Записано участие в обособени позиции: %3 от %4\n")
                       .arg(tenderStored)
                       .arg(tenderTotal)
                       .arg(lotsStored)
                       .arg(lotsTotal);
    return text + positions.text();
}

OfferCarry::OfferCarry(data::Connection& connection)
    : connection_(connection), qrySpecs_(data::makeQrySpecs(connection)) {
    import_ = std::make_unique<priceimport::PriceImport>(connection_, *qrySpecs_);
    for (const jet::Column& column : connection.database().table("PREDLOGENIA").columns)
        if (column.type == jet::ColumnType::Single)
            singleColumns_.insert(QString::fromStdString(column.name));
}

OfferCarry::~OfferCarry() = default;

namespace {

// The company data and tender parameters of `before` that `after` should hold. `after` is
// the new file's tender record, which the limits are checked on and left as it was.
void compareTender(const data::Dataset& before, data::Dataset& after, Preview& preview) {
    std::vector<Value> candidates;
    const auto consider = [&](const QString& column, const QString& caption,
                              const std::optional<QString>& refusal) {
        const QVariant value = before.fieldByName(column).value();
        if (value.isNull() || (!isNumber(value) && value.toString().trimmed().isEmpty()))
            return;
        if (sameValue(value, after.fieldByName(column).value())) {
            ++preview.equal;
            return;
        }
        const QVariant now = after.fieldByName(column).value();
        Value carried{{},
                      {},
                      {},
                      {},
                      column,
                      caption,
                      value,
                      refusal.value_or(QString()),
                      nothing(now) ? QVariant() : now};
        (refusal ? preview.refused : candidates).push_back(carried);
    };
    consider(QStringLiteral("IME_NA_FIRMATA"), QStringLiteral("Наименование на фирмата"),
             untypableRefusal(before.fieldByName(QStringLiteral("IME_NA_FIRMATA")).value(), false));
    consider(QStringLiteral("NO_DDS"), QStringLiteral("Не е регистриран по ДДС"), std::nullopt);
    for (int n = 1; n <= 4; ++n) {
        const std::optional<Asked> old = tenderParameter(before, n);
        if (!old)
            continue;
        const std::optional<Asked> now = tenderParameter(after, n);
        consider(old->column, now ? now->caption : old->caption,
                 kindRefusal(*old, now, before.fieldByName(old->column).value()));
    }
    if (candidates.empty())
        return;
    // The limits the export checks, on the record as it would be.
    after.edit();
    for (const Value& value : candidates)
        after.fieldByName(value.column).setValue(value.value);
    const std::vector<RuleBreach> breaches = TdmMain::konkBreaches(after);
    after.cancel();
    for (Value& value : candidates) {
        for (const RuleBreach& breach : breaches)
            if (breach.column == value.column)
                value.reason = breach.message();
        (value.reason.isEmpty() ? preview.tender : preview.refused).push_back(value);
    }
}

// Stands `positions` on the positions of the lot `lotProductCode`, opening them unless it is.
void openLot(data::Dataset& positions, const QVariant& lotProductCode) {
    if (positions.active() &&
        positions.parameter(kMasterCode).toLongLong() == lotProductCode.toLongLong())
        return;
    positions.close();
    positions.setParameter(kMasterCode, lotProductCode);
    positions.open();
}

// The positions of the old file's lots taken part in, by PRODUCT_CODE, in lot and position
// order.
std::vector<std::pair<QVariant, OldPosition>> oldPositions(data::Connection& connection,
                                                           const data::Dataset& specs,
                                                           const std::vector<OldLot>& lots) {
    const QHash<QString, Asked> asked = offeredValues(specs);
    const std::vector<Described>& described = describedColumns();
    std::vector<std::pair<QVariant, OldPosition>> positions;
    const std::unique_ptr<data::Dataset> dataset = data::makeQryData(connection);
    for (const OldLot& lot : lots) {
        openLot(*dataset, lot.productCode);
        for (dataset->first(); !dataset->eof(); dataset->next()) {
            OldPosition position{
                lot.code, offercheck::positionName(*dataset), lot.productCode, {}, {}, false};
            for (const Described& column : described)
                position.described.push_back(dataset->fieldByName(column.column).value());
            for (const Asked& value : asked)
                if (const QVariant held = dataset->fieldByName(value.column).value();
                    !held.isNull() && !(value.number == false && held.toString().isEmpty()))
                    position.offered.emplace_back(value, held);
            std::sort(position.offered.begin(), position.offered.end(),
                      [](const auto& a, const auto& b) { return a.first.column < b.first.column; });
            positions.emplace_back(dataset->fieldByName(kProductCode).value(), std::move(position));
        }
    }
    return positions;
}

// The old position `old` against the new position `positions` stands on, in lot `lot`.
void comparePosition(OldPosition& old, data::Dataset& positions, const NewLot& lot,
                     const QHash<QString, Asked>& asked, const data::Dataset& specs,
                     Preview& preview) {
    old.matched = true;
    const Place place{lot.code, offercheck::positionName(positions), lot.productCode,
                      positions.fieldByName(kProductCode).value()};

    const std::vector<Described>& described = describedColumns();
    ChangedPosition change{place.lot, place.position, place.lotProductCode, place.productCode, {}};
    for (std::size_t i = 0; i < described.size(); ++i) {
        const QVariant now = positions.fieldByName(described[i].column).value();
        if (!sameValue(old.described[i], now))
            change.differences.push_back(
                {captionOf(described[i], specs), shown(old.described[i]), shown(now)});
    }
    if (!change.differences.empty())
        preview.changed.push_back(change);

    std::vector<Value> candidates;
    for (const auto& [before, held] : old.offered) {
        const std::optional<Asked> now = findAsked(asked, before.column.left(4));
        const QVariant there = now && now->column == before.column
                                   ? positions.fieldByName(now->column).value()
                                   : QVariant();
        if (now && now->column == before.column && sameValue(held, there)) {
            ++preview.equal;
            continue;
        }
        QString reason;
        if (!lot.participating)
            reason = QStringLiteral("позицията е в обособена позиция %1, в която не участвате")
                         .arg(lot.code);
        else if (const auto refusal = kindRefusal(before, now, held))
            reason = *refusal;
        Value value{place.lot,
                    place.position,
                    place.lotProductCode,
                    place.productCode,
                    before.column,
                    now ? now->caption : before.caption,
                    held,
                    reason,
                    nothing(there) ? QVariant() : there};
        (reason.isEmpty() ? candidates : preview.refused).push_back(value);
    }
    if (candidates.empty())
        return;
    // The check of typing, value by value: a value whose own column's rule it breaks is refused,
    // and what the position lacks besides is left for the bidder to fill in.
    Position carried{place, {}, {}};
    positions.edit();
    for (const Value& candidate : candidates)
        positions.fieldByName(candidate.column).setValue(candidate.value);
    const std::vector<RuleBreach> breaches = TdmMain::posBreaches(positions, specs);
    for (Value& candidate : candidates) {
        for (const RuleBreach& breach : breaches)
            if (breach.column == candidate.column)
                candidate.reason = breach.message();
        if (candidate.reason.isEmpty()) {
            carried.values.push_back(candidate);
        } else {
            positions.fieldByName(candidate.column).setValue(candidate.replacing);
            preview.refused.push_back(candidate);
        }
    }
    for (const RuleBreach& breach : TdmMain::posBreaches(positions, specs))
        carried.stillNeeds << breach.message();
    positions.cancel();
    if (!carried.values.empty())
        preview.positions.push_back(std::move(carried));
}

// Whether `column` holds `value`; a column stored as Single holds a number as near as it can.
bool holds(const data::Dataset& dataset, const QString& column, const QVariant& value,
           bool single = false) {
    const QVariant held = dataset.fieldByName(column).value();
    if (single && isNumber(held) && isNumber(value))
        return static_cast<float>(held.toDouble()) == static_cast<float>(value.toDouble());
    return sameValue(held, value);
}

// The values of `values` that storing writes, with the bidder's choice of replacements.
std::vector<const Value*> written(const std::vector<Value>& values, Replacements replacements) {
    std::vector<const Value*> chosen;
    for (const Value& value : values)
        if (!value.replaces() || replacements == Replacements::TakeOld)
            chosen.push_back(&value);
    return chosen;
}

} // namespace

Preview OfferCarry::preview(const QString& oldFile) {
    Preview preview;
    preview.oldFile = oldFile;
    const QString oldNamed = oldFileNamed(oldFile);
    const QString newNamed = newFileNamed(connection_);
    data::Connection old;
    std::unique_ptr<data::Dataset> oldSpecs;
    std::vector<OldLot> allOldLots;
    reading(oldNamed, [&] {
        old.openReadOnly(oldFile);
        oldSpecs = data::makeQrySpecs(old);
        oldSpecs->open();
        allOldLots = oldLotsOf(old);
    });
    std::vector<NewLot> lots = reading(newNamed, [&] {
        qrySpecs_->close();
        qrySpecs_->open();
        return newLots(connection_);
    });
    const QVariant oldKonkurs = oldSpecs->fieldByName(QStringLiteral("KONKURS")).value();
    const QVariant newKonkurs = qrySpecs_->fieldByName(QStringLiteral("KONKURS")).value();
    if (oldKonkurs.isNull() || newKonkurs.isNull() ||
        oldKonkurs.toLongLong() != newKonkurs.toLongLong())
        throw data::Error(QStringLiteral("Файловете са на различни поръчки: %1 е на поръчка %2, "
                                         "а отвореният файл – на поръчка %3. Офертата не се "
                                         "пренася.")
                              .arg(oldFile, konkursText(oldKonkurs), konkursText(newKonkurs)));
    preview.konkurs = newKonkurs;

    compareTender(*oldSpecs, *qrySpecs_, preview);

    // Participation: the lots of the old offer the new file has.
    QHash<qint64, std::size_t> lotIndex;
    for (std::size_t i = 0; i < lots.size(); ++i)
        lotIndex.insert(lots[i].productCode.toLongLong(), i);
    QSet<qint64> oldLotCodes;
    std::vector<OldLot> oldLots; // taken part in
    for (const OldLot& lot : allOldLots) {
        oldLotCodes.insert(lot.productCode.toLongLong());
        if (!lot.mark.isNull())
            oldLots.push_back(lot);
    }
    for (const NewLot& lot : lots)
        if (!oldLotCodes.contains(lot.productCode.toLongLong()))
            preview.newLots.push_back({lot.code, {}, lot.productCode, {}});
    for (const OldLot& lot : oldLots) {
        const auto found = lotIndex.constFind(lot.productCode.toLongLong());
        if (found == lotIndex.constEnd()) {
            preview.refused.push_back({lot.code,
                                       {},
                                       lot.productCode,
                                       {},
                                       kParticipation,
                                       QStringLiteral("Участие"),
                                       lot.mark,
                                       QStringLiteral("новият файл няма тази обособена позиция"),
                                       {}});
            continue;
        }
        NewLot& now = lots[*found];
        if (now.participating) {
            ++preview.equal;
            continue;
        }
        now.participating = true;
        preview.lots.push_back({now.code, {}, now.productCode, {}});
    }

    // Positions, in the new file's order of lots and positions.
    auto oldOnes = reading(oldNamed, [&] { return oldPositions(old, *oldSpecs, oldLots); });
    std::vector<QVariant> codes;
    for (const OldLot& lot : allOldLots)
        codes.push_back(lot.productCode);
    for (const auto& [productCode, position] : oldOnes)
        codes.push_back(productCode);
    refuseRepeats(codes, oldNamed);
    QHash<qint64, std::size_t> oldIndex;
    for (std::size_t i = 0; i < oldOnes.size(); ++i)
        oldIndex.insert(oldOnes[i].first.toLongLong(), i);
    const QHash<QString, Asked> asked = offeredValues(*qrySpecs_);
    codes.clear();
    for (const NewLot& lot : lots)
        codes.push_back(lot.productCode);
    reading(newNamed, [&] {
        const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection_);
        for (const NewLot& lot : lots) {
            openLot(*positions, lot.productCode);
            for (positions->first(); !positions->eof(); positions->next()) {
                const QVariant productCode = positions->fieldByName(kProductCode).value();
                codes.push_back(productCode);
                const auto found = oldIndex.constFind(productCode.toLongLong());
                if (found != oldIndex.constEnd() && !productCode.isNull())
                    comparePosition(oldOnes[*found].second, *positions, lot, asked, *qrySpecs_,
                                    preview);
                else if (lot.participating)
                    preview.added.push_back({lot.code, offercheck::positionName(*positions),
                                             lot.productCode, productCode});
            }
        }
    });
    refuseRepeats(codes, newNamed);
    for (const auto& [productCode, position] : oldOnes)
        if (!position.matched)
            preview.gone.push_back(
                {position.lot, position.code, position.lotProductCode, productCode});

    const auto carried = [&](const QString& column) {
        const auto in = [&](const std::vector<Value>& values) {
            return std::any_of(values.begin(), values.end(),
                               [&](const Value& value) { return value.column == column; });
        };
        return in(preview.tender) ||
               std::any_of(preview.positions.begin(), preview.positions.end(),
                           [&](const Position& position) { return in(position.values); });
    };
    for (const Renamed& renamed : renamedColumns(*oldSpecs, *qrySpecs_))
        if (carried(renamed.column))
            preview.renamed.push_back(renamed);
    return preview;
}

void OfferCarry::storePositions(const Preview& preview, Replacements replacements,
                                QHash<const Position*, QString>& postErrors) {
    // Found by PRODUCT_CODE, as they were matched: a position without a number is stored too.
    // No check guards the post: each value passed its own column's rule in the preview, and a
    // position left incomplete is the offer check's to name.
    const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection_);
    for (const Position& position : preview.positions) {
        const std::vector<const Value*> values = written(position.values, replacements);
        if (values.empty())
            continue;
        openLot(*positions, position.place.lotProductCode);
        if (!positions->locate(kProductCode, position.place.productCode)) {
            postErrors.insert(&position, QStringLiteral("позицията вече я няма във файла"));
            continue;
        }
        positions->edit();
        try {
            for (const Value* value : values)
                positions->fieldByName(value->column).setValue(value->value);
            positions->post();
        } catch (const data::FileError&) {
            positions->cancel();
            throw; // not this position's values: the file cannot take the batch
        } catch (const std::exception& failure) {
            positions->cancel();
            postErrors.insert(&position, QString::fromUtf8(failure.what()).trimmed());
        }
    }
}

void OfferCarry::readPositionsBack(const Preview& preview, Replacements replacements,
                                   const QHash<const Position*, QString>& postErrors,
                                   Outcome& outcome) {
    priceimport::Outcome& stored = outcome.positions;
    const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection_);
    for (const Position& position : preview.positions) {
        const std::vector<const Value*> values = written(position.values, replacements);
        if (values.empty())
            continue;
        openLot(*positions, position.place.lotProductCode);
        const QString reason = postErrors.value(&position, stored.error);
        const priceimport::Refusal refusal{0,
                                           position.place.lot,
                                           position.place.position,
                                           QString(),
                                           reason.isEmpty() ? QStringLiteral("не е записана")
                                                            : reason,
                                           QString()};
        if (!positions->locate(kProductCode, position.place.productCode)) {
            stored.notStored.push_back(refusal);
            continue;
        }
        const auto holdsEvery = [&](bool carried) {
            return std::all_of(values.begin(), values.end(), [&](const Value* value) {
                return holds(*positions, value->column, carried ? value->value : value->replacing,
                             singleColumns_.contains(value->column));
            });
        };
        if (holdsEvery(true))
            ++stored.stored;
        else if (holdsEvery(false))
            stored.notStored.push_back(refusal);
        else
            stored.storedOtherwise.push_back(
                {0, position.place.lot, position.place.position, QString(),
                 reason.isEmpty() ? QStringLiteral("файлът държи други стойности") : reason,
                 QString()});
    }
}

Outcome OfferCarry::store(const Preview& preview, Replacements replacements) {
    Outcome outcome;
    const std::vector<const Value*> tender = written(preview.tender, replacements);
    outcome.tenderTotal = static_cast<int>(tender.size());
    outcome.lotsTotal = static_cast<int>(preview.lots.size());
    const std::unique_ptr<data::Dataset> lots = data::makeQryObosobeniPozicii(connection_);
    const auto tenderAndLots = [&] {
        if (!tender.empty()) {
            qrySpecs_->edit();
            try {
                for (const Value* value : tender)
                    qrySpecs_->fieldByName(value->column).setValue(value->value);
                qrySpecs_->post();
            } catch (...) {
                qrySpecs_->cancel();
                throw;
            }
        }
        if (preview.lots.empty())
            return;
        lots->open();
        for (const Place& lot : preview.lots) {
            if (!lots->locate(kProductCode, lot.lotProductCode))
                throw data::Error(
                    QStringLiteral("Обособена позиция %1 вече я няма във файла.").arg(lot.lot));
            lots->edit();
            try {
                lots->fieldByName(kParticipation).setValue(QStringLiteral("Да"));
                lots->post();
            } catch (...) {
                lots->cancel();
                throw;
            }
        }
    };
    QHash<const Position*, QString> postErrors;
    // The price import's store holds the batch, with no sheet's positions of its own: what the
    // carry writes runs inside it, and a failure of the file or of the tender record rolls back
    // all of it.
    outcome.positions = import_->store(priceimport::Preview(), [&] {
        tenderAndLots();
        storePositions(preview, replacements, postErrors);
    });
    // Only the new file is written, but the bidder has two in mind.
    if (!outcome.positions.error.isEmpty())
        outcome.positions.error =
            newFileNamed(connection_) + QStringLiteral(": ") + outcome.positions.error;

    // What the file holds now tells what was stored, whatever ended the pass.
    qrySpecs_->close();
    qrySpecs_->open();
    for (const Value* value : tender)
        outcome.tenderStored += holds(*qrySpecs_, value->column, value->value) ? 1 : 0;
    lots->close();
    lots->open();
    for (const Place& lot : preview.lots)
        outcome.lotsStored += lots->locate(kProductCode, lot.lotProductCode) &&
                                      !lots->fieldByName(kParticipation).isNull()
                                  ? 1
                                  : 0;
    readPositionsBack(preview, replacements, postErrors, outcome);
    return outcome;
}

std::vector<offercheck::Problem> leftToLookAt(const Preview& preview) {
    std::vector<offercheck::Problem> problems;
    for (const ChangedPosition& position : preview.changed)
        problems.push_back({offercheck::Where::Position, position.lot, position.lotProductCode,
                            position.position, position.productCode, QString(), QString(),
                            QStringLiteral("описанието е променено спрямо %1 (проверете цената): ")
                                    .arg(QFileInfo(preview.oldFile).fileName()) +
                                differencesText(position.differences)});
    for (const Renamed& renamed : preview.renamed) {
        const QString message =
            QStringLiteral("наименованието е променено спрямо %1 (стойността е пренесена; "
                           "проверете я): „%2“ → „%3“")
                .arg(QFileInfo(preview.oldFile).fileName(), renamed.before, renamed.after);
        // A tender parameter is looked at where it is typed; a value of the positions, in each
        // lot whose positions it was carried into.
        if (!renamed.column.startsWith(QLatin1String("PP"))) {
            problems.push_back({offercheck::Where::Tender, QString(), QVariant(), QString(),
                                QVariant(), renamed.column, renamed.after, message});
            continue;
        }
        QSet<qint64> lots;
        for (const Position& position : preview.positions)
            for (const Value& value : position.values)
                if (value.column == renamed.column &&
                    !lots.contains(position.place.lotProductCode.toLongLong())) {
                    lots.insert(position.place.lotProductCode.toLongLong());
                    problems.push_back({offercheck::Where::Lot, position.place.lot,
                                        position.place.lotProductCode, QString(), QVariant(),
                                        renamed.column, renamed.after, message});
                }
    }
    for (const Value& value : preview.refused) {
        const offercheck::Where where = value.lot.isEmpty()        ? offercheck::Where::Tender
                                        : value.position.isEmpty() ? offercheck::Where::Lot
                                                                   : offercheck::Where::Position;
        problems.push_back(
            {where, value.lot, value.lotProductCode, value.position, value.productCode,
             value.column, value.caption,
             QStringLiteral("не е пренесено (%1): %2").arg(shown(value.value), value.reason)});
    }
    return problems;
}

} // namespace offercarry
