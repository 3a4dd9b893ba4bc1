#include "platform/core/formsyntax.h"

#include <charconv>
#include <cmath>
#include <cstring>

#include "platform/core/strutils.h"

namespace qel {

EFormReadError::EFormReadError(std::string fileName, int line, std::string detail)
    : EReadError((fileName.empty() ? std::string("Line ") + std::to_string(line)
                                   : fileName + "(" + std::to_string(line) + ")") +
                 ": " + detail),
      FFileName(std::move(fileName)), FLine(line), FDetail(std::move(detail)) {}

// ---- values ----------------------------------------------------------------------------------------

TFormValue TFormValue::MakeInteger(int64_t v) {
    TFormValue r;
    r.Kind = TFormValueKind::Integer;
    r.Int = v;
    return r;
}
TFormValue TFormValue::MakeFloat(double v, char suffix) {
    TFormValue r;
    r.Kind = TFormValueKind::Float;
    r.Float = v;
    r.FloatSuffix = suffix;
    return r;
}
TFormValue TFormValue::MakeString(std::string s) {
    TFormValue r;
    r.Kind = TFormValueKind::String;
    r.Str = std::move(s);
    return r;
}
TFormValue TFormValue::MakeIdent(std::string s) {
    TFormValue r;
    r.Kind = TFormValueKind::Ident;
    r.Str = std::move(s);
    return r;
}
TFormValue TFormValue::MakeSet(std::vector<std::string> elements) {
    TFormValue r;
    r.Kind = TFormValueKind::Set;
    r.Elements = std::move(elements);
    return r;
}
TFormValue TFormValue::MakeList(std::vector<TFormValue> items) {
    TFormValue r;
    r.Kind = TFormValueKind::List;
    r.Items = std::move(items);
    return r;
}
TFormValue TFormValue::MakeList() {
    return MakeList(std::vector<TFormValue>());
}
TFormValue TFormValue::MakeCollection() {
    return MakeCollection(std::vector<TFormCollectionItem>());
}
TFormValue TFormValue::MakeBinary(std::string bytes) {
    TFormValue r;
    r.Kind = TFormValueKind::Binary;
    r.Str = std::move(bytes);
    return r;
}
TFormValue TFormValue::MakeCollection(std::vector<TFormCollectionItem> items) {
    TFormValue r;
    r.Kind = TFormValueKind::Collection;
    r.CollItems = std::move(items);
    return r;
}

bool TFormValue::operator==(const TFormValue& o) const {
    if (Kind != o.Kind) return false;
    switch (Kind) {
    case TFormValueKind::Integer: return Int == o.Int;
    case TFormValueKind::Float:
        return FloatSuffix == o.FloatSuffix && std::memcmp(&Float, &o.Float, sizeof Float) == 0;
    case TFormValueKind::String:
    case TFormValueKind::Binary: return Str == o.Str;
    case TFormValueKind::Ident: return SameText(Str, o.Str);
    case TFormValueKind::Set:
        if (Elements.size() != o.Elements.size()) return false;
        for (size_t i = 0; i < Elements.size(); ++i)
            if (!SameText(Elements[i], o.Elements[i])) return false;
        return true;
    case TFormValueKind::List: return Items == o.Items;
    case TFormValueKind::Collection:
        if (CollItems.size() != o.CollItems.size()) return false;
        for (size_t i = 0; i < CollItems.size(); ++i)
            if (CollItems[i].Index != o.CollItems[i].Index ||
                !(CollItems[i].Properties == o.CollItems[i].Properties))
                return false;
        return true;
    }
    return false;
}

const TFormProperty* TFormObject::FindProperty(std::string_view name) const {
    for (const auto& p : Properties)
        if (SameText(p.Name, name)) return &p;
    return nullptr;
}

// ---- parser ----------------------------------------------------------------------------------------

namespace {

inline bool IsIdentStart(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline bool IsIdentChar(char c) {
    return IsIdentStart(c) || (c >= '0' && c <= '9');
}
inline bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}
inline int HexVal(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}
inline bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

void AppendUtf8(std::string& out, uint32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

class TFormParser {
public:
    TFormParser(std::string_view text, const std::string& fileName) : S(text), File(fileName) {}

    TFormDocument Parse() {
        TFormDocument doc;
        doc.FileName = File;
        SkipBlanks();
        if (P >= S.size()) Error("Empty form file: 'object' expected");
        doc.Root = ParseObject(0);
        SkipBlanks();
        if (P < S.size()) Error("Unexpected text after the final 'end'");
        doc.Trailing = std::string(S.substr(Mark));
        return doc;
    }

private:
    [[noreturn]] void Error(const std::string& detail, int line = 0) {
        throw EFormReadError(File, line ? line : Line, detail);
    }

    char Peek() const { return P < S.size() ? S[P] : '\0'; }
    bool AtEnd() const { return P >= S.size(); }

    void SkipBlanks() {
        while (P < S.size() && IsBlank(S[P])) {
            if (S[P] == '\n') ++Line;
            ++P;
        }
    }
    // Blanks within one line only.
    void SkipSpaces() {
        while (P < S.size() && (S[P] == ' ' || S[P] == '\t')) ++P;
    }

    // The raw text since the last piece, through the end of the current line when only blanks follow.
    std::string TakeRaw() {
        size_t q = P;
        while (q < S.size() && (S[q] == ' ' || S[q] == '\t' || S[q] == '\r')) ++q;
        if (q < S.size() && S[q] == '\n') {
            P = q + 1;
            ++Line;
        } else if (q >= S.size()) {
            P = q;
        }
        std::string raw(S.substr(Mark, P - Mark));
        Mark = P;
        return raw;
    }

    std::string_view PeekWord() const {
        size_t q = P;
        if (q >= S.size() || !IsIdentStart(S[q])) return {};
        while (q < S.size() && IsIdentChar(S[q])) ++q;
        return S.substr(P, q - P);
    }

    std::string ReadIdent(bool dotted, const char* what) {
        if (!IsIdentStart(Peek())) Error(std::string(what) + " expected");
        size_t start = P;
        for (;;) {
            while (P < S.size() && IsIdentChar(S[P])) ++P;
            if (dotted && P + 1 < S.size() && S[P] == '.' && IsIdentStart(S[P + 1])) {
                ++P;
                continue;
            }
            break;
        }
        return std::string(S.substr(start, P - start));
    }

    void CheckCharacter() {
        unsigned char c = static_cast<unsigned char>(Peek());
        if (AtEnd()) Error("Unexpected end of file");
        if (c < 32 && !IsBlank(static_cast<char>(c))) Error("Invalid character #" + std::to_string(c));
    }

    TFormObject ParseObject(int depth) {
        if (depth >= kMaxFormObjectDepth) Error("Objects nested too deeply");
        TFormObject obj;
        obj.Line = Line;
        std::string_view kw = PeekWord();
        if (SameText(kw, "object"))
            obj.Kind = TFormObjectKind::Object;
        else if (SameText(kw, "inherited"))
            obj.Kind = TFormObjectKind::Inherited;
        else if (SameText(kw, "inline"))
            obj.Kind = TFormObjectKind::Inline;
        else
            Error("'object' expected");
        P += kw.size();
        SkipSpaces();
        std::string first = ReadIdent(false, "Object name or class");
        SkipSpaces();
        if (Peek() == ':') {
            ++P;
            SkipSpaces();
            obj.Name = std::move(first);
            obj.ClassName = ReadIdent(false, "Class name");
        } else {
            obj.ClassName = std::move(first);
        }
        SkipSpaces();
        if (Peek() == '[') {
            ++P;
            SkipSpaces();
            size_t start = P;
            while (IsDigit(Peek())) ++P;
            int idx = -1;
            auto [ptr, ec] = std::from_chars(S.data() + start, S.data() + P, idx);
            if (start == P || ec != std::errc() || ptr != S.data() + P) Error("Child position expected");
            obj.Index = idx;
            SkipSpaces();
            if (Peek() != ']') Error("']' expected");
            ++P;
        }
        SkipSpaces();
        if (!AtEnd() && Peek() != '\r' && Peek() != '\n')
            Error("End of line expected after the object header");
        obj.RawHeader = TakeRaw();

        bool seenChild = false;
        for (;;) {
            SkipBlanks();
            if (AtEnd())
                Error("'end' expected for " + (obj.Name.empty() ? obj.ClassName : obj.Name) +
                      " (started at line " + std::to_string(obj.Line) + ")");
            CheckCharacter();
            std::string_view w = PeekWord();
            if (w.empty()) Error("Property name expected");
            if (SameText(w, "end")) {
                obj.EndLine = Line;
                P += w.size();
                obj.RawEnd = TakeRaw();
                return obj;
            }
            if (SameText(w, "object") || SameText(w, "inherited") || SameText(w, "inline")) {
                obj.Children.push_back(ParseObject(depth + 1));
                seenChild = true;
                continue;
            }
            if (seenChild) Error("Property " + std::string(w) + " follows a nested object");
            obj.Properties.push_back(ParseProperty(true, 0));
        }
    }

    TFormProperty ParseProperty(bool raw, int depth) {
        TFormProperty prop;
        prop.Line = Line;
        prop.Name = ReadIdent(true, "Property name");
        SkipBlanks();
        if (Peek() != '=') Error("'=' expected after " + prop.Name);
        ++P;
        SkipBlanks();
        prop.Value = ParseValue(depth, prop.Name);
        if (raw) prop.Raw = TakeRaw();
        return prop;
    }

    TFormValue ParseValue(int depth, const std::string& prop) {
        if (depth >= kMaxFormValueDepth) Error("Values nested too deeply in " + prop);
        CheckCharacter();
        int line = Line;
        char c = Peek();
        TFormValue v;
        if (c == '\'' || c == '#')
            v = ParseString(prop);
        else if (c == '-' || c == '+' || c == '$' || IsDigit(c))
            v = ParseNumber(prop);
        else if (IsIdentStart(c))
            v = TFormValue::MakeIdent(ReadIdent(true, "Identifier"));
        else if (c == '[')
            v = ParseSet(prop);
        else if (c == '(')
            v = ParseList(depth, prop);
        else if (c == '<')
            v = ParseCollection(depth, prop);
        else if (c == '{')
            v = ParseBinary(prop);
        else
            Error("Invalid property value for " + prop);
        v.Line = line;
        return v;
    }

    void ParseStringPiece(std::string& out, const std::string& prop) {
        while (Peek() == '\'' || Peek() == '#') {
            if (Peek() == '\'') {
                ++P;
                for (;;) {
                    if (AtEnd() || S[P] == '\n' || S[P] == '\r') Error("Unterminated string in " + prop);
                    char ch = S[P++];
                    if (ch == '\'') {
                        if (Peek() == '\'') {
                            out += '\'';
                            ++P;
                            continue;
                        }
                        break;
                    }
                    out += ch;
                }
            } else {
                ++P;
                uint32_t code = 0;
                size_t start = P;
                if (Peek() == '$') {
                    ++P;
                    start = P;
                    while (HexVal(Peek()) >= 0 && P - start < 9)
                        code = code * 16 + static_cast<uint32_t>(HexVal(S[P++]));
                } else {
                    while (IsDigit(Peek()) && P - start < 9)
                        code = code * 10 + static_cast<uint32_t>(S[P++] - '0');
                }
                if (P == start || IsIdentChar(Peek())) Error("Invalid character code in " + prop);
                if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))
                    Error("Character code out of range in " + prop);
                AppendUtf8(out, code);
            }
        }
    }

