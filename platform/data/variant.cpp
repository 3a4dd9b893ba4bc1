#include "platform/data/variant.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "platform/core/exceptions.h"
#include "platform/core/strutils.h"

namespace qel {

namespace {
const char* TypeName(TVarType t) {
    switch (t) {
    case TVarType::Empty: return "(Empty)";
    case TVarType::Null: return "(Null)";
    case TVarType::Boolean: return "(Boolean)";
    case TVarType::Integer: return "(Integer)";
    case TVarType::Float: return "(Double)";
    case TVarType::Currency: return "(Currency)";
    case TVarType::DateTime: return "(Date)";
    case TVarType::String: return "(String)";
    case TVarType::Bytes: return "(Array of Byte)";
    case TVarType::Array: return "(Array)";
    }
    return "(Unknown)";
}
[[noreturn]] void CannotConvert(TVarType from, const char* to) {
    throw EConvertError(std::string("Could not convert variant of type ") + TypeName(from) + " into type " +
                        to);
}
} // namespace

Variant Variant::Null() {
    Variant v;
    v.FType = TVarType::Null;
    return v;
}
Variant Variant::FromCurrency(double x) {
    Variant v(x);
    v.FType = TVarType::Currency;
    return v;
}
Variant Variant::FromDateTime(TDateTime x) {
    Variant v(x);
    v.FType = TVarType::DateTime;
    return v;
}
Variant Variant::FromBytes(std::string bytes) {
    Variant v;
    v.FType = TVarType::Bytes;
    v.FStr = std::move(bytes);
    return v;
}
Variant Variant::ArrayOf(std::vector<Variant> items) {
    Variant v;
    v.FType = TVarType::Array;
    v.FArr = std::move(items);
    return v;
}

bool Variant::AsBoolean() const {
    switch (FType) {
    case TVarType::Boolean:
    case TVarType::Integer: return FInt != 0;
    case TVarType::Float:
    case TVarType::Currency:
    case TVarType::DateTime: return FFloat != 0;
    case TVarType::String: return dbconv::TextToBool(FStr);
    default: CannotConvert(FType, "(Boolean)");
    }
}

int64_t Variant::AsInteger() const {
    switch (FType) {
    case TVarType::Boolean:
    case TVarType::Integer: return FInt;
    case TVarType::Float:
    case TVarType::Currency:
    case TVarType::DateTime: {
        double r = std::nearbyint(FFloat);
        if (!(r >= -9.2e18 && r <= 9.2e18)) CannotConvert(FType, "(Integer)");
        return static_cast<int64_t>(r);
    }
    case TVarType::String: return dbconv::TextToInt(FStr);
    default: CannotConvert(FType, "(Integer)");
    }
}

double Variant::AsFloat() const {
    switch (FType) {
    case TVarType::Boolean:
    case TVarType::Integer: return static_cast<double>(FInt);
    case TVarType::Float:
    case TVarType::Currency:
    case TVarType::DateTime: return FFloat;
    case TVarType::String: return dbconv::TextToFloat(FStr);
    default: CannotConvert(FType, "(Double)");
    }
}

TDateTime Variant::AsDateTime() const {
    switch (FType) {
    case TVarType::Integer: return static_cast<double>(FInt);
    case TVarType::Float:
    case TVarType::Currency:
    case TVarType::DateTime: return FFloat;
    case TVarType::String: return dbconv::TextToDateTime(FStr);
    default: CannotConvert(FType, "(Date)");
    }
}

std::string Variant::AsString() const {
    switch (FType) {
    case TVarType::Empty:
    case TVarType::Null: return {};
    case TVarType::Boolean: return FInt ? "True" : "False";
    case TVarType::Integer: return std::to_string(FInt);
    case TVarType::Float:
    case TVarType::Currency: return dbconv::FloatToText(FFloat);
    case TVarType::DateTime: return dbconv::DateTimeToText(FFloat);
    case TVarType::String:
    case TVarType::Bytes: return FStr;
    case TVarType::Array: CannotConvert(FType, "(String)");
    }
    return {};
}

const Variant& Variant::operator[](int index) const {
    if (FType != TVarType::Array) throw EConvertError("Variant is not an array");
    if (index < 0 || index >= static_cast<int>(FArr.size()))
        throw EConvertError("Variant array index out of bounds");
    return FArr[static_cast<size_t>(index)];
}

bool Variant::operator==(const Variant& o) const {
    if (IsNull() || o.IsNull()) return IsNull() && o.IsNull();
    if (FType == TVarType::Array || o.FType == TVarType::Array) return FType == o.FType && FArr == o.FArr;
    if (FType == TVarType::String || FType == TVarType::Bytes || o.FType == TVarType::String ||
        o.FType == TVarType::Bytes)
        return FType == o.FType && FStr == o.FStr;
    if ((FType == TVarType::Integer || FType == TVarType::Boolean) &&
        (o.FType == TVarType::Integer || o.FType == TVarType::Boolean))
        return FInt == o.FInt;
    return AsFloat() == o.AsFloat();
}

namespace dbconv {

namespace {
// Days from 1970-01-01 of a proleptic Gregorian date.
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
const int64_t kEpochOffset = DaysFromCivil(1899, 12, 30);

bool IsLeap(int y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}
int DaysInMonth(int y, int m) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

const char* const kShortMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                    "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonths[] = {"January", "February", "March",     "April",   "May",      "June",
                                   "July",    "August",   "September", "October", "November", "December"};
const char* const kShortDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                                 "Thursday", "Friday", "Saturday"};

// Splits a time fraction into milliseconds of the day (rounded).
int64_t MsOfDay(TDateTime dt) {
    double frac = dt - std::floor(dt);
    auto ms = static_cast<int64_t>(std::llround(frac * 86400000.0));
    if (ms >= 86400000) ms = 86399999;
    return ms;
}

struct Parser {
    std::string_view s;
    size_t p = 0;
    void Blanks() {
        while (p < s.size() && (s[p] == ' ' || s[p] == '\t')) ++p;
    }
    bool Number(int& out, int maxDigits = 9) {
        size_t start = p;
        long v = 0;
        while (p < s.size() && s[p] >= '0' && s[p] <= '9' && p - start < static_cast<size_t>(maxDigits))
            v = v * 10 + (s[p++] - '0');
        if (p == start) return false;
        out = static_cast<int>(v);
        return true;
    }
    bool Eat(char c) {
        if (p < s.size() && s[p] == c) {
            ++p;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return p >= s.size(); }
};

bool ParseDatePart(Parser& ps, TDateTime& out) {
    int a, b, c;
    size_t start = ps.p;
    if (!ps.Number(a)) return false;
    char sep = ps.p < ps.s.size() ? ps.s[ps.p] : 0;
    if (sep != '-' && sep != '/' && sep != '.') return false;
    ++ps.p;
    if (!ps.Number(b)) return false;
    if (!ps.Eat(sep)) return false;
    if (!ps.Number(c)) return false;
    (void)start;
    int y = c, m = b, d = a; // d.m.yyyy
    if (sep == '-')
        y = a, m = b, d = c;
    else if (sep == '/')
        m = a, d = b, y = c;
    if (sep != '-' && y < 100) y += y < 50 ? 2000 : 1900;
    return TryEncodeDate(y, m, d, out);
}

bool ParseTimePart(Parser& ps, TDateTime& out) {
    int h, n, sec = 0, ms = 0;
    if (!ps.Number(h, 2)) return false;
    if (!ps.Eat(':')) return false;
    if (!ps.Number(n, 2)) return false;
    if (ps.Eat(':')) {
        if (!ps.Number(sec, 2)) return false;
        if (ps.Eat('.')) {
            size_t start = ps.p;
            int frac = 0;
            if (!ps.Number(frac, 3)) return false;
            size_t digits = ps.p - start;
            while (digits < 3) frac *= 10, ++digits;
            ms = frac;
            while (!ps.AtEnd() && ps.s[ps.p] >= '0' && ps.s[ps.p] <= '9') ++ps.p;
        }
    }
    ps.Blanks();
    if (ps.p + 1 < ps.s.size() + 1 && ps.p + 2 <= ps.s.size()) {
        std::string ampm = UpperCase(ps.s.substr(ps.p, 2));
        if (ampm == "AM" || ampm == "PM") {
            if (h < 1 || h > 12) return false;
            if (ampm == "AM" && h == 12) h = 0;
            if (ampm == "PM" && h != 12) h += 12;
            ps.p += 2;
        }
    }
    if (h > 23 || n > 59 || sec > 59 || ms > 999) return false;
    out = (h * 3600000.0 + n * 60000.0 + sec * 1000.0 + ms) / 86400000.0;
    return true;
}
} // namespace

bool TryEncodeDate(int year, int month, int day, TDateTime& out) {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    out = static_cast<double>(DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) -
                              kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day) {
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r)) throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int ms) {
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || ms < 0 || ms > 999)
        throw EConvertError("Invalid argument to time encode");
    return (hour * 3600000.0 + min * 60000.0 + sec * 1000.0 + ms) / 86400000.0;
}

