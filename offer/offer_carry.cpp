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

// Whether two stored values are the same; a null and an empty text are both nothing.
bool sameValue(const QVariant& a, const QVariant& b) {
    // A yes/no column reads a null as No.
    if (a.typeId() == QMetaType::Bool || b.typeId() == QMetaType::Bool)
        return a.toBool() == b.toBool();
    const auto nothing = [](const QVariant& v) {
        return v.isNull() || (v.typeId() == QMetaType::QString && v.toString().isEmpty());
    };
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
// it is not asked for); nothing when it can, as far as its kind goes.
std::optional<QString> kindRefusal(const Asked& before, const std::optional<Asked>& after,
                                   const QVariant& value) {
    if (!after)
        return QStringLiteral("новият файл не иска тази стойност");
    if (after->number != before.number)
        return after->number ? QStringLiteral("новият файл иска число вместо текст")
                             : QStringLiteral("новият файл иска текст вместо число");
    if (after->caption.trimmed() != before.caption.trimmed())
        return QStringLiteral("наименованието на стойността е променено: „%1“ → „%2“")
            .arg(before.caption, after->caption);
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

int Preview::positionValues() const {
    int count = 0;
    for (const priceimport::PositionValues& position : positions.accepted)
        count += static_cast<int>(position.values.size());
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

QString valueLine(const Value& value) {
    QString line = placeText(value.lot, value.position) +
                   QStringLiteral(", „%1“: %2").arg(value.caption, shown(value.value));
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
                       .arg(positions.accepted.size())
                       .arg(positionValues())
                       .arg(changed.size())
                       .arg(gone.size())
                       .arg(added.size())
                       .arg(refused.size())
                       .arg(equal) +
                   QStringLiteral("Нови обособени позиции: %1\n").arg(newLots.size());
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
    if (!positions.accepted.empty()) {
        text += QStringLiteral("\nСтойности на позициите:\n");
        for (const priceimport::PositionValues& position : positions.accepted) {
            QStringList values;
            for (const auto& [column, value] : position.values)
                values << QStringLiteral("„%1“ = %2")
                              .arg(captions.value(column, column), shown(value));
            text += placeText(position.lot, position.position) + QStringLiteral(": ") +
                    values.join(QStringLiteral(", ")) + QLatin1Char('\n');
        }
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
        Value carried{{}, {}, {}, {}, column, caption, value, refusal.value_or(QString())};
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
        dataset->close();
        dataset->setParameter(kMasterCode, lot.productCode);
        dataset->open();
        for (dataset->first(); !dataset->eof(); dataset->next()) {
            OldPosition position{
                lot.code, dataset->fieldByName(kCustomCode).asString(), lot.productCode, {}, {},
                false};
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

QHash<QString, int> codeCounts(const data::Dataset& positions) {
    QHash<QString, int> counts;
    const int code = positions.fieldByName(kCustomCode).index();
    for (int record = 0; record < positions.recordCount(); ++record)
        ++counts[positions.valueAt(record, code).toString()];
    return counts;
}

// The old position `old` against the new position `positions` stands on, in lot `lot`.
void comparePosition(OldPosition& old, data::Dataset& positions, const NewLot& lot,
                     const QHash<QString, Asked>& asked, const QHash<QString, int>& codes,
                     const data::Dataset& specs, Preview& preview) {
    old.matched = true;
    const QString code = positions.fieldByName(kCustomCode).asString();
    const QVariant productCode = positions.fieldByName(kProductCode).value();
    const auto value = [&](const Asked& before, const QVariant& held, const QString& reason) {
        const std::optional<Asked> now = findAsked(asked, before.column.left(4));
        return Value{lot.code,    code,          lot.productCode,
                     productCode, before.column, now ? now->caption : before.caption,
                     held,        reason};
    };

    const std::vector<Described>& described = describedColumns();
    ChangedPosition change{lot.code, code, lot.productCode, productCode, {}};
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
        if (now && now->column == before.column &&
            sameValue(held, positions.fieldByName(now->column).value())) {
            ++preview.equal;
            continue;
        }
        QString reason;
        if (!lot.participating)
            reason = QStringLiteral("позицията е в обособена позиция %1, в която не участвате")
                         .arg(lot.code);
        else if (code.isEmpty() || codes.value(code) > 1)
            reason = QStringLiteral("номерът на позицията в новия файл не е единствен в "
                                    "обособената позиция");
        else if (const auto refusal = kindRefusal(before, now, held))
            reason = *refusal;
        (reason.isEmpty() ? candidates : preview.refused).push_back(value(before, held, reason));
    }
    if (candidates.empty())
        return;
    // The check of typing, on the values the position would have.
    positions.edit();
    for (const Value& candidate : candidates)
        positions.fieldByName(candidate.column).setValue(candidate.value);
    const std::vector<RuleBreach> breaches = TdmMain::posBreaches(positions, specs);
    positions.cancel();
    if (!breaches.empty()) {
        QStringList messages;
        for (const RuleBreach& breach : breaches)
            messages << breach.message();
        for (Value& candidate : candidates) {
            candidate.reason = QStringLiteral("позицията не минава проверката при въвеждане: ") +
                               messages.join(QStringLiteral(" "));
            preview.refused.push_back(candidate);
        }
        return;
    }
    priceimport::PositionValues accepted{0, lot.code, code, lot.productCode, productCode, {}, {}};
    for (const Value& candidate : candidates)
        accepted.values.emplace_back(candidate.column, candidate.value);
    preview.positions.accepted.push_back(std::move(accepted));
}

bool holds(const data::Dataset& dataset, const QString& column, const QVariant& value) {
    return sameValue(dataset.fieldByName(column).value(), value);
}

} // namespace

Preview OfferCarry::preview(const QString& oldFile) {
    Preview preview;
    preview.oldFile = oldFile;
    data::Connection old;
    old.openReadOnly(oldFile);
    const std::unique_ptr<data::Dataset> oldSpecs = data::makeQrySpecs(old);
    oldSpecs->open();
    qrySpecs_->close();
    qrySpecs_->open();
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
    std::vector<NewLot> lots = newLots(connection_);
    QHash<qint64, std::size_t> lotIndex;
    for (std::size_t i = 0; i < lots.size(); ++i)
        lotIndex.insert(lots[i].productCode.toLongLong(), i);
    const std::vector<OldLot> allOldLots = oldLotsOf(old);
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
                                       QStringLiteral("новият файл няма тази обособена позиция")});
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
    auto oldOnes = oldPositions(old, *oldSpecs, oldLots);
    QHash<qint64, std::size_t> oldIndex;
    for (std::size_t i = 0; i < oldOnes.size(); ++i)
        oldIndex.insert(oldOnes[i].first.toLongLong(), i);
    const QHash<QString, Asked> asked = offeredValues(*qrySpecs_);
    for (const Asked& value : asked)
        preview.captions.insert(value.column, value.caption);
    const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection_);
    for (const NewLot& lot : lots) {
        positions->close();
        positions->setParameter(kMasterCode, lot.productCode);
        positions->open();
        const QHash<QString, int> codes = codeCounts(*positions);
        for (positions->first(); !positions->eof(); positions->next()) {
            const QVariant productCode = positions->fieldByName(kProductCode).value();
            const auto found = oldIndex.constFind(productCode.toLongLong());
            if (found != oldIndex.constEnd() && !productCode.isNull())
                comparePosition(oldOnes[*found].second, *positions, lot, asked, codes, *qrySpecs_,
                                preview);
            else if (lot.participating)
                preview.added.push_back({lot.code, positions->fieldByName(kCustomCode).asString(),
                                         lot.productCode, productCode});
        }
    }
    for (const auto& [productCode, position] : oldOnes)
        if (!position.matched)
            preview.gone.push_back(
                {position.lot, position.code, position.lotProductCode, productCode});
    return preview;
}

Outcome OfferCarry::store(const Preview& preview) {
    Outcome outcome;
    outcome.tenderTotal = static_cast<int>(preview.tender.size());
    outcome.lotsTotal = static_cast<int>(preview.lots.size());
    const std::unique_ptr<data::Dataset> lots = data::makeQryObosobeniPozicii(connection_);
    const auto tenderAndLots = [&] {
        if (!preview.tender.empty()) {
            qrySpecs_->edit();
            try {
                for (const Value& value : preview.tender)
                    qrySpecs_->fieldByName(value.column).setValue(value.value);
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
    outcome.positions = import_->store(preview.positions, tenderAndLots);

    // What the file holds now tells what was stored, whatever ended the pass.
    qrySpecs_->close();
    qrySpecs_->open();
    for (const Value& value : preview.tender)
        outcome.tenderStored += holds(*qrySpecs_, value.column, value.value) ? 1 : 0;
    lots->close();
    lots->open();
    for (const Place& lot : preview.lots)
        outcome.lotsStored += lots->locate(kProductCode, lot.lotProductCode) &&
                                      !lots->fieldByName(kParticipation).isNull()
                                  ? 1
                                  : 0;
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
