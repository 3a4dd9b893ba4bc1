// Feeds arbitrary bytes to the form-file data of pictures and image lists (a leading 'L' selects the
// image list): they must load or raise EInvalidGraphic or EReadError, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/imagelist.h"
#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    static const bool registered = [] {
        RegisterClasses({TBitmap::StaticClass(), TIcon::StaticClass(), TPngImage::StaticClass(),
                         TJPEGImage::StaticClass(), TGIFImage::StaticClass(), TMetafile::StaticClass(),
                         TImageList::StaticClass()});
        return true;
    }();
    (void)registered;
    try {
        if (size > 0 && data[0] == 'L') {
            TImageList list(nullptr);
            TMemoryStream ms(std::string_view(reinterpret_cast<const char*>(data + 1), size - 1));
            list.ReadData(ms);
            TBitmap target(16, 16);
            for (int i = 0; i < list.Count() && i < 4; ++i) list.Draw(target.GetCanvas(), 0, 0, i);
        } else {
            TPicture pic;
            TMemoryStream ms(std::string_view(reinterpret_cast<const char*>(data), size));
            pic.ReadData(ms);
            if (TGraphic* g = pic.GetGraphic()) {
                TBitmap target(16, 16);
                target.GetCanvas()->StretchDraw(TRect(0, 0, 16, 16), g);
                // What was read writes back and reads again.
                TMemoryStream out;
                pic.WriteData(out);
                out.SetPosition(0);
                TPicture again;
                again.ReadData(out);
            }
        }
    } catch (const EInvalidGraphic&) {
    } catch (const EReadError&) {
    }
    return 0;
}