    TFormValue ParseString(const std::string& prop) {
        std::string s;
        for (;;) {
            ParseStringPiece(s, prop);
            size_t saveP = P;
            int saveLine = Line;
            SkipBlanks();
            if (Peek() == '+') {
                ++P;
                SkipBlanks();
                if (Peek() != '\'' && Peek() != '#') Error("String expected after '+' in " + prop);
                continue;
            }
            P = saveP;
            Line = saveLine;
            break;
        }
        return TFormValue::MakeString(std::move(s));
    }

    TFormValue ParseNumber(const std::string& prop) {
        bool neg = false;
        if (Peek() == '-' || Peek() == '+') {
            neg = Peek() == '-';
            ++P;
        }
        if (Peek() == '$') {
            ++P;
            size_t start = P;
            uint64_t v = 0;
            while (HexVal(Peek()) >= 0) {
                if (P - start >= 16) Error("Integer value out of range in " + prop);
                v = v * 16 + static_cast<uint64_t>(HexVal(S[P++]));
            }
            if (P == start || IsIdentChar(Peek())) Error("Invalid number in " + prop);
            int64_t i = static_cast<int64_t>(v);
            return TFormValue::MakeInteger(neg ? static_cast<int64_t>(0 - v) : i);
        }
        size_t start = P;
        if (!IsDigit(Peek())) Error("Invalid number in " + prop);
        while (IsDigit(Peek())) ++P;
        bool isFloat = false;
        if (Peek() == '.' && P + 1 < S.size() && IsDigit(S[P + 1])) {
            isFloat = true;
            ++P;
            while (IsDigit(Peek())) ++P;
        }
        if ((Peek() == 'e' || Peek() == 'E')) {
            size_t q = P + 1;
            if (q < S.size() && (S[q] == '+' || S[q] == '-')) ++q;
            if (q < S.size() && IsDigit(S[q])) {
                isFloat = true;
                P = q;
                while (IsDigit(Peek())) ++P;
            }
        }
        char suffix = 0;
        char sc = Peek();
        if ((sc == 's' || sc == 'S' || sc == 'c' || sc == 'C' || sc == 'd' || sc == 'D') &&
            !(P + 1 < S.size() && IsIdentChar(S[P + 1]))) {
            suffix = static_cast<char>(sc | 0x20);
            isFloat = true;
        }
        size_t end = P;
        if (suffix) ++P;
        if (IsIdentChar(Peek()) || Peek() == '.') Error("Invalid number in " + prop);
        if (isFloat) {
            double d = 0;
            auto [ptr, ec] = std::from_chars(S.data() + start, S.data() + end, d);
            if (ec != std::errc() || ptr != S.data() + end || !std::isfinite(d))
                Error("Floating point value out of range in " + prop);
            return TFormValue::MakeFloat(neg ? -d : d, suffix);
        }
        uint64_t u = 0;
        auto [ptr, ec] = std::from_chars(S.data() + start, S.data() + end, u);
        if (ec != std::errc() || ptr != S.data() + end ||
            u > (neg ? uint64_t{1} << 63 : (uint64_t{1} << 63) - 1))
            Error("Integer value out of range in " + prop);
        return TFormValue::MakeInteger(neg ? static_cast<int64_t>(0 - u) : static_cast<int64_t>(u));
    }

