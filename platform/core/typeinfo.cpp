#include "platform/core/typeinfo.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "platform/core/exceptions.h"
#include "platform/core/strutils.h"

namespace qel {

TEnumInfo::TEnumInfo(const char* typeName, const char* names) : FName(typeName) {
    std::string cur;
    for (const char* p = names;; ++p) {
        if (*p == ',' || *p == 0) {
            FNames.push_back(Trim(cur));
            cur.clear();
            if (*p == 0) break;
        } else {
            cur += *p;
        }
    }
}

TEnumInfo::TEnumInfo(std::string typeName, std::vector<std::string> names)
    : FName(std::move(typeName)), FNames(std::move(names)) {}

const std::string& TEnumInfo::NameOf(int ordinal) const {
    static const std::string empty;
    if (ordinal < 0 || ordinal >= Count()) return empty;
    return FNames[static_cast<size_t>(ordinal)];
}

std::optional<int> TEnumInfo::ValueOf(std::string_view ident) const {
    for (size_t i = 0; i < FNames.size(); ++i)
        if (SameText(FNames[i], ident)) return static_cast<int>(i);
    return std::nullopt;
}

bool TIntegerIdents::ToInt(std::string_view ident, int64_t& value) const {
    for (const auto& [name, v] : Map)
        if (SameText(name, ident)) return value = v, true;
    return false;
}

bool TIntegerIdents::ToIdent(int64_t value, std::string& ident) const {
    for (const auto& [name, v] : Map)
        if (v == value) return ident = name, true;
    return false;
}

namespace {
struct ColorIdent {
    TColor Value;
    const char* Name;
};
constexpr ColorIdent kColors[] = {
    {clBlack, "clBlack"},
    {clMaroon, "clMaroon"},
    {clGreen, "clGreen"},
    {clOlive, "clOlive"},
    {clNavy, "clNavy"},
    {clPurple, "clPurple"},
    {clTeal, "clTeal"},
    {clGray, "clGray"},
    {clSilver, "clSilver"},
    {clRed, "clRed"},
    {clLime, "clLime"},
    {clYellow, "clYellow"},
    {clBlue, "clBlue"},
    {clFuchsia, "clFuchsia"},
    {clAqua, "clAqua"},
    {clWhite, "clWhite"},
    {clMoneyGreen, "clMoneyGreen"},
    {clSkyBlue, "clSkyBlue"},
    {clCream, "clCream"},
    {clMedGray, "clMedGray"},
    {clScrollBar, "clScrollBar"},
    {clBackground, "clBackground"},
    {clActiveCaption, "clActiveCaption"},
    {clInactiveCaption, "clInactiveCaption"},
    {clMenu, "clMenu"},
    {clWindow, "clWindow"},
    {clWindowFrame, "clWindowFrame"},
    {clMenuText, "clMenuText"},
    {clWindowText, "clWindowText"},
    {clCaptionText, "clCaptionText"},
    {clActiveBorder, "clActiveBorder"},
    {clInactiveBorder, "clInactiveBorder"},
    {clAppWorkSpace, "clAppWorkSpace"},
    {clHighlight, "clHighlight"},
    {clHighlightText, "clHighlightText"},
    {clBtnFace, "clBtnFace"},
    {clBtnShadow, "clBtnShadow"},
    {clGrayText, "clGrayText"},
    {clBtnText, "clBtnText"},
    {clInactiveCaptionText, "clInactiveCaptionText"},
    {clBtnHighlight, "clBtnHighlight"},
    {cl3DDkShadow, "cl3DDkShadow"},
    {cl3DLight, "cl3DLight"},
    {clInfoText, "clInfoText"},
    {clInfoBk, "clInfoBk"},
    {clGradientActiveCaption, "clGradientActiveCaption"},
    {clGradientInactiveCaption, "clGradientInactiveCaption"},
    {clNone, "clNone"},
    {clDefault, "clDefault"},
};
} // namespace

bool IdentToColor(std::string_view ident, TColor& color) {
    for (const auto& c : kColors)
        if (SameText(c.Name, ident)) {
            color = c.Value;
            return true;
        }
    // The platform also accepts the grey aliases.
    if (SameText(ident, "clLtGray")) return color = clLtGray, true;
    if (SameText(ident, "clDkGray")) return color = clDkGray, true;
    return false;
}

std::string ColorToIdent(TColor color) {
    for (const auto& c : kColors)
        if (c.Value == color) return c.Name;
    return {};
}

std::string ColorToString(TColor color) {
    std::string s = ColorToIdent(color);
    if (!s.empty()) return s;
    char buf[16];
    std::snprintf(buf, sizeof buf, "$%08X", static_cast<unsigned>(static_cast<uint32_t>(color)));
    return buf;
}

TColor StringToColor(std::string_view text) {
    TColor c;
    if (IdentToColor(text, c)) return c;
    std::string t = Trim(text);
    if (t.empty()) throw EConvertError("'' is not a valid integer value");
    const char* s = t.c_str();
    int base = 10;
    bool neg = false;
    if (*s == '-') neg = true, ++s;
    if (*s == '$')
        base = 16, ++s;
    else if (s[0] == '0' && (s[1] == 'x' || s[1] == 'X'))
        base = 16, s += 2;
    char* end = nullptr;
    errno = 0;
    unsigned long long v = std::strtoull(s, &end, base);
    if (end == s || *end != 0 || errno != 0 || v > 0xFFFFFFFFull)
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    int64_t r = static_cast<int64_t>(v);
    if (neg) r = -r;
    return ToColor(r);
}

} // namespace qel
