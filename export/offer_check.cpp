// SPDX-License-Identifier: Apache-2.0
#include "export/offer_check.h"

#include "data/connection.h"
#include "data/dataset.h"
#include "data/number_format.h"
#include "data/tender_datasets.h"
#include "export/BRX_XSD.h"
#include "export/dMain.h"
#include "export/offer_export.h"
#include "jet/check.h"

#include <QLocale>

#include <algorithm>
#include <memory>

namespace offercheck {

namespace {

const QString kPrice = QStringLiteral("PP1_NUMBER");

QString text(const data::Dataset& dataset, const char* column) {
    return dataset.fieldByName(QLatin1String(column)).asString();
}

QVariant value(const data::Dataset& dataset, const char* column) {
    return dataset.fieldByName(QLatin1String(column)).value();
}

// The lot's own problem, which no one of its positions shows: the export's refusal, or a lot
// without positions, whose offer file would carry none.
QString lotProblem(const data::Dataset& lots) {
    if (const QString refusal = lotRefusal(lots); !refusal.isEmpty())
        return refusal;
    if (lots.fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).asInteger() == 0)
        return QStringLiteral("Обособената позиция няма позиции: офертата за нея ще е празна.");
    return {};
}

// The caption the tender gives a text column.
QString captionOf(const data::Dataset& qrySpecs, const QString& column) {
    if (column == QLatin1String("CUSTOM_CODE"))
        return text(qrySpecs, "CAPTION_NOMER");
    if (column == QLatin1String("IME_NA_FIRMATA"))
        return QStringLiteral("Наименование на фирмата");
    if (column == QLatin1String("IME_NA_KONKURSA"))
        return QStringLiteral("Наименование на поръчката");
    return qrySpecs.fieldByName(column.left(4) + QStringLiteral("IME")).asString();
}

// Each text of `record` that an offer file cannot carry as it stands: the export refuses the
// bidder's own, and writes the tender's own with a space for each such character.
void addUnwritableTexts(const Problem& where, const data::Dataset& qrySpecs,
                        const data::Dataset& record, const QStringList& texts,
                        std::vector<Problem>& problems) {
    for (const QString& column : texts) {
        const QString value = record.fieldByName(column).asString();
        if (const auto bad = firstUnwritableCharacter(value)) {
            Problem unwritable = where;
            unwritable.column = column;
            unwritable.caption = captionOf(qrySpecs, column);
            unwritable.message = QString::fromUtf8(UnwritableText(column, value, *bad).what());
            if (isTendersOwnText(column))
                unwritable.message += QStringLiteral(
                    " Текстът е от поръчката: във файла на офертата всеки такъв знак се "
                    "заменя с интервал.");
            problems.push_back(unwritable);
        }
    }
}

// Each number of `record` among `numbers` that typing could never have stored, which the export
// refuses: an infinity, a NaN, more significant digits than the offer file writes. Returns the
// columns listed, whose other problems say nothing more to the bidder.
QStringList addUnwritableNumbers(const Problem& where, const data::Dataset& qrySpecs,
                                 const data::Dataset& record, const QStringList& numbers,
                                 std::vector<Problem>& problems) {
    QStringList listed;
    for (const QString& column : numbers) {
        const data::Field& number = record.fieldByName(column);
        if (number.isNull())
            continue;
        const QString refusal = numberRefusal(number.asFloat(), QLocale::system().decimalPoint());
        if (refusal.isEmpty())
            continue;
        Problem unwritable = where;
        unwritable.column = column;
        unwritable.caption = captionOf(qrySpecs, column);
        unwritable.message = QString::fromUtf8(UnwritableNumber(column, refusal).what());
        problems.push_back(unwritable);
        listed << column;
    }
    return listed;
}

// Each offered number that holds more decimals than its input takes: shown whole on screen, it
// goes into the offer file and the print whole as well, which the bidder may not have meant.
void addNumbersWithMoreDecimals(const Problem& position, const data::Dataset& qrySpecs,
                                const data::Dataset& positions, const QStringList& refused,
                                std::vector<Problem>& problems) {
    for (int n = 1; n <= 6; ++n) {
        const auto specs = [&qrySpecs, n](const char* suffix) -> const data::Field& {
            return qrySpecs.fieldByName(
                QStringLiteral("PP%1_%2").arg(n).arg(QLatin1String(suffix)));
        };
        if (n > 1 && specs("TIP").asInteger() != 3)
            continue;
        const data::Field& number = positions.fieldByName(QStringLiteral("PP%1_NUMBER").arg(n));
        const qint64 taken = std::max<qint64>(specs("RAZRYAD").asInteger(), 0);
        if (number.isNull() || refused.contains(number.name()) ||
            data::decimalsOf(number.asFloat()) <= taken)
            continue;
        Problem more = position;
        more.column = number.name();
        more.caption = specs("IME").asString();
        more.message = QStringLiteral("Стойността %1 има повече знаци след десетичния "
                                      "разделител, отколкото полето приема (%2).")
                           .arg(number.displayText())
                           .arg(taken);
        problems.push_back(more);
    }
}

// What a stored price above 0 may still hide: the decimals of its column show it as 0 (the
// offer file would carry a price the printed offer shows as none), or it lies above the
// authority's estimate, which authorities may reject the offer for.
void addPriceProblems(Problem position, const data::Dataset& qrySpecs,
                      const data::Dataset& positions, std::vector<Problem>& problems) {
    const double price = positions.fieldByName(kPrice).asFloat();
    position.column = kPrice;
    position.caption = text(qrySpecs, "PP1_IME");
    const qint64 decimals = qrySpecs.fieldByName(QStringLiteral("PP1_RAZRYAD")).asInteger();
    const QString mask = data::numberDisplayMask(decimals);
    const QChar separator = QLocale::system().decimalPoint().front();
    // As the price column shows and prints it.
    const QString shown = data::formatNumber(price, mask, separator);
    if (std::none_of(shown.begin(), shown.end(),
                     [](QChar c) { return c.isDigit() && c != u'0'; })) {
        position.message = QStringLiteral("Цената е над 0, но с %1 знака след десетичния знак "
                                          "се показва и печата като %2.")
                               .arg(std::max<qint64>(decimals, 0))
                               .arg(shown);
        problems.push_back(position);
    }
    const data::Field& estimate = positions.fieldByName(QStringLiteral("MAX_CENA"));
    if (!estimate.isNull() && estimate.asFloat() > 0 && price > estimate.asFloat()) {
        // Both whole: rounded to the column's decimals, the two could read as equal, or the
        // price as another than the one stored.
        position.message =
            QStringLiteral("Цената %1 е над максималната цена на възложителя %2: такава оферта "
                           "може да бъде отстранена.")
                .arg(data::formatStoredNumber(price, mask, separator),
                     data::formatStoredNumber(estimate.asFloat(), mask, separator));
        position.warning = true;
        problems.push_back(position);
    }
}

void addPositionProblems(const Problem& lot, const data::Dataset& qrySpecs,
                         data::Dataset& positions, const PositionFilled& PoziciaIsFill,
                         std::vector<Problem>& problems) {
    const QStringList texts = positionTextColumns(qrySpecs);
    const QStringList numbers = positionNumberColumns(qrySpecs);
    const PositionRules rules(positions, qrySpecs);
    for (positions.first(); !positions.eof(); positions.next()) {
        Problem position = lot;
        position.where = Where::Position;
        position.positionCode = positionName(positions);
        position.position = value(positions, "PRODUCT_CODE");
        // Listed whether or not the position is offered: a NaN price leaves it unoffered, and
        // the bidder should learn why.
        const QStringList refused =
            addUnwritableNumbers(position, qrySpecs, positions, numbers, problems);
        if (!PoziciaIsFill(positions)) {
            position.column = kPrice;
            position.caption = text(qrySpecs, "PP1_IME");
            position.message = QStringLiteral("Позицията не е оферирана: няма цена над 0.");
            problems.push_back(position);
            continue;
        }
        for (const RuleBreach& breach : rules.breaches()) {
            position.column = breach.column;
            position.caption = breach.caption;
            position.message = breach.message();
            problems.push_back(position);
        }
        addNumbersWithMoreDecimals(position, qrySpecs, positions, refused, problems);
        addUnwritableTexts(position, qrySpecs, positions, texts, problems);
        if (!refused.contains(kPrice))
            addPriceProblems(position, qrySpecs, positions, problems);
    }
}

} // namespace

