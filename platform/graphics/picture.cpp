// TPicture and the registry of graphic classes by file extension.
#include "platform/graphics/picture.h"

#include <algorithm>
#include <cctype>
#include <mutex>

#include "platform/core/filer.h"

namespace qel {

namespace {

std::string LowerExt(std::string e) {
    if (!e.empty() && e[0] == '.') e.erase(0, 1);
    for (auto& c : e) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return e;
}

std::mutex GFormatsMutex;
std::vector<TFileFormat>& Formats() {
    static std::vector<TFileFormat> formats = {
        {"bmp", "Bitmaps", TBitmap::StaticClass()},
        {"ico", "Icons", TIcon::StaticClass()},
        {"emf", "Enhanced Metafiles", TMetafile::StaticClass()},
        {"wmf", "Metafiles", TMetafile::StaticClass()},
        {"jpg", "JPEG Image File", TJPEGImage::StaticClass()},
        {"jpeg", "JPEG Image File", TJPEGImage::StaticClass()},
        {"png", "Portable Network Graphics", TPngImage::StaticClass()},
        {"gif", "GIF Image", TGIFImage::StaticClass()},
    };
    return formats;
}

TGraphicClass ClassForFormat(TImageFormat f) {
    switch (f) {
    case TImageFormat::Bmp: return TBitmap::StaticClass();
    case TImageFormat::Ico: return TIcon::StaticClass();
    case TImageFormat::Png: return TPngImage::StaticClass();
    case TImageFormat::Jpeg: return TJPEGImage::StaticClass();
    case TImageFormat::Gif: return TGIFImage::StaticClass();
    case TImageFormat::Emf:
    case TImageFormat::Wmf: return TMetafile::StaticClass();
    default: return nullptr;
    }
}

} // namespace

std::unique_ptr<TGraphic> CreateGraphic(TGraphicClass cls) {
    if (!cls || !cls->Create || !cls->InheritsFrom(TGraphic::StaticClass()))
        throw EInvalidGraphic("Invalid graphic class");
    std::unique_ptr<TObject> obj(cls->Create(nullptr));
    auto* g = dynamic_cast<TGraphic*>(obj.get());
    if (!g) throw EInvalidGraphic("Invalid graphic class");
    obj.release();
    return std::unique_ptr<TGraphic>(g);
}

TPicture::TPicture() = default;
TPicture::~TPicture() = default;

void TPicture::Changed(TObject*) {
    FOnChange(this);
}

void TPicture::SetNewGraphic(std::unique_ptr<TGraphic> graphic) {
    FGraphic = std::move(graphic);
    if (FGraphic) FGraphic->SetOnChange(TNotifyEvent(this, &TPicture::Changed));
    Changed(this);
}

void TPicture::SetGraphic(TGraphic* graphic) {
    if (graphic == FGraphic.get()) return;
    if (!graphic) {
        SetNewGraphic(nullptr);
        return;
    }
    auto copy = CreateGraphic(graphic->ClassType());
    copy->Assign(graphic);
    SetNewGraphic(std::move(copy));
}

template <typename T>
T* TPicture::ForceClass() {
    if (auto* t = dynamic_cast<T*>(FGraphic.get()); t && t->ClassType() == T::StaticClass()) return t;
    auto g = std::make_unique<T>();
    T* raw = g.get();
    SetNewGraphic(std::move(g));
    return raw;
}

TBitmap* TPicture::GetBitmap() {
    return ForceClass<TBitmap>();
}
TIcon* TPicture::GetIcon() {
    return ForceClass<TIcon>();
}
TMetafile* TPicture::GetMetafile() {
    return ForceClass<TMetafile>();
}

void TPicture::LoadFromFile(const std::string& fileName) {
    std::string ext;
    size_t dot = fileName.find_last_of('.');
    size_t slash = fileName.find_last_of('/');
    if (dot != std::string::npos && (slash == std::string::npos || dot > slash))
        ext = fileName.substr(dot + 1);
    TGraphicClass cls = ClassForExtension(ext);
    if (!cls) {
        // Not a registered extension: accept the file when its content is a known format.
        TFileStream fs(fileName, fmOpenRead | fmShareDenyNone);
        uint8_t head[64] = {};
        int64_t n = fs.Read(head, sizeof head);
        cls = ClassForFormat(DetectImageFormat(head, static_cast<size_t>(std::max<int64_t>(n, 0))));
        if (!cls) throw EInvalidGraphic("Unknown picture file extension (." + LowerExt(ext) + ")");
    }
    auto g = CreateGraphic(cls);
    g->LoadFromFile(fileName);
    SetNewGraphic(std::move(g));
}

void TPicture::SaveToFile(const std::string& fileName) {
    if (FGraphic) FGraphic->SaveToFile(fileName);
}

void TPicture::LoadFromStream(TStream& stream) {
    int64_t start = stream.Position();
    uint8_t head[64] = {};
    int64_t n = stream.Read(head, sizeof head);
    stream.SetPosition(start);
    TGraphicClass cls = ClassForFormat(DetectImageFormat(head, static_cast<size_t>(std::max<int64_t>(n, 0))));
    if (!cls) throw EInvalidGraphic("Unknown picture format");
    auto g = CreateGraphic(cls);
    g->LoadFromStream(stream);
    SetNewGraphic(std::move(g));
}

void TPicture::Assign(TPersistent* source) {
    if (!source) {
        SetNewGraphic(nullptr);
        return;
    }
    if (auto* p = dynamic_cast<TPicture*>(source)) {
        if (p == this) return;
        SetGraphic(p->GetGraphic());
        return;
    }
    if (auto* g = dynamic_cast<TGraphic*>(source)) {
        SetGraphic(g);
        return;
    }
    inherited::Assign(source);
}

void TPicture::AssignTo(TPersistent* dest) {
    if (auto* g = dynamic_cast<TGraphic*>(dest)) {
        g->Assign(FGraphic.get());
        return;
    }
    inherited::AssignTo(dest);
}

namespace {
std::string GraphicBytes(TGraphic* g) {
    TMemoryStream ms;
    g->WriteData(ms);
    return std::string(ms.Bytes());
}
} // namespace

bool TPicture::SameGraphic(TPicture* other) {
    if (!other) return !FGraphic;
    TGraphic* mine = FGraphic.get();
    TGraphic* theirs = other->FGraphic.get();
    if (mine == theirs) return true;
    if (!mine || !theirs || mine->ClassType() != theirs->ClassType()) return false;
    return GraphicBytes(mine) == GraphicBytes(theirs);
}

void TPicture::DefineProperties(TFiler* filer) {
    inherited::DefineProperties(filer);
    bool hasData;
    if (auto* anc = dynamic_cast<TPicture*>(filer->Ancestor()))
        hasData = !SameGraphic(anc);
    else
        hasData = FGraphic != nullptr;
    filer->DefineBinaryProperty(
        "Data", [this](TStream& s) { ReadData(s); }, [this](TStream& s) { WriteData(s); }, hasData);
}

void TPicture::ReadData(TStream& stream) {
    uint8_t len = 0;
    if (stream.Read(&len, 1) != 1) throw EInvalidGraphic("Picture data is not valid");
    std::string name(len, '\0');
    if (len) stream.ReadBuffer(name.data(), len);
    if (name.empty()) {
        SetNewGraphic(nullptr);
        return;
    }
    TGraphicClass cls = GetClass(name);
    if (!cls || !cls->InheritsFrom(TGraphic::StaticClass()))
        throw EInvalidGraphic("Unknown graphic class " + name + " in picture data");
    auto g = CreateGraphic(cls);
    // An empty graphic of a class that stores nothing for it (a fresh PNG or JPEG image, say)
    // leaves no bytes after its class name: it reads back empty.
    if (stream.Position() < stream.Size()) g->ReadData(stream);
    SetNewGraphic(std::move(g));
}

void TPicture::WriteData(TStream& stream) {
    std::string name = FGraphic ? FGraphic->ClassName() : std::string();
    uint8_t len = static_cast<uint8_t>(std::min<size_t>(name.size(), 255));
    stream.WriteBuffer(&len, 1);
    if (len) stream.WriteBuffer(name.data(), len);
    if (FGraphic) FGraphic->WriteData(stream);
}

void TPicture::RegisterFileFormat(const std::string& extension, const std::string& description,
                                  TGraphicClass graphicClass) {
    if (!graphicClass || !graphicClass->InheritsFrom(TGraphic::StaticClass()))
        throw EInvalidGraphic("Invalid graphic class");
    std::string ext = LowerExt(extension);
    std::lock_guard<std::mutex> lock(GFormatsMutex);
    auto& f = Formats();
    f.erase(std::remove_if(f.begin(), f.end(), [&](const TFileFormat& x) { return x.Extension == ext; }),
            f.end());
    f.insert(f.begin(), {ext, description, graphicClass});
    RegisterClass(graphicClass);
}

void TPicture::UnregisterGraphicClass(TGraphicClass graphicClass) {
    std::lock_guard<std::mutex> lock(GFormatsMutex);
    auto& f = Formats();
    f.erase(std::remove_if(f.begin(), f.end(),
                           [&](const TFileFormat& x) { return x.GraphicClass->InheritsFrom(graphicClass); }),
            f.end());
}

std::vector<TFileFormat> TPicture::FileFormats() {
    std::lock_guard<std::mutex> lock(GFormatsMutex);
    return Formats();
}

TGraphicClass TPicture::ClassForExtension(std::string extension) {
    std::string ext = LowerExt(std::move(extension));
    std::lock_guard<std::mutex> lock(GFormatsMutex);
    for (const auto& f : Formats())
        if (f.Extension == ext) return f.GraphicClass;
    return nullptr;
}

std::string TPicture::GraphicFilter(TGraphicClass graphicClass) {
    auto formats = FileFormats();
    std::string all, items;
    int count = 0;
    for (const auto& f : formats) {
        if (graphicClass && !f.GraphicClass->InheritsFrom(graphicClass)) continue;
        std::string mask = "*." + f.Extension;
        if (count++) all += ';';
        all += mask;
        items += '|' + f.Description + " (" + mask + ")|" + mask;
    }
    if (count == 0) return {};
    return "All (" + all + ")|" + all + items;
}

std::string TPicture::GraphicExtension(TGraphicClass graphicClass) {
    for (const auto& f : FileFormats())
        if (graphicClass && f.GraphicClass->InheritsFrom(graphicClass)) return f.Extension;
    return {};
}

std::string TPicture::GraphicFileMask(TGraphicClass graphicClass) {
    std::string mask;
    for (const auto& f : FileFormats())
        if (!graphicClass || f.GraphicClass->InheritsFrom(graphicClass)) {
            if (!mask.empty()) mask += ';';
            mask += "*." + f.Extension;
        }
    return mask;
}

QEL_IMPLEMENT_CLASS(TPicture)

} // namespace qel
