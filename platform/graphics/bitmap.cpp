// TGraphic, TBitmap, TBitmapCanvas and the graphic resource table.
#include "platform/graphics/bitmap.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <map>
#include <mutex>
#include <set>

namespace qel {

std::string ReadRest(TStream& stream) {
    int64_t size = stream.Size() - stream.Position();
    if (size <= 0) return {};
    std::string s(static_cast<size_t>(size), '\0');
    int64_t got = stream.Read(s.data(), size);
    s.resize(static_cast<size_t>(std::max<int64_t>(got, 0)));
    return s;
}

// ---- TGraphic -----------------------------------------------------------------------------------------

void TGraphic::SetTransparent(bool v) {
    if (v == FTransparent) return;
    FTransparent = v;
    Changed(this);
}

void TGraphic::SetModified(bool v) {
    if (v)
        Changed(this);
    else
        FModified = false;
}

void TGraphic::Changed(TObject*) {
    FModified = true;
    FOnChange(this);
}

void TGraphic::LoadFromFile(const std::string& fileName) {
    TFileStream fs(fileName, fmOpenRead | fmShareDenyNone);
    LoadFromStream(fs);
}

void TGraphic::SaveToFile(const std::string& fileName) {
    TMemoryStream ms;
    SaveToStream(ms);
    TFileStream fs(fileName, fmCreate);
    ms.SetPosition(0);
    fs.CopyFrom(ms, 0);
}

QEL_IMPLEMENT_CLASS(TGraphic)

// ---- TBitmapCanvas ------------------------------------------------------------------------------------

TBitmapCanvas::TBitmapCanvas(TBitmap* bitmap) : FBitmap(bitmap) {}
TBitmapCanvas::~TBitmapCanvas() {
    FreeContext();
}

void TBitmapCanvas::FreeContext() {
    if (!FDC) return;
    SetHandle(nullptr);
    if (FOldBitmap) SelectObject(FDC, FOldBitmap);
    DeleteDC(FDC);
    FDC = nullptr;
    FOldBitmap = nullptr;
}

void TBitmapCanvas::CreateHandle() {
    if (FDC) return;
    FDC = CreateCompatibleDC(nullptr);
    if (!FDC) return;
    if (HBITMAP bmp = FBitmap->GetHandle()) FOldBitmap = SelectObject(FDC, bmp);
    SetHandle(FDC);
}

void TBitmapCanvas::Reselect() {
    if (!FDC) return;
    HBITMAP bmp = FBitmap->GetHandle();
    if (bmp) {
        HGDIOBJ old = SelectObject(FDC, bmp);
        if (!FOldBitmap) FOldBitmap = old;
    } else if (FOldBitmap) {
        SelectObject(FDC, FOldBitmap);
        FOldBitmap = nullptr;
    }
}

void TBitmapCanvas::Changing() {
    inherited::Changing();
}
void TBitmapCanvas::Changed() {
    inherited::Changed();
    FBitmap->Changed(FBitmap);
}

QEL_IMPLEMENT_CLASS(TBitmapCanvas)

// ---- TBitmap ------------------------------------------------------------------------------------------

TBitmap::TBitmap() = default;
TBitmap::TBitmap(int width, int height) {
    SetSize(width, height);
}

TBitmap::~TBitmap() {
    FCanvas.reset();
    if (FHandle) DeleteObject(FHandle);
}

void TBitmap::Changed(TObject* sender) {
    inherited::Changed(sender);
}

void TBitmap::NewSurface(TDibPtr dib) {
    HBITMAP old = FHandle;
    FHandle = nullptr;
    FDib = std::move(dib);
    if (FCanvas) FCanvas->Reselect();
    if (old) DeleteObject(old);
}

HBITMAP TBitmap::GetHandle() {
    if (!FHandle && FDib) FHandle = CreateBitmapFromDib(FDib);
    return FHandle;
}

void TBitmap::SetHandle(HBITMAP handle) {
    TDibPtr src = GetBitmapDib(handle);
    if (!src || src->Width() <= 0 || src->Height() <= 0) {
        NewSurface(nullptr);
        Changed(this);
        return;
    }
    auto dib = std::make_shared<TDib>(src->Width(), src->Height(), src->Format());
    {
        TSurfaceLock lock(src.get());
        for (int y = 0; y < src->Height(); ++y)
            std::memcpy(src->IsMono() ? static_cast<void*>(dib->MonoRow(y)) : static_cast<void*>(dib->Row(y)),
                        src->IsMono() ? static_cast<const void*>(src->MonoRow(y))
                                      : static_cast<const void*>(src->Row(y)),
                        src->IsMono() ? static_cast<size_t>(src->Width())
                                      : static_cast<size_t>(src->Width()) * 4);
    }
    FPixelFormat = dib->IsMono() ? pf1bit : pfDevice;
    NewSurface(dib);
    Changed(this);
}

TCanvas* TBitmap::GetCanvas() {
    if (!FCanvas) FCanvas = std::make_unique<TBitmapCanvas>(this);
    return FCanvas.get();
}

void TBitmap::SetSize(int w, int h) {
    w = std::max(w, 0);
    h = std::max(h, 0);
    if (w == GetWidth() && h == GetHeight()) return;
    if (w == 0 || h == 0) {
        NewSurface(nullptr);
        Changed(this);
        return;
    }
    if (static_cast<int64_t>(w) * h > MaxImageSide * MaxImageSide)
        throw EOutOfResources("Out of system resources");
    bool mono = FDib ? FDib->IsMono() : FPixelFormat == pf1bit;
    auto dib = std::make_shared<TDib>(w, h, mono ? TDibFormat::Mono1 : TDibFormat::Color32);
    dib->Fill(0xFFFFFF);
    if (FDib) {
        TSurfaceLock lock(FDib.get());
        int cw = std::min(w, FDib->Width()), ch = std::min(h, FDib->Height());
        for (int y = 0; y < ch; ++y) {
            if (mono)
                std::memcpy(dib->MonoRow(y), FDib->MonoRow(y), static_cast<size_t>(cw));
            else
                std::memcpy(dib->Row(y), FDib->Row(y), static_cast<size_t>(cw) * 4);
        }
    }
    NewSurface(dib);
    Changed(this);
}

void TBitmap::Assign(TPersistent* source) {
    if (auto* b = dynamic_cast<TBitmap*>(source)) {
        if (b == this) return;
        TDibPtr copy;
        if (b->FDib) {
            copy = std::make_shared<TDib>(b->FDib->Width(), b->FDib->Height(), b->FDib->Format());
            TSurfaceLock lock(b->FDib.get());
            for (int y = 0; y < copy->Height(); ++y) {
                if (copy->IsMono())
                    std::memcpy(copy->MonoRow(y), b->FDib->MonoRow(y), static_cast<size_t>(copy->Width()));
                else
                    std::memcpy(copy->Row(y), b->FDib->Row(y), static_cast<size_t>(copy->Width()) * 4);
            }
        }
        FPixelFormat = b->FPixelFormat;
        FTransparentColor = b->FTransparentColor;
        FTransparentMode = b->FTransparentMode;
        FTransparent = b->FTransparent;
        FPalette = b->FPalette;
        NewSurface(copy);
        Changed(this);
        return;
    }
    if (!source) {
        NewSurface(nullptr);
        Changed(this);
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        TImageData img = g->GetImageData();
        if (!img.Empty()) {
            if (img.HasAlpha) {
                // Composite over white, as drawing onto a fresh bitmap would.
                for (auto& p : img.Pixels) {
                    uint32_t a = p >> 24;
                    auto mix = [a](uint32_t c) { return (c * a + 255 * (255 - a) + 127) / 255; };
                    p = mix((p >> 16) & 255) << 16 | mix((p >> 8) & 255) << 8 | mix(p & 255);
                }
                img.HasAlpha = false;
            }
            SetImageData(img);
        } else if (!g->Empty()) {
            NewSurface(nullptr);
            SetSize(g->GetWidth(), g->GetHeight());
            g->Draw(GetCanvas(), TRect(0, 0, g->GetWidth(), g->GetHeight()));
        } else {
            NewSurface(nullptr);
        }
        FTransparent = g->GetTransparent();
        Changed(this);
        return;
    }
    inherited::Assign(source);
}

void TBitmap::Quantize(TPixelFormat pf) {
    if (!FDib || FDib->IsMono()) return;
    TSurfaceLock lock(FDib.get());
    int w = FDib->Width(), h = FDib->Height();
    switch (pf) {
    case pf4bit:
    case pf8bit: {
        const std::vector<uint32_t>* pal = &StandardPalette(pf == pf4bit ? 4 : 8);
        if (pf == pf8bit) {
            // Exact when the picture has at most 256 colours.
            std::set<uint32_t> colors;
            for (int y = 0; y < h && colors.size() <= 256; ++y)
                for (int x = 0; x < w && colors.size() <= 256; ++x) colors.insert(FDib->Row(y)[x] & 0xFFFFFF);
            if (colors.size() <= 256) return;
        }
        std::map<uint32_t, uint32_t> memo;
        for (int y = 0; y < h; ++y) {
            uint32_t* row = FDib->Row(y);
            for (int x = 0; x < w; ++x) {
                uint32_t c = row[x] & 0xFFFFFF;
                auto it = memo.find(c);
                if (it == memo.end()) it = memo.emplace(c, (*pal)[NearestPaletteIndex(*pal, c)]).first;
                row[x] = it->second;
            }
        }
        break;
    }
    case pf15bit:
    case pf16bit: {
        bool six = pf == pf16bit;
        for (int y = 0; y < h; ++y) {
            uint32_t* row = FDib->Row(y);
            for (int x = 0; x < w; ++x) {
                uint32_t c = row[x];
                uint32_t r = (c >> 19) & 31, g = six ? (c >> 10) & 63 : (c >> 11) & 31, b = (c >> 3) & 31;
                r = (r << 3) | (r >> 2);
                g = six ? (g << 2) | (g >> 4) : (g << 3) | (g >> 2);
                b = (b << 3) | (b >> 2);
                row[x] = r << 16 | g << 8 | b;
            }
        }
        break;
    }
    default: break;
    }
}

void TBitmap::SetPixelFormat(TPixelFormat pf) {
    if (pf == FPixelFormat) return;
    if (pf == pf1bit) {
        FPixelFormat = pf;
        SetMonochrome(true);
        Changed(this);
        return;
    }
    if (FDib && FDib->IsMono()) {
        FPixelFormat = pf;
        SetMonochrome(false);
    }
    FPixelFormat = pf;
    Quantize(pf);
    Changed(this);
}

void TBitmap::SetMonochrome(bool v) {
    if (!FDib) {
        if (v)
            FPixelFormat = pf1bit;
        else if (FPixelFormat == pf1bit)
            FPixelFormat = pfDevice;
        return;
    }
    if (v == FDib->IsMono()) return;
    int w = FDib->Width(), h = FDib->Height();
    auto dib = std::make_shared<TDib>(w, h, v ? TDibFormat::Mono1 : TDibFormat::Color32);
    {
        TSurfaceLock lock(FDib.get());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (v)
                    dib->MonoRow(y)[x] = MonoBitOfPixel(FDib->Row(y)[x]) ? 1 : 0;
                else
                    dib->Row(y)[x] = FDib->MonoRow(y)[x] ? 0xFFFFFF : 0;
            }
    }
    if (v)
        FPixelFormat = pf1bit;
    else if (FPixelFormat == pf1bit)
        FPixelFormat = pfDevice;
    NewSurface(dib);
    Changed(this);
}

