// SPDX-License-Identifier: Apache-2.0
#include "print/builtin_layouts.h"

#include <utility>
#include <vector>

namespace layouts {

namespace {

using report::Band;
using report::BandKind;
using report::HAlign;
using report::ObjectKind;
using report::ReportObject;

constexpr double kBandWidth = 277; // mm between the margins of a landscape A4 page
const QColor kHeadColour(0xCC, 0xCC, 0xCC);
const QString kNumberFormat = QStringLiteral("# ##0.00");

double mm(double value) {
    return value * report::kUnitsPerMm;
}

report::FontSpec font(double size, bool bold = false) {
    report::FontSpec arial;
    arial.family = QStringLiteral("Arial");
    arial.pointSize = size;
    arial.bold = bold;
    return arial;
}

ReportObject memo(const QString& text, double left, double top, double width, double height,
                  report::FontSpec arial = font(10)) {
    ReportObject object;
    object.kind = ObjectKind::Memo;
    object.text = text;
    object.rect = QRectF(mm(left), mm(top), mm(width), mm(height));
    object.font = std::move(arial);
    return object;
}

ReportObject framed(ReportObject object) {
    object.frame.left = object.frame.top = object.frame.right = object.frame.bottom = true;
    return object;
}

ReportObject numberCell(const QString& text, double left, double top, double width, double height) {
    ReportObject object = framed(memo(text, left, top, width, height));
    object.hAlign = HAlign::Right;
    object.displayFormat.kind = report::DisplayFormat::Kind::Numeric;
    object.displayFormat.format = kNumberFormat;
    return object;
}

ReportObject rich(const QString& body, double left, double top, double width, double height) {
    ReportObject object;
    object.kind = ObjectKind::Rich;
    object.text = QStringLiteral("{\\rtf1\\ansi\\ansicpg1251\\deff0{\\fonttbl{\\f0\\fcharset204 "
                                 "Arial;}}\\f0 ") +
                  body + QStringLiteral("}");
    object.rect = QRectF(mm(left), mm(top), mm(width), mm(height));
    return object;
}

ReportObject roundedBox(double top, double height) {
    ReportObject object;
    object.kind = ObjectKind::Shape;
    object.shape = report::ShapeKind::RoundRectangle;
    object.rect = QRectF(0, mm(top), mm(kBandWidth), mm(height));
    return object;
}

Band band(BandKind kind, double height, std::vector<ReportObject> objects) {
    Band result;
    result.kind = kind;
    result.height = mm(height);
    result.objects = std::move(objects);
    return result;
}

// A row of bold column heads in grey framed cells.
void addHeads(std::vector<ReportObject>& objects, double top, double height,
              const std::vector<std::pair<QString, double>>& heads) {
    double left = 0;
    for (const auto& [title, width] : heads) {
        ReportObject head = framed(memo(title, left, top, width, height, font(10, true)));
        head.hAlign = HAlign::Center;
        head.vAlign = report::VAlign::Center;
        head.fill = kHeadColour;
        objects.push_back(std::move(head));
        left += width;
    }
}

// The "С П Е Ц И Ф И К А Ц И Я" and "О Ф Е Р Т А" captions over the two halves of the table.
void addHalves(std::vector<ReportObject>& objects, double descriptionWidth) {
    ReportObject left =
        memo(QStringLiteral("С П Е Ц И Ф И К А Ц И Я"), 0, 0, descriptionWidth, 5, font(10, true));
    left.hAlign = HAlign::Center;
    ReportObject right = memo(QStringLiteral("О Ф Е Р Т А"), descriptionWidth, 0,
                              kBandWidth - descriptionWidth, 5, font(10, true));
    right.hAlign = HAlign::Center;
    objects.push_back(std::move(left));
    objects.push_back(std::move(right));
}

// Data cells that grow together with the band, one field each.
Band dataBand(double height, const std::vector<std::pair<QString, double>>& cells) {
    std::vector<ReportObject> objects;
    double left = 0;
    for (const auto& [field, width] : cells) {
        ReportObject cell = framed(
            memo(QStringLiteral("[dsReportData.\"%1\"]").arg(field), left, 0, width, height));
        cell.stretch = report::Stretch::MaxHeight;
        objects.push_back(std::move(cell));
        left += width;
    }
    Band result = band(BandKind::MasterData, height, std::move(objects));
    result.datasetName = QStringLiteral("dsReportData");
    result.stretches = true;
    return result;
}

Band pageFooter() {
    ReportObject rule;
    rule.kind = ObjectKind::Line;
    rule.rect = QRectF(0, 0, mm(kBandWidth), 0);
    ReportObject printed =
        rich(QStringLiteral("\\fs16 Отпечатано на [Date] [Time]\\line Изготвено с BRX Client"), 0,
             0.5, 200, 7.5);
    ReportObject page = memo(QStringLiteral("Стр."), kBandWidth - 25, 1, 10, 4, font(8));
    ReportObject number = memo(QStringLiteral("[Page#]"), kBandWidth - 15, 1, 15, 4, font(8));
    number.hAlign = HAlign::Right;
    return band(BandKind::PageFooter, 8, {rule, printed, page, number});
}

report::ReportModel landscape(std::vector<Band> bands, QStringList datasets) {
    report::ReportModel model;
    report::ReportPageSpec page;
    page.paperWidth = 297;
    page.paperHeight = 210;
    page.landscape = true;
    page.bands = std::move(bands);
    model.pages.push_back(std::move(page));
    model.datasetNames = std::move(datasets);
    return model;
}

// The title of the two offers with notes: the tender and the bidder, payment and delivery
// terms and the offer's general notes.
Band notesTitle() {
    ReportObject heading =
        memo(QStringLiteral("Тарвено, Конкурс \"[dsReportSpecs.\"IME_NA_KONKURSA\"]\",\n"
                            "Оферта на [dsReportSpecs.\"IME_NA_FIRMATA\"]"),
             0, 0, kBandWidth, 24, font(22));
    heading.hAlign = HAlign::Center;
    const QString underlined = QStringLiteral("\\fs20 {\\ul\\i [dsReportSpecs.\"%1\"]:} "
                                              "[dsReportSpecs.\"%2\"]");
    return band(
        BandKind::ReportTitle, 44,
        {heading, roundedBox(25, 18),
         rich(underlined.arg(QStringLiteral("VID_PLASHTANE"), QStringLiteral("OTLOGENO_PLASHTANE")),
              2, 26, 134, 6),
         rich(underlined.arg(QStringLiteral("VID_VREME"), QStringLiteral("SROK_DOSTAVKA")), 142, 26,
              133, 6),
         rich(QStringLiteral("\\fs20 {\\ul\\i Общи бележки по офертата:} "
                             "[dsReportSpecs.\"BELEJKI\"]"),
              2, 33, 273, 9)});
}

} // namespace

report::ReportModel lotPriceOffer() {
    ReportObject heading = memo(QStringLiteral("“ДОСТАВКА НА  ОБЩОБОЛНИЧНИ И САНИТАРНО-ПРЕВЪРЗОЧНИ "
                                               "КОНСУМАТИВИ ПО ОБОСОБЕНИ ПОЗИЦИИ\"\n\n"
                                               "Ценово предложение"),
                                0, 0, kBandWidth, 22, font(14, true));
    heading.hAlign = HAlign::Center;
    Band title = band(BandKind::ReportTitle, 34,
                      {heading, roundedBox(23, 10),
                       rich(QStringLiteral("\\fs20 {\\ul\\i Обособена позиция:} "
                                           "[dsReportOP.\"CUSTOM_CODE\"]. [dsReportOP.\"IME\"]"),
                            2, 25, 273, 6)});

    std::vector<ReportObject> headObjects;
    addHalves(headObjects, 140);
    addHeads(headObjects, 6, 8,
             {{QStringLiteral("№ по ред"), 13},
              {QStringLiteral("Продукт"), 84},
              {QStringLiteral("Количество"), 22},
              {QStringLiteral("Мярка"), 21},
              {QStringLiteral("Техническо предложение"), 73},
              {QStringLiteral("Ценово предложение"), 64}});
    Band header = band(BandKind::PageHeader, 14, std::move(headObjects));

    Band data = dataBand(20, {{QStringLiteral("CUSTOM_CODE"), 13},
                              {QStringLiteral("IME"), 84},
                              {QStringLiteral("GODISHNO_POTREBLENIE"), 22},
                              {QStringLiteral("MEASURE_IME"), 21}});
    const std::pair<const char*, const char*> technical[] = {{"Търг. наим.: ", "PP2_TEXT"},
                                                             {"Производител.: ", "PP3_TEXT"},
                                                             {"Разм. и бр.: ", "PP4_TEXT"},
                                                             {"Каталожен №.: ", "PP5_TEXT"}};
    for (int row = 0; row < 4; ++row)
        data.objects.push_back(memo(
            QString::fromUtf8(technical[row].first) +
                QStringLiteral("[dsReportData.\"%1\"]").arg(QLatin1String(technical[row].second)),
            140, 5.0 * row, 73, 5));
    const std::pair<const char*, const char*> prices[] = {
        {"Ед. цена без ДДС", "[dsReportData.\"PP1_NUMBER\"]"},
        {"Ед. цена с ДДС", "[(<dsReportData.\"PP1_NUMBER\">*1.2)]"},
        {"Обща ст. без ДДС",
         "[(<dsReportData.\"GODISHNO_POTREBLENIE\">*<dsReportData.\"PP1_NUMBER\">)]"},
        {"Обща ст. с ДДС",
         "[(<dsReportData.\"GODISHNO_POTREBLENIE\">*<dsReportData.\"PP1_NUMBER\">*1.2)]"}};
    for (int row = 0; row < 4; ++row) {
        data.objects.push_back(
            framed(memo(QString::fromUtf8(prices[row].first), 213, 5.0 * row, 33, 5)));
        data.objects.push_back(
            numberCell(QString::fromUtf8(prices[row].second), 246, 5.0 * row, 31, 5));
    }

    ReportObject without = memo(QStringLiteral("Обща стойност без ДДС: "), 146, 2, 100, 5);
    without.hAlign = HAlign::Right;
    ReportObject with = memo(QStringLiteral("Обща стойност с ДДС: "), 146, 8, 100, 5);
    with.hAlign = HAlign::Right;
    ReportObject signature = memo(
        QStringLiteral("[dsReportSpecs.\"IME_NA_FIRMATA\"]:     ................................"),
        77, 18, 200, 5);
    signature.hAlign = HAlign::Right;
    ReportObject stamp = memo(QStringLiteral("/ подпис и печат / "), 177, 24, 100, 5);
    stamp.hAlign = HAlign::Right;
    Band footer = band(
        BandKind::Footer, 33,
        {without, numberCell(QStringLiteral("[dsReportOP.\"_OBSHTA_CENA\"]"), 246, 2, 31, 5), with,
         numberCell(QStringLiteral("[(<dsReportOP.\"_OBSHTA_CENA\">*1.2)]"), 246, 8, 31, 5),
         signature, stamp});

    return landscape({title, header, data, footer, pageFooter()},
                     {QStringLiteral("dsReportData"), QStringLiteral("dsReportOP"),
                      QStringLiteral("dsReportSpecs")});
}

report::ReportModel offerWithNotes() {
    std::vector<ReportObject> headObjects;
    addHalves(headObjects, 161);
    addHeads(headObjects, 5, 5,
             {{QStringLiteral("Код"), 13},
              {QStringLiteral("Продукт"), 51},
              {QStringLiteral("Бележки"), 50},
              {QStringLiteral("Год. потр."), 24},
              {QStringLiteral("М. ед."), 23},
              {QStringLiteral("Бележки - Производител"), 73},
              {QStringLiteral("Производител"), 43}});
    return landscape({notesTitle(), band(BandKind::PageHeader, 10, std::move(headObjects)),
                      dataBand(5, {{QStringLiteral("CUSTOM_CODE"), 13},
                                   {QStringLiteral("IME"), 51},
                                   {QStringLiteral("BELEJKI"), 50},
                                   {QStringLiteral("GODISHNO_POTREBLENIE"), 24},
                                   {QStringLiteral("MEASURE_IME"), 23},
                                   {QStringLiteral("BELEJKIPROIZVODITEL"), 73},
                                   {QStringLiteral("PROIZVODITEL"), 43}}),
                      pageFooter()},
                     {QStringLiteral("dsReportData"), QStringLiteral("dsReportSpecs")});
}

report::ReportModel offerWithPriceAndNotes() {
    std::vector<ReportObject> headObjects;
    addHalves(headObjects, 146);
    addHeads(headObjects, 5, 5,
             {{QStringLiteral("Код"), 12},
              {QStringLiteral("Продукт"), 47},
              {QStringLiteral("Бележки"), 46},
              {QStringLiteral("Год. потр."), 19},
              {QStringLiteral("М. ед."), 22},
              {QStringLiteral("Производител"), 44},
              {QStringLiteral("Ед. цена с ДДС"), 28},
              {QStringLiteral("Бележки"), 59}});
    return landscape({notesTitle(), band(BandKind::PageHeader, 10, std::move(headObjects)),
                      dataBand(5, {{QStringLiteral("CUSTOM_CODE"), 12},
                                   {QStringLiteral("IME"), 47},
                                   {QStringLiteral("BELEJKI"), 46},
                                   {QStringLiteral("GODISHNO_POTREBLENIE"), 19},
                                   {QStringLiteral("MEASURE_IME"), 22},
                                   {QStringLiteral("PROIZVODITEL"), 44},
                                   {QStringLiteral("CENA"), 28},
                                   {QStringLiteral("BELEJKI_FIRMA"), 59}}),
                      pageFooter()},
                     {QStringLiteral("dsReportData"), QStringLiteral("dsReportSpecs")});
}

} // namespace layouts
