#include "effects/transition_effects.h"

#include <array>
#include <cctype>
#include <string_view>

namespace qel {

namespace {

// Words that keep their inner capitals when an identifier is spelt out for users.
constexpr std::array<std::string_view, 5> kSingleWords = {"StarBurst", "BroadStar", "AntiClockWise",
                                                          "AntiClockwise", "UnSquash"};

std::string SpellOut(const std::string& identifier) {
    std::string_view id = identifier;
    if (id.substr(0, 3) == "qtf") id.remove_prefix(3);
    std::string out;
    size_t i = 0;
    while (i < id.size()) {
        if (!out.empty() && std::isupper(static_cast<unsigned char>(id[i]))) out += ' ';
        bool kept = false;
        for (std::string_view w : kSingleWords) {
            if (id.substr(i, w.size()) == w) {
                // Only a whole word: the next character must start a new word or end the name.
                size_t end = i + w.size();
                if (end == id.size() || std::isupper(static_cast<unsigned char>(id[end])) ||
                    std::isdigit(static_cast<unsigned char>(id[end]))) {
                    out += w;
                    i = end;
                    kept = true;
                    break;
                }
            }
        }
        if (!kept) out += id[i++];
    }
    return out;
}

const std::vector<std::string>& DisplayNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> v;
        const TEnumInfo& info = EnumInfo<TqelTransitionEffect>();
        for (int i = 0; i < info.Count(); ++i) v.push_back(SpellOut(info.NameOf(i)));
        return v;
    }();
    return names;
}

const std::string kEmpty;

} // namespace

const std::string& EffectIdentifier(int effect) {
    if (!IsTransitionEffect(effect)) return kEmpty;
    return EnumInfo<TqelTransitionEffect>().NameOf(effect);
}

const std::string& EffectDisplayName(int effect) {
    if (!IsTransitionEffect(effect)) return kEmpty;
    return DisplayNames()[static_cast<size_t>(effect)];
}

int EffectByDisplayName(const std::string& name) {
    const auto& names = DisplayNames();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) return static_cast<int>(i);
    return -1;
}

bool EffectUsesSize(int effect) {
    switch (effect) {
    case qtfSkipRectangles:
    case qtfShapeSawtooth:
    case qtfShapeStarBurst:
    case qtfShapeBroadStar:
    case qtfShapeParallelogram:
    case qtfShapeLens1:
    case qtfShapeLens2:
    case qtfShapeSpiralClockwise:
    case qtfShapeSpiralAntiClockWise:
    case qtfWipeClockwise:
    case qtfWipeAntiClockwise:
    case qtfNone:
    case qtfCut:
    case qtfCutThroughBlack:
    case qtfFadeThroughBlack: return false;
    default: return IsTransitionEffect(effect);
    }
}

} // namespace qel