TColor TBitmap::GetTransparentColor() const {
    if (FTransparentMode == tmFixed && FTransparentColor != clDefault) return FTransparentColor;
    if (!FDib) return clDefault;
    uint32_t p = FDib->GetPixel(0, FDib->Height() - 1);
    return ToColor(static_cast<int64_t>(PixelToColorRef(p)));
}

void TBitmap::SetTransparentColor(TColor c) {
    if (c == FTransparentColor && FTransparentMode == (c == clDefault ? tmAuto : tmFixed)) return;
    FTransparentColor = c;
    FTransparentMode = c == clDefault ? tmAuto : tmFixed;
    Changed(this);
}

void TBitmap::SetTransparentMode(TTransparentMode m) {
    if (m == FTransparentMode) return;
    if (m == tmAuto) {
        FTransparentColor = clDefault;
        FTransparentMode = tmAuto;
    } else {
        FTransparentColor = GetTransparentColor();
        FTransparentMode = tmFixed;
    }
    Changed(this);
}

void* TBitmap::ScanLine(int y) {
    if (!FDib || y < 0 || y >= FDib->Height()) throw EInvalidGraphic("Scan line index out of range");
    Changed(this);
    return FDib->IsMono() ? static_cast<void*>(FDib->MonoRow(y)) : static_cast<void*>(FDib->Row(y));
}

