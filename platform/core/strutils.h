#pragma once
// Small string helpers shared by the platform (ASCII case rules, as the platform's identifiers use).
#include <string>
#include <string_view>

namespace qel {

std::string UpperCase(std::string_view s);
std::string LowerCase(std::string_view s);
// ASCII case-insensitive comparison: <0, 0, >0.
int CompareText(std::string_view a, std::string_view b);
inline bool SameText(std::string_view a, std::string_view b) { return CompareText(a, b) == 0; }
std::string Trim(std::string_view s);
std::string TrimLeft(std::string_view s);
std::string TrimRight(std::string_view s);

} // namespace qel
