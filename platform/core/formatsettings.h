#pragma once
// The locale record that number, currency and date formatting follow. The process-wide default is a
// classic US-English locale; programs and tests may change it (at start, from one thread) or pass
// their own record to the overloads that take one.
#include <array>
#include <string>

namespace qel {

struct TFormatSettings {
    std::string CurrencyString = "$";
    // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
    int CurrencyFormat = 0;
    // 0 "($1)", 1 "-$1", 2 "$-1", 3 "$1-", 4 "(1$)", 5 "-1$", 6 "1-$", 7 "1$-", 8 "-1 $", 9 "-$ 1",
    // 10 "1 $-", 11 "$ 1-", 12 "$ -1", 13 "1- $", 14 "($ 1)", 15 "(1 $)"
    int NegCurrFormat = 0;
    int CurrencyDecimals = 2;
    char ThousandSeparator = ',';
    char DecimalSeparator = '.';
    char DateSeparator = '/';
    char TimeSeparator = ':';
    char ListSeparator = ',';
    std::string ShortDateFormat = "M/d/yyyy";
    std::string LongDateFormat = "dddd, MMMM d, yyyy";
    std::string TimeAMString = "AM";
    std::string TimePMString = "PM";
    std::string ShortTimeFormat = "h:mm AMPM";
    std::string LongTimeFormat = "h:mm:ss AMPM";
    std::array<std::string, 12> ShortMonthNames{"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                                "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::array<std::string, 12> LongMonthNames{"January",   "February", "March",    "April",
                                               "May",       "June",     "July",     "August",
                                               "September", "October",  "November", "December"};
    // Sunday first, as DayOfWeek counts.
    std::array<std::string, 7> ShortDayNames{"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    std::array<std::string, 7> LongDayNames{"Sunday",   "Monday", "Tuesday", "Wednesday",
                                            "Thursday", "Friday", "Saturday"};
    // Two-digit years are taken within this many years before the current year (0: current century).
    int TwoDigitYearCenturyWindow = 50;
};

// The process-wide settings used by the overloads without an explicit record.
TFormatSettings& FormatSettings();
// The classic US-English defaults.
TFormatSettings DefaultFormatSettings();

// Installs `settings` as the process-wide record for the guard's lifetime (tests).
class TFormatSettingsScope {
public:
    explicit TFormatSettingsScope(const TFormatSettings& settings) : FSaved(FormatSettings()) {
        FormatSettings() = settings;
    }
    ~TFormatSettingsScope() { FormatSettings() = FSaved; }
    TFormatSettingsScope(const TFormatSettingsScope&) = delete;
    TFormatSettingsScope& operator=(const TFormatSettingsScope&) = delete;

private:
    TFormatSettings FSaved;
};

} // namespace qel
