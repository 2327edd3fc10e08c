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

// The text columns that either kind of offer file carries for every position.
QStringList exportedTexts(const data::Dataset& qrySpecs) {
    QStringList columns = positionTextColumns(qrySpecs, TechnicalOffer);
    columns << positionTextColumns(qrySpecs, PriceOffer);
    columns.removeDuplicates();
    return columns;
}

// The caption the tender gives a text column of a position.
QString captionOf(const data::Dataset& qrySpecs, const QString& column) {
    if (column == QLatin1String("CUSTOM_CODE"))
        return text(qrySpecs, "CAPTION_NOMER");
    return qrySpecs.fieldByName(column.left(4) + QStringLiteral("IME")).asString();
}

// Each text of the position that the export would refuse to write into the offer file.
void addUnwritableTexts(const Problem& position, const data::Dataset& qrySpecs,
                        const data::Dataset& positions, const QStringList& texts,
                        std::vector<Problem>& problems) {
    for (const QString& column : texts) {
        const QString value = positions.fieldByName(column).asString();
        if (const auto bad = firstUnwritableCharacter(value)) {
            Problem unwritable = position;
            unwritable.column = column;
            unwritable.caption = captionOf(qrySpecs, column);
            unwritable.message = QString::fromUtf8(UnwritableText(column, value, *bad).what());
            problems.push_back(unwritable);
        }
    }
}

// The price as its column shows and prints it: the tender's decimals, the regional separator.
QString shownPrice(double price, const data::Dataset& qrySpecs) {
    return data::formatNumber(
        price,
        data::numberDisplayMask(qrySpecs.fieldByName(QStringLiteral("PP1_RAZRYAD")).asInteger()),
        QLocale::system().decimalPoint().front());
}

// What a stored price above 0 may still hide: the decimals of its column show it as 0 (the
// offer file would carry a price the printed offer shows as none), or it lies above the
// authority's estimate, which authorities may reject the offer for.
void addPriceProblems(Problem position, const data::Dataset& qrySpecs,
                      const data::Dataset& positions, std::vector<Problem>& problems) {
    const double price = positions.fieldByName(kPrice).asFloat();
    position.column = kPrice;
    position.caption = text(qrySpecs, "PP1_IME");
    const QString shown = shownPrice(price, qrySpecs);
    if (std::none_of(shown.begin(), shown.end(),
                     [](QChar c) { return c.isDigit() && c != u'0'; })) {
        position.message =
            QStringLiteral("Цената е над 0, но с %1 знака след десетичния знак "
                           "се показва и печата като %2.")
                .arg(std::max<qint64>(
                    qrySpecs.fieldByName(QStringLiteral("PP1_RAZRYAD")).asInteger(), 0))
                .arg(shown);
        problems.push_back(position);
    }
    const data::Field& estimate = positions.fieldByName(QStringLiteral("MAX_CENA"));
    if (!estimate.isNull() && estimate.asFloat() > 0 && price > estimate.asFloat()) {
        position.message =
            QStringLiteral("Цената %1 е над максималната цена на възложителя %2: такава оферта "
                           "може да бъде отстранена.")
                .arg(shown, data::formatNumber(estimate.asFloat(), QString(),
                                               QLocale::system().decimalPoint().front()));
        position.warning = true;
        problems.push_back(position);
    }
}

void addPositionProblems(const Problem& lot, const data::Dataset& qrySpecs,
                         data::Dataset& positions, const PositionFilled& PoziciaIsFill,
                         std::vector<Problem>& problems) {
    const QStringList texts = exportedTexts(qrySpecs);
    for (positions.first(); !positions.eof(); positions.next()) {
        Problem position = lot;
        position.where = Where::Position;
        position.positionCode = text(positions, "CUSTOM_CODE");
        position.position = value(positions, "PRODUCT_CODE");
        if (!PoziciaIsFill(positions)) {
            position.column = kPrice;
            position.caption = text(qrySpecs, "PP1_IME");
            position.message = QStringLiteral("Позицията не е оферирана: няма цена над 0.");
            problems.push_back(position);
            continue;
        }
        for (const RuleBreach& breach : TdmMain::posBreaches(positions, qrySpecs)) {
            position.column = breach.column;
            position.caption = breach.caption;
            position.message = breach.message();
            problems.push_back(position);
        }
        addUnwritableTexts(position, qrySpecs, positions, texts, problems);
        addPriceProblems(position, qrySpecs, positions, problems);
    }
}

} // namespace

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
