#pragma once
// Number formatting and conversion: Format with the platform's specifiers, integer and float
// conversions, FormatFloat pictures and currency formatting. All follow a TFormatSettings record:
// the process-wide one, or one passed explicitly.
//
//   Format("%-8s|%5.1f|%x|%0:s", {"ab", 3.14159, 255})  -> "ab      |  3.1|FF|ab"
//   Format("%d items", 3)                               -> "3 items"
//   FormatFloat("#,##0.00;(#,##0.00);zero", -1234.5)    -> "(1,234.50)"
//   FloatToStrF(1234.5, ffCurrency, 15, 2)              -> "$1,234.50"
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include "platform/core/exceptions.h"
#include "platform/core/formatsettings.h"

namespace qel {

// One argument of Format: an integer (32- or 64-bit), a float, a string or a pointer.
class TVarRec {
public:
    enum class Kind { Int32, Int64, Float, String, Pointer };
    TVarRec(int v) : FKind(Kind::Int32), FInt(v) {}
    TVarRec(unsigned v) : FKind(Kind::Int64), FInt(v) {}
    TVarRec(long v) : FKind(Kind::Int64), FInt(v) {}
    TVarRec(long long v) : FKind(Kind::Int64), FInt(v) {}
    TVarRec(unsigned long v) : FKind(Kind::Int64), FInt(static_cast<int64_t>(v)) {}
    TVarRec(unsigned long long v) : FKind(Kind::Int64), FInt(static_cast<int64_t>(v)) {}
    TVarRec(short v) : FKind(Kind::Int32), FInt(v) {}
    TVarRec(unsigned short v) : FKind(Kind::Int32), FInt(v) {}
    TVarRec(double v) : FKind(Kind::Float), FFloat(v) {}
    TVarRec(float v) : FKind(Kind::Float), FFloat(v) {}
    TVarRec(char c) : FKind(Kind::String), FStr(1, c) {}
    TVarRec(const char* s) : FKind(Kind::String), FStr(s ? s : "") {}
    TVarRec(const std::string& s) : FKind(Kind::String), FStr(s) {}
    TVarRec(std::string_view s) : FKind(Kind::String), FStr(s) {}
    TVarRec(const void* p) : FKind(Kind::Pointer), FPtr(p) {}
    TVarRec(bool) = delete; // the platform has no boolean format

    Kind GetKind() const { return FKind; }
    bool IsInteger() const { return FKind == Kind::Int32 || FKind == Kind::Int64; }
    int64_t AsInt() const { return FInt; }
    double AsFloat() const { return FFloat; }
    const std::string& AsString() const { return FStr; }
    const void* AsPointer() const { return FPtr; }

private:
    Kind FKind;
    int64_t FInt = 0;
    double FFloat = 0;
    std::string FStr;
    const void* FPtr = nullptr;
};

// "%" ["index:"] ["-"] [width] ["." precision] type, with width, precision and index possibly "*";
// types d u e f g n m p s x (any case); "%%" is a percent sign. A format that does not fit its
// arguments raises EConvertError ("Format '%s' invalid or incompatible with argument").
std::string Format(std::string_view format, std::initializer_list<TVarRec> args);
std::string Format(const TFormatSettings& fs, std::string_view format, std::initializer_list<TVarRec> args);
std::string FormatV(const TFormatSettings& fs, std::string_view format, const std::vector<TVarRec>& args);
template <typename... A>
requires(sizeof...(A) > 0 && (!std::is_same_v<std::decay_t<A>, TFormatSettings> && ...)) std::string
    Format(std::string_view format, const A&... args) {
    return FormatV(FormatSettings(), format, {TVarRec(args)...});
}
inline std::string Format(std::string_view format) {
    return FormatV(FormatSettings(), format, {});
}

// ---- integers ----
std::string IntToStr(int64_t value);
// Upper-case hex with at least `digits` digits; negative 32-bit values as their 32-bit pattern.
std::string IntToHex(int value, int digits);
std::string IntToHex(int64_t value, int digits);
// Decimal with an optional sign, or hex after "$" or "0x"; blanks around are allowed.
// EConvertError "'%s' is not a valid integer value".
int StrToInt(std::string_view s);
int64_t StrToInt64(std::string_view s);
int StrToIntDef(std::string_view s, int def);
int64_t StrToInt64Def(std::string_view s, int64_t def);
bool TryStrToInt(std::string_view s, int& value);
bool TryStrToInt64(std::string_view s, int64_t& value);

// ---- floats ----
enum TFloatFormat { ffGeneral, ffExponent, ffFixed, ffNumber, ffCurrency };

std::string FloatToStr(double value);
std::string FloatToStr(double value, const TFormatSettings& fs);
// `precision` significant digits (1..18); `digits`: exponent digits (ffGeneral, ffExponent) or
// decimals (ffFixed, ffNumber, ffCurrency). Halves round away from zero.
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits);
std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs);
// Pictures of 0 # . , E+ E- 'literal' "literal" in up to three sections (positive;negative;zero).
std::string FormatFloat(std::string_view format, double value);
std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs);
// EConvertError "'%s' is not a valid floating point value".
double StrToFloat(std::string_view s);
double StrToFloat(std::string_view s, const TFormatSettings& fs);
double StrToFloatDef(std::string_view s, double def);
bool TryStrToFloat(std::string_view s, double& value);
bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs);

// ---- currency (a float with four decimals) ----
std::string CurrToStr(double value);
std::string CurrToStr(double value, const TFormatSettings& fs);
std::string CurrToStrF(double value, TFloatFormat format, int digits);
std::string CurrToStrF(double value, TFloatFormat format, int digits, const TFormatSettings& fs);
std::string FormatCurr(std::string_view format, double value);
std::string FormatCurr(std::string_view format, double value, const TFormatSettings& fs);

} // namespace qel
