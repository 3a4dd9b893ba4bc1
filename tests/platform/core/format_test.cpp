#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <set>
#include <thread>

#include "platform/core/datetime.h"
#include "platform/core/format.h"
#include "platform/core/random.h"

using namespace qel;

namespace {

struct FormatCase {
    std::string Expected;
    std::string Actual;
};

} // namespace

TEST(Format, SpecifiersWidthsPrecisionsAndIndexes) {
    TFormatSettingsScope us(DefaultFormatSettings());
    int x = 0;
    const FormatCase cases[] = {
        {"42", Format("%d", 42)},
        {"-0042", Format("%.4d", -42)},
        {"   42|42   |", Format("%5d|%-5d|", 42, 42)},
        {"4294967295", Format("%u", -1)},
        {"18446744073709551615", Format("%u", int64_t{-1})},
        {"FF 000000FF FFFFFFFF", Format("%x %.8x %x", 255, 255, -1)},
        {"3.14 3.1416 3", Format("%f %.4f %.0f", 3.14159, 3.14159, 3.14159)},
        {"0.13", Format("%.2f", 0.125)}, // exact halves go away from zero
        {"-0.13", Format("%.2f", -0.125)},
        {"1.00", Format("%.2f", 1.005)}, // 1.005 is slightly below in binary
        {"1.23450000000000E+003", Format("%e", 1234.5)},
        {"1.2E+003", Format("%.2e", 1234.5)},
        {"1234.5 1E20 1E-7 0.0001", Format("%g %g %g %g", 1234.5, 1e20, 1e-7, 0.0001)},
        {"1,234,567.89", Format("%n", 1234567.891)},
        {"$1,234.50 ($1,234.50)", Format("%m %m", 1234.5, -1234.5)},
        {"abc|ab|  abc|abc  |", Format("%s|%.2s|%5s|%-5s|", "abc", "abc", "abc", "abc")},
        {"b a b", Format("%1:s %0:s %s", "a", "b")},
        {"   7|7", Format("%*d|%-*d", 4, 7, 0, 7)},
        {"100%", Format("%d%%", 100)},
        {"no args", Format("no args")},
        {"x=5.0", Format("x=%.1f", 5)}, // integers are accepted by float formats
    };
    for (const auto& c : cases) EXPECT_EQ(c.Actual, c.Expected);
    (void)x;
    std::string p = Format("%p", static_cast<const void*>(&x));
    EXPECT_EQ(p.size(), sizeof(void*) * 2);
}

TEST(Format, BadFormatsRaiseConvertError) {
    struct Bad {
        std::function<std::string()> Call;
        std::string Message;
    };
    const Bad bad[] = {
        {[] { return Format("%d", "text"); }, "Format '%d' invalid or incompatible with argument"},
        {[] { return Format("%s", 5); }, "Format '%s' invalid or incompatible with argument"},
        {[] { return Format("%d %d", 5); }, "No argument for format '%d %d'"},
        {[] { return Format("%q", 5); }, "Format '%q' invalid or incompatible with argument"},
        {[] { return Format("abc %", 5); }, "Format 'abc %' invalid or incompatible with argument"},
        {[] { return Format("%5:d", 5); }, "No argument for format '%5:d'"},
        {[] { return Format("%p", 5); }, "Format '%p' invalid or incompatible with argument"},
    };
    for (const auto& b : bad) {
        try {
            b.Call();
            ADD_FAILURE() << "no error for " << b.Message;
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), b.Message);
        }
    }
}

TEST(Format, FollowsExplicitAndProcessWideSettings) {
    TFormatSettings de = DefaultFormatSettings();
    de.DecimalSeparator = ',';
    de.ThousandSeparator = '.';
    de.CurrencyString = "EUR";
    de.CurrencyFormat = 3;
    de.NegCurrFormat = 8;
    EXPECT_EQ(Format(de, "%n|%m|%m", {1234.5, 1234.5, -2.0}), "1.234,50|1.234,50 EUR|-2,00 EUR");
    EXPECT_EQ(FloatToStr(2.5, de), "2,5");
    EXPECT_DOUBLE_EQ(StrToFloat("2,5", de), 2.5);
    EXPECT_THROW(StrToFloat("2.5", de), EConvertError);
    {
        TFormatSettingsScope scope(de);
        EXPECT_EQ(FloatToStr(0.5), "0,5");
    }
    EXPECT_EQ(FloatToStr(0.5), "0.5");
}

