#pragma once
// Run-time type information for the value kinds of published properties: enumerations with their
// identifier names, sets over them, and the colour type with its "cl" identifiers.
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace qel {

// Names of an enumeration's identifiers, in ordinal order.
class TEnumInfo {
public:
    // `names` is the stringised enumerator list "a, b, c" (explicit "= n" values are not allowed:
    // streamed enumerations are ordinals 0..n-1).
    TEnumInfo(const char* typeName, const char* names);
    TEnumInfo(std::string typeName, std::vector<std::string> names);
    const std::string& Name() const { return FName; }
    int Count() const { return static_cast<int>(FNames.size()); }
    const std::string& NameOf(int ordinal) const; // "" when out of range
    // Case-insensitive lookup; nullopt when the identifier is not one of this type's.
    std::optional<int> ValueOf(std::string_view ident) const;
    const std::vector<std::string>& Names() const { return FNames; }

private:
    std::string FName;
    std::vector<std::string> FNames;
};

// Names for some values of an integer property (the platform's integer constants, such as cursor
// and modal-result names): form files may give the value by name, and the writer uses the name.
struct TIntegerIdents {
    std::vector<std::pair<std::string, int64_t>> Map;
    bool ToInt(std::string_view ident, int64_t& value) const;
    bool ToIdent(int64_t value, std::string& ident) const;
};

// Declares an enumeration streamable by name: QEL_ENUM(TAlign, alNone, alTop, ...).
#define QEL_ENUM(Name, ...)                                                                                  \
    enum Name : int { __VA_ARGS__ };                                                                         \
    inline const ::qel::TEnumInfo& TypeInfoOf(Name*) {                                                       \
        static const ::qel::TEnumInfo info(#Name, #__VA_ARGS__);                                             \
        return info;                                                                                         \
    }

template <typename E>
concept StreamableEnum = std::is_enum_v<E> && requires {
    {TypeInfoOf(static_cast<E*>(nullptr))};
};

template <StreamableEnum E>
const TEnumInfo& EnumInfo() {
    return TypeInfoOf(static_cast<E*>(nullptr));
}

// A set of up to 64 enumeration values (the platform's "set of"), stored as a bit set.
template <typename E>
class Set {
public:
    constexpr Set() = default;
    constexpr Set(std::initializer_list<E> items) {
        for (E e : items) FBits |= Bit(e);
    }
    static constexpr Set FromBits(uint64_t bits) {
        Set s;
        s.FBits = bits;
        return s;
    }
    constexpr uint64_t Bits() const { return FBits; }
    constexpr bool Contains(E e) const { return (FBits & Bit(e)) != 0; }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr Set& Include(E e) {
        FBits |= Bit(e);
        return *this;
    }
    constexpr Set& Exclude(E e) {
        FBits &= ~Bit(e);
        return *this;
    }
    constexpr Set operator+(Set o) const { return FromBits(FBits | o.FBits); }
    constexpr Set operator-(Set o) const { return FromBits(FBits & ~o.FBits); }
    constexpr Set operator*(Set o) const { return FromBits(FBits & o.FBits); }
    constexpr Set operator+(E e) const { return FromBits(FBits | Bit(e)); }
    constexpr Set operator-(E e) const { return FromBits(FBits & ~Bit(e)); }
    constexpr Set& operator+=(Set o) { return *this = *this + o; }
    constexpr Set& operator-=(Set o) { return *this = *this - o; }
    constexpr Set& operator*=(Set o) { return *this = *this * o; }
    constexpr Set& operator+=(E e) { return Include(e); }
    constexpr Set& operator-=(E e) { return Exclude(e); }
    constexpr bool operator==(const Set&) const = default;
    // Subset test (the platform's "<=").
    constexpr bool operator<=(Set o) const { return (FBits & ~o.FBits) == 0; }

private:
    static constexpr uint64_t Bit(E e) { return uint64_t{1} << static_cast<unsigned>(e); }
    uint64_t FBits = 0;
};

template <typename T>
struct IsSet : std::false_type {};
template <typename E>
struct IsSet<Set<E>> : std::true_type {
    using Element = E;
};

// TColor: 0x00BBGGRR, or a system-colour index with the high bit set (0x80000000 | index).
enum TColor : int32_t {
    clScrollBar = static_cast<int32_t>(0x80000000),
    clBackground = static_cast<int32_t>(0x80000001),
    clActiveCaption = static_cast<int32_t>(0x80000002),
    clInactiveCaption = static_cast<int32_t>(0x80000003),
    clMenu = static_cast<int32_t>(0x80000004),
    clWindow = static_cast<int32_t>(0x80000005),
    clWindowFrame = static_cast<int32_t>(0x80000006),
    clMenuText = static_cast<int32_t>(0x80000007),
    clWindowText = static_cast<int32_t>(0x80000008),
    clCaptionText = static_cast<int32_t>(0x80000009),
    clActiveBorder = static_cast<int32_t>(0x8000000A),
    clInactiveBorder = static_cast<int32_t>(0x8000000B),
    clAppWorkSpace = static_cast<int32_t>(0x8000000C),
    clHighlight = static_cast<int32_t>(0x8000000D),
    clHighlightText = static_cast<int32_t>(0x8000000E),
    clBtnFace = static_cast<int32_t>(0x8000000F),
    clBtnShadow = static_cast<int32_t>(0x80000010),
    clGrayText = static_cast<int32_t>(0x80000011),
    clBtnText = static_cast<int32_t>(0x80000012),
    clInactiveCaptionText = static_cast<int32_t>(0x80000013),
    clBtnHighlight = static_cast<int32_t>(0x80000014),
    cl3DDkShadow = static_cast<int32_t>(0x80000015),
    cl3DLight = static_cast<int32_t>(0x80000016),
    clInfoText = static_cast<int32_t>(0x80000017),
    clInfoBk = static_cast<int32_t>(0x80000018),
    clGradientActiveCaption = static_cast<int32_t>(0x8000001B),
    clGradientInactiveCaption = static_cast<int32_t>(0x8000001C),

    clBlack = 0x000000,
    clMaroon = 0x000080,
    clGreen = 0x008000,
    clOlive = 0x008080,
    clNavy = 0x800000,
    clPurple = 0x800080,
    clTeal = 0x808000,
    clGray = 0x808080,
    clSilver = 0xC0C0C0,
    clRed = 0x0000FF,
    clLime = 0x00FF00,
    clYellow = 0x00FFFF,
    clBlue = 0xFF0000,
    clFuchsia = 0xFF00FF,
    clAqua = 0xFFFF00,
    clWhite = 0xFFFFFF,
    clMoneyGreen = 0xC0DCC0,
    clSkyBlue = 0xF0CAA6,
    clCream = 0xF0FBFF,
    clMedGray = 0xA4A0A0,
    clNone = 0x1FFFFFFF,
    clDefault = 0x20000000,
};
constexpr TColor clLtGray = clSilver;
constexpr TColor clDkGray = clGray;

inline constexpr TColor ToColor(int64_t v) {
    return static_cast<TColor>(static_cast<int32_t>(v));
}
inline constexpr TColor RGBToColor(int r, int g, int b) {
    return ToColor((r & 255) | ((g & 255) << 8) | ((b & 255) << 16));
}

// "clRed" <-> clRed, for form files and tools; unknown names and values give false/"".
bool IdentToColor(std::string_view ident, TColor& color);
std::string ColorToIdent(TColor color);
// The platform's text form of a colour: its identifier, or "$00BBGGRR".
std::string ColorToString(TColor color);
TColor StringToColor(std::string_view text); // EConvertError on bad input

} // namespace qel
