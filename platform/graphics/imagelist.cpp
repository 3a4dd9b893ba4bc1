// TCustomImageList, TImageList and TChangeLink.
#include "platform/graphics/imagelist.h"

#include <algorithm>
#include <cstring>

#include "platform/core/filer.h"
#include "platform/graphics/images.h"

namespace qel {

TChangeLink::~TChangeLink() {
    if (FSender) FSender->UnRegisterChanges(this);
}

void TChangeLink::Change() {
    if (FSender) FOnChange(FSender);
}

QEL_IMPLEMENT_CLASS(TChangeLink)

TCustomImageList::TCustomImageList(TComponent* owner) : TComponent(owner) {}

TCustomImageList::~TCustomImageList() {
    for (TChangeLink* link : FLinks) link->SetSender(nullptr);
}

void TCustomImageList::CheckIndex(int index, bool allowEnd) const {
    if (index < 0 || index > Count() || (!allowEnd && index == Count()))
        throw EInvalidOperation("Invalid ImageList Index");
}

void TCustomImageList::Change() {
    if (FUpdateCount > 0) {
        FChanged = true;
        return;
    }
    FChanged = false;
    for (TChangeLink* link : std::vector<TChangeLink*>(FLinks)) link->Change();
    FOnChange(this);
}

void TCustomImageList::BeginUpdate() {
    ++FUpdateCount;
}
void TCustomImageList::EndUpdate() {
    if (FUpdateCount > 0 && --FUpdateCount == 0 && FChanged) Change();
}

void TCustomImageList::RegisterChanges(TChangeLink* link) {
    if (!link) return;
    if (std::find(FLinks.begin(), FLinks.end(), link) == FLinks.end()) FLinks.push_back(link);
    link->SetSender(this);
}

void TCustomImageList::UnRegisterChanges(TChangeLink* link) {
    auto it = std::find(FLinks.begin(), FLinks.end(), link);
    if (it != FLinks.end()) {
        FLinks.erase(it);
        link->SetSender(nullptr);
    }
}

void TCustomImageList::SetSize(int width, int height) {
    if (width < 1 || height < 1 || width > 4096 || height > 4096)
        throw EInvalidOperation("Invalid image size");
    if (width == FWidth && height == FHeight) return;
    FWidth = width;
    FHeight = height;
    FImages.clear();
    Change();
}

void TCustomImageList::SetBkColor(TColor v) {
    if (v == FBkColor) return;
    FBkColor = v;
    Change();
}
void TCustomImageList::SetBlendColor(TColor v) {
    if (v == FBlendColor) return;
    FBlendColor = v;
    Change();
}
void TCustomImageList::SetDrawingStyle(TDrawingStyle v) {
    if (v == FDrawingStyle) return;
    FDrawingStyle = v;
    Change();
}
void TCustomImageList::SetImageType(TImageType v) {
    if (v == FImageType) return;
    FImageType = v;
    Change();
}
void TCustomImageList::SetMasked(bool v) {
    if (v == FMasked) return;
    FMasked = v;
    Change();
}

std::vector<TCustomImageList::TEntry> TCustomImageList::Split(TBitmap* image, TBitmap* mask, bool useColor,
                                                              TColor color) const {
    std::vector<TEntry> out;
    if (!image || image->Empty()) return out;
    TImageData img = image->GetImageData();
    TImageData msk;
    if (mask && !mask->Empty()) msk = mask->GetImageData();
    uint32_t key = ColorRefToPixel(ColorRef(color));
    int tiles = std::max(1, img.Width / FWidth);
    for (int t = 0; t < tiles; ++t) {
        TEntry e;
        e.Pixels.assign(static_cast<size_t>(FWidth) * FHeight, 0);
        e.Mask.assign(static_cast<size_t>(FWidth) * FHeight, 0);
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                int sx = t * FWidth + x;
                size_t i = static_cast<size_t>(y) * FWidth + x;
                if (sx >= img.Width || y >= img.Height) {
                    e.Mask[i] = 1;
                    continue;
                }
                uint32_t p = img.At(sx, y) & 0xFFFFFF;
                bool transparent = false;
                if (useColor)
                    transparent = p == key;
                else if (!msk.Empty() && sx < msk.Width && y < msk.Height)
                    transparent = MonoBitOfPixel(msk.At(sx, y));
                e.Mask[i] = transparent ? 1 : 0;
                e.Pixels[i] = transparent && useColor ? 0 : p;
            }
        out.push_back(std::move(e));
    }
    return out;
}

