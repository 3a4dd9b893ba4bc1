#include "platform/data/filter_expr.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <set>

namespace qel {

// ---------------------------------------------------------------------------------------------------
// Values

TFilterValue TFilterValue::Integer(std::int64_t v) {
    TFilterValue r;
    r.Kind = TFilterValueKind::Integer;
    r.AsInteger = v;
    return r;
}

TFilterValue TFilterValue::Float(double v) {
    TFilterValue r;
    r.Kind = TFilterValueKind::Float;
    r.AsFloat = v;
    return r;
}

TFilterValue TFilterValue::String(std::string v) {
    TFilterValue r;
    r.Kind = TFilterValueKind::String;
    r.AsString = std::move(v);
    return r;
}

TFilterValue TFilterValue::Boolean(bool v) {
    TFilterValue r;
    r.Kind = TFilterValueKind::Boolean;
    r.AsBoolean = v;
    return r;
}

TFilterValue TFilterValue::DateTime(double days) {
    TFilterValue r;
    r.Kind = TFilterValueKind::DateTime;
    r.AsFloat = days;
    return r;
}

bool TFilterValue::operator==(const TFilterValue& other) const {
    if (Kind != other.Kind) return false;
    switch (Kind) {
    case TFilterValueKind::Null: return true;
    case TFilterValueKind::Integer: return AsInteger == other.AsInteger;
    case TFilterValueKind::Float:
    case TFilterValueKind::DateTime: return AsFloat == other.AsFloat;
    case TFilterValueKind::String: return AsString == other.AsString;
    case TFilterValueKind::Boolean: return AsBoolean == other.AsBoolean;
    }
    return false;
}

TFilterRecord::~TFilterRecord() = default;

static std::string ErrorText(int position, const std::string& reason) {
    return "Filter expression error at position " + std::to_string(position) + ": " + reason;
}

EFilterError::EFilterError(int position, const std::string& reason)
    : EDatabaseError(ErrorText(position, reason)), FPosition(position), FReason(reason) {}

namespace {

// ---------------------------------------------------------------------------------------------------
// UTF-8 and case folding

constexpr char32_t kInvalidBase = 0x110000; // undecodable bytes map above the Unicode range

// Decodes the code point at s[i] and advances i; a malformed sequence yields one byte.
char32_t NextCodePoint(std::string_view s, size_t& i) {
    const auto b0 = static_cast<unsigned char>(s[i]);
    if (b0 < 0x80) {
        ++i;
        return b0;
    }
    int len = 0;
    char32_t cp = 0;
    if ((b0 & 0xE0) == 0xC0) {
        len = 2;
        cp = b0 & 0x1F;
    } else if ((b0 & 0xF0) == 0xE0) {
        len = 3;
        cp = b0 & 0x0F;
    } else if ((b0 & 0xF8) == 0xF0) {
        len = 4;
        cp = b0 & 0x07;
    } else {
        ++i;
        return kInvalidBase + b0;
    }
    if (i + len > s.size()) {
        ++i;
        return kInvalidBase + b0;
    }
    for (int k = 1; k < len; ++k) {
        const auto b = static_cast<unsigned char>(s[i + k]);
        if ((b & 0xC0) != 0x80) {
            ++i;
            return kInvalidBase + b0;
        }
        cp = (cp << 6) | (b & 0x3F);
    }
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
        ++i;
        return kInvalidBase + b0;
    }
    i += len;
    return cp;
}

void AppendCodePoint(std::string& out, char32_t cp) {
    if (cp >= kInvalidBase) {
        out.push_back(static_cast<char>(cp - kInvalidBase));
    } else if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

// Simple one-to-one case mapping for ASCII, Latin-1, Latin Extended-A, Greek and Cyrillic. Non-ASCII
// letters never map to ASCII ones, so folding keeps ASCII and non-ASCII text apart.
char32_t ToLowerCP(char32_t c) {
    if (c >= 'A' && c <= 'Z') return c + 32;
    if (c < 0xC0) return c;
    if (c <= 0xDE) return c == 0xD7 ? c : c + 32;
    if (c >= 0x100 && c <= 0x137) return (c % 2 == 0 && c != 0x130) ? c + 1 : c;
    if (c >= 0x139 && c <= 0x148) return c % 2 == 1 ? c + 1 : c;
    if (c >= 0x14A && c <= 0x177) return c % 2 == 0 ? c + 1 : c;
    if (c == 0x178) return 0xFF;
    if (c >= 0x179 && c <= 0x17E) return c % 2 == 1 ? c + 1 : c;
    if (c >= 0x391 && c <= 0x3A9) return c == 0x3A2 ? c : c + 32;
    if (c >= 0x410 && c <= 0x42F) return c + 32;
    if (c >= 0x400 && c <= 0x40F) return c + 80;
    return c;
}

char32_t ToUpperCP(char32_t c) {
    if (c >= 'a' && c <= 'z') return c - 32;
    if (c < 0xE0) return c;
    if (c <= 0xFE) return c == 0xF7 ? c : c - 32;
    if (c == 0xFF) return 0x178;
    if (c >= 0x101 && c <= 0x137) return (c % 2 == 1 && c != 0x131) ? c - 1 : c;
    if (c >= 0x13A && c <= 0x148) return c % 2 == 0 ? c - 1 : c;
    if (c >= 0x14B && c <= 0x177) return c % 2 == 1 ? c - 1 : c;
    if (c >= 0x17A && c <= 0x17E) return c % 2 == 0 ? c - 1 : c;
    if (c >= 0x3B1 && c <= 0x3C9) return c == 0x3C2 ? c : c - 32;
    if (c >= 0x430 && c <= 0x44F) return c - 32;
    if (c >= 0x450 && c <= 0x45F) return c - 80;
    return c;
}

std::string MapCase(std::string_view s, bool upper) {
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const char32_t c = NextCodePoint(s, i);
        AppendCodePoint(out, upper ? ToUpperCP(c) : ToLowerCP(c));
    }
    return out;
}

// Case-insensitive three-way comparison by folded code point.
int CompareFolded(std::string_view a, std::string_view b) {
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        const char32_t ca = ToLowerCP(NextCodePoint(a, i));
        const char32_t cb = ToLowerCP(NextCodePoint(b, j));
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool StartsWithFolded(std::string_view s, std::string_view prefix) {
    size_t i = 0, j = 0;
    while (j < prefix.size()) {
        if (i >= s.size()) return false;
        if (ToLowerCP(NextCodePoint(s, i)) != ToLowerCP(NextCodePoint(prefix, j))) return false;
    }
    return true;
}

int CompareBytes(std::string_view a, std::string_view b) {
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

std::vector<char32_t> Decode(std::string_view s, bool fold) {
    std::vector<char32_t> out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        const char32_t c = NextCodePoint(s, i);
        out.push_back(fold ? ToLowerCP(c) : c);
    }
    return out;
}

// LIKE with % (any run) and _ (one character); iterative, linear memory, no exponential backtracking.
bool LikeMatch(std::string_view text, std::string_view pattern, bool fold) {
    const auto t = Decode(text, fold);
    const auto p = Decode(pattern, fold);
    size_t ti = 0, pi = 0;
    size_t starP = std::string_view::npos, starT = 0;
    while (ti < t.size()) {
        if (pi < p.size() && p[pi] == U'%') {
            starP = pi++;
            starT = ti;
        } else if (pi < p.size() && (p[pi] == U'_' || p[pi] == t[ti])) {
            ++pi;
            ++ti;
        } else if (starP != std::string_view::npos) {
            pi = starP + 1;
            ti = ++starT;
        } else {
            return false;
        }
    }
    while (pi < p.size() && p[pi] == U'%') ++pi;
    return pi == p.size();
}

bool IsAscii(std::string_view s) {
    return std::all_of(s.begin(), s.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Text that SQLite's character functions and C-string pattern matching see exactly as QEL does.
bool IsCleanText(std::string_view s) {
    size_t i = 0;
    while (i < s.size()) {
        if (s[i] == '\0' || NextCodePoint(s, i) >= kInvalidBase) return false;
    }
    return true;
}

size_t CodePointCount(std::string_view s) {
    size_t n = 0, i = 0;
    while (i < s.size()) {
        NextCodePoint(s, i);
        ++n;
    }
    return n;
}

// ---------------------------------------------------------------------------------------------------
// Dates: days since 1899-12-30

constexpr std::int64_t kDaysFromCivilTo18991230 = -25569; // 1970-01-01 is day 25569

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

void CivilFromDays(std::int64_t z, std::int64_t& y, unsigned& m, unsigned& d) {
    z += 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = static_cast<std::int64_t>(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

bool IsLeap(std::int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

unsigned DaysInMonth(std::int64_t y, unsigned m) {
    static constexpr unsigned kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : kDays[m - 1];
}

struct TTextScanner {
    std::string_view s;
    size_t i = 0;
    bool Number(int minDigits, int maxDigits, int& out) {
        size_t start = i;
        int v = 0;
        while (i < s.size() && i - start < static_cast<size_t>(maxDigits) && s[i] >= '0' && s[i] <= '9')
            v = v * 10 + (s[i++] - '0');
        out = v;
        return static_cast<int>(i - start) >= minDigits;
    }
    bool Char(char c) {
        if (i < s.size() && s[i] == c) {
            ++i;
            return true;
        }
        return false;
    }
    bool AtEnd() const { return i == s.size(); }
};

bool ScanTime(TTextScanner& sc, double& fraction) {
    int h = 0, mi = 0, se = 0, ms = 0;
    if (!sc.Number(1, 2, h) || !sc.Char(':') || !sc.Number(2, 2, mi)) return false;
    if (sc.Char(':')) {
        if (!sc.Number(2, 2, se)) return false;
        if (sc.Char('.')) {
            const size_t start = sc.i;
            if (!sc.Number(1, 3, ms)) return false;
            for (size_t n = sc.i - start; n < 3; ++n) ms *= 10;
        }
    }
    if (h > 23 || mi > 59 || se > 59) return false;
    fraction = (((h * 60.0 + mi) * 60.0 + se) * 1000.0 + ms) / 86400000.0;
    return true;
}

std::optional<double> ParseDefaultDateTime(std::string_view text) {
    std::string trimmed(text);
    while (!trimmed.empty() && trimmed.back() == ' ') trimmed.pop_back();
    size_t lead = 0;
    while (lead < trimmed.size() && trimmed[lead] == ' ') ++lead;
    TTextScanner sc{std::string_view(trimmed).substr(lead)};
    int a = 0;
    if (!sc.Number(1, 4, a)) return std::nullopt;
    if (sc.Char(':')) { // a time alone
        sc.i = 0;
        double f = 0;
        if (ScanTime(sc, f) && sc.AtEnd()) return f;
        return std::nullopt;
    }
    int y = 0, m = 0, d = 0;
    if (sc.Char('-')) {
        y = a;
        if (!sc.Number(1, 2, m) || !sc.Char('-') || !sc.Number(1, 2, d)) return std::nullopt;
    } else if (sc.Char('/')) {
        m = a;
        if (!sc.Number(1, 2, d) || !sc.Char('/') || !sc.Number(4, 4, y)) return std::nullopt;
    } else {
        return std::nullopt;
    }
    if (y < 1 || y > 9999 || m < 1 || m > 12 || d < 1 || static_cast<unsigned>(d) > DaysInMonth(y, m))
        return std::nullopt;
    double result = static_cast<double>(DaysFromCivil(y, m, d) - kDaysFromCivilTo18991230);
    if (!sc.AtEnd()) {
        if (!sc.Char(' ') && !sc.Char('T')) return std::nullopt;
        while (sc.Char(' ')) {
        }
        double f = 0;
        if (!ScanTime(sc, f) || !sc.AtEnd()) return std::nullopt;
        result = result >= 0 ? result + f : result - f;
    }
    return result;
}

// Splits a date-time into its day number and milliseconds of the day (the platform's convention:
// the integral part is the day, the fraction's magnitude the time). False for unusable values.
bool SplitDateTime(double v, std::int64_t& day, std::int64_t& msOfDay) {
    if (!std::isfinite(v) || std::fabs(v) > 1.0e8) return false;
    const double whole = std::trunc(v);
    day = static_cast<std::int64_t>(whole);
    msOfDay = static_cast<std::int64_t>(std::llround(std::fabs(v - whole) * 86400000.0));
    if (msOfDay >= 86400000) msOfDay = 86399999;
    return true;
}

// ---------------------------------------------------------------------------------------------------
// Lexer

enum class TTok {
    End,
    Ident,
    Bracket,
    String,
    Integer,
    Float,
    LParen,
    RParen,
    Comma,
    Eq,
    Ne,
    Lt,
    Le,
    Gt,
    Ge,
    Plus,
    Minus,
    Star,
    Slash,
    KwAnd,
    KwOr,
    KwNot,
    KwIs,
    KwNull,
    KwLike,
    KwIn,
    KwTrue,
    KwFalse
};

struct TToken {
    TTok Kind = TTok::End;
    size_t Offset = 0; // byte offset in the text
    std::string Text;  // identifier, string literal value, number as written
    std::int64_t Int = 0;
    double Float = 0;
};

constexpr int kMaxDepth = 128;

class TCompiler {
public:
    TCompiler(std::string_view text, const TFilterFieldResolver& resolver,
              const TFilterCompileOptions& options)
        : FText(text), FResolver(resolver), FOptions(options) {}

    std::unique_ptr<TFilterNode> Compile();

private:
    std::string_view FText;
    const TFilterFieldResolver& FResolver;
    const TFilterCompileOptions& FOptions;
    size_t FPos = 0;
    TToken FTok;
    int FDepth = 0;

    int CharPos(size_t offset) const {
        int n = 1;
        for (size_t k = 0; k < offset && k < FText.size(); ++k)
            if ((static_cast<unsigned char>(FText[k]) & 0xC0) != 0x80) ++n;
        return n;
    }
    [[noreturn]] void Fail(size_t offset, const std::string& reason) const {
        throw EFilterError(CharPos(offset), reason);
    }
    [[noreturn]] void FailNode(const TFilterNode& n, const std::string& reason) const {
        throw EFilterError(n.Position, reason);
    }

    static bool IdentStart(unsigned char c) { return std::isalpha(c) || c == '_' || c >= 0x80; }
    static bool IdentChar(unsigned char c) {
        return std::isalnum(c) || c == '_' || c == '.' || c == '$' || c == '#' || c >= 0x80;
    }

    void Next();
    std::string TokenDescription(const TToken& t) const;

    // Depth guard for the recursive descent.
    struct TDepthGuard {
        TCompiler& c;
        TDepthGuard(TCompiler& compiler, size_t offset) : c(compiler) {
            if (++c.FDepth > kMaxDepth) c.Fail(offset, "Expression is nested too deeply");
        }
        ~TDepthGuard() { --c.FDepth; }
    };

    std::unique_ptr<TFilterNode> ParseOr();
    std::unique_ptr<TFilterNode> ParseAnd();
    std::unique_ptr<TFilterNode> ParseNot();
    std::unique_ptr<TFilterNode> ParsePredicate();
    std::unique_ptr<TFilterNode> ParseAdditive();
    std::unique_ptr<TFilterNode> ParseMultiplicative();
    std::unique_ptr<TFilterNode> ParseUnary();
    std::unique_ptr<TFilterNode> ParsePrimary();
    std::unique_ptr<TFilterNode> ParseFunction(const TToken& name, TFilterFunction f);

    std::unique_ptr<TFilterNode> MakeNode(TFilterNodeKind kind, int position);
    std::unique_ptr<TFilterNode> MakeConstant(TFilterValue v, int position);
    void CheckDepth(const TFilterNode& n) const;
    std::unique_ptr<TFilterNode> AsPredicate(std::unique_ptr<TFilterNode> n) const;
    std::unique_ptr<TFilterNode> MakeLogic(TFilterNodeKind kind, std::unique_ptr<TFilterNode> a,
                                           std::unique_ptr<TFilterNode> b, int position);
    std::unique_ptr<TFilterNode> MakeComparison(TToken op, std::unique_ptr<TFilterNode> a,
                                                std::unique_ptr<TFilterNode> b);
    std::unique_ptr<TFilterNode> MakeArithmetic(const TToken& op, std::unique_ptr<TFilterNode> a,
                                                std::unique_ptr<TFilterNode> b);
    void Coerce(TFilterNode& constant, TFilterValueKind target) const;
    void MakeComparable(TFilterNode& a, TFilterNode& b) const;
};

std::string TCompiler::TokenDescription(const TToken& t) const {
    switch (t.Kind) {
    case TTok::End: return "end of expression";
    case TTok::String: return "string";
    case TTok::Integer:
    case TTok::Float: return "number " + t.Text;
    default: return "'" + t.Text + "'";
    }
}

void TCompiler::Next() {
    while (FPos < FText.size() && (FText[FPos] == ' ' || FText[FPos] == '\t' || FText[FPos] == '\r' ||
                                   FText[FPos] == '\n' || FText[FPos] == '\f' || FText[FPos] == '\v'))
        ++FPos;
    FTok = TToken{};
    FTok.Offset = FPos;
    if (FPos >= FText.size()) return;
    const auto c = static_cast<unsigned char>(FText[FPos]);
    auto single = [&](TTok kind, size_t len) {
        FTok.Kind = kind;
        FTok.Text = std::string(FText.substr(FPos, len));
        FPos += len;
    };
    switch (c) {
    case '(': return single(TTok::LParen, 1);
    case ')': return single(TTok::RParen, 1);
    case ',': return single(TTok::Comma, 1);
    case '+': return single(TTok::Plus, 1);
    case '-': return single(TTok::Minus, 1);
    case '*': return single(TTok::Star, 1);
    case '/': return single(TTok::Slash, 1);
    case '=': return single(TTok::Eq, FPos + 1 < FText.size() && FText[FPos + 1] == '=' ? 2 : 1);
    case '<':
        if (FPos + 1 < FText.size() && FText[FPos + 1] == '>') return single(TTok::Ne, 2);
        if (FPos + 1 < FText.size() && FText[FPos + 1] == '=') return single(TTok::Le, 2);
        return single(TTok::Lt, 1);
    case '>':
        if (FPos + 1 < FText.size() && FText[FPos + 1] == '=') return single(TTok::Ge, 2);
        return single(TTok::Gt, 1);
    case '!':
        if (FPos + 1 < FText.size() && FText[FPos + 1] == '=') return single(TTok::Ne, 2);
        Fail(FPos, "Unexpected character '!'");
    case '\'':
    case '"': {
        const char q = static_cast<char>(c);
        size_t k = FPos + 1;
        std::string value;
        for (;;) {
            if (k >= FText.size()) Fail(FPos, "Unterminated string");
            if (FText[k] == q) {
                if (k + 1 < FText.size() && FText[k + 1] == q) {
                    value.push_back(q);
                    k += 2;
                    continue;
                }
                break;
            }
            value.push_back(FText[k++]);
        }
        FTok.Kind = TTok::String;
        FTok.Text = std::move(value);
        FPos = k + 1;
        return;
    }
    case '[': {
        size_t k = FPos + 1;
        std::string name;
        for (;;) {
            if (k >= FText.size()) Fail(FPos, "Unterminated field name");
            if (FText[k] == ']') {
                if (k + 1 < FText.size() && FText[k + 1] == ']') {
                    name.push_back(']');
                    k += 2;
                    continue;
                }
                break;
            }
            name.push_back(FText[k++]);
        }
        if (name.empty()) Fail(FPos, "Empty field name");
        FTok.Kind = TTok::Bracket;
        FTok.Text = std::move(name);
        FPos = k + 1;
        return;
    }
    default: break;
    }
    if (std::isdigit(c) ||
        (c == '.' && FPos + 1 < FText.size() && std::isdigit(static_cast<unsigned char>(FText[FPos + 1])))) {
        size_t k = FPos;
        bool isFloat = false;
        while (k < FText.size() && std::isdigit(static_cast<unsigned char>(FText[k]))) ++k;
        if (k < FText.size() && FText[k] == '.') {
            isFloat = true;
            ++k;
            while (k < FText.size() && std::isdigit(static_cast<unsigned char>(FText[k]))) ++k;
        }
        if (k < FText.size() && (FText[k] == 'e' || FText[k] == 'E')) {
            size_t e = k + 1;
            if (e < FText.size() && (FText[e] == '+' || FText[e] == '-')) ++e;
            if (e < FText.size() && std::isdigit(static_cast<unsigned char>(FText[e]))) {
                isFloat = true;
                k = e;
                while (k < FText.size() && std::isdigit(static_cast<unsigned char>(FText[k]))) ++k;
            }
        }
        if (k < FText.size() && IdentChar(static_cast<unsigned char>(FText[k])))
            Fail(FPos, "Invalid number '" + std::string(FText.substr(FPos, k + 1 - FPos)) + "'");
        FTok.Text = std::string(FText.substr(FPos, k - FPos));
        const char* first = FTok.Text.data();
        const char* last = first + FTok.Text.size();
        if (!isFloat) {
            std::int64_t v = 0;
            auto [p, ec] = std::from_chars(first, last, v);
            if (ec == std::errc() && p == last) {
                FTok.Kind = TTok::Integer;
                FTok.Int = v;
                FPos = k;
                return;
            }
        }
        // strtod would follow the C locale; the text holds only digits, '.', 'e' and a sign here.
        double d = 0;
        auto [p, ec] = std::from_chars(first, last, d);
        if (p != last || (ec != std::errc() && ec != std::errc::result_out_of_range))
            Fail(FPos, "Invalid number '" + FTok.Text + "'");
        if (ec == std::errc::result_out_of_range || !std::isfinite(d))
            Fail(FPos, "Number out of range '" + FTok.Text + "'");
        FTok.Kind = TTok::Float;
        FTok.Float = d;
        FPos = k;
        return;
    }
    if (IdentStart(c)) {
        size_t k = FPos;
        while (k < FText.size() && IdentChar(static_cast<unsigned char>(FText[k]))) ++k;
        FTok.Kind = TTok::Ident;
        FTok.Text = std::string(FText.substr(FPos, k - FPos));
        FPos = k;
        static const std::pair<const char*, TTok> kKeywords[] = {
            {"AND", TTok::KwAnd}, {"OR", TTok::KwOr},     {"NOT", TTok::KwNot},
            {"IS", TTok::KwIs},   {"NULL", TTok::KwNull}, {"LIKE", TTok::KwLike},
            {"IN", TTok::KwIn},   {"TRUE", TTok::KwTrue}, {"FALSE", TTok::KwFalse}};
        for (const auto& [word, kind] : kKeywords) {
            if (FTok.Text.size() == std::strlen(word) &&
                std::equal(FTok.Text.begin(), FTok.Text.end(), word,
                           [](char a, char b) { return std::toupper(static_cast<unsigned char>(a)) == b; })) {
                FTok.Kind = kind;
                break;
            }
        }
        return;
    }
    if (c < 0x20 || c == 0x7F) Fail(FPos, "Unexpected control character");
    Fail(FPos, std::string("Unexpected character '") + static_cast<char>(c) + "'");
}

std::unique_ptr<TFilterNode> TCompiler::MakeNode(TFilterNodeKind kind, int position) {
    auto n = std::make_unique<TFilterNode>();
    n->Kind = kind;
    n->Position = position;
    return n;
}

std::unique_ptr<TFilterNode> TCompiler::MakeConstant(TFilterValue v, int position) {
    auto n = MakeNode(TFilterNodeKind::Constant, position);
    n->Type = v.Kind;
    n->Value = std::move(v);
    return n;
}

void TCompiler::CheckDepth(const TFilterNode& n) const {
    // The evaluator recurses over the tree: keep it shallow whatever the text looks like.
    std::vector<std::pair<const TFilterNode*, int>> stack{{&n, 1}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        if (depth > kMaxDepth) FailNode(n, "Expression is nested too deeply");
        for (const auto& a : node->Args) stack.push_back({a.get(), depth + 1});
    }
}

bool IsPredicateKind(TFilterNodeKind k) {
    switch (k) {
    case TFilterNodeKind::And:
    case TFilterNodeKind::Or:
    case TFilterNodeKind::Not:
    case TFilterNodeKind::Equal:
    case TFilterNodeKind::NotEqual:
    case TFilterNodeKind::Less:
    case TFilterNodeKind::LessEqual:
    case TFilterNodeKind::Greater:
    case TFilterNodeKind::GreaterEqual:
    case TFilterNodeKind::IsNull:
    case TFilterNodeKind::IsNotNull:
    case TFilterNodeKind::Like:
    case TFilterNodeKind::In:
    case TFilterNodeKind::BoolTest: return true;
    default: return false;
    }
}

std::unique_ptr<TFilterNode> TCompiler::AsPredicate(std::unique_ptr<TFilterNode> n) const {
    if (IsPredicateKind(n->Kind)) return n;
    if (n->Type != TFilterValueKind::Boolean) FailNode(*n, "Type mismatch: a condition is expected");
    auto t = std::make_unique<TFilterNode>();
    t->Kind = TFilterNodeKind::BoolTest;
    t->Type = TFilterValueKind::Boolean;
    t->Position = n->Position;
    t->Args.push_back(std::move(n));
    return t;
}

std::unique_ptr<TFilterNode> TCompiler::MakeLogic(TFilterNodeKind kind, std::unique_ptr<TFilterNode> a,
                                                  std::unique_ptr<TFilterNode> b, int position) {
    a = AsPredicate(std::move(a));
    b = AsPredicate(std::move(b));
    auto n = MakeNode(kind, position);
    n->Type = TFilterValueKind::Boolean;
    for (auto* side : {&a, &b}) {
        if ((*side)->Kind == kind) {
            for (auto& arg : (*side)->Args) n->Args.push_back(std::move(arg));
        } else {
            n->Args.push_back(std::move(*side));
        }
    }
    return n;
}

bool IsNumericKind(TFilterValueKind k) {
    return k == TFilterValueKind::Integer || k == TFilterValueKind::Float;
}

const char* KindName(TFilterValueKind k) {
    switch (k) {
    case TFilterValueKind::Null: return "null";
    case TFilterValueKind::Integer: return "integer";
    case TFilterValueKind::Float: return "float";
    case TFilterValueKind::String: return "string";
    case TFilterValueKind::Boolean: return "Boolean";
    case TFilterValueKind::DateTime: return "date-time";
    }
    return "?";
}

// Converts a literal to the kind of the value it is compared with.
void TCompiler::Coerce(TFilterNode& c, TFilterValueKind target) const {
    const TFilterValueKind from = c.Value.Kind;
    if (from == target || from == TFilterValueKind::Null) return;
    auto mismatch = [&]() {
        FailNode(c, std::string("Type mismatch: cannot compare ") + KindName(target) + " with " +
                        KindName(from));
    };
    if (from == TFilterValueKind::String) {
        const std::string& s = c.Value.AsString;
        if (target == TFilterValueKind::DateTime) {
            std::optional<double> v;
            if (FOptions.ParseDateTime) v = FOptions.ParseDateTime(s);
            if (!v) v = ParseDefaultDateTime(s);
            if (!v) FailNode(c, "'" + s + "' is not a valid date and time");
            c.Value = TFilterValue::DateTime(*v);
        } else if (target == TFilterValueKind::Integer || target == TFilterValueKind::Float) {
            std::string t = s;
            while (!t.empty() && t.back() == ' ') t.pop_back();
            size_t lead = 0;
            while (lead < t.size() && t[lead] == ' ') ++lead;
            t = t.substr(lead);
            const char* first = t.data();
            const char* last = first + t.size();
            if (!t.empty() && *first == '+') ++first;
            std::int64_t iv = 0;
            double dv = 0;
            if (auto [p, ec] = std::from_chars(first, last, iv);
                ec == std::errc() && p == last && first != last) {
                c.Value = TFilterValue::Integer(iv);
            } else if (auto [p2, ec2] = std::from_chars(first, last, dv);
                       ec2 == std::errc() && p2 == last && first != last && std::isfinite(dv)) {
                c.Value = TFilterValue::Float(dv);
            } else {
                FailNode(c, "'" + s + "' is not a valid number");
            }
        } else if (target == TFilterValueKind::Boolean) {
            std::string u;
            for (char ch : s) u.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
            if (u == "TRUE" || u == "1" || u == "T" || u == "Y" || u == "YES")
                c.Value = TFilterValue::Boolean(true);
            else if (u == "FALSE" || u == "0" || u == "F" || u == "N" || u == "NO")
                c.Value = TFilterValue::Boolean(false);
            else
                FailNode(c, "'" + s + "' is not a valid Boolean value");
        } else {
            mismatch();
        }
    } else if (IsNumericKind(from)) {
        if (IsNumericKind(target) || target == TFilterValueKind::DateTime) return; // compared as numbers
        if (target == TFilterValueKind::Boolean && from == TFilterValueKind::Integer &&
            (c.Value.AsInteger == 0 || c.Value.AsInteger == 1)) {
            c.Value = TFilterValue::Boolean(c.Value.AsInteger == 1);
        } else if (target == TFilterValueKind::String) {
            // A number compared with text means the digits as written.
            c.Value = TFilterValue::String(
                from == TFilterValueKind::Integer ? std::to_string(c.Value.AsInteger) : c.FieldName);
        } else {
            mismatch();
        }
    } else if (from == TFilterValueKind::Boolean && IsNumericKind(target)) {
        return;
    } else {
        mismatch();
    }
    c.Type = c.Value.Kind;
}

bool Comparable(TFilterValueKind a, TFilterValueKind b) {
    if (a == TFilterValueKind::Null || b == TFilterValueKind::Null || a == b) return true;
    const bool na = IsNumericKind(a) || a == TFilterValueKind::DateTime;
    const bool nb = IsNumericKind(b) || b == TFilterValueKind::DateTime;
    return na && nb;
}

void TCompiler::MakeComparable(TFilterNode& a, TFilterNode& b) const {
    if (a.Kind == TFilterNodeKind::Constant && b.Kind != TFilterNodeKind::Constant) {
        Coerce(a, b.Type);
    } else if (b.Kind == TFilterNodeKind::Constant && a.Kind != TFilterNodeKind::Constant) {
        Coerce(b, a.Type);
    } else if (a.Kind == TFilterNodeKind::Constant && b.Kind == TFilterNodeKind::Constant &&
               a.Type != b.Type && b.Type == TFilterValueKind::String) {
        Coerce(b, a.Type);
    } else if (a.Kind == TFilterNodeKind::Constant && b.Kind == TFilterNodeKind::Constant &&
               a.Type != b.Type) {
        Coerce(a, b.Type);
    }
    if (!Comparable(a.Type, b.Type))
        FailNode(b, std::string("Type mismatch: cannot compare ") + KindName(a.Type) + " with " +
                        KindName(b.Type));
}

std::unique_ptr<TFilterNode> TCompiler::MakeComparison(TToken op, std::unique_ptr<TFilterNode> a,
                                                       std::unique_ptr<TFilterNode> b) {
    const int position = CharPos(op.Offset);
    const bool aNull = a->Kind == TFilterNodeKind::Constant && a->Value.IsNull();
    const bool bNull = b->Kind == TFilterNodeKind::Constant && b->Value.IsNull();
    if ((op.Kind == TTok::Eq || op.Kind == TTok::Ne) && (aNull || bNull)) {
        // "= NULL" and "<> NULL" test for null.
        auto n =
            MakeNode(op.Kind == TTok::Eq ? TFilterNodeKind::IsNull : TFilterNodeKind::IsNotNull, position);
        n->Type = TFilterValueKind::Boolean;
        n->Args.push_back(bNull ? std::move(a) : std::move(b));
        return n;
    }
    MakeComparable(*a, *b);
    TFilterNodeKind kind = TFilterNodeKind::Equal;
    switch (op.Kind) {
    case TTok::Eq: kind = TFilterNodeKind::Equal; break;
    case TTok::Ne: kind = TFilterNodeKind::NotEqual; break;
    case TTok::Lt: kind = TFilterNodeKind::Less; break;
    case TTok::Le: kind = TFilterNodeKind::LessEqual; break;
    case TTok::Gt: kind = TFilterNodeKind::Greater; break;
    default: kind = TFilterNodeKind::GreaterEqual; break;
    }
    auto n = MakeNode(kind, position);
    n->Type = TFilterValueKind::Boolean;
    const bool strings = a->Type == TFilterValueKind::String && b->Type == TFilterValueKind::String;
    n->CaseInsensitive = strings && FOptions.CaseInsensitive;
    if (strings && !FOptions.NoPartialCompare &&
        (kind == TFilterNodeKind::Equal || kind == TFilterNodeKind::NotEqual)) {
        auto partialLiteral = [](const TFilterNode& x) {
            return x.Kind == TFilterNodeKind::Constant && x.Value.Kind == TFilterValueKind::String &&
                   !x.Value.AsString.empty() && x.Value.AsString.back() == '*';
        };
        if (!partialLiteral(*b) && partialLiteral(*a)) std::swap(a, b);
        if (partialLiteral(*b)) {
            n->Partial = true;
            b->Value.AsString.pop_back();
        }
    }
    n->Args.push_back(std::move(a));
    n->Args.push_back(std::move(b));
    return n;
}

std::unique_ptr<TFilterNode> TCompiler::MakeArithmetic(const TToken& op, std::unique_ptr<TFilterNode> a,
                                                       std::unique_ptr<TFilterNode> b) {
    const int position = CharPos(op.Offset);
    TFilterNodeKind kind = op.Kind == TTok::Plus    ? TFilterNodeKind::Add
                           : op.Kind == TTok::Minus ? TFilterNodeKind::Subtract
                           : op.Kind == TTok::Star  ? TFilterNodeKind::Multiply
                                                    : TFilterNodeKind::Divide;
    using K = TFilterValueKind;
    // A quoted date minus or plus a date-time: the literal is a date-time.
    if (a->Type == K::DateTime && b->Kind == TFilterNodeKind::Constant && b->Type == K::String)
        Coerce(*b, K::DateTime);
    if (b->Type == K::DateTime && a->Kind == TFilterNodeKind::Constant && a->Type == K::String)
        Coerce(*a, K::DateTime);
    K ta = a->Type, tb = b->Type;
    // A literal null takes the other operand's kind (the result is null anyway).
    if (ta == K::Null) ta = tb;
    if (tb == K::Null) tb = ta;
    K result = K::Null;
    auto mismatch = [&]() -> void {
        throw EFilterError(position, std::string("Type mismatch: cannot apply '") + op.Text + "' to " +
                                         KindName(a->Type) + " and " + KindName(b->Type));
    };
    if (ta == K::Null && tb == K::Null) {
        result = kind == TFilterNodeKind::Divide ? K::Float : K::Integer;
    } else if (IsNumericKind(ta) && IsNumericKind(tb)) {
        result =
            (kind == TFilterNodeKind::Divide || ta == K::Float || tb == K::Float) ? K::Float : K::Integer;
    } else if (kind == TFilterNodeKind::Add && ta == K::String && tb == K::String) {
        result = K::String;
    } else if (kind == TFilterNodeKind::Add &&
               ((ta == K::DateTime && IsNumericKind(tb)) || (IsNumericKind(ta) && tb == K::DateTime))) {
        result = K::DateTime;
    } else if (kind == TFilterNodeKind::Subtract && ta == K::DateTime && IsNumericKind(tb)) {
        result = K::DateTime;
    } else if (kind == TFilterNodeKind::Subtract && ta == K::DateTime && tb == K::DateTime) {
        result = K::Float;
    } else {
        mismatch();
    }
    auto n = MakeNode(kind, position);
    n->Type = result;
    n->Args.push_back(std::move(a));
    n->Args.push_back(std::move(b));
    return n;
}

std::unique_ptr<TFilterNode> TCompiler::Compile() {
    Next();
    if (FTok.Kind == TTok::End) Fail(FTok.Offset, "Filter expression is empty");
    auto root = ParseOr();
    if (FTok.Kind != TTok::End) {
        if (FTok.Kind == TTok::RParen) Fail(FTok.Offset, "Unbalanced ')'");
        Fail(FTok.Offset, "Unexpected " + TokenDescription(FTok));
    }
    root = AsPredicate(std::move(root));
    CheckDepth(*root);
    return root;
}

std::unique_ptr<TFilterNode> TCompiler::ParseOr() {
    auto left = ParseAnd();
    while (FTok.Kind == TTok::KwOr) {
        const int position = CharPos(FTok.Offset);
        Next();
        auto right = ParseAnd();
        left = MakeLogic(TFilterNodeKind::Or, std::move(left), std::move(right), position);
    }
    return left;
}

std::unique_ptr<TFilterNode> TCompiler::ParseAnd() {
    auto left = ParseNot();
    while (FTok.Kind == TTok::KwAnd) {
        const int position = CharPos(FTok.Offset);
        Next();
        auto right = ParseNot();
        left = MakeLogic(TFilterNodeKind::And, std::move(left), std::move(right), position);
    }
    return left;
}

std::unique_ptr<TFilterNode> TCompiler::ParseNot() {
    if (FTok.Kind == TTok::KwNot) {
        TDepthGuard guard(*this, FTok.Offset);
        const int position = CharPos(FTok.Offset);
        Next();
        auto operand = AsPredicate(ParseNot());
        auto n = MakeNode(TFilterNodeKind::Not, position);
        n->Type = TFilterValueKind::Boolean;
        n->Args.push_back(std::move(operand));
        CheckDepth(*n);
        return n;
    }
    return ParsePredicate();
}

std::unique_ptr<TFilterNode> TCompiler::ParsePredicate() {
    auto left = ParseAdditive();
    switch (FTok.Kind) {
    case TTok::Eq:
    case TTok::Ne:
    case TTok::Lt:
    case TTok::Le:
    case TTok::Gt:
    case TTok::Ge: {
        TToken op = FTok;
        Next();
        auto right = ParseAdditive();
        return MakeComparison(op, std::move(left), std::move(right));
    }
    case TTok::KwIs: {
        const int position = CharPos(FTok.Offset);
        Next();
        bool negated = false;
        if (FTok.Kind == TTok::KwNot) {
            negated = true;
            Next();
        }
        if (FTok.Kind != TTok::KwNull) Fail(FTok.Offset, "NULL expected after IS");
        Next();
        auto n = MakeNode(negated ? TFilterNodeKind::IsNotNull : TFilterNodeKind::IsNull, position);
        n->Type = TFilterValueKind::Boolean;
        n->Args.push_back(std::move(left));
        return n;
    }
    case TTok::KwNot:
    case TTok::KwLike:
    case TTok::KwIn: {
        bool negated = false;
        if (FTok.Kind == TTok::KwNot) {
            negated = true;
            Next();
            if (FTok.Kind != TTok::KwLike && FTok.Kind != TTok::KwIn)
                Fail(FTok.Offset, "LIKE or IN expected");
        }
        const int position = CharPos(FTok.Offset);
        if (FTok.Kind == TTok::KwLike) {
            Next();
            auto pattern = ParseAdditive();
            if (left->Type == TFilterValueKind::Null && left->Kind == TFilterNodeKind::Constant) {
                left->Type = TFilterValueKind::String;
            }
            if (left->Type != TFilterValueKind::String) FailNode(*left, "Type mismatch: LIKE needs a string");
            if (pattern->Kind == TFilterNodeKind::Constant && pattern->Value.IsNull())
                pattern->Type = TFilterValueKind::String;
            if (pattern->Type != TFilterValueKind::String)
                FailNode(*pattern, "Type mismatch: LIKE needs a string pattern");
            auto n = MakeNode(TFilterNodeKind::Like, position);
            n->Type = TFilterValueKind::Boolean;
            n->Negated = negated;
            n->CaseInsensitive = FOptions.CaseInsensitive;
            n->Args.push_back(std::move(left));
            n->Args.push_back(std::move(pattern));
            return n;
        }
        Next();
        if (FTok.Kind != TTok::LParen) Fail(FTok.Offset, "'(' expected after IN");
        Next();
        auto n = MakeNode(TFilterNodeKind::In, position);
        n->Type = TFilterValueKind::Boolean;
        n->Negated = negated;
        n->Args.push_back(std::move(left));
        for (;;) {
            auto item = ParseAdditive();
            MakeComparable(*n->Args[0], *item);
            n->Args.push_back(std::move(item));
            if (FTok.Kind == TTok::Comma) {
                Next();
                continue;
            }
            if (FTok.Kind != TTok::RParen) Fail(FTok.Offset, "')' or ',' expected");
            Next();
            break;
        }
        bool strings = n->Args[0]->Type == TFilterValueKind::String;
        for (size_t k = 1; k < n->Args.size(); ++k)
            strings = strings && (n->Args[k]->Type == TFilterValueKind::String ||
                                  n->Args[k]->Type == TFilterValueKind::Null);
        n->CaseInsensitive = strings && FOptions.CaseInsensitive;
        return n;
    }
    default: return left;
    }
}

std::unique_ptr<TFilterNode> TCompiler::ParseAdditive() {
    auto left = ParseMultiplicative();
    while (FTok.Kind == TTok::Plus || FTok.Kind == TTok::Minus) {
        TToken op = FTok;
        Next();
        auto right = ParseMultiplicative();
        left = MakeArithmetic(op, std::move(left), std::move(right));
        CheckDepth(*left);
    }
    return left;
}

std::unique_ptr<TFilterNode> TCompiler::ParseMultiplicative() {
    auto left = ParseUnary();
    while (FTok.Kind == TTok::Star || FTok.Kind == TTok::Slash) {
        TToken op = FTok;
        Next();
        auto right = ParseUnary();
        left = MakeArithmetic(op, std::move(left), std::move(right));
        CheckDepth(*left);
    }
    return left;
}

std::unique_ptr<TFilterNode> TCompiler::ParseUnary() {
    if (FTok.Kind == TTok::Minus || FTok.Kind == TTok::Plus) {
        TDepthGuard guard(*this, FTok.Offset);
        const bool minus = FTok.Kind == TTok::Minus;
        const int position = CharPos(FTok.Offset);
        Next();
        auto operand = ParseUnary();
        if (operand->Type != TFilterValueKind::Null && !IsNumericKind(operand->Type))
            FailNode(*operand, "Type mismatch: a number is expected");
        if (!minus) return operand;
        if (operand->Kind == TFilterNodeKind::Constant) {
            TFilterValue& v = operand->Value;
            if (v.Kind == TFilterValueKind::Integer &&
                v.AsInteger != std::numeric_limits<std::int64_t>::min()) {
                v.AsInteger = -v.AsInteger;
                operand->Position = position;
                return operand;
            }
            if (v.Kind == TFilterValueKind::Float) {
                v.AsFloat = -v.AsFloat;
                operand->FieldName = "-" + operand->FieldName;
                operand->Position = position;
                return operand;
            }
        }
        auto n = MakeNode(TFilterNodeKind::Negate, position);
        n->Type = operand->Type == TFilterValueKind::Null ? TFilterValueKind::Integer : operand->Type;
        n->Args.push_back(std::move(operand));
        CheckDepth(*n);
        return n;
    }
    return ParsePrimary();
}

struct TFunctionInfo {
    const char* Name;
    TFilterFunction Function;
};

constexpr TFunctionInfo kFunctions[] = {{"UPPER", TFilterFunction::Upper},
                                        {"LOWER", TFilterFunction::Lower},
                                        {"TRIM", TFilterFunction::Trim},
                                        {"TRIMLEFT", TFilterFunction::TrimLeft},
                                        {"TRIMRIGHT", TFilterFunction::TrimRight},
                                        {"SUBSTRING", TFilterFunction::Substring},
                                        {"YEAR", TFilterFunction::Year},
                                        {"MONTH", TFilterFunction::Month},
                                        {"DAY", TFilterFunction::Day},
                                        {"HOUR", TFilterFunction::Hour},
                                        {"MINUTE", TFilterFunction::Minute},
                                        {"SECOND", TFilterFunction::Second},
                                        {"DATE", TFilterFunction::Date},
                                        {"TIME", TFilterFunction::Time}};

std::unique_ptr<TFilterNode> TCompiler::ParsePrimary() {
    TToken t = FTok;
    const int position = CharPos(t.Offset);
    switch (t.Kind) {
    case TTok::String: Next(); return MakeConstant(TFilterValue::String(t.Text), position);
    case TTok::Integer: Next(); return MakeConstant(TFilterValue::Integer(t.Int), position);
    case TTok::Float: {
        Next();
        auto n = MakeConstant(TFilterValue::Float(t.Float), position);
        n->FieldName = t.Text; // the digits as written, for comparisons with text
        return n;
    }
    case TTok::KwTrue: Next(); return MakeConstant(TFilterValue::Boolean(true), position);
    case TTok::KwFalse: Next(); return MakeConstant(TFilterValue::Boolean(false), position);
    case TTok::KwNull: Next(); return MakeConstant(TFilterValue::Null(), position);
    case TTok::LParen: {
        TDepthGuard guard(*this, t.Offset);
        Next();
        auto inner = ParseOr();
        if (FTok.Kind != TTok::RParen) {
            if (FTok.Kind == TTok::End) Fail(t.Offset, "Missing ')'");
            Fail(FTok.Offset, "')' expected instead of " + TokenDescription(FTok));
        }
        Next();
        return inner;
    }
    case TTok::Ident:
    case TTok::Bracket: {
        Next();
        if (t.Kind == TTok::Ident && FTok.Kind == TTok::LParen) {
            std::string upper;
            for (char ch : t.Text)
                upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(ch))));
            for (const auto& f : kFunctions)
                if (upper == f.Name) return ParseFunction(t, f.Function);
            Fail(t.Offset, "Unknown function '" + t.Text + "'");
        }
        std::optional<TFilterFieldInfo> info;
        if (FResolver) info = FResolver(t.Text);
        if (!info) Fail(t.Offset, "Field '" + t.Text + "' not found");
        auto n = MakeNode(TFilterNodeKind::Field, position);
        n->FieldIndex = info->Index;
        n->FieldName = t.Text;
        n->Type = info->Kind;
        return n;
    }
    case TTok::End: Fail(t.Offset, "Operand expected at end of expression");
    default: Fail(t.Offset, "Operand expected instead of " + TokenDescription(t));
    }
}

std::unique_ptr<TFilterNode> TCompiler::ParseFunction(const TToken& name, TFilterFunction f) {
    TDepthGuard guard(*this, name.Offset);
    const int position = CharPos(name.Offset);
    Next(); // '('
    auto n = MakeNode(TFilterNodeKind::Function, position);
    n->Function = f;
    if (FTok.Kind != TTok::RParen) {
        for (;;) {
            n->Args.push_back(ParseOr());
            if (FTok.Kind == TTok::Comma) {
                Next();
                continue;
            }
            break;
        }
    }
    if (FTok.Kind != TTok::RParen) {
        if (FTok.Kind == TTok::End) Fail(name.Offset, "Missing ')'");
        Fail(FTok.Offset, "')' expected instead of " + TokenDescription(FTok));
    }
    Next();
    const size_t count = n->Args.size();
    using K = TFilterValueKind;
    auto wantArgs = [&](size_t lo, size_t hi) {
        if (count < lo || count > hi) Fail(name.Offset, "Wrong number of arguments for " + name.Text);
    };
    auto want = [&](size_t i, K kind) {
        TFilterNode& a = *n->Args[i];
        if (a.Kind == TFilterNodeKind::Constant) Coerce(a, kind);
        if (a.Type == K::Null) return;
        const bool ok = a.Type == kind || (IsNumericKind(kind) && IsNumericKind(a.Type));
        if (!ok) FailNode(a, std::string("Type mismatch: ") + KindName(kind) + " expected");
    };
    switch (f) {
    case TFilterFunction::Upper:
    case TFilterFunction::Lower:
    case TFilterFunction::Trim:
    case TFilterFunction::TrimLeft:
    case TFilterFunction::TrimRight:
        wantArgs(1, 1);
        want(0, K::String);
        n->Type = K::String;
        break;
    case TFilterFunction::Substring:
        wantArgs(2, 3);
        want(0, K::String);
        for (size_t i = 1; i < count; ++i) want(i, K::Integer);
        n->Type = K::String;
        break;
    case TFilterFunction::Date:
    case TFilterFunction::Time:
        wantArgs(1, 1);
        want(0, K::DateTime);
        n->Type = K::DateTime;
        break;
    default:
        wantArgs(1, 1);
        want(0, K::DateTime);
        n->Type = K::Integer;
        break;
    }
    CheckDepth(*n);
    return n;
}

// ---------------------------------------------------------------------------------------------------
// Evaluation

// Compares an integer and a double exactly (no rounding of large integers).
int CompareIntDouble(std::int64_t i, double d) {
    if (d >= 9223372036854775808.0) return -1;
    if (d < -9223372036854775808.0) return 1;
    const auto t = static_cast<std::int64_t>(d); // truncates toward zero, in range here
    if (i < t) return -1;
    if (i > t) return 1;
    const double frac = d - static_cast<double>(t);
    return frac > 0 ? -1 : (frac < 0 ? 1 : 0);
}

bool NumericOf(const TFilterValue& v, bool& isInt, std::int64_t& iv, double& dv) {
    switch (v.Kind) {
    case TFilterValueKind::Integer:
        isInt = true;
        iv = v.AsInteger;
        return true;
    case TFilterValueKind::Boolean:
        isInt = true;
        iv = v.AsBoolean ? 1 : 0;
        return true;
    case TFilterValueKind::Float:
    case TFilterValueKind::DateTime:
        if (std::isnan(v.AsFloat)) return false;
        isInt = false;
        dv = v.AsFloat;
        return true;
    default: return false;
    }
}

// Three-way comparison; nullopt when either side is null. Numbers sort before text.
std::optional<int> CompareValues(const TFilterValue& a, const TFilterValue& b, bool fold) {
    if (a.IsNull() || b.IsNull()) return std::nullopt;
    const bool sa = a.Kind == TFilterValueKind::String, sb = b.Kind == TFilterValueKind::String;
    if (sa && sb) return fold ? CompareFolded(a.AsString, b.AsString) : CompareBytes(a.AsString, b.AsString);
    if (sa != sb) return sa ? 1 : -1;
    bool ia = false, ib = false;
    std::int64_t xa = 0, xb = 0;
    double da = 0, db = 0;
    if (!NumericOf(a, ia, xa, da) || !NumericOf(b, ib, xb, db)) return std::nullopt;
    if (ia && ib) return xa < xb ? -1 : (xa > xb ? 1 : 0);
    if (ia) return CompareIntDouble(xa, db);
    if (ib) return -CompareIntDouble(xb, da);
    return da < db ? -1 : (da > db ? 1 : 0);
}

TFilterValue FloatOrNull(double v, TFilterValueKind kind) {
    if (std::isnan(v)) return TFilterValue::Null();
    return kind == TFilterValueKind::DateTime ? TFilterValue::DateTime(v) : TFilterValue::Float(v);
}

bool TruthOf(const TFilterValue& v) {
    switch (v.Kind) {
    case TFilterValueKind::Boolean: return v.AsBoolean;
    case TFilterValueKind::Integer: return v.AsInteger != 0;
    case TFilterValueKind::Float: return v.AsFloat != 0 && !std::isnan(v.AsFloat);
    default: return false;
    }
}

std::string TrimText(std::string_view s, bool left, bool right) {
    size_t b = 0, e = s.size();
    if (left)
        while (b < e && static_cast<unsigned char>(s[b]) <= ' ') ++b;
    if (right)
        while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ') --e;
    return std::string(s.substr(b, e - b));
}

bool IntegerOf(const TFilterValue& v, std::int64_t& out) {
    if (v.Kind == TFilterValueKind::Integer) {
        out = v.AsInteger;
        return true;
    }
    if (v.Kind == TFilterValueKind::Float && std::isfinite(v.AsFloat) && std::fabs(v.AsFloat) < 9.0e18) {
        out = static_cast<std::int64_t>(v.AsFloat);
        return true;
    }
    return false;
}

class TEvaluator {
public:
    explicit TEvaluator(const TFilterRecord& record) : FRecord(record) {}
    TFilterValue Eval(const TFilterNode& n) const;
    bool Test(const TFilterNode& n) const { return TruthOf(Eval(n)); }

private:
    const TFilterRecord& FRecord;
    TFilterValue Arithmetic(const TFilterNode& n) const;
    TFilterValue Function(const TFilterNode& n) const;
};

TFilterValue TEvaluator::Arithmetic(const TFilterNode& n) const {
    const TFilterValue a = Eval(*n.Args[0]);
    const TFilterValue b = Eval(*n.Args[1]);
    if (a.IsNull() || b.IsNull()) return TFilterValue::Null();
    if (n.Type == TFilterValueKind::String) {
        if (a.Kind != TFilterValueKind::String || b.Kind != TFilterValueKind::String)
            return TFilterValue::Null();
        return TFilterValue::String(a.AsString + b.AsString);
    }
    bool ia = false, ib = false;
    std::int64_t xa = 0, xb = 0;
    double da = 0, db = 0;
    if (!NumericOf(a, ia, xa, da) || !NumericOf(b, ib, xb, db)) return TFilterValue::Null();
    if (ia) da = static_cast<double>(xa);
    if (ib) db = static_cast<double>(xb);
    const TFilterValueKind floatKind =
        n.Type == TFilterValueKind::DateTime ? TFilterValueKind::DateTime : TFilterValueKind::Float;
    switch (n.Kind) {
    case TFilterNodeKind::Add:
    case TFilterNodeKind::Subtract:
    case TFilterNodeKind::Multiply: {
        if (ia && ib && n.Type == TFilterValueKind::Integer) {
            std::int64_t r = 0;
            bool overflow = n.Kind == TFilterNodeKind::Add        ? __builtin_add_overflow(xa, xb, &r)
                            : n.Kind == TFilterNodeKind::Subtract ? __builtin_sub_overflow(xa, xb, &r)
                                                                  : __builtin_mul_overflow(xa, xb, &r);
            if (!overflow) return TFilterValue::Integer(r);
        }
        const double r = n.Kind == TFilterNodeKind::Add        ? da + db
                         : n.Kind == TFilterNodeKind::Subtract ? da - db
                                                               : da * db;
        return FloatOrNull(r, floatKind);
    }
    default: // Divide
        if (db == 0) return TFilterValue::Null();
        return FloatOrNull(da / db, TFilterValueKind::Float);
    }
}

TFilterValue TEvaluator::Function(const TFilterNode& n) const {
    std::vector<TFilterValue> args;
    args.reserve(n.Args.size());
    for (const auto& a : n.Args) {
        args.push_back(Eval(*a));
        if (args.back().IsNull()) return TFilterValue::Null();
    }
    switch (n.Function) {
    case TFilterFunction::Upper:
    case TFilterFunction::Lower:
    case TFilterFunction::Trim:
    case TFilterFunction::TrimLeft:
    case TFilterFunction::TrimRight: {
        if (args[0].Kind != TFilterValueKind::String) return TFilterValue::Null();
        const std::string& s = args[0].AsString;
        switch (n.Function) {
        case TFilterFunction::Upper: return TFilterValue::String(MapCase(s, true));
        case TFilterFunction::Lower: return TFilterValue::String(MapCase(s, false));
        case TFilterFunction::Trim: return TFilterValue::String(TrimText(s, true, true));
        case TFilterFunction::TrimLeft: return TFilterValue::String(TrimText(s, true, false));
        default: return TFilterValue::String(TrimText(s, false, true));
        }
    }
    case TFilterFunction::Substring: {
        if (args[0].Kind != TFilterValueKind::String) return TFilterValue::Null();
        std::int64_t start = 0, len = std::numeric_limits<std::int64_t>::max();
        if (!IntegerOf(args[1], start)) return TFilterValue::Null();
        if (args.size() > 2 && !IntegerOf(args[2], len)) return TFilterValue::Null();
        // 1-based character positions; a start before 1 counts from 1, a negative length is empty.
        if (start < 1) start = 1;
        if (len <= 0) return TFilterValue::String({});
        const std::string& s = args[0].AsString;
        size_t i = 0;
        std::int64_t cp = 1;
        while (i < s.size() && cp < start) {
            NextCodePoint(s, i);
            ++cp;
        }
        const size_t from = i;
        std::int64_t taken = 0;
        while (i < s.size() && taken < len) {
            NextCodePoint(s, i);
            ++taken;
        }
        return TFilterValue::String(s.substr(from, i - from));
    }
    default: break;
    }
    bool isInt = false;
    std::int64_t iv = 0;
    double dv = 0;
    if (!NumericOf(args[0], isInt, iv, dv)) return TFilterValue::Null();
    if (isInt) dv = static_cast<double>(iv);
    std::int64_t day = 0, ms = 0;
    if (!SplitDateTime(dv, day, ms)) return TFilterValue::Null();
    switch (n.Function) {
    case TFilterFunction::Date: return TFilterValue::DateTime(static_cast<double>(day));
    case TFilterFunction::Time: return TFilterValue::DateTime(static_cast<double>(ms) / 86400000.0);
    case TFilterFunction::Hour: return TFilterValue::Integer(ms / 3600000);
    case TFilterFunction::Minute: return TFilterValue::Integer(ms / 60000 % 60);
    case TFilterFunction::Second: return TFilterValue::Integer(ms / 1000 % 60);
    default: break;
    }
    std::int64_t y = 0;
    unsigned m = 0, d = 0;
    CivilFromDays(day + kDaysFromCivilTo18991230, y, m, d);
    switch (n.Function) {
    case TFilterFunction::Year: return TFilterValue::Integer(y);
    case TFilterFunction::Month: return TFilterValue::Integer(m);
    default: return TFilterValue::Integer(d);
    }
}

TFilterValue TEvaluator::Eval(const TFilterNode& n) const {
    using K = TFilterNodeKind;
    switch (n.Kind) {
    case K::Constant: return n.Value;
    case K::Field: return FRecord.FieldValue(n.FieldIndex);
    case K::And:
        for (const auto& a : n.Args)
            if (!Test(*a)) return TFilterValue::Boolean(false);
        return TFilterValue::Boolean(true);
    case K::Or:
        for (const auto& a : n.Args)
            if (Test(*a)) return TFilterValue::Boolean(true);
        return TFilterValue::Boolean(false);
    case K::Not: return TFilterValue::Boolean(!Test(*n.Args[0]));
    case K::BoolTest: return TFilterValue::Boolean(TruthOf(Eval(*n.Args[0])));
    case K::Negate: {
        const TFilterValue v = Eval(*n.Args[0]);
        if (v.Kind == TFilterValueKind::Integer) {
            if (v.AsInteger == std::numeric_limits<std::int64_t>::min())
                return TFilterValue::Float(-static_cast<double>(v.AsInteger));
            return TFilterValue::Integer(-v.AsInteger);
        }
        if (v.Kind == TFilterValueKind::Float) return TFilterValue::Float(-v.AsFloat);
        if (v.Kind == TFilterValueKind::DateTime) return TFilterValue::DateTime(-v.AsFloat);
        return TFilterValue::Null();
    }
    case K::Add:
    case K::Subtract:
    case K::Multiply:
    case K::Divide: return Arithmetic(n);
    case K::Equal:
    case K::NotEqual:
    case K::Less:
    case K::LessEqual:
    case K::Greater:
    case K::GreaterEqual: {
        const TFilterValue a = Eval(*n.Args[0]);
        const TFilterValue b = Eval(*n.Args[1]);
        if (n.Partial) {
            if (a.Kind != TFilterValueKind::String || b.Kind != TFilterValueKind::String)
                return TFilterValue::Boolean(false);
            const bool starts = n.CaseInsensitive ? StartsWithFolded(a.AsString, b.AsString)
                                                  : a.AsString.compare(0, b.AsString.size(), b.AsString) == 0;
            return TFilterValue::Boolean(n.Kind == K::Equal ? starts : !starts);
        }
        const auto c = CompareValues(a, b, n.CaseInsensitive);
        if (!c) return TFilterValue::Boolean(false);
        switch (n.Kind) {
        case K::Equal: return TFilterValue::Boolean(*c == 0);
        case K::NotEqual: return TFilterValue::Boolean(*c != 0);
        case K::Less: return TFilterValue::Boolean(*c < 0);
        case K::LessEqual: return TFilterValue::Boolean(*c <= 0);
        case K::Greater: return TFilterValue::Boolean(*c > 0);
        default: return TFilterValue::Boolean(*c >= 0);
        }
    }
    case K::IsNull: return TFilterValue::Boolean(Eval(*n.Args[0]).IsNull());
    case K::IsNotNull: return TFilterValue::Boolean(!Eval(*n.Args[0]).IsNull());
    case K::Like: {
        const TFilterValue a = Eval(*n.Args[0]);
        const TFilterValue p = Eval(*n.Args[1]);
        if (a.Kind != TFilterValueKind::String || p.Kind != TFilterValueKind::String)
            return TFilterValue::Boolean(false);
        const bool m = LikeMatch(a.AsString, p.AsString, n.CaseInsensitive);
        return TFilterValue::Boolean(n.Negated ? !m : m);
    }
    case K::In: {
        const TFilterValue a = Eval(*n.Args[0]);
        if (a.IsNull()) return TFilterValue::Boolean(false);
        bool found = false, sawNull = false;
        for (size_t k = 1; k < n.Args.size() && !found; ++k) {
            const TFilterValue v = Eval(*n.Args[k]);
            if (v.IsNull()) {
                sawNull = true;
                continue;
            }
            const auto c = CompareValues(a, v, n.CaseInsensitive);
            found = c && *c == 0;
        }
        // NOT IN over a list holding a null is unknown, hence false.
        if (n.Negated) return TFilterValue::Boolean(!found && !sawNull);
        return TFilterValue::Boolean(found);
    }
    case K::Function: return Function(n);
    }
    return TFilterValue::Null();
}

// ---------------------------------------------------------------------------------------------------
// SQL translation

class TSqlWriter {
public:
    TSqlWriter(const TFilterColumnMapper& columns, std::vector<TFilterValue>& params)
        : FColumns(columns), FParams(params) {}
    bool Pred(const TFilterNode& n, std::string& out);
    bool Value(const TFilterNode& n, std::string& out);

private:
    const TFilterColumnMapper& FColumns;
    std::vector<TFilterValue>& FParams;

    void Bind(TFilterValue v, std::string& out) {
        if (v.Kind == TFilterValueKind::Boolean) v = TFilterValue::Integer(v.AsBoolean ? 1 : 0);
        FParams.push_back(std::move(v));
        out += '?';
    }
    static bool AsciiConstant(const TFilterNode& n) {
        return n.Kind == TFilterNodeKind::Constant &&
               (n.Value.IsNull() || (n.Value.Kind == TFilterValueKind::String && IsAscii(n.Value.AsString) &&
                                     IsCleanText(n.Value.AsString)));
    }
};

bool TSqlWriter::Value(const TFilterNode& n, std::string& out) {
    using K = TFilterNodeKind;
    if (n.Type == TFilterValueKind::DateTime) return false;
    switch (n.Kind) {
    case K::Constant:
        if (n.Value.IsNull()) {
            out += "NULL";
            return true;
        }
        if (n.Value.Kind == TFilterValueKind::Float && !std::isfinite(n.Value.AsFloat)) return false;
        Bind(n.Value, out);
        return true;
    case K::Field: {
        if (!FColumns) return false;
        const auto name = FColumns(n.FieldIndex);
        if (!name) return false;
        out += QuoteSQLIdentifier(*name);
        return true;
    }
    case K::Negate:
        out += "(-";
        if (!Value(*n.Args[0], out)) return false;
        out += ')';
        return true;
    case K::Add:
    case K::Subtract:
    case K::Multiply: {
        if (n.Args[0]->Type == TFilterValueKind::DateTime || n.Args[1]->Type == TFilterValueKind::DateTime)
            return false;
        const char* op = n.Kind == K::Add        ? (n.Type == TFilterValueKind::String ? " || " : " + ")
                         : n.Kind == K::Subtract ? " - "
                                                 : " * ";
        out += '(';
        if (!Value(*n.Args[0], out)) return false;
        out += op;
        if (!Value(*n.Args[1], out)) return false;
        out += ')';
        return true;
    }
    case K::Divide:
        out += "(CAST(";
        if (!Value(*n.Args[0], out)) return false;
        out += " AS REAL) / ";
        if (!Value(*n.Args[1], out)) return false;
        out += ')';
        return true;
    case K::Function: {
        if (n.Function != TFilterFunction::Substring) return false;
        for (size_t k = 1; k < n.Args.size(); ++k) {
            const TFilterNode& a = *n.Args[k];
            if (a.Kind != K::Constant || a.Value.Kind != TFilterValueKind::Integer || a.Value.AsInteger < 1)
                return false;
        }
        out += "substr(";
        if (!Value(*n.Args[0], out)) return false;
        for (size_t k = 1; k < n.Args.size(); ++k) {
            out += ", ";
            Bind(n.Args[k]->Value, out);
        }
        out += ')';
        return true;
    }
    default:
        if (IsPredicateKind(n.Kind)) return Pred(n, out);
        return false;
    }
}

bool TSqlWriter::Pred(const TFilterNode& n, std::string& out) {
    using K = TFilterNodeKind;
    switch (n.Kind) {
    case K::And:
    case K::Or: {
        out += '(';
        for (size_t k = 0; k < n.Args.size(); ++k) {
            if (k) out += n.Kind == K::And ? " AND " : " OR ";
            if (!Pred(*n.Args[k], out)) return false;
        }
        out += ')';
        return true;
    }
    case K::Not:
        out += "(NOT ";
        if (!Pred(*n.Args[0], out)) return false;
        out += ')';
        return true;
    case K::BoolTest:
        if (n.Args[0]->Type != TFilterValueKind::Boolean) return false;
        out += "COALESCE(";
        if (!Value(*n.Args[0], out)) return false;
        out += " <> 0, 0)";
        return true;
    case K::IsNull:
    case K::IsNotNull: {
        // A null test needs no value conversion, so date-time fields qualify here.
        const TFilterNode& a = *n.Args[0];
        out += '(';
        if (a.Kind == K::Field && a.Type == TFilterValueKind::DateTime) {
            const auto name = FColumns ? FColumns(a.FieldIndex) : std::nullopt;
            if (!name) return false;
            out += QuoteSQLIdentifier(*name);
        } else if (!Value(a, out)) {
            return false;
        }
        out += n.Kind == K::IsNull ? " IS NULL)" : " IS NOT NULL)";
        return true;
    }
    case K::Equal:
    case K::NotEqual:
    case K::Less:
    case K::LessEqual:
    case K::Greater:
    case K::GreaterEqual: {
        const TFilterNode& a = *n.Args[0];
        const TFilterNode& b = *n.Args[1];
        const bool strings = a.Type == TFilterValueKind::String || b.Type == TFilterValueKind::String;
        // Case folding matches SQLite's NOCASE only when one side is plain ASCII text.
        if (n.CaseInsensitive && !AsciiConstant(a) && !AsciiConstant(b)) return false;
        const char* collate = !strings ? "" : (n.CaseInsensitive ? " COLLATE NOCASE" : " COLLATE BINARY");
        const char* op = n.Kind == K::Equal       ? " = "
                         : n.Kind == K::NotEqual  ? " <> "
                         : n.Kind == K::Less      ? " < "
                         : n.Kind == K::LessEqual ? " <= "
                         : n.Kind == K::Greater   ? " > "
                                                  : " >= ";
        if (n.Partial && !IsCleanText(b.Value.AsString)) return false;
        out += "COALESCE(";
        if (n.Partial) {
            out += "substr(";
            if (!Value(a, out)) return false;
            out += ", 1, ";
            Bind(TFilterValue::Integer(static_cast<std::int64_t>(CodePointCount(b.Value.AsString))), out);
            out += ')';
        } else if (!Value(a, out)) {
            return false;
        }
        out += op;
        if (!Value(b, out)) return false;
        out += collate;
        out += ", 0)";
        return true;
    }
    case K::Like: {
        const TFilterNode& p = *n.Args[1];
        if (n.CaseInsensitive || p.Kind != K::Constant) return false;
        if (p.Value.IsNull()) {
            out += '0';
            return true;
        }
        if (!IsCleanText(p.Value.AsString)) return false;
        // LIKE becomes GLOB (case-sensitive, by character) with the wildcards translated.
        std::string glob;
        for (char ch : p.Value.AsString) {
            switch (ch) {
            case '%': glob += '*'; break;
            case '_': glob += '?'; break;
            case '*': glob += "[*]"; break;
            case '?': glob += "[?]"; break;
            case '[': glob += "[[]"; break;
            default: glob += ch;
            }
        }
        out += n.Negated ? "COALESCE(NOT (" : "COALESCE((";
        if (!Value(*n.Args[0], out)) return false;
        out += " GLOB ";
        Bind(TFilterValue::String(std::move(glob)), out);
        out += "), 0)";
        return true;
    }
    case K::In: {
        const TFilterNode& a = *n.Args[0];
        const bool strings = a.Type == TFilterValueKind::String;
        if (n.CaseInsensitive)
            for (size_t k = 1; k < n.Args.size(); ++k)
                if (!AsciiConstant(*n.Args[k])) return false;
        const char* collate = !strings ? "" : (n.CaseInsensitive ? " COLLATE NOCASE" : " COLLATE BINARY");
        auto list = [&]() {
            for (size_t k = 1; k < n.Args.size(); ++k) {
                if (k > 1) out += ", ";
                if (!Value(*n.Args[k], out)) return false;
            }
            return true;
        };
        if (n.Negated) {
            // Unknown (a null in the list) counts as false, like a null left operand.
            out += '(';
            if (!Value(a, out)) return false;
            out += collate;
            out += " IS NOT NULL AND NOT COALESCE(";
            if (!Value(a, out)) return false;
            out += collate;
            out += " IN (";
            if (!list()) return false;
            out += "), 1))";
            return true;
        }
        out += "COALESCE(";
        if (!Value(a, out)) return false;
        out += collate;
        out += " IN (";
        if (!list()) return false;
        out += "), 0)";
        return true;
    }
    default: return false;
    }
}

void CollectFields(const TFilterNode& n, std::set<int>& out) {
    if (n.Kind == TFilterNodeKind::Field) out.insert(n.FieldIndex);
    for (const auto& a : n.Args) CollectFields(*a, out);
}

} // namespace

// ---------------------------------------------------------------------------------------------------

TFilterExpr::TFilterExpr(std::string text, TFilterCompileOptions options, std::unique_ptr<TFilterNode> root)
    : FText(std::move(text)), FOptions(std::move(options)), FRoot(std::move(root)) {}

TFilterExpr::~TFilterExpr() = default;

bool TFilterExpr::Evaluate(const TFilterRecord& record) const {
    return TEvaluator(record).Test(*FRoot);
}

std::vector<int> TFilterExpr::FieldsUsed() const {
    std::set<int> s;
    CollectFields(*FRoot, s);
    return {s.begin(), s.end()};
}

std::unique_ptr<TFilterExpr> CompileFilter(std::string_view text, const TFilterFieldResolver& resolver,
                                           const TFilterCompileOptions& options) {
    TCompiler compiler(text, resolver, options);
    auto root = compiler.Compile();
    return std::make_unique<TFilterExpr>(std::string(text), options, std::move(root));
}

std::optional<std::string> FilterExprToSQL(const TFilterExpr& expr, const TFilterColumnMapper& columns,
                                           std::vector<TFilterValue>& boundParams) {
    // SQLite's parser has a small stack, its expression trees a depth limit (long AND chains count)
    // and statements a limit on parameters: deep or large trees stay with the C++ evaluation.
    constexpr int kMaxSqlDepth = 16;
    constexpr size_t kMaxSqlNodes = 400;
    size_t nodes = 0;
    std::vector<std::pair<const TFilterNode*, int>> stack{{&expr.Root(), 1}};
    while (!stack.empty()) {
        auto [node, depth] = stack.back();
        stack.pop_back();
        if (depth > kMaxSqlDepth || ++nodes > kMaxSqlNodes) return std::nullopt;
        for (const auto& a : node->Args) stack.push_back({a.get(), depth + 1});
    }
    std::vector<TFilterValue> params;
    std::string sql;
    TSqlWriter writer(columns, params);
    if (!writer.Pred(expr.Root(), sql)) return std::nullopt;
    for (auto& p : params) boundParams.push_back(std::move(p));
    return sql;
}

std::string QuoteSQLIdentifier(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
    return out;
}

} // namespace qel
