#include "platform/core/strutils.h"

namespace qel {

namespace {
inline char Up(char c) { return (c >= 'a' && c <= 'z') ? char(c - 32) : c; }
inline char Low(char c) { return (c >= 'A' && c <= 'Z') ? char(c + 32) : c; }
inline bool Blank(char c) { return static_cast<unsigned char>(c) <= ' '; }
} // namespace

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = Up(c);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = Low(c);
    return r;
}

int CompareText(std::string_view a, std::string_view b) {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Up(a[i])), y = static_cast<unsigned char>(Up(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

std::string Trim(std::string_view s) { return TrimRight(TrimLeft(s)); }

std::string TrimLeft(std::string_view s) {
    size_t i = 0;
    while (i < s.size() && Blank(s[i])) ++i;
    return std::string(s.substr(i));
}

std::string TrimRight(std::string_view s) {
    size_t n = s.size();
    while (n > 0 && Blank(s[n - 1])) --n;
    return std::string(s.substr(0, n));
}

} // namespace qel
