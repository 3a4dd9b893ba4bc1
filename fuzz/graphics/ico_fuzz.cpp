// Feeds arbitrary bytes to the ico loader: it must load or raise EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    try {
        TIcon icon;
        TMemoryStream ms(std::string_view(reinterpret_cast<const char*>(data), size));
        icon.LoadFromStream(ms);
        TBitmap target(8, 8);
        target.GetCanvas()->StretchDraw(TRect(0, 0, 8, 8), &icon);
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