void TBitmap::Mask(TColor color) {
    if (!FDib) return;
    int w = FDib->Width(), h = FDib->Height();
    auto dib = std::make_shared<TDib>(w, h, TDibFormat::Mono1);
    uint32_t key = ColorRefToPixel(ColorRef(color));
    {
        TSurfaceLock lock(FDib.get());
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t p =
                    FDib->IsMono() ? (FDib->MonoRow(y)[x] ? 0xFFFFFFu : 0u) : (FDib->Row(y)[x] & 0xFFFFFF);
                dib->MonoRow(y)[x] = p == key ? 1 : 0;
            }
    }
    FPixelFormat = pf1bit;
    NewSurface(dib);
    Changed(this);
}

TImageData TBitmap::GetImageData() const {
    TImageData img;
    if (!FDib) return img;
    img.Width = FDib->Width();
    img.Height = FDib->Height();
    img.Pixels.resize(static_cast<size_t>(img.Width) * img.Height);
    TSurfaceLock lock(FDib.get());
    for (int y = 0; y < img.Height; ++y)
        for (int x = 0; x < img.Width; ++x)
            img.Pixels[static_cast<size_t>(y) * img.Width + x] =
                FDib->IsMono() ? (FDib->MonoRow(y)[x] ? 0xFFFFFFu : 0u) : (FDib->Row(y)[x] & 0xFFFFFF);
    img.BitsPerPixel = SaveBits();
    img.Palette = FPalette;
    return img;
}

