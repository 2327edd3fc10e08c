// SPDX-License-Identifier: Apache-2.0
#include "data/number_format.h"

#include "tender_fixture.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    double value;
    const char* format;
    const char* shown;
};

TEST(NumberFormat, FollowsTheDisplayFormatsOfTheTender) {
    const FormatCase cases[] = {
        {1234567.5, "# ### ##0.00", "1 234 567.50"},
        {1234567890.0, "# ### ##0", "1 234 567 890"},
        {0.08, "# ### ##0.00", "0.08"},
        {0.0, "# ### ##0", "0"},
        {0.0, "# ###", ""}, // no required digit: a zero quantity shows nothing
        {60000.0, "# ###", "60 000"},
        {999.5, "# ###", "1 000"},
        {12.5, "# ##0.#####", "12.5"},
        {0.123456789, "# ##0.#####", "0.12346"},
        {0.09, "# ##0.00000", "0.09000"},
        {-3.14159, "# ##0.00", "-3.14"},
        {-0.001, "# ##0.00", "0.00"}, // rounds to zero: no minus sign
        {12.5, "# ### ##0.000", "12.500"},
        {2.5, "", "2.5"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(data::formatNumber(c.value, QString::fromUtf8(c.format), QLatin1Char('.')),
                  QString::fromUtf8(c.shown))
            << c.value << " through " << c.format;
}

TEST(NumberFormat, AStoredValueShowsEveryDecimalItHolds) {
    const FormatCase cases[] = {
        {11.999, "# ### ##0.00", "11.999"}, // never 12.00, which is not what is stored
        {11.99, "# ### ##0.00", "11.99"},
        {11.9, "# ### ##0.00", "11.90"}, // the format's zeros stay
        {12.0, "# ### ##0.00", "12.00"},
        {1234.5, "# ### ##0", "1 234.5"},
        {10.25, "# ###", "10.25"},
        {0.125, "# ##0.##", "0.125"},
        {2.5, "", "2.5"},
    };
    for (const FormatCase& c : cases)
        EXPECT_EQ(data::formatStoredNumber(c.value, QString::fromUtf8(c.format), QLatin1Char('.')),
                  QString::fromUtf8(c.shown))
            << c.value << " through " << c.format;

    const std::pair<double, qint64> decimals[] = {{12.0, 0},  {11.999, 3}, {0.1, 1},
                                                  {-2.75, 2}, {1e20, 0},   {1e-20, 15}};
    for (const auto& [value, count] : decimals)
        EXPECT_EQ(data::decimalsOf(value), count) << value;
}

TEST(NumberFormat, WithoutAFormatShowsTheShortestTextThatReadsBackAsTheSameNumber) {
    const std::pair<double, const char*> cases[] = {
        {0.1, "0.1"},         {0.30000000000000004, "0.30000000000000004"}, // 0.1 + 0.2 is not 0.3
        {1234.56, "1234.56"}, {100000.0, "100000"},
        {-42.0, "-42"},       {-0.0, "0"},
        {0.00001, "0.00001"}, {123456789012345.0, "123456789012345"},
        {1e15, "1e+15"},      {1.5e-7, "1.5e-07"},
        {1e300, "1e+300"},
    };
    for (const auto& [value, shown] : cases) {
        const QString text = data::formatNumber(value, QString(), QLatin1Char('.'));
        EXPECT_EQ(text, QString::fromLatin1(shown)) << value;
        EXPECT_EQ(text.toDouble(), value) << "does not read back: " << text.toStdString();
    }
}

TEST(NumberFormat, WritesTheGivenDecimalSeparator) {
    EXPECT_EQ(data::formatNumber(1234.5, QStringLiteral("# ### ##0.00"), QLatin1Char(',')),
              QStringLiteral("1 234,50"));
    EXPECT_EQ(data::formatNumber(0.25, QString(), QLatin1Char(',')), QStringLiteral("0,25"));
}

TEST(NumberFormat, TheMaskOfANumberParameterHasItsDecimals) {
    const std::pair<qint64, const char*> cases[] = {
        {0, "# ### ##0"},
        {3, "# ### ##0.000"},
        {2, "# ### ##0.00"},
        {-2, "# ### ##0"}, // no tender states a negative count; it shows no decimals
        {1000000000000, "# ### ##0.000000000000000"}, // a damaged count is held at fifteen
    };
    for (const auto& [decimals, mask] : cases)
        EXPECT_EQ(data::numberDisplayMask(decimals), QString::fromLatin1(mask)) << decimals;
}

} // namespace
