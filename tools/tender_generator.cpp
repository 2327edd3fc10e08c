// SPDX-License-Identifier: Apache-2.0
#include "tools/tender_generator.h"

#include <array>
#include <cmath>
#include <random>
#include <string>

namespace tender {

namespace {

constexpr std::array kProducts = {
    "Спринцовка тричастна",
    "Игла инжекционна",
    "Катетър венозен периферен с клапа за инжектиране",
    "Ръкавици хирургични стерилни, латексови, без пудра",
    "Ръкавици за преглед нитрилни, нестерилни",
    "Марля хидрофилна, 17 нишки/см²",
    "Бинт еластичен със средна разтегливост",
    "Лейкопласт на ролка, хипоалергичен, върху нетъкан текстил",
    "Превръзка за рани, самозалепваща, стерилна",
    "Система за инфузия с въздушен филтър и ролкова клема",
    "Уретрален катетър тип Фолей, двупътен, силиконизиран латекс",
    "Маска хирургична тристепенна с връзки",
    "Тест ленти за определяне на кръвна захар",
    "Хирургичен конец резорбируем, плетен, с атравматична игла",
    "Скалпел еднократен със стерилно острие",
    "Сонда назогастрална от PVC",
    "Канюла назална кислородна за възрастни",
    "Електрод за ЕКГ за еднократна употреба, с твърд гел",
    "Торба за урина с изпускателен кран и възвратен клапан",
    "Трипътно кранче с удължител",
};
constexpr std::array kDetails = {
    "стерилен, за еднократна употреба",
    "в индивидуална опаковка, апирогенен",
    "с Луер лок накрайник, прозрачен цилиндър с ясна скала",
    "изработен от медицински PVC без DEHP",
    "съвместим с наличните в болницата инфузионни помпи",
    "с CE маркировка и срок на годност не по-малък от 24 месеца към датата на доставка",
    "",
    "опаковка, позволяваща асептично изваждане",
};
constexpr std::array kSizes = {"2 ml",         "5 ml",         "10 ml",    "20 ml",
                               "G18",          "G20",          "G22",      "CH 14",
                               "CH 16",        "размер S",     "размер M", "размер L",
                               "10 см x 10 м", "7,5 см x 5 м", "USP 2/0",  "USP 3/0"};
constexpr std::array kUnits = {"бр.", "оп.", "кутия", "ролка", "чифт", "комплект"};
constexpr std::array kLotThemes = {
    "Спринцовки, игли и канюли за еднократна употреба",
    "Превързочни материали и средства за обработка на рани",
    "Консумативи за интензивно лечение и анестезиология",
    "Хирургични конци и консумативи за операционни зали",
    "Ръкавици и лични предпазни средства за медицинския персонал",
    "Катетри, сонди и дренажни системи",
};
constexpr std::array kDepartments = {"всички клинични отделения", "Клиника по хирургия",
                                     "Отделение по анестезиология и интензивно лечение",
                                     "Клинична лаборатория", "Спешно отделение"};

class Dice {
public:
    explicit Dice(std::uint32_t seed) : engine_(seed) {}
    // A number in [0, n): the engine's raw output keeps the sequence the same everywhere.
    std::size_t below(std::size_t n) { return engine_() % n; }
    template <typename List> const char* pick(const List& list) { return list[below(list.size())]; }

private:
    std::mt19937 engine_;
};

double roundTo(double value, int decimals) {
    double scale = std::pow(10.0, decimals);
    return std::round(value * scale) / scale;
}

nlohmann::json tenderRecord() {
    return {
        {"IME_NA_KONKURSA",
         "Доставка на медицински изделия и консумативи за нуждите на УМБАЛ „Св. Марина“ ЕАД – "
         "Варна за срок от 24 месеца"},
        {"IS_OBOSOBENI_POZICII", true},
        {"KONKURS", 20270611},
        {"NO_DDS", false},
        {"KP1_TIP", 3},
        {"KP1_RAZRYAD", 0},
        {"KP1_IME", "Срок на доставка (дни)"},
        {"KP1_OGRANICHENIE", 2},
        {"KP2_TIP", 2},
        {"KP2_RAZRYAD", 0},
        {"KP2_IME", "Начин на плащане"},
        {"KP2_OGRANICHENIE", 5},
        {"KP3_TIP", 0},
        {"KP4_TIP", 0},
        {"PP1_OFERTA", 2},
        {"PP1_RAZRYAD", 2},
        {"PP1_IME", "Ед. цена без ДДС"},
        {"PP2_OFERTA", 1},
        {"PP2_TIP", 2},
        {"PP2_RAZRYAD", 0},
        {"PP2_IME", "Търговско наименование"},
        {"PP2_OGRANICHENIE", 5},
        {"PP3_OFERTA", 1},
        {"PP3_TIP", 2},
        {"PP3_RAZRYAD", 0},
        {"PP3_IME", "Производител"},
        {"PP3_OGRANICHENIE", 0},
        {"PP4_TIP", 0},
        {"PP5_TIP", 0},
        {"PP6_TIP", 0},
        {"BROI_INFO_POLETA", 2},
        {"CAPTION_INFO1", "Размер / спецификация"},
        {"CAPTION_INFO2", "Вид на опаковката"},
        {"CAPTION_PRODUCT", "Наименование на медицинското изделие"},
        {"CAPTION_GOD_POTREBLENIE", "Прогнозно количество за 24 месеца"},
        {"CAPTION_MAX_CENA", "Максимална единична цена без ДДС (лв.)"},
        {"CAPTION_NOMER", "№ по ред"},
    };
}

} // namespace

nlohmann::json generateTender(int lots, int positions, std::uint32_t seed) {
    Dice dice(seed);
    nlohmann::json rows = nlohmann::json::array();
    int code = 0;
    for (int lot = 1; lot <= lots; ++lot) {
        int lotCode = ++code;
        bool takenPart = lot % 3 == 1;
        nlohmann::json lotRow = {{"PRODUCT_CODE", lotCode},
                                 {"CUSTOM_CODE", std::to_string(lot)},
                                 {"IME", std::string(dice.pick(kLotThemes)) + " за нуждите на " +
                                             dice.pick(kDepartments)}};
        if (takenPart)
            lotRow["PP2_TEXT"] = "Да";
        rows.push_back(lotRow);
        int count = positions / lots + (lot <= positions % lots ? 1 : 0);
        for (int p = 1; p <= count; ++p) {
            std::string size = dice.pick(kSizes);
            std::string name = std::string(dice.pick(kProducts)) + " " + size;
            std::string detail = dice.pick(kDetails);
            if (!detail.empty())
                name += ", " + detail;
            double maxPrice = roundTo(0.05 + static_cast<double>(dice.below(250000)) / 1000.0, 2);
            nlohmann::json position = {
                {"PRODUCT_CODE", ++code},
                {"MASTER_CODE", lotCode},
                {"CUSTOM_CODE", std::to_string(p)},
                {"IME", name},
                {"MEASURE_IME", dice.pick(kUnits)},
                {"GODISHNO_POTREBLENIE", static_cast<double>(10 * (1 + dice.below(20000)))},
                {"INFO1", size},
                {"INFO2", dice.below(2) == 0 ? "индивидуална" : "групова по 100 бр."},
                {"MAX_CENA", maxPrice}};
            if (takenPart) {
                position["PP1_NUMBER"] = roundTo(maxPrice * 0.9, 2);
                position["PP2_TEXT"] = "Медикс " + size;
                position["PP3_TEXT"] = "Медицинска техника АД";
            }
            rows.push_back(position);
        }
    }
    return {{"SPECS", nlohmann::json::array({tenderRecord()})}, {"PREDLOGENIA", rows}};
}

nlohmann::json everyPositionOffered(nlohmann::json tender) {
    tender["SPECS"][0]["IME_NA_FIRMATA"] = "Медикс ООД";
    for (nlohmann::json& row : tender["PREDLOGENIA"]) {
        if (!row.contains("MASTER_CODE") || row["MASTER_CODE"].is_null()) {
            row["PP2_TEXT"] = "Да";
            continue;
        }
        row["PP1_NUMBER"] = 1.25 + row["PRODUCT_CODE"].get<int>();
        row["PP2_TEXT"] = "Медикс " + row["CUSTOM_CODE"].get<std::string>();
        row["PP3_TEXT"] = "Медицинска техника АД";
    }
    return tender;
}

} // namespace tender