TEST(Format, IntegerConversions) {
    EXPECT_EQ(IntToStr(-123), "-123");
    EXPECT_EQ(IntToHex(255, 4), "00FF");
    EXPECT_EQ(IntToHex(-1, 2), "FFFFFFFF");
    EXPECT_EQ(IntToHex(int64_t{-1}, 2), "FFFFFFFFFFFFFFFF");
    EXPECT_EQ(StrToInt(" 42 "), 42);
    EXPECT_EQ(StrToInt("-2147483648"), INT32_MIN);
    EXPECT_EQ(StrToInt("$FF"), 255);
    EXPECT_EQ(StrToInt("0x10"), 16);
    EXPECT_EQ(StrToInt("$FFFFFFFF"), -1);
    EXPECT_EQ(StrToInt64("9223372036854775807"), INT64_MAX);
    EXPECT_EQ(StrToIntDef("x", 7), 7);
    int v = 0;
    EXPECT_FALSE(TryStrToInt("2147483648", v));
    EXPECT_FALSE(TryStrToInt("12a", v));
    EXPECT_FALSE(TryStrToInt("", v));
    EXPECT_FALSE(TryStrToInt("-", v));
    try {
        StrToInt("1.5");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1.5' is not a valid integer value");
    }
}

TEST(Format, FloatConversionsTable) {
    TFormatSettingsScope us(DefaultFormatSettings());
    const FormatCase cases[] = {
        {"0", FloatToStr(0.0)},
        {"1.5", FloatToStr(1.5)},
        {"-1.5", FloatToStr(-1.5)},
        {"0.1", FloatToStr(0.1)},
        {"0.3", FloatToStr(0.1 + 0.2)}, // 15 significant digits
        {"123456789012345", FloatToStr(123456789012345.0)},
        {"1.23456789012346E15", FloatToStr(1234567890123456.0)},
        {"0.00001", FloatToStr(0.00001)},
        {"1E-6", FloatToStr(0.000001)},
        {"NAN", FloatToStr(std::nan(""))},
        {"-INF", FloatToStr(-HUGE_VAL)},
        {"1235", FloatToStrF(1234.5678, ffFixed, 4, 0)},
        {"1234.57", FloatToStrF(1234.5678, ffFixed, 15, 2)},
        {"1235.00", FloatToStrF(1234.5678, ffFixed, 4, 2)},
        {"1,234.57", FloatToStrF(1234.5678, ffNumber, 15, 2)},
        {"$1,234.57", FloatToStrF(1234.5678, ffCurrency, 15, 2)},
        {"($0.50)", FloatToStrF(-0.5, ffCurrency, 15, 2)},
        {"1.2346E+03", FloatToStrF(1234.5678, ffExponent, 5, 2)},
        {"-1.0E-05", FloatToStrF(-0.00001, ffExponent, 2, 2)},
        {"1E5", FloatToStrF(123456.0, ffFixed, 1, 2)},
        {"0.00", FloatToStrF(-0.001, ffFixed, 15, 2)}, // no "-0.00"
        {"12.5", CurrToStr(12.5)},
        {"12.3457", CurrToStr(12.345678)},
        {"$12.35", CurrToStrF(12.345678, ffCurrency, 2)},
    };
    for (const auto& c : cases) EXPECT_EQ(c.Actual, c.Expected);
    EXPECT_DOUBLE_EQ(StrToFloat(" -1.5E3 "), -1500.0);
    EXPECT_DOUBLE_EQ(StrToFloat("+.5"), 0.5);
    double d;
    EXPECT_FALSE(TryStrToFloat("1e", d));
    EXPECT_FALSE(TryStrToFloat("1e999", d));
    EXPECT_FALSE(TryStrToFloat("abc", d));
    EXPECT_EQ(StrToFloatDef("x", 2.5), 2.5);
    try {
        StrToFloat("1,5");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'1,5' is not a valid floating point value");
    }
}