    TFormValue ParseSet(const std::string& prop) {
        ++P; // [
        std::vector<std::string> elems;
        SkipBlanks();
        if (Peek() == ']') {
            ++P;
            return TFormValue::MakeSet({});
        }
        for (;;) {
            SkipBlanks();
            CheckCharacter();
            if (!IsIdentStart(Peek())) Error("Set element expected in " + prop);
            elems.push_back(ReadIdent(false, "Set element"));
            SkipBlanks();
            if (Peek() == ',') {
                ++P;
                continue;
            }
            if (Peek() == ']') {
                ++P;
                break;
            }
            Error("',' or ']' expected in " + prop);
        }
        return TFormValue::MakeSet(std::move(elems));
    }

    TFormValue ParseList(int depth, const std::string& prop) {
        ++P; // (
        int open = Line;
        TFormValue v = TFormValue::MakeList();
        for (;;) {
            SkipBlanks();
            if (AtEnd()) Error("')' expected in " + prop, open);
            if (Peek() == ')') {
                ++P;
                break;
            }
            v.Items.push_back(ParseValue(depth + 1, prop));
        }
        return v;
    }

    TFormValue ParseCollection(int depth, const std::string& prop) {
        ++P; // <
        int open = Line;
        TFormValue v = TFormValue::MakeCollection();
        for (;;) {
            SkipBlanks();
            if (AtEnd()) Error("'>' expected in " + prop, open);
            if (Peek() == '>') {
                ++P;
                break;
            }
            TFormCollectionItem item;
            item.Line = Line;
            if (!SameText(PeekWord(), "item")) Error("'item' expected in " + prop);
            P += 4;
            SkipSpaces();
            if (Peek() == '[') {
                ++P;
                SkipSpaces();
                size_t start = P;
                while (IsDigit(Peek())) ++P;
                int idx = -1;
                auto [ptr, ec] = std::from_chars(S.data() + start, S.data() + P, idx);
                if (start == P || ec != std::errc()) Error("Item index expected in " + prop);
                item.Index = idx;
                SkipSpaces();
                if (Peek() != ']') Error("']' expected in " + prop);
                ++P;
            }
            for (;;) {
                SkipBlanks();
                if (AtEnd()) Error("'end' expected for an item of " + prop);
                CheckCharacter();
                std::string_view w = PeekWord();
                if (w.empty()) Error("Property name expected in an item of " + prop);
                if (SameText(w, "end")) {
                    P += 3;
                    break;
                }
                item.Properties.push_back(ParseProperty(false, depth + 1));
            }
            v.CollItems.push_back(std::move(item));
        }
        return v;
    }

