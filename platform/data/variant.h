#pragma once
// Variant: the dynamically typed value of fields, parameters, key searches and lookups (unassigned,
// null, Boolean, integer, float, currency, date-time, text, raw bytes or an array of variants).
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/data/db_types.h"

namespace qel {

enum class TVarType : uint8_t {
    Empty,
    Null,
    Boolean,
    Integer,
    Float,
    Currency,
    DateTime,
    String,
    Bytes,
    Array
};

class Variant {
public:
    Variant() = default; // unassigned
    Variant(bool v) : FType(TVarType::Boolean), FInt(v ? 1 : 0) {}
    Variant(int v) : FType(TVarType::Integer), FInt(v) {}
    Variant(long v) : FType(TVarType::Integer), FInt(v) {}
    Variant(long long v) : FType(TVarType::Integer), FInt(static_cast<int64_t>(v)) {}
    Variant(unsigned v) : FType(TVarType::Integer), FInt(v) {}
    Variant(double v) : FType(TVarType::Float), FFloat(v) {}
    Variant(const char* v) : FType(TVarType::String), FStr(v ? v : "") {}
    Variant(std::string v) : FType(TVarType::String), FStr(std::move(v)) {}
    Variant(std::string_view v) : FType(TVarType::String), FStr(v) {}

    static Variant Null();
    static Variant FromCurrency(double v);
    static Variant FromDateTime(TDateTime v);
    static Variant FromBytes(std::string bytes);
    static Variant ArrayOf(std::vector<Variant> items);

    TVarType Type() const { return FType; }
    bool IsEmpty() const { return FType == TVarType::Empty; }
    // Unassigned or null.
    bool IsNull() const { return FType == TVarType::Empty || FType == TVarType::Null; }
    bool IsArray() const { return FType == TVarType::Array; }
    bool IsNumeric() const {
        return FType == TVarType::Integer || FType == TVarType::Float || FType == TVarType::Currency ||
               FType == TVarType::Boolean;
    }

    // Conversions; text that does not convert raises EConvertError, null raises EConvertError too
    // ("Could not convert variant of type (Null) into type ...").
    bool AsBoolean() const;
    int64_t AsInteger() const;
    double AsFloat() const;
    TDateTime AsDateTime() const;
    // Text of the value; null gives "".
    std::string AsString() const;
    const std::string& Bytes() const { return FStr; }

    // Array access (EVariantError-like EConvertError when not an array or out of bounds).
    int ArrayCount() const { return FType == TVarType::Array ? static_cast<int>(FArr.size()) : 0; }
    const Variant& operator[](int index) const;
    const std::vector<Variant>& Items() const { return FArr; }

    // Same type class and value (numbers compare numerically, null equals null).
    bool operator==(const Variant& o) const;

private:
    TVarType FType = TVarType::Empty;
    int64_t FInt = 0;
    double FFloat = 0;
    std::string FStr;
    std::vector<Variant> FArr;
};

inline Variant VarArrayOf(std::initializer_list<Variant> items) {
    return Variant::ArrayOf(std::vector<Variant>(items));
}

// Conversions between numbers, dates and text used by the data layer. Dates are written with
// four-digit years and times with milliseconds when they have them, so text always round-trips.
namespace dbconv {

TDateTime EncodeDate(int year, int month, int day);       // EConvertError on an invalid date
TDateTime EncodeTime(int hour, int min, int sec, int ms); // EConvertError on an invalid time
bool TryEncodeDate(int year, int month, int day, TDateTime& out);
void DecodeDate(TDateTime dt, int& year, int& month, int& day);
void DecodeTime(TDateTime dt, int& hour, int& min, int& sec, int& ms);

std::string DateToText(TDateTime dt);     // yyyy-mm-dd
std::string TimeToText(TDateTime dt);     // hh:nn:ss[.zzz]
std::string DateTimeToText(TDateTime dt); // yyyy-mm-dd hh:nn:ss[.zzz] (date only when no time part)
// Accepts yyyy-mm-dd, m/d/yyyy and d.m.yyyy dates, hh:nn[:ss[.zzz]] times with optional AM/PM,
// and a date followed by a time ("T" or blank between them). EConvertError on anything else.
TDateTime TextToDate(std::string_view s);
TDateTime TextToTime(std::string_view s);
TDateTime TextToDateTime(std::string_view s);
bool TryTextToDateTime(std::string_view s, TDateTime& out);

// Shortest text that reads back to the same double.
std::string FloatToText(double v);
double TextToFloat(std::string_view s); // EConvertError: "'x' is not a valid floating point value"
bool TryTextToFloat(std::string_view s, double& out);
int64_t TextToInt(std::string_view s); // EConvertError: "'x' is not a valid integer value"
bool TryTextToInt(std::string_view s, int64_t& out);
bool TextToBool(std::string_view s); // True/False/T/F/Yes/No/Y/N/1/0, any case

// Number formatting with a picture as the platform's FormatFloat: sections separated by ';',
// '0' and '#' digits, '.', ',' thousands, 'E+'/'E-' exponent, quoted literals.
std::string FormatFloat(std::string_view format, double value);
// Date formatting as the platform's FormatDateTime for the common specifiers (d, dd, ddd, dddd,
// m, mm, mmm, mmmm, yy, yyyy, h, hh, n, nn, s, ss, z, zzz, am/pm, ampm, '/', ':', quoted text).
std::string FormatDateTime(std::string_view format, TDateTime dt);

} // namespace dbconv
} // namespace qel