QString positionName(const data::Dataset& positions) {
    const QString code = text(positions, "CUSTOM_CODE").trimmed();
    return code.isEmpty() ? QStringLiteral("„%1“").arg(text(positions, "IME")) : code;
}

QString Problem::field() const {
    if (column.isEmpty())
        return {};
    return caption + QStringLiteral(" (") + column + QLatin1Char(')');
}

std::vector<Problem> offerProblems(const data::Dataset& qrySpecs, data::Connection& connection,
                                   const PositionFilled& PoziciaIsFill) {
    std::vector<Problem> problems;
    for (const std::string& damage : jet::checkRowCounts(connection.database())) {
        Problem file;
        file.where = Where::File;
        file.message = QStringLiteral("Тръжният файл е повреден (%1); поискайте от възложителя "
                                      "нов файл, преди да подавате оферта.")
                           .arg(QString::fromStdString(damage));
        problems.push_back(file);
    }
    for (const RuleBreach& breach : TdmMain::konkBreaches(qrySpecs))
        problems.push_back(
            {Where::Tender, {}, {}, {}, {}, breach.column, breach.caption, breach.message()});
    addUnwritableTexts({}, qrySpecs, qrySpecs, tenderTextColumns(), problems);
    addUnwritableNumbers({}, qrySpecs, qrySpecs, tenderNumberColumns(), problems);

    const std::unique_ptr<data::Dataset> lots = data::makeQryObosobeniPozicii(connection);
    const std::unique_ptr<data::Dataset> positions = data::makeQryData(connection);
    lots->open();
    for (lots->first(); !lots->eof(); lots->next()) {
        if (lots->fieldByName(QStringLiteral("PP2_TEXT")).isNull())
            continue;
        Problem lot{
            Where::Lot, text(*lots, "CUSTOM_CODE"), value(*lots, "PRODUCT_CODE"), {}, {}, {}, {},
            {}};
        if (const QString problem = lotProblem(*lots); !problem.isEmpty()) {
            lot.message = problem;
            problems.push_back(lot);
        }
        positions->close();
        positions->setParameter(QStringLiteral("MASTER_CODE"), lot.lot);
        positions->open();
        addPositionProblems(lot, qrySpecs, *positions, PoziciaIsFill, problems);
    }
    return problems;
}

} // namespace offercheck
