// Feeds arbitrary bytes to the metafile loader: it must load or raise EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    try {
        TMetafile m;
        TMemoryStream ms(std::string_view(reinterpret_cast<const char*>(data), size));
        m.LoadFromStream(ms);
        TBitmap target(32, 32);
        target.GetCanvas()->StretchDraw(TRect(0, 0, 32, 32), &m);
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
