#include "platform/core/datetime.h"

#include <chrono>
#include <cmath>
#include <ctime>
#include <vector>

#include "platform/core/strutils.h"

namespace qel {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian date (Howard Hinnant's algorithm).
int64_t DaysFromCivil(int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<int64_t>(doe) - 719468;
}

void CivilFromDays(int64_t z, int& y, int& m, int& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t yy = static_cast<int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    m = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    y = static_cast<int>(yy + (m <= 2));
}

const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30); // day 0 of TDateTime, counted from 1970

// Splits a date-time into whole days (calendar sense) and milliseconds of the day, rounding to the
// nearest millisecond and carrying into the next day.
void Split(TDateTime dt, int64_t& days, int64_t& ms) {
    if (!std::isfinite(dt) || std::fabs(dt) > 3e6) throw EConvertError("Invalid date/time value");
    double whole = std::trunc(dt);
    days = static_cast<int64_t>(whole);
    ms = std::llround(std::fabs(dt - whole) * MSecsPerDay);
    if (ms >= static_cast<int64_t>(MSecsPerDay)) {
        ms -= static_cast<int64_t>(MSecsPerDay);
        days += 1;
    }
}

std::string Pad(int v, int width) {
    std::string s = std::to_string(v);
    if (static_cast<int>(s.size()) < width) s.insert(0, static_cast<size_t>(width) - s.size(), '0');
    return s;
}

bool MatchAt(std::string_view s, size_t i, std::string_view what) {
    return i + what.size() <= s.size() && SameText(s.substr(i, what.size()), what);
}

void FormatTo(std::string& out, std::string_view f, TDateTime dt, const TFormatSettings& fs, int depth) {
    if (depth > 3) return; // settings that refer to each other
    int64_t days, ms;
    Split(dt, days, ms);
    int y, mo, d;
    CivilFromDays(days + kEpochOffset, y, mo, d);
    int h = static_cast<int>(ms / 3600000), mi = static_cast<int>(ms / 60000 % 60),
        s = static_cast<int>(ms / 1000 % 60), z = static_cast<int>(ms % 1000);
    int dow = static_cast<int>(((days - 1) % 7 + 7) % 7); // 0 = Sunday
    // Twelve-hour clock when the format shows AM/PM.
    bool twelve = false;
    {
        char quote = 0;
        for (size_t i = 0; i < f.size(); ++i) {
            if (quote) {
                if (f[i] == quote) quote = 0;
                continue;
            }
            if (f[i] == '"' || f[i] == '\'')
                quote = f[i];
            else if (MatchAt(f, i, "am/pm") || MatchAt(f, i, "a/p") || MatchAt(f, i, "ampm"))
                twelve = true;
        }
    }
    bool afterHour = false;
    size_t i = 0, n = f.size();
    while (i < n) {
        char c = f[i];
        if (c == '"' || c == '\'') {
            size_t j = f.find(c, i + 1);
            if (j == std::string_view::npos) j = n;
            out.append(f.substr(i + 1, j - i - 1));
            i = j < n ? j + 1 : n;
            continue;
        }
        char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        size_t count = 1;
        while (i + count < n && (f[i + count] | 0x20) == (c | 0x20) &&
               ((c | 0x20) >= 'a' && (c | 0x20) <= 'z'))
            ++count;
        switch (u) {
        case 'C':
            FormatTo(out, fs.ShortDateFormat, dt, fs, depth + 1);
            if (ms != 0) {
                out += ' ';
                FormatTo(out, fs.LongTimeFormat, dt, fs, depth + 1);
            }
            i += 1;
            afterHour = false;
            continue;
        case 'D':
            if (count == 1)
                out += std::to_string(d);
            else if (count == 2)
                out += Pad(d, 2);
            else if (count == 3)
                out += fs.ShortDayNames[static_cast<size_t>(dow)];
            else if (count == 4)
                out += fs.LongDayNames[static_cast<size_t>(dow)];
            else if (count == 5)
                FormatTo(out, fs.ShortDateFormat, dt, fs, depth + 1);
            else
                FormatTo(out, fs.LongDateFormat, dt, fs, depth + 1);
            afterHour = false;
            break;
        case 'Y':
            out += count <= 2 ? Pad(y % 100, 2) : Pad(y, 4);
            afterHour = false;
            break;
        case 'M':
            if (afterHour && count <= 2) {
                out += count == 1 ? std::to_string(mi) : Pad(mi, 2);
            } else if (count == 1) {
                out += std::to_string(mo);
            } else if (count == 2) {
                out += Pad(mo, 2);
            } else if (count == 3) {
                out += fs.ShortMonthNames[static_cast<size_t>(mo - 1)];
            } else {
                out += fs.LongMonthNames[static_cast<size_t>(mo - 1)];
            }
            afterHour = false;
            break;
        case 'N':
            out += count == 1 ? std::to_string(mi) : Pad(mi, 2);
            afterHour = false;
            break;
        case 'H': {
            int hh = h;
            if (twelve) {
                hh = h % 12;
                if (hh == 0) hh = 12;
            }
            out += count == 1 ? std::to_string(hh) : Pad(hh, 2);
            afterHour = true;
            break;
        }
        case 'S':
            out += count == 1 ? std::to_string(s) : Pad(s, 2);
            afterHour = false;
            break;
        case 'Z':
            out += count == 1 ? std::to_string(z) : Pad(z, 3);
            afterHour = false;
            break;
        case 'T':
            FormatTo(out, count == 1 ? fs.ShortTimeFormat : fs.LongTimeFormat, dt, fs, depth + 1);
            afterHour = false;
            break;
        case 'A':
            if (MatchAt(f, i, "am/pm")) {
                std::string t = h < 12 ? "am" : "pm";
                if (c == 'A') t = UpperCase(t);
                out += t;
                i += 5;
            } else if (MatchAt(f, i, "a/p")) {
                std::string t = h < 12 ? "a" : "p";
                if (c == 'A') t = UpperCase(t);
                out += t;
                i += 3;
            } else if (MatchAt(f, i, "ampm")) {
                out += h < 12 ? fs.TimeAMString : fs.TimePMString;
                i += 4;
            } else {
                out += c;
                i += 1;
            }
            continue;
        case '/': out += fs.DateSeparator; break;
        case ':': out += fs.TimeSeparator; break;
        default:
            out.append(f.substr(i, count));
            i += count;
            continue;
        }
        i += (u == '/' || u == ':') ? 1 : count;
    }
}

int CurrentYear() {
    int y, m, d;
    DecodeDate(Now(), y, m, d);
    return y;
}

// Numbers of a date or time text split at any of `seps`; false on any other character.
bool Numbers(std::string_view s, std::string_view seps, std::vector<std::pair<int, int>>& out) {
    size_t i = 0, n = s.size();
    while (i < n) {
        if (s[i] < '0' || s[i] > '9') return false;
        int v = 0, digits = 0;
        while (i < n && s[i] >= '0' && s[i] <= '9') {
            if (digits >= 9) return false;
            v = v * 10 + (s[i++] - '0');
            ++digits;
        }
        out.emplace_back(v, digits);
        if (i < n) {
            if (seps.find(s[i]) == std::string_view::npos) return false;
            ++i;
            if (i == n) return false;
        }
    }
    return !out.empty();
}

} // namespace

