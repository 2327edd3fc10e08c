// SPDX-License-Identifier: Apache-2.0
#include "offer/dataset_rules.h"

#include "data/dataset.h"
#include "data/number_format.h"
#include "export/dMain.h"

namespace offer {

namespace {

QString numbered(const char* pattern, int n) {
    return QString::fromLatin1(pattern).arg(n);
}

} // namespace

void installDatasetRules(data::Dataset& qrySpecs, data::Dataset& qryObosobeniPozicii,
                         data::Dataset& qryData, RegionalSettings regional) {
    qryData.beforeOpen = [&qrySpecs](data::Dataset& positions) {
        qryDataBeforeOpen(positions, qrySpecs);
    };
    qryData.beforePost = [&qrySpecs](data::Dataset& positions) {
        qryDataBeforePost(positions, qrySpecs);
    };
    qryObosobeniPozicii.onCalcFields = [regional = std::move(regional)](data::Dataset& lots) {
        qryObosobeniPoziciiCalcFields(lots, regional());
    };
}

void qryDataBeforeOpen(data::Dataset& qryData, const data::Dataset& qrySpecs) {
    for (int n = 1; n <= 6; ++n)
        qryData.fieldByName(numbered("PP%1_NUMBER", n))
            .setDisplayFormat(data::numberDisplayMask(
                qrySpecs.fieldByName(numbered("PP%1_RAZRYAD", n)).asInteger()));
}

void qryDataBeforePost(const data::Dataset& qryData, const data::Dataset& qrySpecs) {
    const QString problems = TdmMain::IsPosOk(qryData, qrySpecs);
    if (!problems.isEmpty())
        throw data::Error(problems);
}

QString lotStatus(const data::Dataset& lots, const QLocale& regional) {
    if (lots.fieldByName(QStringLiteral("PP2_TEXT")).isNull())
        return QStringLiteral("-");
    const qint64 positions = lots.fieldByName(QStringLiteral("_OBSHT_BROI_POZICII")).asInteger();
    const qint64 offered = lots.fieldByName(QStringLiteral("_OFERIRANI_POZICII")).asInteger();
    if (positions != offered)
        return QStringLiteral("Не са оферирани всички позиции!");
    const double total = lots.fieldByName(QStringLiteral("_CENA")).asFloat();
    return QStringLiteral("OK; Обща стойност: ") +
           data::formatNumber(total, QStringLiteral("0.0000"), QLatin1Char('.'))
               .replace(QLatin1Char('.'), regional.decimalPoint());
}

void qryObosobeniPoziciiCalcFields(data::Dataset& lots, const QLocale& regional) {
    lots.fieldByName(QStringLiteral("_STATUS")).setValue(lotStatus(lots, regional));
}

void TrimField(data::Field& field) {
    const QString text = field.asString();
    const QString trimmed = trimControls(text);
    if (trimmed == text)
        return;
    if (trimmed.isEmpty())
        field.clear();
    else
        field.setValue(trimmed);
}

bool PoziciaIsFill(const data::Dataset& qryData) {
    const data::Field& price = qryData.fieldByName(QStringLiteral("PP1_NUMBER"));
    return !price.isNull() && price.asFloat() > 0;
}

} // namespace offer