TEST(Format, FormatFloatPictures) {
    TFormatSettingsScope us(DefaultFormatSettings());
    struct Case {
        const char* Picture;
        double Value;
        const char* Expected;
    };
    const Case cases[] = {
        {"0", 1234.5, "1235"},
        {"0.00", 1234.5, "1234.50"},
        {"#.##", 0.5, ".5"},
        {"0.##", 1.0, "1"},
        {"0.0#", 1.25, "1.25"},
        {"#,##0.00", 1234567.891, "1,234,567.89"},
        {"#,##0", -1234.0, "-1,234"},
        {"000", 7.0, "007"},
        {"#,##0.00;(#,##0.00)", -1234.5, "(1,234.50)"},
        {"#,##0.00;(#,##0.00);'zero'", 0.0, "zero"},
        {"0.00;;'nil'", 0.001, "nil"},
        {"0.00E+00", 1234.5, "1.23E+03"},
        {"0.0E-0", 0.00012, "1.2E-4"},
        {"'$'#,##0.00", 1234.5, "$1,234.50"},
        {"0 \"units\"", 3.0, "3 units"},
        {"00-00", 1234.0, "12-34"},
        {"", 2.5, "2.5"},
        {"0", -0.4, "0"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatFloat(c.Picture, c.Value), c.Expected) << c.Picture;
    EXPECT_EQ(FormatCurr("#,##0.00", 1234.5), "1,234.50");
}

TEST(DateTime, EncodeDecodeAroundTheEpoch) {
    EXPECT_EQ(EncodeDate(1899, 12, 30), 0.0);
    EXPECT_EQ(EncodeDate(1900, 1, 1), 2.0);
    EXPECT_EQ(EncodeDate(2000, 1, 1), 36526.0);
    EXPECT_EQ(EncodeDate(9999, 12, 31), 2958465.0);
    EXPECT_DOUBLE_EQ(EncodeTime(12, 0, 0, 0), 0.5);
    int y, m, d, h, mi, s, ms;
    DecodeDate(EncodeDate(2024, 2, 29), y, m, d);
    EXPECT_EQ((std::vector<int>{y, m, d}), (std::vector<int>{2024, 2, 29}));
    DecodeTime(EncodeTime(23, 59, 59, 999), h, mi, s, ms);
    EXPECT_EQ((std::vector<int>{h, mi, s, ms}), (std::vector<int>{23, 59, 59, 999}));
    // A value a hair below midnight rounds to the next day rather than to 24:00.
    TDateTime nearly = EncodeDate(2001, 12, 31) + 0.99999999999;
    DecodeDate(nearly, y, m, d);
    DecodeTime(nearly, h, mi, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h, mi, s, ms}), (std::vector<int>{2002, 1, 1, 0, 0, 0, 0}));
    // Negative values: the fraction's magnitude is the time of day.
    DecodeDate(-1.25, y, m, d);
    DecodeTime(-1.25, h, mi, s, ms);
    EXPECT_EQ((std::vector<int>{y, m, d, h}), (std::vector<int>{1899, 12, 29, 6}));
    EXPECT_EQ(DayOfWeek(0), 7);                       // a Saturday
    EXPECT_EQ(DayOfWeek(EncodeDate(2024, 2, 29)), 5); // a Thursday
    EXPECT_THROW(EncodeDate(2023, 2, 29), EConvertError);
    EXPECT_THROW(EncodeDate(0, 1, 1), EConvertError);
    EXPECT_THROW(EncodeTime(24, 0, 0, 0), EConvertError);
    try {
        EncodeTime(1, 60, 0, 0);
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "Invalid argument to time encode");
    }
    EXPECT_THROW(DecodeDate(std::nan(""), y, m, d), EConvertError);
}

TEST(DateTime, FormatDateTimeTable) {
    TFormatSettingsScope us(DefaultFormatSettings());
    TDateTime t = EncodeDate(2024, 2, 9) + EncodeTime(13, 5, 7, 45);
    struct Case {
        const char* Format;
        const char* Expected;
    };
    const Case cases[] = {
        {"c", "2/9/2024 1:05:07 PM"},
        {"ddddd", "2/9/2024"},
        {"dddddd", "Friday, February 9, 2024"},
        {"d dd ddd dddd", "9 09 Fri Friday"},
        {"m mm mmm mmmm", "2 02 Feb February"},
        {"yy yyyy", "24 2024"},
        {"h:nn:ss.zzz", "13:05:07.045"},
        {"hh:mm", "13:05"}, // mm after hh means minutes
        {"h:mm am/pm", "1:05 pm"},
        {"h:mm AM/PM", "1:05 PM"},
        {"h a/p", "1 p"},
        {"t|tt", "1:05 PM|1:05:07 PM"},
        {"yyyy-mm-dd'T'hh:nn", "2024-02-09T13:05"},
        {"\"day\" d", "day 9"},
        {"dd/mm/yyyy", "09/02/2024"},
    };
    for (const auto& c : cases) EXPECT_EQ(FormatDateTime(c.Format, t), c.Expected) << c.Format;
    EXPECT_EQ(DateTimeToStr(EncodeDate(2024, 2, 9)), "2/9/2024"); // no time part at midnight
    EXPECT_EQ(TimeToStr(EncodeTime(0, 0, 5, 0)), "12:00:05 AM");
    TFormatSettings de = DefaultFormatSettings();
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd/mm/yyyy";
    de.LongTimeFormat = "hh:nn:ss";
    EXPECT_EQ(DateTimeToStr(t, de), "09.02.2024 13:05:07");
}