int TCustomImageList::Add(TBitmap* image, TBitmap* mask) {
    auto entries = Split(image, mask, false, clNone);
    if (entries.empty()) return -1;
    int first = Count();
    FImages.insert(FImages.end(), entries.begin(), entries.end());
    Change();
    return first;
}

int TCustomImageList::AddMasked(TBitmap* image, TColor maskColor) {
    auto entries = Split(image, nullptr, true, maskColor);
    if (entries.empty()) return -1;
    int first = Count();
    FImages.insert(FImages.end(), entries.begin(), entries.end());
    Change();
    return first;
}

int TCustomImageList::AddImages(TCustomImageList* list) {
    if (!list || list == this || list->FWidth != FWidth || list->FHeight != FHeight) return -1;
    int first = Count();
    FImages.insert(FImages.end(), list->FImages.begin(), list->FImages.end());
    Change();
    return first;
}

void TCustomImageList::Insert(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index, true);
    auto entries = Split(image, mask, false, clNone);
    FImages.insert(FImages.begin() + index, entries.begin(), entries.end());
    Change();
}

void TCustomImageList::InsertMasked(int index, TBitmap* image, TColor maskColor) {
    CheckIndex(index, true);
    auto entries = Split(image, nullptr, true, maskColor);
    FImages.insert(FImages.begin() + index, entries.begin(), entries.end());
    Change();
}

void TCustomImageList::Replace(int index, TBitmap* image, TBitmap* mask) {
    CheckIndex(index);
    auto entries = Split(image, mask, false, clNone);
    if (entries.empty()) throw EInvalidOperation("Unable to Replace Image");
    FImages[index] = entries[0];
    Change();
}

void TCustomImageList::ReplaceMasked(int index, TBitmap* image, TColor maskColor) {
    CheckIndex(index);
    auto entries = Split(image, nullptr, true, maskColor);
    if (entries.empty()) throw EInvalidOperation("Unable to Replace Image");
    FImages[index] = entries[0];
    Change();
}

void TCustomImageList::Delete(int index) {
    if (index == -1) {
        Clear();
        return;
    }
    CheckIndex(index);
    FImages.erase(FImages.begin() + index);
    for (int& o : FOverlays)
        if (o == index)
            o = -1;
        else if (o > index)
            --o;
    Change();
}

void TCustomImageList::Clear() {
    FImages.clear();
    for (int& o : FOverlays) o = -1;
    Change();
}

void TCustomImageList::Move(int curIndex, int newIndex) {
    if (curIndex == newIndex) return;
    CheckIndex(curIndex);
    CheckIndex(newIndex);
    TEntry e = FImages[curIndex];
    FImages.erase(FImages.begin() + curIndex);
    FImages.insert(FImages.begin() + newIndex, e);
    Change();
}

bool TCustomImageList::Overlay(int imageIndex, TOverlay overlay) {
    if (overlay < 0 || overlay > 3 || imageIndex < 0 || imageIndex >= Count()) return false;
    FOverlays[overlay] = imageIndex;
    return true;
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, bool enabled) {
    Draw(canvas, x, y, index, FDrawingStyle, FImageType, enabled);
}

