#include "export/price_list.h"

#include "data/dataset.h"
#include "data/field.h"

namespace pricelist {

namespace {

// The tender's caption, or `fallback` where the tender leaves it empty: a head cell must name
// its column for the import to find it.
QString caption(const data::Dataset& tender, const QString& column, const QString& fallback) {
    const QString text = tender.fieldByName(column).asString().trimmed();
    return text.isEmpty() ? fallback : text;
}

} // namespace

QString lotCodeHead() {
    return QStringLiteral("Обособена позиция");
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
    return result;
}

} // namespace pricelist