void DecodeDate(TDateTime dt, int& year, int& month, int& day) {
    if (!std::isfinite(dt) || std::fabs(dt) > 3e6) {
        year = month = day = 0;
        return;
    }
    CivilFromDays(static_cast<int64_t>(std::floor(dt)) + kEpochOffset, year, month, day);
}

void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& ms) {
    if (!std::isfinite(dt)) {
        hour = min = sec = ms = 0;
        return;
    }
    int64_t t = MsOfDay(dt);
    hour = static_cast<int>(t / 3600000);
    min = static_cast<int>(t / 60000 % 60);
    sec = static_cast<int>(t / 1000 % 60);
    ms = static_cast<int>(t % 1000);
}

std::string DateToText(TDateTime dt) {
    int y, m, d;
    DecodeDate(dt, y, m, d);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d", y, m, d);
    return buf;
}

std::string TimeToText(TDateTime dt) {
    int h, n, s, ms;
    DecodeTime(dt, h, n, s, ms);
    char buf[32];
    if (ms)
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d.%03d", h, n, s, ms);
    else
        std::snprintf(buf, sizeof buf, "%02d:%02d:%02d", h, n, s);
    return buf;
}

std::string DateTimeToText(TDateTime dt) {
    if (MsOfDay(dt) == 0) return DateToText(dt);
    return DateToText(dt) + " " + TimeToText(dt);
}

