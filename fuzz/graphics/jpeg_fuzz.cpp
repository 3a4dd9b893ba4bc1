// Feeds arbitrary bytes to the jpeg loader: it must load or raise EInvalidGraphic, nothing else.
#include <cstddef>
#include <cstdint>

#include "platform/graphics/picture.h"

using namespace qel;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    SetMaxImagePixels(4 * 1024 * 1024);
    try {
        TJpegDecodeOptions o;
        o.ScaleDenom = size > 0 ? 1 << (data[size - 1] & 3) : 1;
        TImageData img = DecodeJpeg(data, size, o);
        (void)img;
    } catch (const EInvalidGraphic&) {
    }
    return 0;
}