void TCustomImageList::Draw(TCanvas* canvas, int x, int y, int index, TDrawingStyle style, TImageType type,
                            bool enabled) {
    if (!canvas || index < 0 || index >= Count()) return;
    const TEntry& e = FImages[index];
    TImageData img;
    img.Width = FWidth;
    img.Height = FHeight;
    img.HasAlpha = true;
    img.Pixels.resize(e.Pixels.size());
    const TRect dest = Bounds(x, y, FWidth, FHeight);
    const bool masked = FMasked;
    if (!enabled) {
        // Disabled: the dark (ink) pixels as a highlight copy at (+1,+1), then a shadow copy in place.
        auto paint = [&](TColor color, int dx, int dy) {
            uint32_t c = ColorRefToPixel(ColorRef(color));
            for (size_t i = 0; i < e.Pixels.size(); ++i) {
                bool ink = !(masked && e.Mask[i]) && !MonoBitOfPixel(e.Pixels[i]);
                img.Pixels[i] = ink ? (0xFF000000u | c) : 0;
            }
            DrawImageData(canvas, OffsetRect(dest, dx, dy), img);
        };
        paint(clBtnHighlight, 1, 1);
        paint(clBtnShadow, 0, 0);
        return;
    }
    if (type == itMask) {
        for (size_t i = 0; i < e.Pixels.size(); ++i)
            img.Pixels[i] = 0xFF000000u | (e.Mask[i] ? 0xFFFFFFu : 0u);
        DrawImageData(canvas, dest, img);
        return;
    }
    uint32_t bk = FBkColor == clNone ? 0 : 0xFF000000u | ColorRefToPixel(ColorRef(FBkColor));
    TColor blendColor = FBlendColor == clNone ? clHighlight : FBlendColor;
    uint32_t blend = ColorRefToPixel(ColorRef(blendColor));
    int share = style == dsFocus ? 64 : style == dsSelected ? 128 : 0; // of 256
    for (size_t i = 0; i < e.Pixels.size(); ++i) {
        bool transparent = masked && e.Mask[i];
        if (transparent) {
            img.Pixels[i] = (style == dsNormal) ? bk : 0;
            continue;
        }
        uint32_t p = e.Pixels[i];
        if (share) {
            auto mix = [share](uint32_t a, uint32_t b) { return (a * (256 - share) + b * share + 128) >> 8; };
            p = mix((p >> 16) & 255, (blend >> 16) & 255) << 16 |
                mix((p >> 8) & 255, (blend >> 8) & 255) << 8 | mix(p & 255, blend & 255);
        }
        img.Pixels[i] = 0xFF000000u | p;
    }
    DrawImageData(canvas, dest, img);
}

void TCustomImageList::DrawOverlay(TCanvas* canvas, int x, int y, int imageIndex, TOverlay overlay,
                                   bool enabled) {
    Draw(canvas, x, y, imageIndex, enabled);
    if (overlay >= 0 && overlay <= 3 && FOverlays[overlay] >= 0)
        Draw(canvas, x, y, FOverlays[overlay], dsTransparent, itImage, enabled);
}

bool TCustomImageList::GetBitmap(int index, TBitmap* image) {
    if (!image || index < 0 || index >= Count()) return false;
    const TEntry& e = FImages[index];
    TImageData img;
    img.Width = FWidth;
    img.Height = FHeight;
    img.Pixels.resize(e.Pixels.size());
    for (size_t i = 0; i < e.Pixels.size(); ++i)
        img.Pixels[i] = (FMasked && e.Mask[i]) ? 0xFFFFFFu : e.Pixels[i];
    image->SetImageData(img);
    image->SetPixelFormat(pfDevice);
    return true;
}

bool TCustomImageList::GetMask(int index, TBitmap* mask) {
    if (!mask || index < 0 || index >= Count()) return false;
    const TEntry& e = FImages[index];
    TImageData img;
    img.Width = FWidth;
    img.Height = FHeight;
    img.BitsPerPixel = 1;
    img.Pixels.resize(e.Mask.size());
    for (size_t i = 0; i < e.Mask.size(); ++i) img.Pixels[i] = e.Mask[i] ? 0xFFFFFFu : 0u;
    mask->SetImageData(img);
    return true;
}

