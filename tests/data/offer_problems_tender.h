// SPDX-License-Identifier: Apache-2.0
#pragma once

#include <nlohmann/json.hpp>

namespace fixture {

// A tender for the check of the whole offer. The tender record asks for a payment method (KP2,
// text that has to be filled in); the positions for a discount (PP3, a number not below 0) and a
// maker (PP4, text that has to be filled in). Lots, stored out of their order "2", "3", "9", "10":
//   "10" (100), taken part in: position "2" priced with a negative discount and a blank maker,
//        position "1" without a price;
//   "9"  (90), taken part in: position "10" in order, position "9" priced without a discount;
//   "2"  (20), not taken part in: an unpriced position nobody asks about;
//   "3"  (30), taken part in, without positions.
// With `clean`, the company, the payment method and every value are in order and lot "3" is not
// taken part in: the offer has no problem left.
inline nlohmann::json offerProblemsTender(bool clean = false) {
    using nlohmann::json;
    const json nothing;
    const auto lot = [](int product, const char* code, bool takingPart) {
        json row = {{"PRODUCT_CODE", product}, {"CUSTOM_CODE", code}, {"IME", "Лот"}};
        if (takingPart)
            row["PP2_TEXT"] = "Да";
        return row;
    };
    const auto position = [](int product, int lotProduct, const char* code, json price,
                             json discount, json maker) {
        return json{{"PRODUCT_CODE", product}, {"MASTER_CODE", lotProduct},
                    {"CUSTOM_CODE", code},     {"IME", "Изделие"},
                    {"PP1_NUMBER", price},     {"PP3_NUMBER", discount},
                    {"PP4_TEXT", maker}};
    };
    return {{"SPECS",
             {{{"IME_NA_FIRMATA", clean ? json("Медикс ООД") : json("   ")},
               {"IME_NA_KONKURSA", "Консумативи"},
               {"KP2_TIP", 2},
               {"KP2_IME", "Начин на плащане"},
               {"KP2_OGRANICHENIE", 5},
               {"KP2_TEXT", clean ? json("по банков път") : nothing},
               {"PP1_IME", "Ед. цена"},
               {"PP1_RAZRYAD", 2},
               {"PP1_OFERTA", 2},
               {"PP3_TIP", 3},
               {"PP3_IME", "Отстъпка"},
               {"PP3_OFERTA", 2},
               {"PP3_OGRANICHENIE", 3},
               {"PP4_TIP", 2},
               {"PP4_IME", "Производител"},
               {"PP4_OFERTA", 1},
               {"PP4_OGRANICHENIE", 5},
               {"CAPTION_NOMER", "№"},
               {"BROI_INFO_POLETA", 0}}}},
            {"PREDLOGENIA",
             {lot(100, "10", true),
              position(102, 100, "2", 5.0, clean ? json(1.0) : json(-1.0),
                       clean ? json("Алфа") : json(" ")),
              position(101, 100, "1", clean ? json(2.0) : nothing, 0.0, "Бета"), lot(90, "9", true),
              position(91, 90, "10", 3.0, 0.0, "Гама"),
              position(92, 90, "9", 4.0, clean ? json(0.0) : nothing, "Делта"), lot(20, "2", false),
              position(21, 20, "1", nothing, nothing, nothing), lot(30, "3", !clean)}}};
}

} // namespace fixture