bool TryTextToDateTime(std::string_view text, TDateTime& out) {
    std::string t = Trim(text);
    Parser ps{t};
    TDateTime date = 0, time = 0;
    size_t save = ps.p;
    bool hasDate = ParseDatePart(ps, date);
    if (!hasDate) ps.p = save;
    if (hasDate) {
        if (ps.AtEnd()) {
            out = date;
            return true;
        }
        if (!ps.Eat('T')) ps.Blanks();
    }
    if (!ParseTimePart(ps, time)) return false;
    ps.Blanks();
    if (!ps.AtEnd()) return false;
    out = date + time;
    return true;
}

TDateTime TextToDateTime(std::string_view s) {
    TDateTime r;
    if (!TryTextToDateTime(s, r))
        throw EConvertError("'" + std::string(s) + "' is not a valid date and time");
    return r;
}

TDateTime TextToDate(std::string_view s) {
    std::string t = Trim(s);
    Parser ps{t};
    TDateTime r;
    if (!ParseDatePart(ps, r) || !ps.AtEnd())
        throw EConvertError("'" + std::string(s) + "' is not a valid date");
    return r;
}

TDateTime TextToTime(std::string_view s) {
    std::string t = Trim(s);
    Parser ps{t};
    TDateTime r;
    if (!ParseTimePart(ps, r)) throw EConvertError("'" + std::string(s) + "' is not a valid time");
    ps.Blanks();
    if (!ps.AtEnd()) throw EConvertError("'" + std::string(s) + "' is not a valid time");
    return r;
}

std::string FloatToText(double v) {
    if (std::isnan(v)) return "NAN";
    if (std::isinf(v)) return v > 0 ? "INF" : "-INF";
    char buf[64];
    auto res = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, res.ptr);
}

bool TryTextToFloat(std::string_view s, double& out) {
    std::string t = Trim(s);
    if (t.empty()) return false;
    const char* b = t.data();
    if (*b == '+') ++b;
    auto res = std::from_chars(b, t.data() + t.size(), out);
    return res.ec == std::errc() && res.ptr == t.data() + t.size() && std::isfinite(out);
}

double TextToFloat(std::string_view s) {
    double r;
    if (!TryTextToFloat(s, r))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return r;
}

bool TryTextToInt(std::string_view s, int64_t& out) {
    std::string t = Trim(s);
    if (t.empty()) return false;
    const char* b = t.data();
    if (*b == '+') ++b;
    auto res = std::from_chars(b, t.data() + t.size(), out);
    return res.ec == std::errc() && res.ptr == t.data() + t.size();
}

int64_t TextToInt(std::string_view s) {
    int64_t r;
    if (!TryTextToInt(s, r)) throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return r;
}

