#include "platform/core/format.h"

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace qel {

TFormatSettings DefaultFormatSettings() {
    return TFormatSettings();
}

TFormatSettings& FormatSettings() {
    static TFormatSettings fs;
    return fs;
}

namespace {

// A finite float as decimal digits: value = 0.D1D2D3... x 10^Exp (no leading or trailing zeros; no
// digits for zero).
struct TDecimal {
    bool Neg = false;
    std::string Digits;
    int Exp = 0;
};

TDecimal ToDecimal(double v) {
    TDecimal d;
    d.Neg = std::signbit(v);
    v = std::fabs(v);
    if (v == 0) return d;
    // 40 significant digits are exact enough to decide every rounding of a double's up to 17 digits.
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.39e", v);
    const char* p = buf;
    d.Digits += *p++;
    if (*p == '.') ++p;
    while (*p >= '0' && *p <= '9') d.Digits += *p++;
    if (*p == 'e') d.Exp = std::atoi(p + 1) + 1;
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
    return d;
}

// Keeps `count` significant digits, halves away from zero.
void RoundAt(TDecimal& d, int count) {
    if (count >= static_cast<int>(d.Digits.size())) return;
    if (count < 0) {
        d.Digits.clear();
        return;
    }
    bool up = d.Digits[static_cast<size_t>(count)] >= '5';
    d.Digits.resize(static_cast<size_t>(count));
    if (up) {
        int i = count - 1;
        while (i >= 0 && d.Digits[static_cast<size_t>(i)] == '9') d.Digits[static_cast<size_t>(i--)] = '0';
        if (i < 0) {
            d.Digits.insert(d.Digits.begin(), '1');
            d.Exp++;
        } else {
            d.Digits[static_cast<size_t>(i)]++;
        }
    }
    while (!d.Digits.empty() && d.Digits.back() == '0') d.Digits.pop_back();
}

char Digit(const TDecimal& d, int i) {
    return (i >= 0 && i < static_cast<int>(d.Digits.size())) ? d.Digits[static_cast<size_t>(i)] : '0';
}

std::string GroupThousands(const std::string& intPart, char sep) {
    if (!sep) return intPart;
    std::string out;
    int n = static_cast<int>(intPart.size());
    for (int i = 0; i < n; ++i) {
        if (i > 0 && (n - i) % 3 == 0) out += sep;
        out += intPart[static_cast<size_t>(i)];
    }
    return out;
}

// Integer and fraction digits of an already rounded decimal.
void SplitFixed(const TDecimal& d, int decimals, std::string& intPart, std::string& frac) {
    intPart.clear();
    if (d.Exp <= 0)
        intPart = "0";
    else
        for (int i = 0; i < d.Exp; ++i) intPart += Digit(d, i);
    frac.clear();
    for (int i = 0; i < decimals; ++i) frac += Digit(d, d.Exp + i);
}

std::string FixedText(TDecimal d, int decimals, bool thousands, const TFormatSettings& fs) {
    RoundAt(d, d.Exp + decimals);
    std::string ip, fr;
    SplitFixed(d, decimals, ip, fr);
    std::string s = thousands ? GroupThousands(ip, fs.ThousandSeparator) : ip;
    if (decimals > 0) s += fs.DecimalSeparator + fr;
    return s;
}

std::string ExponentText(int exp, int minDigits, bool alwaysSign) {
    std::string s = "E";
    if (exp < 0)
        s += '-';
    else if (alwaysSign)
        s += '+';
    std::string digits = std::to_string(std::abs(exp));
    if (static_cast<int>(digits.size()) < minDigits)
        digits.insert(0, static_cast<size_t>(minDigits) - digits.size(), '0');
    return s + digits;
}

std::string GeneralText(TDecimal d, int precision, int expDigits, const TFormatSettings& fs) {
    RoundAt(d, precision);
    if (d.Digits.empty()) return "0";
    int n = static_cast<int>(d.Digits.size());
    if (d.Exp > precision || d.Exp < -4) {
        std::string s(1, d.Digits[0]);
        if (n > 1) s += fs.DecimalSeparator + d.Digits.substr(1);
        return s + ExponentText(d.Exp - 1, expDigits, false);
    }
    std::string s;
    if (d.Exp <= 0) {
        s = "0";
        s += fs.DecimalSeparator;
        s.append(static_cast<size_t>(-d.Exp), '0');
        s += d.Digits;
    } else {
        for (int i = 0; i < d.Exp; ++i) s += Digit(d, i);
        if (n > d.Exp) s += fs.DecimalSeparator + d.Digits.substr(static_cast<size_t>(d.Exp));
    }
    return s;
}

std::string CurrencyText(const std::string& number, bool negative, const TFormatSettings& fs) {
    const std::string& c = fs.CurrencyString;
    if (!negative) {
        switch (fs.CurrencyFormat) {
        case 1: return number + c;
        case 2: return c + " " + number;
        case 3: return number + " " + c;
        default: return c + number;
        }
    }
    switch (fs.NegCurrFormat) {
    case 1: return "-" + c + number;
    case 2: return c + "-" + number;
    case 3: return c + number + "-";
    case 4: return "(" + number + c + ")";
    case 5: return "-" + number + c;
    case 6: return number + "-" + c;
    case 7: return number + c + "-";
    case 8: return "-" + number + " " + c;
    case 9: return "-" + c + " " + number;
    case 10: return number + " " + c + "-";
    case 11: return c + " " + number + "-";
    case 12: return c + " -" + number;
    case 13: return number + "- " + c;
    case 14: return "(" + c + " " + number + ")";
    case 15: return "(" + number + " " + c + ")";
    default: return "(" + c + number + ")";
    }
}

bool IsZeroAfterRounding(TDecimal d, int sigDigits) {
    RoundAt(d, sigDigits);
    return d.Digits.empty();
}

[[noreturn]] void FormatError(std::string_view format) {
    throw EConvertError("Format '" + std::string(format) + "' invalid or incompatible with argument");
}

std::string PadWidth(std::string s, int width, bool left) {
    if (width > static_cast<int>(s.size())) {
        size_t pad = static_cast<size_t>(width) - s.size();
        if (left)
            s.append(pad, ' ');
        else
            s.insert(0, pad, ' ');
    }
    return s;
}

std::string HexDigits(uint64_t v, int minDigits) {
    static const char* hex = "0123456789ABCDEF";
    std::string s;
    do {
        s.insert(s.begin(), hex[v & 15]);
        v >>= 4;
    } while (v);
    if (static_cast<int>(s.size()) < minDigits) s.insert(0, static_cast<size_t>(minDigits) - s.size(), '0');
    return s;
}

} // namespace

// ---- Format --------------------------------------------------------------------------------------

std::string Format(std::string_view format, std::initializer_list<TVarRec> args) {
    return FormatV(FormatSettings(), format, std::vector<TVarRec>(args));
}

std::string Format(const TFormatSettings& fs, std::string_view format, std::initializer_list<TVarRec> args) {
    return FormatV(fs, format, std::vector<TVarRec>(args));
}

std::string FormatV(const TFormatSettings& fs, std::string_view format, const std::vector<TVarRec>& args) {
    std::string out;
    size_t argIndex = 0;
    size_t i = 0, n = format.size();
    auto nextArg = [&]() -> const TVarRec& {
        if (argIndex >= args.size())
            throw EConvertError("No argument for format '" + std::string(format) + "'");
        return args[argIndex++];
    };
    auto readNumber = [&](int& value) -> bool {
        if (i < n && format[i] == '*') {
            ++i;
            const TVarRec& a = nextArg();
            if (!a.IsInteger()) FormatError(format);
            value = static_cast<int>(a.AsInt());
            return true;
        }
        if (i >= n || format[i] < '0' || format[i] > '9') return false;
        int64_t v = 0;
        while (i < n && format[i] >= '0' && format[i] <= '9') {
            v = v * 10 + (format[i++] - '0');
            if (v > 100000) FormatError(format);
        }
        value = static_cast<int>(v);
        return true;
    };
    while (i < n) {
        char c = format[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        ++i;
        if (i < n && format[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        // ["index:"] ["-"] [width] ["." prec] type
        int num = -1;
        bool haveNum = readNumber(num);
        if (haveNum && i < n && format[i] == ':') {
            ++i;
            if (num < 0) FormatError(format);
            argIndex = static_cast<size_t>(num);
            haveNum = false;
            num = -1;
        }
        bool left = false;
        int width = -1;
        if (!haveNum) {
            if (i < n && format[i] == '-') {
                left = true;
                ++i;
            }
            readNumber(width);
        } else {
            width = num;
        }
        int prec = -1;
        if (i < n && format[i] == '.') {
            ++i;
            if (!readNumber(prec)) prec = 0;
        }
        if (i >= n) FormatError(format);
        char type = static_cast<char>(format[i++] | 0x20);
        const TVarRec& a = nextArg();
        std::string s;
        auto asFloat = [&]() -> double {
            if (a.GetKind() == TVarRec::Kind::Float) return a.AsFloat();
            if (a.IsInteger()) return static_cast<double>(a.AsInt());
            FormatError(format);
        };
        switch (type) {
        case 'd': {
            if (!a.IsInteger()) FormatError(format);
            int64_t v = a.AsInt();
            std::string digits = v < 0 ? std::to_string(0 - static_cast<uint64_t>(v)) : std::to_string(v);
            if (prec > static_cast<int>(digits.size()))
                digits.insert(0, static_cast<size_t>(prec) - digits.size(), '0');
            s = (v < 0 ? "-" : "") + digits;
            break;
        }
        case 'u': {
            if (!a.IsInteger()) FormatError(format);
            uint64_t v = a.GetKind() == TVarRec::Kind::Int32 ? static_cast<uint32_t>(a.AsInt())
                                                             : static_cast<uint64_t>(a.AsInt());
            s = std::to_string(v);
            if (prec > static_cast<int>(s.size())) s.insert(0, static_cast<size_t>(prec) - s.size(), '0');
            break;
        }
        case 'x': {
            if (!a.IsInteger()) FormatError(format);
            uint64_t v = a.GetKind() == TVarRec::Kind::Int32 ? static_cast<uint32_t>(a.AsInt())
                                                             : static_cast<uint64_t>(a.AsInt());
            s = HexDigits(v, prec);
            break;
        }
        case 'e': s = FloatToStrF(asFloat(), ffExponent, prec < 0 ? 15 : prec, 3, fs); break;
        case 'f': s = FloatToStrF(asFloat(), ffFixed, 18, prec < 0 ? 2 : prec, fs); break;
        case 'g': s = FloatToStrF(asFloat(), ffGeneral, prec < 0 ? 15 : prec, 0, fs); break;
        case 'n': s = FloatToStrF(asFloat(), ffNumber, 18, prec < 0 ? 2 : prec, fs); break;
        case 'm':
            s = FloatToStrF(asFloat(), ffCurrency, 18, prec < 0 ? fs.CurrencyDecimals : prec, fs);
            break;
        case 'p': {
            if (a.GetKind() != TVarRec::Kind::Pointer) FormatError(format);
            s = HexDigits(reinterpret_cast<uintptr_t>(a.AsPointer()), static_cast<int>(sizeof(void*) * 2));
            break;
        }
        case 's': {
            if (a.GetKind() != TVarRec::Kind::String) FormatError(format);
            s = a.AsString();
            if (prec >= 0 && static_cast<size_t>(prec) < s.size()) s.resize(static_cast<size_t>(prec));
            break;
        }
        default: FormatError(format);
        }
        out += PadWidth(std::move(s), width, left);
    }
    return out;
}

// ---- integers ------------------------------------------------------------------------------------

std::string IntToStr(int64_t value) {
    return std::to_string(value);
}

std::string IntToHex(int value, int digits) {
    return HexDigits(static_cast<uint32_t>(value), digits);
}
std::string IntToHex(int64_t value, int digits) {
    return HexDigits(static_cast<uint64_t>(value), digits);
}

bool TryStrToInt64(std::string_view s, int64_t& value) {
    size_t i = 0, n = s.size();
    while (i < n && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    while (n > i && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
    if (i >= n) return false;
    bool neg = false;
    if (s[i] == '-' || s[i] == '+') neg = s[i++] == '-';
    int base = 10;
    if (i < n && s[i] == '$') {
        base = 16;
        ++i;
    } else if (i + 1 < n && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
        base = 16;
        i += 2;
    }
    if (i >= n) return false;
    uint64_t u = 0;
    auto [p, ec] = std::from_chars(s.data() + i, s.data() + n, u, base);
    if (ec != std::errc() || p != s.data() + n) return false;
    if (base == 10) {
        if (u > (neg ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1)) return false;
        value = neg ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u);
    } else {
        value = static_cast<int64_t>(neg ? 0 - u : u);
    }
    return true;
}

bool TryStrToInt(std::string_view s, int& value) {
    int64_t v;
    if (!TryStrToInt64(s, v)) return false;
    // Hex digits may spell a 32-bit pattern ($FFFFFFFF is -1).
    bool hex = s.find('$') != std::string_view::npos || s.find("0x") != std::string_view::npos ||
               s.find("0X") != std::string_view::npos;
    if (hex && v >= 0 && v <= 0xFFFFFFFFll) {
        value = static_cast<int>(static_cast<uint32_t>(v));
        return true;
    }
    if (v < INT32_MIN || v > INT32_MAX) return false;
    value = static_cast<int>(v);
    return true;
}

int StrToInt(std::string_view s) {
    int v;
    if (!TryStrToInt(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

int64_t StrToInt64(std::string_view s) {
    int64_t v;
    if (!TryStrToInt64(s, v)) throw EConvertError("'" + std::string(s) + "' is not a valid integer value");
    return v;
}

int StrToIntDef(std::string_view s, int def) {
    int v;
    return TryStrToInt(s, v) ? v : def;
}

int64_t StrToInt64Def(std::string_view s, int64_t def) {
    int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

// ---- floats --------------------------------------------------------------------------------------

std::string FloatToStr(double value) {
    return FloatToStr(value, FormatSettings());
}
std::string FloatToStr(double value, const TFormatSettings& fs) {
    return FloatToStrF(value, ffGeneral, 15, 0, fs);
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits) {
    return FloatToStrF(value, format, precision, digits, FormatSettings());
}

std::string FloatToStrF(double value, TFloatFormat format, int precision, int digits,
                        const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    precision = std::clamp(precision, 1, 18);
    TDecimal d = ToDecimal(value);
    std::string body;
    bool neg = d.Neg;
    switch (format) {
    case ffGeneral:
        body = GeneralText(d, precision, std::clamp(digits, 0, 4), fs);
        neg = neg && !IsZeroAfterRounding(d, precision);
        break;
    case ffExponent: {
        TDecimal r = d;
        RoundAt(r, precision);
        if (r.Digits.empty()) r.Exp = 1; // zero: 0.000E+000
        std::string m;
        for (int i = 0; i < precision; ++i) m += Digit(r, i);
        body = m.substr(0, 1);
        if (precision > 1) body += fs.DecimalSeparator + m.substr(1);
        body += ExponentText(r.Exp - 1, std::clamp(digits, 0, 4), true);
        neg = neg && !r.Digits.empty();
        break;
    }
    case ffFixed:
    case ffNumber:
    case ffCurrency: {
        digits = std::clamp(digits, 0, 18);
        TDecimal r = d;
        RoundAt(r, precision);
        if (r.Exp > precision) {
            // More integer digits than the precision holds: scientific, as the platform does.
            body = GeneralText(d, precision, 0, fs);
            neg = neg && !r.Digits.empty();
            break;
        }
        TDecimal f = r;
        RoundAt(f, f.Exp + digits);
        neg = neg && !f.Digits.empty();
        body = FixedText(r, digits, format != ffFixed, fs);
        if (format == ffCurrency) return CurrencyText(body, neg, fs);
        break;
    }
    }
    return neg ? "-" + body : body;
}

// ---- FormatFloat ---------------------------------------------------------------------------------

namespace {

struct TPicture {
    std::string Text;
    size_t IntStart = 0, IntEnd = 0; // the part up to '.' or the exponent
    bool HasPoint = false;
    int IntZeros = 0, IntPlaces = 0;
    int FracMin = 0, FracMax = 0;
    bool Thousands = false;
    bool Scientific = false;
    bool ExpAlwaysSign = false;
    int ExpDigits = 0;
    char ExpChar = 'E';
    size_t ExpPos = std::string::npos; // index of 'E'/'e'
    size_t ExpEnd = std::string::npos;
};

std::vector<std::string> SplitSections(std::string_view f) {
    std::vector<std::string> out(1);
    char quote = 0;
    for (char c : f) {
        if (quote) {
            if (c == quote) quote = 0;
            out.back() += c;
        } else if (c == '"' || c == '\'') {
            quote = c;
            out.back() += c;
        } else if (c == ';' && out.size() < 3) {
            out.emplace_back();
        } else {
            out.back() += c;
        }
    }
    return out;
}

TPicture Analyse(const std::string& s) {
    TPicture p;
    p.Text = s;
    char quote = 0;
    bool afterPoint = false;
    int fracPos = 0;
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (quote) {
            if (c == quote) quote = 0;
            continue;
        }
        if (c == '"' || c == '\'') {
            quote = c;
            continue;
        }
        if (p.ExpPos != std::string::npos) continue;
        if ((c == 'E' || c == 'e') && i + 1 < s.size() && (s[i + 1] == '+' || s[i + 1] == '-')) {
            p.Scientific = true;
            p.ExpPos = i;
            p.ExpChar = c;
            p.ExpAlwaysSign = s[i + 1] == '+';
            size_t j = i + 2;
            while (j < s.size() && s[j] == '0') ++j, ++p.ExpDigits;
            p.ExpEnd = j;
            continue;
        }
        if (c == '.' && !afterPoint) {
            afterPoint = true;
            p.HasPoint = true;
            continue;
        }
        if (c == ',' && !afterPoint) {
            p.Thousands = true;
            continue;
        }
        if (c == '0' || c == '#') {
            if (afterPoint) {
                ++fracPos;
                p.FracMax = fracPos;
                if (c == '0') p.FracMin = fracPos;
            } else {
                ++p.IntPlaces;
                if (c == '0' || p.IntZeros > 0) {
                    // A '0' forces every digit place to its right as well.
                    if (c == '0') p.IntZeros = p.IntPlaces;
                }
            }
        }
    }
    // Digits forced: the places from the first '0' to the end of the integer part.
    if (p.IntZeros > 0) {
        int places = 0, firstZero = -1;
        quote = 0;
        for (size_t i = 0; i < s.size() && i < p.ExpPos; ++i) {
            char c = s[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                continue;
            }
            if (c == '.') break;
            if (c == '0' || c == '#') {
                if (c == '0' && firstZero < 0) firstZero = places;
                ++places;
            }
        }
        p.IntZeros = places - firstZero;
    }
    return p;
}

std::string Render(const TPicture& p, std::string intDigits, const std::string& fracDigits,
                   const std::string& expText, const TFormatSettings& fs) {
    const std::string& s = p.Text;
    size_t end = p.ExpPos == std::string::npos ? s.size() : p.ExpPos;
    // Integer placeholders are filled from the right; the leftmost takes every remaining digit.
    if (static_cast<int>(intDigits.size()) < p.IntZeros)
        intDigits.insert(0, static_cast<size_t>(p.IntZeros) - intDigits.size(), '0');
    if (p.IntZeros == 0 && intDigits == "0") intDigits.clear();
    // Locate the integer part of the picture (up to the decimal point).
    size_t pointPos = std::string::npos;
    {
        char quote = 0;
        for (size_t i = 0; i < end; ++i) {
            char c = s[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                continue;
            }
            if (c == '.') {
                pointPos = i;
                break;
            }
        }
    }
    size_t intEnd = pointPos == std::string::npos ? end : pointPos;
    // Render the integer part right to left.
    std::string intOut;
    {
        // Collect positions of placeholders in the integer part.
        std::vector<size_t> places;
        char quote = 0;
        for (size_t i = 0; i < intEnd; ++i) {
            char c = s[i];
            if (quote) {
                if (c == quote) quote = 0;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                continue;
            }
            if (c == '0' || c == '#') places.push_back(i);
        }
        int remaining = static_cast<int>(intDigits.size());
        int emitted = 0;
        auto emitDigit = [&](std::string& buf, char d) {
            if (p.Thousands && emitted > 0 && emitted % 3 == 0) buf.insert(buf.begin(), fs.ThousandSeparator);
            buf.insert(buf.begin(), d);
            ++emitted;
        };
        std::string buf;
        size_t placeIdx = places.size();
        for (size_t i = intEnd; i-- > 0;) {
            char c = s[i];
            bool isPlace = placeIdx > 0 && places[placeIdx - 1] == i;
            if (isPlace) {
                --placeIdx;
                if (placeIdx == 0) {
                    while (remaining > 0) emitDigit(buf, intDigits[static_cast<size_t>(--remaining)]);
                } else if (remaining > 0) {
                    emitDigit(buf, intDigits[static_cast<size_t>(--remaining)]);
                }
                continue;
            }
            if (c == ',') continue;
            // Literal (quoted text is unquoted).
            if (c == '"' || c == '\'') {
                size_t j = i;
                while (j-- > 0 && s[j] != c) {
                }
                if (j == std::string::npos) j = 0;
                buf.insert(0, s.substr(j + 1, i - j - 1));
                i = j;
                continue;
            }
            buf.insert(buf.begin(), c);
        }
        if (places.empty()) {
            // No placeholder before the point: digits (if any) go first.
            std::string digits;
            int e = 0;
            for (int k = static_cast<int>(intDigits.size()); k-- > 0;) {
                if (p.Thousands && e > 0 && e % 3 == 0) digits.insert(digits.begin(), fs.ThousandSeparator);
                digits.insert(digits.begin(), intDigits[static_cast<size_t>(k)]);
                ++e;
            }
            buf = digits + buf;
        }
        intOut = buf;
    }
    // The fraction, left to right.
    std::string fracOut;
    if (pointPos != std::string::npos) {
        size_t fi = 0;
        char quote = 0;
        std::string tail;
        for (size_t i = pointPos + 1; i < end; ++i) {
            char c = s[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
                else
                    tail += c;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                continue;
            }
            if (c == '0' || c == '#') {
                if (fi < fracDigits.size()) tail += fracDigits[fi];
                ++fi;
                continue;
            }
            if (c == ',' || c == '.') continue;
            tail += c;
        }
        fracOut = fracDigits.empty() ? tail : std::string(1, fs.DecimalSeparator) + tail;
    }
    std::string out = intOut + fracOut;
    if (p.ExpPos != std::string::npos) {
        out += expText;
        // Literal text after the exponent digits.
        char quote = 0;
        for (size_t i = p.ExpEnd; i < s.size(); ++i) {
            char c = s[i];
            if (quote) {
                if (c == quote)
                    quote = 0;
                else
                    out += c;
                continue;
            }
            if (c == '"' || c == '\'') {
                quote = c;
                continue;
            }
            out += c;
        }
    }
    return out;
}

// Formats |value| with one picture section; `negZero` tells whether the result rounded to zero.
std::string FormatWithPicture(const TPicture& p, double value, const TFormatSettings& fs, bool& isZero) {
    TDecimal d = ToDecimal(value);
    d.Neg = false;
    std::string intDigits, frac, expText;
    if (p.Scientific) {
        int intPlaces = std::max(1, p.IntPlaces);
        int exp = 0;
        if (!d.Digits.empty()) {
            RoundAt(d, intPlaces + p.FracMax);
            exp = d.Exp - intPlaces;
            d.Exp = intPlaces;
        }
        SplitFixed(d, p.FracMax, intDigits, frac);
        std::string e(1, p.ExpChar);
        if (exp < 0)
            e += '-';
        else if (p.ExpAlwaysSign)
            e += '+';
        std::string ed = std::to_string(std::abs(exp));
        if (static_cast<int>(ed.size()) < p.ExpDigits)
            ed.insert(0, static_cast<size_t>(p.ExpDigits) - ed.size(), '0');
        expText = e + ed;
    } else {
        RoundAt(d, d.Exp + p.FracMax);
        SplitFixed(d, p.FracMax, intDigits, frac);
    }
    isZero = d.Digits.empty();
    while (static_cast<int>(frac.size()) > p.FracMin && !frac.empty() && frac.back() == '0') frac.pop_back();
    if (intDigits.size() > 1 && intDigits[0] == '0') intDigits.erase(0, intDigits.find_first_not_of('0'));
    return Render(p, intDigits, frac, expText, fs);
}

} // namespace

std::string FormatFloat(std::string_view format, double value) {
    return FormatFloat(format, value, FormatSettings());
}

std::string FormatFloat(std::string_view format, double value, const TFormatSettings& fs) {
    if (std::isnan(value)) return "NAN";
    if (std::isinf(value)) return value > 0 ? "INF" : "-INF";
    if (format.empty()) return FloatToStr(value, fs);
    auto sections = SplitSections(format);
    bool neg = std::signbit(value) && value != 0;
    const std::string* sec = &sections[0];
    bool useNegSection = neg && sections.size() >= 2 && !sections[1].empty();
    if (useNegSection) sec = &sections[1];
    TPicture pic = Analyse(*sec);
    bool isZero = false;
    std::string text = FormatWithPicture(pic, std::fabs(value), fs, isZero);
    if (isZero && sections.size() >= 3 && !sections[2].empty()) {
        TPicture zp = Analyse(sections[2]);
        bool z2;
        return FormatWithPicture(zp, 0.0, fs, z2);
    }
    if (neg && !useNegSection && !isZero) text = "-" + text;
    return text;
}

bool TryStrToFloat(std::string_view s, double& value) {
    return TryStrToFloat(s, value, FormatSettings());
}

bool TryStrToFloat(std::string_view s, double& value, const TFormatSettings& fs) {
    size_t i = 0, n = s.size();
    while (i < n && static_cast<unsigned char>(s[i]) <= ' ') ++i;
    while (n > i && static_cast<unsigned char>(s[n - 1]) <= ' ') --n;
    if (i >= n) return false;
    std::string t;
    size_t k = i;
    if (s[k] == '+' || s[k] == '-') t += s[k++];
    bool digits = false, point = false;
    while (k < n) {
        char c = s[k];
        if (c >= '0' && c <= '9') {
            t += c;
            digits = true;
        } else if (c == fs.DecimalSeparator && !point) {
            t += '.';
            point = true;
        } else {
            break;
        }
        ++k;
    }
    if (!digits) return false;
    if (k < n && (s[k] == 'e' || s[k] == 'E')) {
        t += 'e';
        ++k;
        if (k < n && (s[k] == '+' || s[k] == '-')) t += s[k++];
        bool expDigits = false;
        while (k < n && s[k] >= '0' && s[k] <= '9') t += s[k++], expDigits = true;
        if (!expDigits) return false;
    }
    if (k != n) return false;
    const char* b = t.c_str();
    if (*b == '+') ++b;
    double v = 0;
    auto [p, ec] = std::from_chars(b, t.c_str() + t.size(), v);
    if (ec != std::errc() || p != t.c_str() + t.size() || !std::isfinite(v)) return false;
    value = v;
    return true;
}

double StrToFloat(std::string_view s) {
    return StrToFloat(s, FormatSettings());
}

double StrToFloat(std::string_view s, const TFormatSettings& fs) {
    double v;
    if (!TryStrToFloat(s, v, fs))
        throw EConvertError("'" + std::string(s) + "' is not a valid floating point value");
    return v;
}

double StrToFloatDef(std::string_view s, double def) {
    double v;
    return TryStrToFloat(s, v) ? v : def;
}

// ---- currency ------------------------------------------------------------------------------------

namespace {
double ToCurrency(double v) {
    return std::isfinite(v) ? std::round(v * 10000.0) / 10000.0 : v;
}
} // namespace

std::string CurrToStr(double value) {
    return CurrToStr(value, FormatSettings());
}
std::string CurrToStr(double value, const TFormatSettings& fs) {
    return FloatToStrF(ToCurrency(value), ffGeneral, 15, 0, fs);
}
std::string CurrToStrF(double value, TFloatFormat format, int digits) {
    return CurrToStrF(value, format, digits, FormatSettings());
}
std::string CurrToStrF(double value, TFloatFormat format, int digits, const TFormatSettings& fs) {
    return FloatToStrF(ToCurrency(value), format, 18, digits, fs);
}
std::string FormatCurr(std::string_view format, double value) {
    return FormatCurr(format, value, FormatSettings());
}
std::string FormatCurr(std::string_view format, double value, const TFormatSettings& fs) {
    return FormatFloat(format, ToCurrency(value), fs);
}

} // namespace qel
