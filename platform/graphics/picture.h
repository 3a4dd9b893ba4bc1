#pragma once
// TPicture: holds one graphic of any registered class, loads files by extension or signature, and
// stores its graphic in form files as the class name followed by the graphic's data. The registry of
// graphic classes by file extension lives here too.
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/bitmap.h"
#include "platform/graphics/images.h"
#include "platform/graphics/metafile.h"

namespace qel {

struct TFileFormat {
    std::string Extension; // without the dot, lower case
    std::string Description;
    TGraphicClass GraphicClass = nullptr;
};

class TPicture : public TPersistent {
    QEL_CLASS(TPicture, TPersistent)
    TPicture();
    ~TPicture() override;

    TGraphic* GetGraphic() const { return FGraphic.get(); }
    // Stores a copy of the graphic (of the same class); nullptr clears the picture.
    void SetGraphic(TGraphic* graphic);
    // Typed accessors: when the picture holds another class it is replaced by an empty one.
    TBitmap* GetBitmap();
    void SetBitmap(TBitmap* v) { SetGraphic(v); }
    TIcon* GetIcon();
    void SetIcon(TIcon* v) { SetGraphic(v); }
    TMetafile* GetMetafile();
    void SetMetafile(TMetafile* v) { SetGraphic(v); }
    int GetWidth() const { return FGraphic ? FGraphic->GetWidth() : 0; }
    int GetHeight() const { return FGraphic ? FGraphic->GetHeight() : 0; }

    // The class comes from the extension ("Unknown picture file extension (.xyz)" otherwise), or from
    // the file's signature when the extension is not registered but the content is recognised.
    void LoadFromFile(const std::string& fileName);
    void SaveToFile(const std::string& fileName);
    // Loads by signature (bmp, ico, png, jpeg, gif, emf, wmf).
    void LoadFromStream(TStream& stream);

    void Assign(TPersistent* source) override;
    // Form files hold the graphic as the "Data" binary property, written when the picture has a
    // graphic (or, below an ancestor, when its graphic differs from the ancestor's).
    void DefineProperties(TFiler* filer) override;
    // Form-file data: class name (a length byte and the name) then the graphic's data.
    void ReadData(TStream& stream);
    void WriteData(TStream& stream);
    // True when both pictures hold graphics of the same class with the same stored data (or both
    // are empty).
    bool SameGraphic(TPicture* other);

    TNotifyEvent GetOnChange() const { return FOnChange; }
    void SetOnChange(TNotifyEvent e) { FOnChange = e; }

    // ---- registry ----
    static void RegisterFileFormat(const std::string& extension, const std::string& description,
                                   TGraphicClass graphicClass);
    static void UnregisterGraphicClass(TGraphicClass graphicClass);
    static std::vector<TFileFormat> FileFormats();
    // The class registered for an extension (with or without the dot), or nullptr.
    static TGraphicClass ClassForExtension(std::string extension);
    // "All (*.bmp;*.jpg;...)|*.bmp;*.jpg;...|Bitmaps (*.bmp)|*.bmp|..." for the classes derived from
    // `graphicClass` (nullptr: all).
    static std::string GraphicFilter(TGraphicClass graphicClass = nullptr);
    static std::string GraphicExtension(TGraphicClass graphicClass);
    static std::string GraphicFileMask(TGraphicClass graphicClass);

protected:
    void AssignTo(TPersistent* dest) override;

private:
    void Changed(TObject* sender);
    void SetNewGraphic(std::unique_ptr<TGraphic> graphic);
    template <typename T>
    T* ForceClass();
    std::unique_ptr<TGraphic> FGraphic;
    TNotifyEvent FOnChange;
};

// A new graphic of a registered class (EInvalidGraphic when the class is not a graphic).
std::unique_ptr<TGraphic> CreateGraphic(TGraphicClass graphicClass);

} // namespace qel