bool IsLeapYear(int year) {
    return year % 4 == 0 && (year % 100 != 0 || year % 400 == 0);
}

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    if (month < 1 || month > 12) return 0;
    return month == 2 && IsLeapYear(year) ? 29 : days[month - 1];
}

bool TryEncodeDate(int year, int month, int day, TDateTime& date) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    date = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                               kEpochOffset);
    return true;
}

bool TryEncodeTime(int hour, int min, int sec, int msec, TDateTime& time) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        return false;
    time = (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / MSecsPerDay;
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime d;
    if (!TryEncodeDate(year, month, day, d)) throw EConvertError("Invalid argument to date encode");
    return d;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec) {
    TDateTime t;
    if (!TryEncodeTime(hour, min, sec, msec, t)) throw EConvertError("Invalid argument to time encode");
    return t;
}

void DecodeDate(TDateTime date, int& year, int& month, int& day) {
    int64_t days, ms;
    Split(date, days, ms);
    CivilFromDays(days + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime time, int& hour, int& min, int& sec, int& msec) {
    int64_t days, ms;
    Split(time, days, ms);
    hour = static_cast<int>(ms / 3600000);
    min = static_cast<int>(ms / 60000 % 60);
    sec = static_cast<int>(ms / 1000 % 60);
    msec = static_cast<int>(ms % 1000);
}

int DayOfWeek(TDateTime date) {
    int64_t days, ms;
    Split(date, days, ms);
    return static_cast<int>(((days - 1) % 7 + 7) % 7) + 1;
}

TDateTime Now() {
    auto now = std::chrono::system_clock::now();
    std::time_t t = std::chrono::system_clock::to_time_t(now);
    std::tm tm{};
    localtime_r(&t, &tm);
    int ms = static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday) +
           EncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), ms < 0 ? 0 : ms);
}