TEST(DateTime, ParsingDatesAndTimes) {
    TFormatSettingsScope us(DefaultFormatSettings());
    EXPECT_EQ(StrToDate("2/29/2024"), EncodeDate(2024, 2, 29));
    EXPECT_EQ(StrToDateTime("2/9/2024 1:05:07 PM"), EncodeDate(2024, 2, 9) + EncodeTime(13, 5, 7, 0));
    EXPECT_DOUBLE_EQ(StrToTime("13:05"), EncodeTime(13, 5, 0, 0));
    EXPECT_DOUBLE_EQ(StrToTime("12:00 AM"), 0.0);
    EXPECT_DOUBLE_EQ(StrToTime("1:02:03.5"), EncodeTime(1, 2, 3, 500));
    int y, m, d;
    DecodeDate(StrToDate("3/4"), y, m, d);
    DecodeDate(Date(), y, m, d); // the current year is used when none is given
    EXPECT_EQ(StrToDate("3/4"), EncodeDate(y, 3, 4));
    TFormatSettings de = DefaultFormatSettings();
    de.DateSeparator = '.';
    de.ShortDateFormat = "dd/mm/yyyy";
    EXPECT_EQ(StrToDate("31.12.1999", de), EncodeDate(1999, 12, 31));
    for (const char* bad : {"2/30/2024", "1/2/3/4", "a/b/c", "", "1//2", "13:00 PM", "25:00", "1:2:3:4"}) {
        TDateTime v;
        EXPECT_FALSE(TryStrToDateTime(bad, v, FormatSettings())) << bad;
    }
    try {
        StrToDate("2/30/2024");
        FAIL();
    } catch (const EConvertError& e) {
        EXPECT_STREQ(e.what(), "'2/30/2024' is not a valid date");
    }
    EXPECT_THROW(StrToTime("x"), EConvertError);
}

TEST(DateTime, NowIsTodayAndConsistent) {
    TDateTime n = Now();
    EXPECT_GT(n, EncodeDate(2020, 1, 1));
    EXPECT_LT(Date(), n + 1);
    EXPECT_GE(Time(), 0.0);
    EXPECT_LT(Time(), 1.0);
}

TEST(Random, SameSeedSameSequenceAndRanges) {
    SetRandSeed(12345);
    std::vector<int> a;
    for (int i = 0; i < 20; ++i) a.push_back(Random(100));
    SetRandSeed(12345);
    std::vector<int> b;
    for (int i = 0; i < 20; ++i) b.push_back(Random(100));
    EXPECT_EQ(a, b);
    // The platform's generator: seed * 0x08088405 + 1, scaled by the range.
    SetRandSeed(0);
    EXPECT_EQ(Random(1000), 0); // seed 1
    EXPECT_EQ(GetRandSeed(), 1u);
    EXPECT_EQ(Random(1 << 16), 2056); // seed 0x08088406
    std::set<int> seen;
    for (int i = 0; i < 2000; ++i) {
        int r = Random(10);
        ASSERT_GE(r, 0);
        ASSERT_LT(r, 10);
        seen.insert(r);
        double f = Random();
        ASSERT_GE(f, 0.0);
        ASSERT_LT(f, 1.0);
    }
    EXPECT_EQ(seen.size(), 10u);
    EXPECT_EQ(Random(0), 0);
    EXPECT_EQ(Random(-5), 0);
}

TEST(Random, ThreadsDrawDistinctStepsOfOneSequence) {
    SetRandSeed(777);
    std::vector<uint32_t> expected;
    {
        uint32_t s = 777;
        for (int i = 0; i < 4000; ++i) expected.push_back(s = s * 0x08088405u + 1u);
    }
    SetRandSeed(777);
    std::vector<std::vector<int>> got(4);
    std::vector<std::thread> ts;
    for (int t = 0; t < 4; ++t)
        ts.emplace_back([&, t] {
            for (int i = 0; i < 1000; ++i) got[static_cast<size_t>(t)].push_back(Random(1 << 30));
        });
    for (auto& t : ts) t.join();
    std::multiset<int> all, want;
    for (auto& g : got) all.insert(g.begin(), g.end());
    for (uint32_t s : expected) want.insert(static_cast<int>((static_cast<uint64_t>(s) << 30) >> 32));
    EXPECT_EQ(all, want); // no step lost or repeated
    EXPECT_EQ(GetRandSeed(), expected.back());
}
