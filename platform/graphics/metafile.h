#pragma once
// TMetafile: enhanced (.emf) and placeable (.wmf) metafiles, a useful subset of their records
// (lines, rectangles, ellipses, polygons, polylines, text, bitmaps, pen/brush/font selection, colours,
// modes, window origin and extent). Records outside the subset make loading fail with
// EInvalidGraphic; playback maps the picture's frame onto the destination rectangle.
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace qel {

struct TMetaRecord {
    int Op = 0;                        // the player's operation code
    std::vector<int> Args;             // coordinates, colours, sizes
    std::u32string Text;               // text records
    LOGFONT Font;                      // font records
    std::shared_ptr<TImageData> Image; // bitmap records
};

class TMetafile : public TGraphic {
    QEL_CLASS(TMetafile, TGraphic)
    TMetafile() = default;
    bool Empty() const override { return FData.empty(); }
    // Size in pixels at 96 dpi (settable: playback scales to it).
    int GetWidth() const override { return FWidth; }
    int GetHeight() const override { return FHeight; }
    void SetSize(int w, int h) override;
    bool GetEnhanced() const { return FEnhanced; }
    void SetEnhanced(bool v) { FEnhanced = v; }
    // Size in 0.01 mm.
    int GetMMWidth() const { return FWidth * 2540 / 96; }
    int GetMMHeight() const { return FHeight * 2540 / 96; }
    void Clear();

    void LoadFromStream(TStream& stream) override;
    // Writes the stream it was loaded from.
    void SaveToStream(TStream& stream) override;
    void Assign(TPersistent* source) override;
    void Draw(TCanvas* canvas, const TRect& rect) override;
    int RecordCount() const { return static_cast<int>(FRecords.size()); }

private:
    void Parse(const std::string& data);
    void ParseEmf(const uint8_t* d, size_t n);
    void ParseWmf(const uint8_t* d, size_t n);
    std::string FData;
    std::vector<TMetaRecord> FRecords;
    TRect FFrame; // logical coordinates of the picture
    int FWidth = 0, FHeight = 0;
    bool FEnhanced = true;
};

} // namespace qel
