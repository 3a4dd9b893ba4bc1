#pragma once
// Paints the pictures of the marine-life table: a fish (or an eel or a ray) in open water, as a
// 24-bit BMP file in memory.
#include <cstdint>
#include <string>
#include <vector>

namespace qelmkdb {

enum class TFishShape { Fish, Eel, Ray };
enum class TTailStyle { Fork, Round, Lunate, Fan, Point };
enum class TPattern { Plain, Bands, Stripes, Spots, Lines };

struct TFishLook {
    TFishShape Shape = TFishShape::Fish;
    unsigned Body = 0x808080; // RRGGBB
    unsigned Belly = 0xC0C0C0;
    unsigned Fin = 0x606060;
    double Height = 0.45; // body height relative to its length
    TTailStyle Tail = TTailStyle::Fork;
    TPattern Pattern = TPattern::Plain;
    unsigned PatternColour = 0;
    int PatternCount = 0;
    unsigned Water = 0x3C9CC8; // colour at the surface
    std::uint64_t Seed = 1;    // places spots, bubbles and weed
};

TFishShape ParseShape(const std::string& s); // throws std::invalid_argument
TTailStyle ParseTail(const std::string& s);  // throws std::invalid_argument
TPattern ParsePattern(const std::string& s); // throws std::invalid_argument

// The picture as a complete BMP file (BITMAPFILEHEADER, BITMAPINFOHEADER, bottom-up 24-bit rows).
std::vector<std::uint8_t> PaintFishBmp(const TFishLook& look, int width, int height);

} // namespace qelmkdb
