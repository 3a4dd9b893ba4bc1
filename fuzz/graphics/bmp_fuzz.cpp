// Feeds arbitrary bytes to the bmp loader: it must load or raise EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    try {
        TBitmap bmp;
        TMemoryStream ms(std::string_view(reinterpret_cast<const char*>(data), size));
        bmp.LoadFromStream(ms);
        if (size > 2) {
            // Resource-style packed DIBs too.
            TImageData img = DecodeDib(data, size);
            (void)img;
        }
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