    TFormValue ParseBinary(const std::string& prop) {
        ++P; // {
        int open = Line;
        std::string bytes;
        int hi = -1;
        for (;;) {
            if (AtEnd()) Error("'}' expected in " + prop, open);
            char c = S[P];
            if (c == '}') {
                ++P;
                break;
            }
            if (IsBlank(c)) {
                if (c == '\n') ++Line;
                ++P;
                continue;
            }
            int h = HexVal(c);
            if (h < 0) Error("Invalid binary data in " + prop);
            ++P;
            if (hi < 0) {
                hi = h;
            } else {
                bytes += static_cast<char>(hi * 16 + h);
                hi = -1;
            }
        }
        if (hi >= 0) Error("Odd number of hex digits in binary data of " + prop);
        return TFormValue::MakeBinary(std::move(bytes));
    }

    std::string_view S;
    std::string File;
    size_t P = 0;
    size_t Mark = 0;
    int Line = 1;
};

// ---- canonical printer -----------------------------------------------------------------------------

constexpr size_t kStringChunk = 64;
constexpr size_t kBinaryChunk = 32;

void Indent(std::string& out, int level) {
    out.append(static_cast<size_t>(level) * 2, ' ');
}

std::vector<std::string> StringChunks(std::string_view s) {
    std::vector<std::string> chunks;
    if (s.empty()) return {"''"};
    std::string cur;
    size_t i = 0, n = s.size(), k = 0;
    auto printable = [](char c) {
        auto u = static_cast<unsigned char>(c);
        return u >= 32 && u != 127;
    };
    while (i < n) {
        if (printable(s[i])) {
            cur += '\'';
            while (i < n && printable(s[i]) && k < kStringChunk) {
                if (s[i] == '\'') cur += '\'';
                cur += s[i++];
                ++k;
                // Never split a UTF-8 sequence between two chunks.
                while (k >= kStringChunk && i < n && (static_cast<unsigned char>(s[i]) & 0xC0) == 0x80) {
                    cur += s[i++];
                    ++k;
                }
            }
            cur += '\'';
        } else {
            cur += '#';
            cur += std::to_string(static_cast<unsigned char>(s[i]));
            ++i;
            ++k;
        }
        if (k >= kStringChunk && i < n) {
            chunks.push_back(std::move(cur));
            cur.clear();
            k = 0;
        }
    }
    chunks.push_back(std::move(cur));
    return chunks;
}

void FormatValueTo(std::string& out, const TFormValue& v, int level, bool afterEquals);

void FormatPropertyTo(std::string& out, const TFormProperty& p, int level) {
    Indent(out, level);
    out += p.Name;
    out += " =";
    FormatValueTo(out, p.Value, level, true);
    out += '\n';
}

void FormatValueTo(std::string& out, const TFormValue& v, int level, bool afterEquals) {
    switch (v.Kind) {
    case TFormValueKind::Integer:
        if (afterEquals) out += ' ';
        out += std::to_string(v.Int);
        return;
    case TFormValueKind::Float:
        if (afterEquals) out += ' ';
        out += FormatFormFloat(v.Float);
        if (v.FloatSuffix) out += v.FloatSuffix;
        return;
    case TFormValueKind::Ident:
        if (afterEquals) out += ' ';
        out += v.Str;
        return;
    case TFormValueKind::String: {
        auto chunks = StringChunks(v.Str);
        if (chunks.size() == 1) {
            if (afterEquals) out += ' ';
            out += chunks[0];
            return;
        }
        // A long string starts on its own line after "Name =" and continues one level deeper.
        int contLevel = level + 1;
        if (afterEquals) {
            out += '\n';
            Indent(out, contLevel);
        }
        for (size_t i = 0; i < chunks.size(); ++i) {
            if (i) {
                out += " +\n";
                Indent(out, contLevel);
            }
            out += chunks[i];
        }
        return;
    }
    case TFormValueKind::Set:
        if (afterEquals) out += ' ';
        out += '[';
        for (size_t i = 0; i < v.Elements.size(); ++i) {
            if (i) out += ", ";
            out += v.Elements[i];
        }
        out += ']';
        return;
    case TFormValueKind::List:
        if (afterEquals) out += ' ';
        out += '(';
        for (const auto& item : v.Items) {
            out += '\n';
            Indent(out, level + 1);
            FormatValueTo(out, item, level + 1, false);
        }
        out += ')';
        return;
    case TFormValueKind::Collection:
        if (afterEquals) out += ' ';
        out += '<';
        for (const auto& item : v.CollItems) {
            out += '\n';
            Indent(out, level + 1);
            out += "item";
            if (item.Index >= 0) out += " [" + std::to_string(item.Index) + "]";
            out += '\n';
            for (const auto& p : item.Properties) FormatPropertyTo(out, p, level + 2);
            Indent(out, level + 1);
            out += "end";
        }
        out += '>';
        return;
    case TFormValueKind::Binary: {
        if (afterEquals) out += ' ';
        out += '{';
        static const char* hex = "0123456789ABCDEF";
        const std::string& b = v.Str;
        out.reserve(out.size() + b.size() * 2 +
                    (b.size() / kBinaryChunk + 1) * (static_cast<size_t>(level) * 2 + 4));
        for (size_t i = 0; i < b.size(); i += kBinaryChunk) {
            out += '\n';
            Indent(out, level + 1);
            size_t end = std::min(b.size(), i + kBinaryChunk);
            for (size_t j = i; j < end; ++j) {
                auto u = static_cast<unsigned char>(b[j]);
                out += hex[u >> 4];
                out += hex[u & 15];
            }
        }
        out += '}';
        return;
    }
    }
}

void FormatHeaderTo(std::string& out, const TFormObject& o, int level) {
    Indent(out, level);
    out += o.Kind == TFormObjectKind::Inherited ? "inherited "
           : o.Kind == TFormObjectKind::Inline  ? "inline "
                                                : "object ";
    if (!o.Name.empty()) {
        out += o.Name;
        out += ": ";
    }
    out += o.ClassName;
    if (o.Index >= 0) out += " [" + std::to_string(o.Index) + "]";
    out += '\n';
}

void FormatObjectTo(std::string& out, const TFormObject& o, int level, bool useRaw) {
    if (useRaw && !o.RawHeader.empty())
        out += o.RawHeader;
    else
        FormatHeaderTo(out, o, level);
    for (const auto& p : o.Properties) {
        if (useRaw && !p.Raw.empty())
            out += p.Raw;
        else
            FormatPropertyTo(out, p, level + 1);
    }
    for (const auto& c : o.Children) FormatObjectTo(out, c, level + 1, useRaw);
    if (useRaw && !o.RawEnd.empty()) {
        out += o.RawEnd;
    } else {
        Indent(out, level);
        out += "end\n";
    }
}

} // namespace

