#pragma once
// TDateTime: days since 1899-12-30 with the time of day as the fraction (for negative values the
// fraction's magnitude is the time, as the platform counts). Encoding, decoding, the clock, and
// text conversion through TFormatSettings.
//
//   FormatDateTime("dddd, mmmm d, yyyy h:nn am/pm", EncodeDate(2024, 2, 29) + EncodeTime(13, 5, 0, 0))
//     -> "Thursday, February 29, 2024 1:05 pm"
#include <string>
#include <string_view>

#include "platform/core/exceptions.h"
#include "platform/core/formatsettings.h"

namespace qel {

using TDateTime = double;

constexpr double HoursPerDay = 24;
constexpr double MinsPerDay = 24 * 60;
constexpr double SecsPerDay = 24 * 60 * 60;
constexpr double MSecsPerDay = 24.0 * 60 * 60 * 1000;

bool IsLeapYear(int year);
int DaysInMonth(int year, int month);
// EConvertError "Invalid argument to date encode" / "... time encode" for values out of range.
TDateTime EncodeDate(int year, int month, int day);
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& date);
bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time);
void DecodeDate(TDateTime date, int& year, int& month, int& day);
void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec);
// 1 = Sunday ... 7 = Saturday.
int DayOfWeek(TDateTime date);

// The local date and time from the system clock.
TDateTime Now();
TDateTime Date();
TDateTime Time();

// Specifiers: c d dd ddd dddd ddddd dddddd m mm mmm mmmm (minutes right after h/hh) yy yyyy h hh n nn
// s ss z zzz t tt am/pm a/p ampm / : 'text' "text"; any other character is copied.
std::string FormatDateTime(std::string_view format, TDateTime value);
std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs);
std::string DateToStr(TDateTime value);
std::string DateToStr(TDateTime value, const TFormatSettings& fs);
std::string TimeToStr(TDateTime value);
std::string TimeToStr(TDateTime value, const TFormatSettings& fs);
std::string DateTimeToStr(TDateTime value);
std::string DateTimeToStr(TDateTime value, const TFormatSettings& fs);

// Dates in the order of ShortDateFormat with DateSeparator; a missing year is the current one.
// EConvertError "'%s' is not a valid date" / "... time" / "... date and time".
TDateTime StrToDate(std::string_view s);
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs);
TDateTime StrToTime(std::string_view s);
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs);
TDateTime StrToDateTime(std::string_view s);
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs);
bool TryStrToDate(std::string_view s, TDateTime& value, const TFormatSettings& fs);
bool TryStrToTime(std::string_view s, TDateTime& value, const TFormatSettings& fs);
bool TryStrToDateTime(std::string_view s, TDateTime& value, const TFormatSettings& fs);

} // namespace qel