// Stream layout: "IL", version 0x0101, count, capacity, grow, cx, cy (16-bit), background COLORREF,
// flags (16-bit), four overlay indexes (16-bit), then a bitmap of the images four to a row and a
// monochrome bitmap of their masks in the same layout.
void TCustomImageList::WriteData(TStream& stream) {
    std::string h;
    auto put16 = [&](int v) {
        h.push_back(static_cast<char>(v & 255));
        h.push_back(static_cast<char>((v >> 8) & 255));
    };
    h += "IL";
    put16(0x0101);
    put16(Count());
    put16(Count());
    put16(FAllocBy);
    put16(FWidth);
    put16(FHeight);
    uint32_t bk = static_cast<uint32_t>(FBkColor == clNone ? CLR_NONE : ColorRef(FBkColor));
    put16(static_cast<int>(bk & 0xFFFF));
    put16(static_cast<int>(bk >> 16));
    put16(FMasked ? 1 : 0);
    for (int o : FOverlays) put16(o);
    stream.WriteBuffer(h.data(), static_cast<int64_t>(h.size()));
    if (Count() == 0) return;
    int cols = 4, rows = (Count() + 3) / 4;
    TImageData img, msk;
    img.Width = msk.Width = cols * FWidth;
    img.Height = msk.Height = rows * FHeight;
    img.Pixels.assign(static_cast<size_t>(img.Width) * img.Height, 0);
    msk.Pixels.assign(img.Pixels.size(), 0xFFFFFF);
    for (int i = 0; i < Count(); ++i) {
        int ox = (i % cols) * FWidth, oy = (i / cols) * FHeight;
        for (int y = 0; y < FHeight; ++y)
            for (int x = 0; x < FWidth; ++x) {
                size_t k = static_cast<size_t>(y) * FWidth + x;
                img.At(ox + x, oy + y) = FImages[i].Pixels[k];
                msk.At(ox + x, oy + y) = FImages[i].Mask[k] ? 0xFFFFFF : 0;
            }
    }
    std::string a = EncodeBmp(img, 24), b = EncodeBmp(msk, 1, {0x000000, 0xFFFFFF});
    stream.WriteBuffer(a.data(), static_cast<int64_t>(a.size()));
    stream.WriteBuffer(b.data(), static_cast<int64_t>(b.size()));
}

void TCustomImageList::ReadData(TStream& stream) {
    uint8_t h[28];
    if (stream.Read(h, sizeof h) != static_cast<int64_t>(sizeof h) || h[0] != 'I' || h[1] != 'L')
        throw EInvalidGraphic("Image list data is not valid");
    auto g16 = [&](int at) { return static_cast<int>(static_cast<int16_t>(h[at] | (h[at + 1] << 8))); };
    int count = g16(4), cx = g16(10), cy = g16(12);
    if (count < 0 || cx < 1 || cy < 1 || cx > 4096 || cy > 4096)
        throw EInvalidGraphic("Image list data is not valid");
    uint32_t bk = static_cast<uint32_t>(g16(14) & 0xFFFF) | (static_cast<uint32_t>(g16(16) & 0xFFFF) << 16);
    std::vector<TEntry> images;
    if (count > 0) {
        auto readBmp = [&]() {
            uint8_t head[14];
            int64_t start = stream.Position();
            if (stream.Read(head, 14) != 14 || head[0] != 'B' || head[1] != 'M')
                throw EInvalidGraphic("Image list data is not valid");
            uint32_t size =
                head[2] | (head[3] << 8) | (head[4] << 16) | (static_cast<uint32_t>(head[5]) << 24);
            if (size < 26 || size > stream.Size() - start)
                throw EInvalidGraphic("Image list data is not valid");
            std::string data(size, '\0');
            stream.SetPosition(start);
            stream.ReadBuffer(data.data(), size);
            return DecodeBmp(reinterpret_cast<const uint8_t*>(data.data()), data.size());
        };
        TImageData img = readBmp(), msk = readBmp();
        int rows = (count + 3) / 4;
        if (img.Width < 4 * cx || img.Height < rows * cy || msk.Width < 4 * cx || msk.Height < rows * cy)
            throw EInvalidGraphic("Image list data is not valid");
        for (int i = 0; i < count; ++i) {
            TEntry e;
            int ox = (i % 4) * cx, oy = (i / 4) * cy;
            for (int y = 0; y < cy; ++y)
                for (int x = 0; x < cx; ++x) {
                    e.Pixels.push_back(img.At(ox + x, oy + y) & 0xFFFFFF);
                    e.Mask.push_back(MonoBitOfPixel(msk.At(ox + x, oy + y)) ? 1 : 0);
                }
            images.push_back(std::move(e));
        }
    }
    FWidth = cx;
    FHeight = cy;
    FImages = std::move(images);
    FBkColor = bk == CLR_NONE ? clNone : ToColor(static_cast<int64_t>(bk & 0xFFFFFF));
    FMasked = (g16(18) & 1) != 0;
    for (int i = 0; i < 4; ++i) {
        int o = g16(20 + 2 * i);
        FOverlays[i] = (o >= 0 && o < count) ? o : -1;
    }
    Change();
}

