// Feeds arbitrary bytes to the png loader: it must load or raise EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    try {
        TImageData img = DecodePng(data, size);
        (void)img;
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