bool TextToBool(std::string_view s) {
    std::string u = UpperCase(Trim(s));
    if (u == "TRUE" || u == "T" || u == "YES" || u == "Y" || u == "1") return true;
    if (u == "FALSE" || u == "F" || u == "NO" || u == "N" || u == "0") return false;
    throw EConvertError("'" + std::string(s) + "' is not a valid boolean value");
}

std::string FormatFloat(std::string_view format, double value) {
    if (format.empty()) return FloatToText(value);
    // Pick the section: positive;negative;zero.
    std::vector<std::string> sections;
    {
        std::string cur;
        char quote = 0;
        for (char c : format) {
            if (quote) {
                if (c == quote) quote = 0;
                cur += c;
            } else if (c == '"' || c == '\'') {
                quote = c;
                cur += c;
            } else if (c == ';') {
                sections.push_back(cur);
                cur.clear();
            } else
                cur += c;
        }
        sections.push_back(cur);
    }
    std::string sec = sections[0];
    bool neg = value < 0;
    bool useNegSection = neg && sections.size() > 1 && !sections[1].empty();
    if (useNegSection) sec = sections[1];
    if (value == 0 && sections.size() > 2 && !sections[2].empty()) sec = sections[2];
    double av = std::fabs(value);
    // Analyse the picture.
    int intZeros = 0, fracZeros = 0, fracHashes = 0;
    bool thousands = false, inFrac = false, hasPoint = false, sci = false;
    int expDigits = 0;
    bool expPlus = false;
    for (size_t i = 0; i < sec.size(); ++i) {
        char c = sec[i];
        if (c == '"' || c == '\'') {
            size_t j = sec.find(c, i + 1);
            i = j == std::string::npos ? sec.size() : j;
            continue;
        }
        if ((c == 'E' || c == 'e') && i + 1 < sec.size() && (sec[i + 1] == '+' || sec[i + 1] == '-')) {
            sci = true;
            expPlus = sec[i + 1] == '+';
            size_t j = i + 2;
            while (j < sec.size() && sec[j] == '0') ++expDigits, ++j;
            i = j - 1;
            continue;
        }
        if (c == '0')
            (inFrac ? fracZeros : intZeros)++, (void)0;
        else if (c == '#') {
            if (inFrac) fracHashes++;
        } else if (c == '.')
            inFrac = hasPoint = true;
        else if (c == ',')
            thousands = true;
    }
    (void)hasPoint;
    int decimals = fracZeros + fracHashes;
    std::string digits;
    int exponent = 0;
    if (sci) {
        if (av != 0) {
            exponent = static_cast<int>(std::floor(std::log10(av)));
            int intCount = std::max(intZeros, 1);
            exponent -= intCount - 1;
            av /= std::pow(10.0, exponent);
            // Rounding may carry to an extra digit.
            double scale = std::pow(10.0, decimals);
            if (std::nearbyint(av * scale) / scale >= std::pow(10.0, intCount)) {
                av /= 10;
                exponent++;
            }
        }
    }
    char buf[512];
    std::snprintf(buf, sizeof buf, "%.*f", decimals, av);
    std::string num = buf;
    std::string ip = num, fp;
    if (auto dot = num.find('.'); dot != std::string::npos) ip = num.substr(0, dot), fp = num.substr(dot + 1);
    // Trim optional fraction digits.
    while (static_cast<int>(fp.size()) > fracZeros && !fp.empty() && fp.back() == '0') fp.pop_back();
    if (ip == "0" && intZeros == 0) ip.clear();
    while (static_cast<int>(ip.size()) < intZeros) ip.insert(ip.begin(), '0');
    if (thousands && ip.size() > 3) {
        std::string g;
        int cnt = 0;
        for (size_t i = ip.size(); i-- > 0;) {
            g.insert(g.begin(), ip[i]);
            if (++cnt % 3 == 0 && i > 0) g.insert(g.begin(), ',');
        }
        ip = g;
    }
    std::string numText = ip;
    if (!fp.empty()) numText += "." + fp;
    if (sci) {
        std::string e = std::to_string(std::abs(exponent));
        while (static_cast<int>(e.size()) < expDigits) e.insert(e.begin(), '0');
        numText += std::string("E") + (exponent < 0 ? "-" : (expPlus ? "+" : "")) + e;
    }
    // Rebuild: literals around the digit block stay in place.
    std::string out;
    bool placed = false;
    bool allZero = true;
    for (char c : numText)
        if (c >= '1' && c <= '9') allZero = false;
    if (neg && !useNegSection && !allZero) out += '-';
    for (size_t i = 0; i < sec.size(); ++i) {
        char c = sec[i];
        if (c == '"' || c == '\'') {
            size_t j = sec.find(c, i + 1);
            if (j == std::string::npos) j = sec.size();
            out += sec.substr(i + 1, j - i - 1);
            i = j;
            continue;
        }
        if (c == '0' || c == '#' || c == '.' || c == ',') {
            if (!placed) out += numText, placed = true;
            continue;
        }
        if ((c == 'E' || c == 'e') && sci && i + 1 < sec.size() && (sec[i + 1] == '+' || sec[i + 1] == '-')) {
            i += 1;
            while (i + 1 < sec.size() && sec[i + 1] == '0') ++i;
            continue;
        }
        out += c;
    }
    if (!placed) out += numText;
    return out;
}