TFormDocument ParseForm(std::string_view text, const std::string& fileName) {
    return TFormParser(text, fileName).Parse();
}

std::string PrintForm(const TFormDocument& doc) {
    std::string out;
    FormatObjectTo(out, doc.Root, 0, true);
    out += doc.Trailing;
    return out;
}

std::string FormatForm(const TFormDocument& doc) {
    return FormatFormObject(doc.Root, 0);
}

std::string FormatFormObject(const TFormObject& obj, int level) {
    std::string out;
    FormatObjectTo(out, obj, level, false);
    return out;
}

std::string FormatFormValue(const TFormValue& value, int level) {
    std::string out;
    FormatValueTo(out, value, level, false);
    return out;
}

std::string QuoteFormString(std::string_view s) {
    std::string out;
    if (s.empty()) return "''";
    bool inQuote = false;
    for (char c : s) {
        auto u = static_cast<unsigned char>(c);
        if (u >= 32 && u != 127) {
            if (!inQuote) out += '\'', inQuote = true;
            if (c == '\'') out += '\'';
            out += c;
        } else {
            if (inQuote) out += '\'', inQuote = false;
            out += '#';
            out += std::to_string(u);
        }
    }
    if (inQuote) out += '\'';
    return out;
}

std::string FormatFormFloat(double v) {
    if (!std::isfinite(v)) throw EWriteError("Invalid floating point value");
    char buf[64];
    auto [ptr, ec] = std::to_chars(buf, buf + sizeof buf, v);
    std::string s(buf, ptr);
    bool hasMark = false;
    for (char& c : s) {
        if (c == 'e') c = 'E';
        if (c == '.' || c == 'E') hasMark = true;
    }
    if (!hasMark) s += ".0";
    return s;
}

} // namespace qel