TDateTime Date() {
    return std::trunc(Now());
}
TDateTime Time() {
    TDateTime n = Now();
    return n - std::trunc(n);
}

std::string FormatDateTime(std::string_view format, TDateTime value) {
    return FormatDateTime(format, value, FormatSettings());
}

std::string FormatDateTime(std::string_view format, TDateTime value, const TFormatSettings& fs) {
    std::string out;
    FormatTo(out, format.empty() ? std::string_view("c") : format, value, fs, 0);
    return out;
}

std::string DateToStr(TDateTime v) {
    return FormatDateTime("ddddd", v);
}
std::string DateToStr(TDateTime v, const TFormatSettings& fs) {
    return FormatDateTime("ddddd", v, fs);
}
std::string TimeToStr(TDateTime v) {
    return FormatDateTime("tt", v);
}
std::string TimeToStr(TDateTime v, const TFormatSettings& fs) {
    return FormatDateTime("tt", v, fs);
}
std::string DateTimeToStr(TDateTime v) {
    return FormatDateTime("c", v);
}
std::string DateTimeToStr(TDateTime v, const TFormatSettings& fs) {
    return FormatDateTime("c", v, fs);
}

bool TryStrToDate(std::string_view text, TDateTime& value, const TFormatSettings& fs) {
    std::string s = Trim(text);
    std::vector<std::pair<int, int>> nums;
    std::string seps(1, fs.DateSeparator);
    if (!Numbers(s, seps, nums) || nums.size() < 2 || nums.size() > 3) return false;
    // Field order from the short date format.
    std::string order;
    for (char c : fs.ShortDateFormat) {
        char u = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
        if ((u == 'D' || u == 'M' || u == 'Y') && order.find(u) == std::string::npos) order += u;
    }
    if (order.size() != 3) order = "MDY";
    int y = 0, m = 0, d = 0, yDigits = 4;
    bool haveYear = nums.size() == 3;
    if (!haveYear) order.erase(order.find('Y'), 1);
    for (size_t i = 0; i < order.size(); ++i) {
        int v = nums[i].first;
        if (order[i] == 'D')
            d = v;
        else if (order[i] == 'M')
            m = v;
        else {
            y = v;
            yDigits = nums[i].second;
        }
    }
    if (!haveYear)
        y = CurrentYear();
    else if (yDigits <= 2) {
        int cur = CurrentYear();
        if (fs.TwoDigitYearCenturyWindow > 0) {
            int threshold = cur - fs.TwoDigitYearCenturyWindow;
            y += threshold / 100 * 100;
            if (y < threshold) y += 100;
        } else {
            y += cur / 100 * 100;
        }
    }
    return TryEncodeDate(y, m, d, value);
}