std::string FormatDateTime(std::string_view format, TDateTime dt) {
    if (format.empty()) return DateTimeToText(dt);
    int y, m, d, h, n, s, ms;
    DecodeDate(dt, y, m, d);
    DecodeTime(dt, h, n, s, ms);
    int64_t days = static_cast<int64_t>(std::floor(dt)) + kEpochOffset; // days since 1970-01-01 (a Thursday)
    int dow = static_cast<int>(((days % 7) + 7 + 4) % 7);
    bool twelve = false;
    {
        std::string u = UpperCase(format);
        twelve = u.find("AM/PM") != std::string::npos || u.find("A/P") != std::string::npos ||
                 u.find("AMPM") != std::string::npos;
    }
    std::string out;
    bool lastWasHour = false;
    auto two = [](int v) {
        char b[16];
        std::snprintf(b, sizeof b, "%02d", v);
        return std::string(b);
    };
    size_t i = 0;
    auto count = [&](char c) {
        size_t k = i;
        while (k < format.size() && (format[k] == c || format[k] == (c ^ 0x20))) ++k;
        return k - i;
    };
    while (i < format.size()) {
        char c = format[i];
        char lc = static_cast<char>(c | 0x20);
        if (c == '"' || c == '\'') {
            size_t j = format.find(c, i + 1);
            if (j == std::string_view::npos) j = format.size();
            out += format.substr(i + 1, j - i - 1);
            i = j + 1;
            continue;
        }
        if (lc == 'a' && (UpperCase(format.substr(i, 5)) == "AM/PM")) {
            out += h < 12 ? "AM" : "PM";
            i += 5;
            continue;
        }
        if (lc == 'a' && UpperCase(format.substr(i, 4)) == "AMPM") {
            out += h < 12 ? "AM" : "PM";
            i += 4;
            continue;
        }
        if (lc == 'a' && UpperCase(format.substr(i, 3)) == "A/P") {
            out += h < 12 ? "A" : "P";
            i += 3;
            continue;
        }
        size_t k = (lc >= 'a' && lc <= 'z') ? count(c) : 1;
        int hh = twelve ? (h % 12 == 0 ? 12 : h % 12) : h;
        switch (lc) {
        case 'y': out += k <= 2 ? two(y % 100) : std::to_string(y); break;
        case 'm':
            if (lastWasHour && k <= 2)
                out += k == 1 ? std::to_string(n) : two(n);
            else if (k == 1)
                out += std::to_string(m);
            else if (k == 2)
                out += two(m);
            else if (k == 3)
                out += kShortMonths[m - 1];
            else
                out += kLongMonths[m - 1];
            break;
        case 'd':
            if (k == 1)
                out += std::to_string(d);
            else if (k == 2)
                out += two(d);
            else if (k == 3)
                out += kShortDays[dow];
            else
                out += kLongDays[dow];
            break;
        case 'h': out += k == 1 ? std::to_string(hh) : two(hh); break;
        case 'n': out += k == 1 ? std::to_string(n) : two(n); break;
        case 's': out += k == 1 ? std::to_string(s) : two(s); break;
        case 'z': {
            char b[16];
            std::snprintf(b, sizeof b, k >= 3 ? "%03d" : "%d", ms);
            out += b;
            break;
        }
        default: out += std::string(format.substr(i, k)); break;
        }
        if (lc == 'h')
            lastWasHour = true;
        else if (lc >= 'a' && lc <= 'z')
            lastWasHour = false;
        i += k;
    }
    return out;
}

} // namespace dbconv
} // namespace qel
