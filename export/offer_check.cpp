#include "export/offer_check.h"

#include "data/dataset.h"
#include "data/tender_datasets.h"
#include "export/BRX_XSD.h"
#include "export/dMain.h"
#include "export/offer_export.h"

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