bool TryStrToTime(std::string_view text, TDateTime& value, const TFormatSettings& fs) {
    std::string s = Trim(text);
    int pm = -1; // -1 none, 0 AM, 1 PM
    auto endsWith = [&](const std::string& suffix) {
        return !suffix.empty() && s.size() >= suffix.size() &&
               SameText(std::string_view(s).substr(s.size() - suffix.size()), suffix);
    };
    for (const auto& [suffix, isPm] : std::vector<std::pair<std::string, int>>{
             {fs.TimeAMString, 0}, {fs.TimePMString, 1}, {"AM", 0}, {"PM", 1}, {"A", 0}, {"P", 1}}) {
        if (endsWith(suffix)) {
            pm = isPm;
            s = TrimRight(std::string_view(s).substr(0, s.size() - suffix.size()));
            break;
        }
    }
    std::string main = s, fracPart;
    if (size_t dot = s.find('.'); dot != std::string::npos) {
        main = s.substr(0, dot);
        fracPart = s.substr(dot + 1);
        if (fracPart.empty() || fracPart.size() > 3 ||
            fracPart.find_first_not_of("0123456789") != std::string::npos)
            return false;
    }
    std::vector<std::pair<int, int>> nums;
    if (!Numbers(main, std::string(1, fs.TimeSeparator), nums) || nums.size() > 3) return false;
    if (!fracPart.empty() && nums.size() != 3) return false;
    int h = nums[0].first, mi = nums.size() > 1 ? nums[1].first : 0,
        sec = nums.size() > 2 ? nums[2].first : 0;
    int msec = 0;
    if (!fracPart.empty()) {
        while (fracPart.size() < 3) fracPart += '0';
        msec = std::stoi(fracPart);
    }
    if (pm >= 0) {
        if (h < 1 || h > 12) return false;
        h = h % 12 + (pm ? 12 : 0);
    }
    return TryEncodeTime(h, mi, sec, msec, value);
}

bool TryStrToDateTime(std::string_view text, TDateTime& value, const TFormatSettings& fs) {
    std::string s = Trim(text);
    size_t sp = s.find(' ');
    TDateTime d, t = 0;
    if (sp == std::string::npos) {
        if (TryStrToDate(s, d, fs)) return value = d, true;
        if (TryStrToTime(s, t, fs)) return value = t, true;
        return false;
    }
    if (!TryStrToDate(std::string_view(s).substr(0, sp), d, fs)) return false;
    if (!TryStrToTime(std::string_view(s).substr(sp + 1), t, fs)) return false;
    value = d + t;
    return true;
}

TDateTime StrToDate(std::string_view s) {
    return StrToDate(s, FormatSettings());
}
TDateTime StrToDate(std::string_view s, const TFormatSettings& fs) {
    TDateTime v;
    if (!TryStrToDate(s, v, fs)) throw EConvertError("'" + std::string(s) + "' is not a valid date");
    return v;
}
TDateTime StrToTime(std::string_view s) {
    return StrToTime(s, FormatSettings());
}
TDateTime StrToTime(std::string_view s, const TFormatSettings& fs) {
    TDateTime v;
    if (!TryStrToTime(s, v, fs)) throw EConvertError("'" + std::string(s) + "' is not a valid time");
    return v;
}
TDateTime StrToDateTime(std::string_view s) {
    return StrToDateTime(s, FormatSettings());
}
TDateTime StrToDateTime(std::string_view s, const TFormatSettings& fs) {
    TDateTime v;
    if (!TryStrToDateTime(s, v, fs))
        throw EConvertError("'" + std::string(s) + "' is not a valid date and time");
    return v;
}

} // namespace qel