bool TCustomImageList::SameImages(const TCustomImageList* other) const {
    if (!other) return FImages.empty();
    if (other == this) return true;
    if (FImages.empty() && other->FImages.empty()) return true;
    return FWidth == other->FWidth && FHeight == other->FHeight && FImages == other->FImages &&
           std::equal(std::begin(FOverlays), std::end(FOverlays), std::begin(other->FOverlays));
}

void TCustomImageList::DefineProperties(TFiler* filer) {
    inherited::DefineProperties(filer);
    bool hasData;
    if (auto* anc = dynamic_cast<TCustomImageList*>(filer->Ancestor()))
        hasData = !SameImages(anc);
    else
        hasData = Count() > 0;
    filer->DefineBinaryProperty(
        "Bitmap", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

void TCustomImageList::Assign(TPersistent* source) {
    if (auto* l = dynamic_cast<TCustomImageList*>(source)) {
        if (l == this) return;
        FWidth = l->FWidth;
        FHeight = l->FHeight;
        FImages = l->FImages;
        std::copy(std::begin(l->FOverlays), std::end(l->FOverlays), FOverlays);
        FBkColor = l->FBkColor;
        FBlendColor = l->FBlendColor;
        FDrawingStyle = l->FDrawingStyle;
        FImageType = l->FImageType;
        FMasked = l->FMasked;
        FAllocBy = l->FAllocBy;
        Change();
        return;
    }
    inherited::Assign(source);
}

QEL_IMPLEMENT_CLASS(TCustomImageList, [](auto& c) {
    c.Property("BlendColor", &TCustomImageList::GetBlendColor, &TCustomImageList::SetBlendColor)
        .Default(clNone);
    c.Property("BkColor", &TCustomImageList::GetBkColor, &TCustomImageList::SetBkColor).Default(clNone);
    c.Property("AllocBy", &TCustomImageList::GetAllocBy, &TCustomImageList::SetAllocBy).Default(4);
    c.Property("DrawingStyle", &TCustomImageList::GetDrawingStyle, &TCustomImageList::SetDrawingStyle)
        .Default(dsNormal);
    c.Property("Height", &TCustomImageList::GetHeight, &TCustomImageList::SetHeight).Default(16);
    c.Property("ImageType", &TCustomImageList::GetImageType, &TCustomImageList::SetImageType)
        .Default(itImage);
    c.Property("Masked", &TCustomImageList::GetMasked, &TCustomImageList::SetMasked).Default(true);
    c.Event("OnChange", &TCustomImageList::GetOnChange, &TCustomImageList::SetOnChange);
    c.Property("ShareImages", &TCustomImageList::GetShareImages, &TCustomImageList::SetShareImages)
        .Default(false);
    c.Property("Width", &TCustomImageList::GetWidth, &TCustomImageList::SetWidth).Default(16);
})

QEL_IMPLEMENT_CLASS(TImageList)

} // namespace qel
