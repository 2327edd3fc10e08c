// SPDX-License-Identifier: Apache-2.0
#include "export/BRX_XSD.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

const QLocale kComma(QLocale::Bulgarian, QLocale::Bulgaria);
const QLocale kPoint(QLocale::English, QLocale::UnitedStates);

TEST(OfferDocument, NumbersTakeTheShortestFormWithTheRegionalSeparator) {
    struct Case {
        double value;
        const char* comma;
        const char* point;
    };
    const Case cases[] = {
        {3, "3", "3"},
        {0.5, "0,5", "0.5"},
        {12.5, "12,5", "12.5"},
        {1234567, "1234567", "1234567"},
        {-0.01, "-0,01", "-0.01"},
        {0.1 + 0.2, "0,3", "0.3"},
        {123456789012.345, "123456789012,345", "123456789012.345"},
        {1.0 / 3, "0,333333333333333", "0.333333333333333"},
        {-0.0, "0", "0"},
        // Exponents as the authority's reader has always had them: no leading zero.
        {1e-5, "1e-5", "1e-5"},
        {-1.5e-7, "-1,5e-7", "-1.5e-7"},
        {1e20, "1e+20", "1e+20"},
        {2.5e300, "2,5e+300", "2.5e+300"},
        // Sixteen digits and more are rounded to fifteen, an exact tie away from zero.
        {90087138340346.25, "90087138340346,3", "90087138340346.3"},
        {-2227070865346065, "-2,22707086534607e+15", "-2.22707086534607e+15"},
        {1234567890123456789.0, "1,23456789012346e+18", "1.23456789012346e+18"},
        {std::numeric_limits<double>::infinity(), "inf", "inf"},
        // A subnormal value's shortest form has fewer digits than its fifteen.
        {4.6916688849729866e-310, "4,69166888497299e-310", "4.69166888497299e-310"},
        {0.0001, "0,0001", "0.0001"},
        {123456789012345.0, "123456789012345", "123456789012345"},
        {1e15, "1e+15", "1e+15"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(offerNumberText(c.value, kComma.decimalPoint()), QString::fromLatin1(c.comma));
        EXPECT_EQ(offerNumberText(c.value, kPoint.decimalPoint()), QString::fromLatin1(c.point));
    }
}

TEST(OfferDocument, ChildrenAppearInTheOrderTheyAreFirstTouchedAndReadsCreateThem) {
    const auto predl = NewPREDL(kComma);
    EXPECT_EQ(predl->XML(), QStringLiteral("<PREDL/>"));
    predl->Set_IME_NA_FIRMATA(QStringLiteral("  ЕТ <Иван> & \"син\""));
    const auto konkurs = predl->Get_KONKURS();
    konkurs->Set_KONKURS(-7);
    EXPECT_EQ(konkurs->Get_KP2_TEXT(), QString()); // a plain read creates the child
    konkurs->Set_KP1_NUMBER(12.5);
    konkurs->Set_KONKURS(8); // rewritten in place
    const auto first = predl->Get_POZICII()->Add();
    first->Set_PP3_TEXT(QStringLiteral("a\r\nb"));
    first->Set_PRODUCT_CODE(1);
    predl->Get_POZICII()->Insert(0)->Set_CUSTOM_CODE(QStringLiteral("0"));

    EXPECT_EQ(predl->XML(), QStringLiteral("<PREDL><IME_NA_FIRMATA>  ЕТ &lt;Иван> &amp; \"син\""
                                           "</IME_NA_FIRMATA><KONKURS><KONKURS>8</KONKURS>"
                                           "<KP2_TEXT/><KP1_NUMBER>12,5</KP1_NUMBER></KONKURS>"
                                           "<POZICII><CUSTOM_CODE>0</CUSTOM_CODE></POZICII>"
                                           "<POZICII><PP3_TEXT>a&#xd;\nb</PP3_TEXT>"
                                           "<PRODUCT_CODE>1</PRODUCT_CODE></POZICII></PREDL>"));
    EXPECT_EQ(predl->Get_IME_NA_FIRMATA(), QStringLiteral("  ЕТ <Иван> & \"син\""));
    EXPECT_EQ(konkurs->Get_KONKURS(), 8);
    EXPECT_EQ(konkurs->Get_KP1_NUMBER(), 12.5);
    EXPECT_EQ(predl->Get_POZICII()->Count(), 2);
    EXPECT_EQ(predl->Get_POZICII()->Get_Item(1)->Get_PP3_TEXT(), QStringLiteral("a\r\nb"));
    EXPECT_THROW(predl->Get_POZICII()->Get_Item(2), std::out_of_range);
}

// The escaping the offer files have always had: '<' and '&' always, '>' only where it would close
// "]]>", CR as a character reference (a reader's line-end handling would drop it), everything
// else as it is.
TEST(OfferDocument, TextIsEscapedAsElementContent) {
    struct Case {
        QString text;
        QString markup;
    };
    const Case cases[] = {
        {QStringLiteral("a<b&c>d"), QStringLiteral("a&lt;b&amp;c>d")},
        {QStringLiteral("]]>, ]>, ]]]>"), QStringLiteral("]]&gt;, ]>, ]]]&gt;")},
        {QStringLiteral("\"'\t\n\r"), QStringLiteral("\"'\t\n&#xd;")},
        {QString::fromUtf16(u"Ж \U0001F600"), QString::fromUtf16(u"Ж \U0001F600")},
        {QStringLiteral("&amp;"), QStringLiteral("&amp;amp;")},
    };
    for (const Case& c : cases) {
        const auto predl = NewPREDL(kPoint);
        predl->Set_IME_NA_FIRMATA(c.text);
        EXPECT_EQ(
            predl->XML(),
            QStringLiteral("<PREDL><IME_NA_FIRMATA>%1</IME_NA_FIRMATA></PREDL>").arg(c.markup));
    }
}

TEST(OfferDocument, ListItemsCanBeDeletedAndCleared) {
    const auto predl = NewPREDL(kPoint);
    predl->Set_IME_NA_FIRMATA(QStringLiteral("x"));
    const auto list = predl->Get_POZICII();
    for (int code = 1; code <= 3; ++code)
        list->Add()->Set_PRODUCT_CODE(code);
    list->Delete(1);
    EXPECT_EQ(list->Get_Item(1)->Get_PRODUCT_CODE(), 3);
    const auto kept = list->Get_Item(0);
    list->Clear();
    EXPECT_EQ(list->Count(), 0);
    kept->Set_PP2_TEXT(QStringLiteral("y")); // an item taken out lives on while it is held
    EXPECT_EQ(kept->XML(), QStringLiteral("<POZICII><PRODUCT_CODE>1</PRODUCT_CODE>"
                                          "<PP2_TEXT>y</PP2_TEXT></POZICII>"));
    EXPECT_EQ(predl->XML(), QStringLiteral("<PREDL><IME_NA_FIRMATA>x</IME_NA_FIRMATA></PREDL>"));
}

// The markup in pieces, as the export writes it: the pieces make XML() whole, none is much longer
// than its room unless one item alone is, and an empty or a leaf element comes whole.
TEST(OfferDocument, MarkupInPiecesMakesTheWholeMarkup) {
    const auto predl = NewPREDL(kComma);
    predl->Set_IME_NA_FIRMATA(QStringLiteral("ЕТ <Иван>"));
    predl->Get_KONKURS()->Set_KP1_NUMBER(0.5);
    const auto list = predl->Get_POZICII();
    for (int code = 1; code <= 2000; ++code)
        list->AddFilled([code](IXMLPOZICII& pozicia) {
            pozicia.Set_PRODUCT_CODE(code);
            pozicia.Set_PP1_NUMBER(code / 8.0);
        });
    // One item longer than any piece.
    list->Add()->Set_PP2_TEXT(QString(40000, QLatin1Char('&')));
    const auto pieces = [](const IXMLNode& node) {
        QStringList made;
        node.WriteXML([&made](QStringView piece) { made << piece.toString(); });
        return made;
    };
    const QStringList whole = pieces(*predl);
    EXPECT_GT(whole.size(), 3);
    EXPECT_EQ(whole.join(QString()), predl->XML());
    for (const QString& piece : whole.first(whole.size() - 2))
        EXPECT_LE(piece.size(), 16 * 1024);
    EXPECT_EQ(pieces(*list->Get_Item(7)), QStringList{list->Get_Item(7)->XML()});
    EXPECT_EQ(pieces(*NewPREDL(kComma)), QStringList{QStringLiteral("<PREDL/>")});
}

TEST(OfferDocument, AnItemOutlivesTheDocumentItWasMadeIn) {
    std::shared_ptr<IXMLPOZICII> item;
    {
        const auto predl = NewPREDL(kPoint);
        for (int code = 1; code <= 100; ++code)
            item = predl->Get_POZICII()->Add();
        item->Set_PRODUCT_CODE(100);
    }
    item->Set_PP1_NUMBER(2.5);
    EXPECT_EQ(item->XML(), QStringLiteral("<POZICII><PRODUCT_CODE>100</PRODUCT_CODE>"
                                          "<PP1_NUMBER>2.5</PP1_NUMBER></POZICII>"));
}

TEST(OfferDocument, TextThatXmlCannotCarryIsRefusedAndLeavesTheElementAsItWas) {
    struct Case {
        QString text;
        qsizetype refusedAt; // -1: written
    };
    const Case cases[] = {
        {QStringLiteral("таб\tред\nвръщане\r"), -1},
        {QString::fromUtf16(u"емоджи \U0001F600"), -1},
        {QStringLiteral("звън\x07"), 4},
        {QString(QChar(0)), 0},
        {QStringLiteral("a\x1F"), 1},
        {QString::fromUtf16(u"ab") + QChar(0xD83D), 2},    // a high surrogate alone at the end
        {QString(QChar(0xDE00)) + QStringLiteral("x"), 0}, // a low surrogate alone
        {QStringLiteral("x") + QChar(0xFFFE), 1},
    };
    for (const Case& c : cases) {
        const auto predl = NewPREDL(kPoint);
        predl->Set_IME_NA_FIRMATA(QStringLiteral("стар"));
        const auto firstBad = firstUnwritableCharacter(c.text);
        if (c.refusedAt < 0) {
            EXPECT_FALSE(firstBad.has_value()) << c.text.toStdString();
            predl->Set_IME_NA_FIRMATA(c.text);
            EXPECT_EQ(predl->Get_IME_NA_FIRMATA(), c.text);
            continue;
        }
        EXPECT_EQ(firstBad, c.refusedAt) << c.text.toStdString();
        try {
            predl->Set_IME_NA_FIRMATA(c.text);
            ADD_FAILURE() << "written: " << c.text.toStdString();
        } catch (const UnwritableText& refused) {
            const QString message = QString::fromUtf8(refused.what());
            EXPECT_TRUE(message.contains(QStringLiteral("IME_NA_FIRMATA")))
                << message.toStdString();
            EXPECT_TRUE(message.contains(QStringLiteral("%1-о място").arg(c.refusedAt + 1)))
                << message.toStdString();
        }
        EXPECT_EQ(predl->Get_IME_NA_FIRMATA(), QStringLiteral("стар"));
    }
}

// The form writes at most 15 significant digits: a value needing more would be read back as
// another number (the largest double as infinity), so the binding refuses it, as it refuses an
// infinity or a NaN, and the element keeps what it held.
TEST(OfferDocument, NumbersTheFormCannotWriteAsTheyAreAreRefused) {
    struct Case {
        double value;
        const char* reason; // empty: written
    };
    const Case cases[] = {
        {123456789012345.0, ""},
        {0.000000000000001, ""},
        {1e300, ""},
        {std::numeric_limits<double>::infinity(), "е безкрайност (+∞)"},
        {-std::numeric_limits<double>::infinity(), "е минус безкрайност (−∞)"},
        {std::nan(""), "не е число (NaN)"},
        {0.1 + 0.2, "има 17 значещи цифри при най-много 15 (0.30000000000000004)"},
        {999999999999999.9, "има 16 значещи цифри при най-много 15 (999999999999999.9)"},
        {std::numeric_limits<double>::max(),
         "има 17 значещи цифри при най-много 15 (1.7976931348623157e+308)"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.value);
        const auto predl = NewPREDL(kPoint);
        const auto pozicia = predl->Get_POZICII()->Add();
        pozicia->Set_PP1_NUMBER(2.5);
        const QString reason = QString::fromUtf8(c.reason);
        EXPECT_EQ(numberRefusal(c.value, QStringLiteral(".")), reason);
        if (reason.isEmpty()) {
            pozicia->Set_PP1_NUMBER(c.value);
            EXPECT_EQ(pozicia->Get_PP1_NUMBER(), c.value);
            continue;
        }
        try {
            pozicia->Set_PP1_NUMBER(c.value);
            ADD_FAILURE() << "written";
        } catch (const UnwritableNumber& refused) {
            EXPECT_EQ(QString::fromUtf8(refused.what()),
                      QStringLiteral("Стойността на PP1_NUMBER %1 и не може да се запише в XML "
                                     "файл.")
                          .arg(reason));
        }
        EXPECT_EQ(pozicia->Get_PP1_NUMBER(), 2.5);
    }
}

} // namespace