void TBitmap::SetImageData(const TImageData& image) {
    if (image.Empty()) {
        NewSurface(nullptr);
        Changed(this);
        return;
    }
    bool mono = image.BitsPerPixel == 1;
    auto dib =
        std::make_shared<TDib>(image.Width, image.Height, mono ? TDibFormat::Mono1 : TDibFormat::Color32);
    for (int y = 0; y < image.Height; ++y)
        for (int x = 0; x < image.Width; ++x) {
            uint32_t p = image.At(x, y) & 0xFFFFFF;
            if (mono)
                dib->MonoRow(y)[x] = MonoBitOfPixel(p) ? 1 : 0;
            else
                dib->Row(y)[x] = p;
        }
    switch (image.BitsPerPixel) {
    case 1: FPixelFormat = pf1bit; break;
    case 4: FPixelFormat = pf4bit; break;
    case 8: FPixelFormat = pf8bit; break;
    case 16: FPixelFormat = pf16bit; break;
    case 24: FPixelFormat = pf24bit; break;
    case 32: FPixelFormat = pf32bit; break;
    default: FPixelFormat = pfDevice; break;
    }
    FPalette = image.Palette;
    NewSurface(dib);
    Changed(this);
}

int TBitmap::SaveBits() const {
    switch (FPixelFormat) {
    case pf1bit: return 1;
    case pf4bit: return 4;
    case pf8bit: return 8;
    case pf15bit:
    case pf16bit: return 16;
    case pf32bit: return 32;
    default: return FDib && FDib->IsMono() ? 1 : 24;
    }
}

void TBitmap::LoadFromStream(TStream& stream) {
    int64_t start = stream.Position();
    uint8_t head[14];
    int64_t got = stream.Read(head, 14);
    std::string data;
    if (got == 14 && head[0] == 'B' && head[1] == 'M') {
        uint32_t size = head[2] | (head[3] << 8) | (head[4] << 16) | (static_cast<uint32_t>(head[5]) << 24);
        int64_t remaining = stream.Size() - start;
        int64_t want = (size >= 26 && size <= remaining) ? size : remaining;
        stream.SetPosition(start);
        data.resize(static_cast<size_t>(want));
        int64_t n = stream.Read(data.data(), want);
        data.resize(static_cast<size_t>(std::max<int64_t>(n, 0)));
    } else {
        throw EInvalidGraphic("Bitmap image is not valid");
    }
    TImageData img = DecodeBmp(reinterpret_cast<const uint8_t*>(data.data()), data.size());
    SetImageData(img);
}

void TBitmap::SaveToStream(TStream& stream) {
    if (!FDib) return;
    TImageData img = GetImageData();
    std::vector<uint32_t> pal;
    if (SaveBits() == 1)
        pal = {0x000000, 0xFFFFFF};
    else if (SaveBits() <= 8)
        pal = FPalette;
    std::string bmp = EncodeBmp(img, SaveBits(), pal);
    stream.WriteBuffer(bmp.data(), static_cast<int64_t>(bmp.size()));
}

