#include "export/offer_check.h"

#include "data/dataset.h"
#include "data/tender_datasets.h"
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

void addPositionProblems(const Problem& lot, const data::Dataset& qrySpecs,
                         data::Dataset& positions, const PositionFilled& PoziciaIsFill,
                         std::vector<Problem>& problems) {
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
