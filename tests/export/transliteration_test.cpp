// SPDX-License-Identifier: Apache-2.0
#include "export/dMain.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

namespace {

struct Spelling {
    const char* name;
    const char* latin;
};

TEST(StrBGToEn, SpellsBulgarianLettersAndKeepsEverythingElse) {
    const Spelling cases[] = {
        {"", ""},
        {"ЕТ", "ET"},
        {"жито", "zhito"},
        {"Жито", "Jhito"},
        {"Цена", "Tsena"},
        {"цена", "cena"},
        {"щипка Щит", "stipka Stit"},
        {"ЕТ \"Иван-2\" / Ltd. 7%", "ET \"Ivan-2\" / Ltd. 7%"},
        {"ыэёѝ", "ыэёѝ"},
        {"  ЕТ Иван  ", "  ET Ivan  "},
    };
    for (const auto& [name, latin] : cases)
        EXPECT_EQ(TdmMain::StrBGToEn(QString::fromUtf8(name)), QString::fromUtf8(latin)) << name;
}

TEST(StrBGToEn, SpellsEveryLetterOfBothAlphabets) {
    const QString lower = QStringLiteral("абвгдежзийклмнопрстуфхцчшщъьюя");
    const QString upper = QStringLiteral("АБВГДЕЖЗИЙКЛМНОПРСТУФХЦЧШЩЪЬЮЯ");
    EXPECT_EQ(TdmMain::StrBGToEn(lower), QStringLiteral("abvgdezhzijklmnoprstufhcchshstayiuia"));
    EXPECT_EQ(TdmMain::StrBGToEn(upper), QStringLiteral("ABVGDEJhZIJKLMNOPRSTUFHTsChShStAYIuIa"));
}

} // namespace
