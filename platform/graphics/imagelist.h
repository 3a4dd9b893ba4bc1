#pragma once
// Image lists: equally sized images with monochrome masks, drawn normally, through the mask, blended
// with a colour or disabled; change links; the image data streamed as one binary block.
#include <memory>
#include <vector>

#include "platform/graphics/bitmap.h"

namespace qel {

class TCustomImageList;

QEL_ENUM(TDrawingStyle, dsFocus, dsSelected, dsNormal, dsTransparent)
QEL_ENUM(TImageType, itImage, itMask)
using TOverlay = int;

class TChangeLink : public TObject {
    QEL_CLASS(TChangeLink, TObject)
    TChangeLink() = default;
    ~TChangeLink() override;
    TCustomImageList* GetSender() const { return FSender; }
    void SetSender(TCustomImageList* s) { FSender = s; }
    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }
    virtual void Change();

private:
    TCustomImageList* FSender = nullptr;
    TNotifyEvent FOnChange;
};

class TCustomImageList : public TComponent {
    QEL_CLASS(TCustomImageList, TComponent)
    explicit TCustomImageList(TComponent* owner);
    ~TCustomImageList() override;
    // Sets the image size; clears the list ("Invalid image size" for sizes below 1).
    void SetSize(int width, int height);

    int GetWidth() const { return FWidth; }
    void SetWidth(int v) { SetSize(v, FHeight); }
    int GetHeight() const { return FHeight; }
    void SetHeight(int v) { SetSize(FWidth, v); }
    int Count() const { return static_cast<int>(FImages.size()); }
    TColor GetBkColor() const { return FBkColor; }
    void SetBkColor(TColor v);
    TColor GetBlendColor() const { return FBlendColor; }
    void SetBlendColor(TColor v);
    TDrawingStyle GetDrawingStyle() const { return FDrawingStyle; }
    void SetDrawingStyle(TDrawingStyle v);
    TImageType GetImageType() const { return FImageType; }
    void SetImageType(TImageType v);
    bool GetMasked() const { return FMasked; }
    void SetMasked(bool v);
    int GetAllocBy() const { return FAllocBy; }
    void SetAllocBy(int v) { FAllocBy = v > 0 ? v : 1; }
    bool GetShareImages() const { return FShareImages; }
    void SetShareImages(bool v) { FShareImages = v; }

    // Adds the images of a bitmap (split into Width-wide tiles); the mask bitmap marks transparent
    // pixels white (nullptr: opaque). Returns the index of the first image, -1 when nothing was added.
    int Add(TBitmap* image, TBitmap* mask);
    // Pixels of `maskColor` become transparent (and black in the stored image).
    int AddMasked(TBitmap* image, TColor maskColor);
    int AddImages(TCustomImageList* list);
    void Insert(int index, TBitmap* image, TBitmap* mask);
    void InsertMasked(int index, TBitmap* image, TColor maskColor);
    void Replace(int index, TBitmap* image, TBitmap* mask);
    void ReplaceMasked(int index, TBitmap* image, TColor maskColor);
    // Index -1 deletes every image.
    void Delete(int index);
    void Clear();
    void Move(int curIndex, int newIndex);
    // Registers image `imageIndex` as overlay 0..3.
    bool Overlay(int imageIndex, TOverlay overlay);

    void Draw(TCanvas* canvas, int x, int y, int index, bool enabled = true);
    void Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
              bool enabled = true);
    void DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, TOverlay overlay, bool enabled = true);
    // Copies an image into the bitmap (transparent pixels white); false for a bad index.
    bool GetBitmap(int index, TBitmap* image);
    // The image's own mask (monochrome, white = transparent).
    bool GetMask(int index, TBitmap* mask);

    void RegisterChanges(TChangeLink* link);
    void UnRegisterChanges(TChangeLink* link);
    void BeginUpdate();
    void EndUpdate();
    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

    // Form files hold the images as the "Bitmap" binary property, written when the list has images
    // (or, below an ancestor, when its images differ from the ancestor's).
    void DefineProperties(TFiler* filer) override;
    // The "Bitmap" binary data of form files.
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);
    // True when both lists hold the same images, masks and overlays at the same size.
    bool SameImages(const TCustomImageList* other) const;
    void Assign(TPersistent* source) override;

protected:
    virtual void Change();

private:
    struct TEntry {
        std::vector<uint32_t> Pixels; // Width * Height, 0x00RRGGBB
        std::vector<uint8_t> Mask;    // 1 = transparent
        bool operator==(const TEntry&) const = default;
    };
    void CheckIndex(int index, bool allowEnd = false) const;
    std::vector<TEntry> Split(TBitmap* image, TBitmap* mask, bool useColor, TColor color) const;
    int FWidth = 16, FHeight = 16;
    std::vector<TEntry> FImages;
    int FOverlays[4] = {-1, -1, -1, -1};
    TColor FBkColor = clNone, FBlendColor = clNone;
    TDrawingStyle FDrawingStyle = dsNormal;
    TImageType FImageType = itImage;
    bool FMasked = true;
    bool FShareImages = false;
    int FAllocBy = 4;
    int FUpdateCount = 0;
    bool FChanged = false;
    std::vector<TChangeLink*> FLinks;
    TNotifyEvent FOnChange;
};

class TImageList : public TCustomImageList {
    QEL_CLASS(TImageList, TCustomImageList)
    using TCustomImageList::TCustomImageList;
};

} // namespace qel