void TBitmap::ReadData(TStream& stream) {
    uint8_t sz[4];
    stream.ReadBuffer(sz, 4);
    uint32_t size = sz[0] | (sz[1] << 8) | (sz[2] << 16) | (static_cast<uint32_t>(sz[3]) << 24);
    if (size == 0) {
        NewSurface(nullptr);
        Changed(this);
        return;
    }
    if (size > stream.Size() - stream.Position()) throw EInvalidGraphic("Bitmap image is not valid");
    std::string data(size, '\0');
    stream.ReadBuffer(data.data(), size);
    TMemoryStream ms(data);
    LoadFromStream(ms);
}

void TBitmap::WriteData(TStream& stream) {
    TMemoryStream ms;
    SaveToStream(ms);
    uint32_t size = static_cast<uint32_t>(ms.Size());
    uint8_t sz[4] = {static_cast<uint8_t>(size), static_cast<uint8_t>(size >> 8),
                     static_cast<uint8_t>(size >> 16), static_cast<uint8_t>(size >> 24)};
    stream.WriteBuffer(sz, 4);
    if (size) stream.WriteBuffer(ms.Memory(), size);
}

void TBitmap::LoadFromResourceName(void*, std::string_view name) {
    std::string data;
    if (!FindGraphicResource("BITMAP", name, data))
        throw EResNotFound("Resource " + std::string(name) + " not found");
    auto* p = reinterpret_cast<const uint8_t*>(data.data());
    TImageData img = (data.size() >= 2 && data[0] == 'B' && data[1] == 'M') ? DecodeBmp(p, data.size())
                                                                            : DecodeDib(p, data.size());
    SetImageData(img);
}

void TBitmap::LoadFromResourceID(void* instance, int id) {
    LoadFromResourceName(instance, "#" + std::to_string(id));
}

void TBitmap::Draw(TCanvas* canvas, const TRect& rect) {
    if (!FDib || !canvas) return;
    HDC dst = canvas->GetHandle();
    HDC src = GetCanvas()->GetHandle();
    int w = FDib->Width(), h = FDib->Height();
    if (GetTransparent() && !FDib->IsMono()) {
        TransparentBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, w, h,
                       ColorRef(GetTransparentColor()));
        return;
    }
    COLORREF oldText = 0, oldBk = 0;
    if (FDib->IsMono()) {
        oldText = SetTextColor(dst, 0x000000);
        oldBk = SetBkColor(dst, 0xFFFFFF);
    }
    int oldMode = SetStretchBltMode(dst, COLORONCOLOR);
    StretchBlt(dst, rect.Left, rect.Top, rect.Width(), rect.Height(), src, 0, 0, w, h,
               static_cast<DWORD>(canvas->GetCopyMode()));
    SetStretchBltMode(dst, oldMode);
    if (FDib->IsMono()) {
        SetTextColor(dst, oldText);
        SetBkColor(dst, oldBk);
    }
}

QEL_IMPLEMENT_CLASS(TBitmap, [](auto& c) {
    c.Property("Transparent", &TBitmap::GetTransparent, &TBitmap::SetTransparent).Default(false);
})

// ---- resources ------------------------------------------------------------------------------------

namespace {
std::mutex GResMutex;
TResourceLookup GResLookup;
std::map<std::string, std::string>& ResTable() {
    static std::map<std::string, std::string> table;
    return table;
}
std::string ResKey(std::string_view type, std::string_view name) {
    std::string k(type);
    k += '/';
    k += name;
    for (auto& c : k) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return k;
}
} // namespace

void SetGraphicResourceLookup(TResourceLookup lookup) {
    std::lock_guard<std::mutex> lock(GResMutex);
    GResLookup = std::move(lookup);
}

void RegisterGraphicResource(std::string_view type, std::string_view name, std::string data) {
    std::lock_guard<std::mutex> lock(GResMutex);
    ResTable()[ResKey(type, name)] = std::move(data);
}

void UnregisterGraphicResource(std::string_view type, std::string_view name) {
    std::lock_guard<std::mutex> lock(GResMutex);
    ResTable().erase(ResKey(type, name));
}

bool FindGraphicResource(std::string_view type, std::string_view name, std::string& data) {
    TResourceLookup lookup;
    {
        std::lock_guard<std::mutex> lock(GResMutex);
        lookup = GResLookup;
        auto it = ResTable().find(ResKey(type, name));
        if (it != ResTable().end()) {
            data = it->second;
            return true;
        }
    }
    return lookup && lookup(type, name, data);
}

} // namespace qel
