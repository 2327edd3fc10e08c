// SPDX-License-Identifier: Apache-2.0
#include "export/price_list.h"

#include "data/dataset.h"
#include "data/field.h"
#include "export/offer_export.h"
#include "export/workbook.h"
#include "ui/dialogs.h"

#include <QHash>

namespace pricelist {

namespace {

// The tender's caption, or `fallback` where the tender leaves it empty: a head cell must name
// its column for the import to find it.
QString caption(const data::Dataset& tender, const QString& column, const QString& fallback) {
    const QString text = tender.fieldByName(column).asString().trimmed();
    return text.isEmpty() ? fallback : text;
}

// The import finds a column by its head, so two columns the tender captions alike get the
// column's number after the caption ("Срок (7)").
void numberRepeatedHeads(std::vector<Column>& columns) {
    QHash<QString, int> times;
    for (const Column& column : columns)
        ++times[column.head];
    for (std::size_t i = 0; i < columns.size(); ++i)
        if (times.value(columns[i].head) > 1)
            columns[i].head += QStringLiteral(" (%1)").arg(i + 1);
}

// The decimals an offered number shows: its column's, or more where the file holds more (a value
// stored before the tender's decimals changed), so that the sheet shows the value whole instead
// of rounded.
int shownDecimals(double value, int columnDecimals) {
    const auto digits = sheet::numberDigits(QString::number(value, 'g', sheet::kShownDigits), u'.');
    const qint64 own = digits ? digits->decimals : 0;
    return static_cast<int>(std::max<qint64>(std::max(columnDecimals, 0), own));
}

} // namespace

QString lotCodeHead() {
    return QStringLiteral("Обособена позиция");
}

QString keyHead() {
    return QStringLiteral("Ключ (не променяйте)");
}

std::vector<Column> columns(const data::Dataset& tender) {
    std::vector<Column> result = {
        {lotCodeHead(), QString(), false, false, 0},
        {caption(tender, QStringLiteral("CAPTION_NOMER"), QStringLiteral("Номер")),
         QStringLiteral("CUSTOM_CODE"), false, false, 0},
        {caption(tender, QStringLiteral("CAPTION_PRODUCT"), QStringLiteral("Наименование")),
         QStringLiteral("IME"), false, false, 0},
        {QStringLiteral("Мярка"), QStringLiteral("MEASURE_IME"), false, false, 0},
        {caption(tender, QStringLiteral("CAPTION_GOD_POTREBLENIE"), QStringLiteral("Количество")),
         QStringLiteral("GODISHNO_POTREBLENIE"), true, false, 0},
        {caption(tender, QStringLiteral("PP1_IME"), QStringLiteral("Цена")),
         QStringLiteral("PP1_NUMBER"), true, true,
         static_cast<int>(tender.fieldByName(QStringLiteral("PP1_RAZRYAD")).asInteger())},
    };
    for (int n = 2; n <= 6; ++n) {
        const QString prefix = QStringLiteral("PP%1_").arg(n);
        const qint64 type = tender.fieldByName(prefix + QStringLiteral("TIP")).asInteger();
        if (type != 2 && type != 3)
            continue;
        const bool number = type == 3;
        result.push_back(
            {caption(tender, prefix + QStringLiteral("IME"), QStringLiteral("Параметър %1").arg(n)),
             prefix + (number ? QStringLiteral("NUMBER") : QStringLiteral("TEXT")), number, true,
             number ? static_cast<int>(
                          tender.fieldByName(prefix + QStringLiteral("RAZRYAD")).asInteger())
                    : 0});
    }
    result.push_back({keyHead(), QStringLiteral("PRODUCT_CODE"), true, false, 0});
    numberRepeatedHeads(result);
    return result;
}

sheet::Table table(const data::Dataset& tender, const QString& lotCode,
                   const data::Dataset& positions) {
    const std::vector<Column> heads = columns(tender);
    sheet::Table result;
    std::vector<sheet::Cell>& headRow = result.rows.emplace_back();
    std::vector<int> fields;
    for (const Column& column : heads) {
        headRow.push_back({sheet::CellKind::Text, column.head});
        fields.push_back(column.field.isEmpty() ? -1 : positions.fieldByName(column.field).index());
    }
    for (int record = 0; record < positions.recordCount(); ++record) {
        std::vector<sheet::Cell>& row = result.rows.emplace_back();
        for (std::size_t i = 0; i < heads.size(); ++i) {
            const Column& column = heads[i];
            const QVariant value =
                fields[i] < 0 ? QVariant(lotCode) : positions.valueAt(record, fields[i]);
            sheet::Cell& cell = row.emplace_back();
            if (value.isNull())
                continue;
            if (column.number) {
                cell.kind = sheet::CellKind::Number;
                cell.number = value.toDouble();
                cell.decimals =
                    column.offerValue ? shownDecimals(cell.number, column.decimals) : -1;
            } else {
                cell.kind = sheet::CellKind::Text;
                cell.text = value.toString();
            }
        }
    }
    return result;
}

QString proposedFileName(const QString& companyName, const QString& lotCode) {
    return lotFileName(QStringLiteral("CenovaTablica_"), companyName, lotCode,
                       QStringLiteral(".xlsx"));
}

QString saveTemplate(Dialogs& dialogs, const data::Dataset& tender, const data::Dataset& lots,
                     const data::Dataset& positions) {
    const QString lotCode = lots.fieldByName(QStringLiteral("CUSTOM_CODE")).asString();
    const sheet::Table sheet = table(tender, lotCode, positions);
    const QString path = dialogs.saveFileName(
        proposedFileName(tender.fieldByName(QStringLiteral("IME_NA_FIRMATA")).asString(), lotCode),
        QStringLiteral("Excel (*.xlsx);;CSV (*.csv)"));
    if (path.isEmpty())
        return {};
    sheet::writeWorkbook(path, sheet, sheet::regionalDecimalSeparator());
    return path;
}

} // namespace pricelist
