// JPEG through libjpeg. libjpeg reports fatal errors by calling error_exit, which must not return;
// we longjmp back. The setjmp frame and everything libjpeg calls back into hold only plain data
// (no C++ objects with destructors), so the jump never skips a destructor. Buffers are malloc'd
// and freed by the C++ wrapper after the C-style core returns.
#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include <jerror.h>
#include <jpeglib.h>

#include "platform/graphics/codecs.h"

namespace qel {

namespace {

struct TJpegError {
    jpeg_error_mgr Mgr;
    jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
    int Warnings;
    int EofWarning;
};

extern "C" void QelJpegErrorExit(j_common_ptr cinfo) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    (*cinfo->err->format_message)(cinfo, err->Message);
    std::longjmp(err->Jump, 1);
}

extern "C" void QelJpegEmitMessage(j_common_ptr cinfo, int level) {
    auto* err = reinterpret_cast<TJpegError*>(cinfo->err);
    if (level < 0) {
        ++err->Warnings;
        // The data ending early, either at the end of the file or at a marker in the middle of
        // the coded data: what follows would be made up, so the image counts as truncated.
        if (cinfo->err->msg_code == JWRN_JPEG_EOF || cinfo->err->msg_code == JWRN_HIT_MARKER)
            err->EofWarning = 1;
    }
}

extern "C" void QelJpegOutputMessage(j_common_ptr) {}

struct TJpegProgress {
    jpeg_progress_mgr Mgr;
    j_decompress_ptr Info;
};

// Progressive files with thousands of scans cost quadratic time: refuse them.
extern "C" void QelJpegProgress(j_common_ptr cinfo) {
    if (cinfo->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(cinfo);
        if (d->input_scan_number > 300) {
            std::strcpy(reinterpret_cast<TJpegError*>(cinfo->err)->Message, "Too many scans in JPEG image");
            std::longjmp(reinterpret_cast<TJpegError*>(cinfo->err)->Jump, 1);
        }
    }
}

struct TJpegDecodeJob {
    const uint8_t* Data;
    size_t Size;
    int ScaleDenom;
    int Grayscale;
    int HeaderOnly;
    int64_t MaxPixels;
    // Results
    int Width, Height, Components;
    uint8_t* Pixels;      // malloc'd, Width * Height * Components once complete
    size_t RowsAllocated; // rows Pixels has room for
    char Message[JMSG_LENGTH_MAX];
};

// Returns 1 on success. Only plain data lives in this frame.
int DecodeJpegCore(TJpegDecodeJob* job) {
    jpeg_decompress_struct cinfo;
    TJpegError err;
    TJpegProgress progress;
    std::memset(&err, 0, sizeof err);
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = QelJpegErrorExit;
    err.Mgr.emit_message = QelJpegEmitMessage;
    err.Mgr.output_message = QelJpegOutputMessage;
    job->Pixels = nullptr;
    job->RowsAllocated = 0;
    if (setjmp(err.Jump)) {
        std::memcpy(job->Message, err.Message, sizeof job->Message);
        jpeg_destroy_decompress(&cinfo);
        if (job->Pixels) {
            std::free(job->Pixels);
            job->Pixels = nullptr;
        }
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    cinfo.mem->max_memory_to_use = 512L * 1024 * 1024;
    progress.Mgr.progress_monitor = QelJpegProgress;
    progress.Info = &cinfo;
    cinfo.progress = &progress.Mgr;
    jpeg_mem_src(&cinfo, job->Data, static_cast<unsigned long>(job->Size));
    jpeg_read_header(&cinfo, TRUE);
    job->Width = static_cast<int>(cinfo.image_width);
    job->Height = static_cast<int>(cinfo.image_height);
    if (job->HeaderOnly) {
        jpeg_destroy_decompress(&cinfo);
        return 1;
    }
    if (cinfo.image_width == 0 || cinfo.image_height == 0 || cinfo.image_width > MaxImageSide ||
        cinfo.image_height > MaxImageSide ||
        static_cast<int64_t>(cinfo.image_width) * cinfo.image_height > job->MaxPixels) {
        std::strcpy(job->Message, "Image is too large");
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    cinfo.scale_num = 1;
    cinfo.scale_denom = static_cast<unsigned>(job->ScaleDenom);
    if (job->Grayscale)
        cinfo.out_color_space = JCS_GRAYSCALE;
    else if (cinfo.jpeg_color_space == JCS_CMYK || cinfo.jpeg_color_space == JCS_YCCK)
        cinfo.out_color_space = JCS_CMYK;
    else
        cinfo.out_color_space = JCS_RGB;
    jpeg_start_decompress(&cinfo);
    job->Width = static_cast<int>(cinfo.output_width);
    job->Height = static_cast<int>(cinfo.output_height);
    job->Components = cinfo.output_components;
    size_t stride = static_cast<size_t>(cinfo.output_width) * cinfo.output_components;
    while (cinfo.output_scanline < cinfo.output_height) {
        if (cinfo.output_scanline >= job->RowsAllocated) {
            // The output grows with the rows actually decoded: a short file declaring a huge frame
            // stops at its end instead of costing the whole frame up front.
            size_t want = std::max<size_t>(64, job->RowsAllocated * 2);
            if (want > cinfo.output_height) want = cinfo.output_height;
            void* grown = std::realloc(job->Pixels, stride * want);
            if (!grown) {
                std::strcpy(err.Message, "Out of memory");
                std::longjmp(err.Jump, 1);
            }
            job->Pixels = static_cast<uint8_t*>(grown);
            job->RowsAllocated = want;
        }
        JSAMPROW row = job->Pixels + stride * cinfo.output_scanline;
        if (jpeg_read_scanlines(&cinfo, &row, 1) != 1) break;
        if (err.EofWarning) break;
    }
    if (err.EofWarning || cinfo.output_scanline < cinfo.output_height) {
        std::strcpy(job->Message, "JPEG image is truncated");
        jpeg_destroy_decompress(&cinfo);
        std::free(job->Pixels);
        job->Pixels = nullptr;
        return 0;
    }
    jpeg_finish_decompress(&cinfo);
    jpeg_destroy_decompress(&cinfo);
    return 1;
}

struct TJpegEncodeJob {
    const uint8_t* Rgb; // Width * Height * Components
    int Width, Height, Components, Quality;
    unsigned char* Out; // malloc'd by libjpeg
    unsigned long OutSize;
    char Message[JMSG_LENGTH_MAX];
};

int EncodeJpegCore(TJpegEncodeJob* job) {
    jpeg_compress_struct cinfo;
    TJpegError err;
    std::memset(&err, 0, sizeof err);
    std::memset(&cinfo, 0, sizeof cinfo);
    cinfo.err = jpeg_std_error(&err.Mgr);
    err.Mgr.error_exit = QelJpegErrorExit;
    err.Mgr.output_message = QelJpegOutputMessage;
    job->Out = nullptr;
    job->OutSize = 0;
    if (setjmp(err.Jump)) {
        std::memcpy(job->Message, err.Message, sizeof job->Message);
        jpeg_destroy_compress(&cinfo);
        return 0;
    }
    jpeg_create_compress(&cinfo);
    jpeg_mem_dest(&cinfo, &job->Out, &job->OutSize);
    cinfo.image_width = static_cast<JDIMENSION>(job->Width);
    cinfo.image_height = static_cast<JDIMENSION>(job->Height);
    cinfo.input_components = job->Components;
    cinfo.in_color_space = job->Components == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&cinfo);
    jpeg_set_quality(&cinfo, job->Quality, TRUE);
    jpeg_start_compress(&cinfo, TRUE);
    size_t stride = static_cast<size_t>(job->Width) * job->Components;
    while (cinfo.next_scanline < cinfo.image_height) {
        JSAMPROW row = const_cast<JSAMPROW>(job->Rgb + stride * cinfo.next_scanline);
        jpeg_write_scanlines(&cinfo, &row, 1);
    }
    jpeg_finish_compress(&cinfo);
    jpeg_destroy_compress(&cinfo);
    return 1;
}

} // namespace

TImageData DecodeJpeg(const uint8_t* data, size_t size, const TJpegDecodeOptions& options) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8)
        throw EInvalidGraphic("JPEG image is not valid");
    TJpegDecodeJob job;
    std::memset(&job, 0, sizeof job);
    job.Data = data;
    job.Size = size;
    int d = options.ScaleDenom;
    job.ScaleDenom = (d == 2 || d == 4 || d == 8) ? d : 1;
    job.Grayscale = options.Grayscale;
    job.MaxPixels = MaxImagePixels();
    if (!DecodeJpegCore(&job)) throw EInvalidGraphic(std::string("JPEG image is not valid: ") + job.Message);
    struct TFree {
        uint8_t* P;
        ~TFree() { std::free(P); }
    } guard{job.Pixels};
    TImageData img;
    img.Width = job.Width;
    img.Height = job.Height;
    img.BitsPerPixel = job.Components == 1 ? 8 : 24;
    img.Pixels.resize(static_cast<size_t>(job.Width) * job.Height);
    const uint8_t* p = job.Pixels;
    for (size_t i = 0; i < img.Pixels.size(); ++i, p += job.Components) {
        uint32_t r, g, b;
        if (job.Components == 1)
            r = g = b = p[0];
        else if (job.Components == 4) {
            // Adobe CMYK is stored inverted.
            r = p[0] * p[3] / 255u;
            g = p[1] * p[3] / 255u;
            b = p[2] * p[3] / 255u;
        } else
            r = p[0], g = p[1], b = p[2];
        img.Pixels[i] = r << 16 | g << 8 | b;
    }
    if (job.Components == 1) {
        img.Palette.resize(256);
        for (uint32_t i = 0; i < 256; ++i) img.Palette[i] = i << 16 | i << 8 | i;
    }
    return img;
}

bool ReadJpegSize(const uint8_t* data, size_t size, int& width, int& height) {
    if (!data || size < 4 || data[0] != 0xFF || data[1] != 0xD8) return false;
    TJpegDecodeJob job;
    std::memset(&job, 0, sizeof job);
    job.Data = data;
    job.Size = size;
    job.ScaleDenom = 1;
    job.HeaderOnly = 1;
    if (!DecodeJpegCore(&job)) return false;
    width = job.Width;
    height = job.Height;
    return true;
}

std::string EncodeJpeg(const TImageData& image, int quality, bool grayscale) {
    if (image.Empty() || image.Pixels.size() != static_cast<size_t>(image.Width) * image.Height)
        throw EInvalidGraphic("Invalid image size");
    int comps = grayscale ? 1 : 3;
    std::vector<uint8_t> buf(image.Pixels.size() * comps);
    for (size_t i = 0; i < image.Pixels.size(); ++i) {
        uint32_t p = image.Pixels[i];
        uint8_t r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
        if (grayscale)
            buf[i] = static_cast<uint8_t>((r * 299 + g * 587 + b * 114 + 500) / 1000);
        else {
            buf[i * 3] = r;
            buf[i * 3 + 1] = g;
            buf[i * 3 + 2] = b;
        }
    }
    TJpegEncodeJob job;
    std::memset(&job, 0, sizeof job);
    job.Rgb = buf.data();
    job.Width = image.Width;
    job.Height = image.Height;
    job.Components = comps;
    job.Quality = quality < 1 ? 1 : (quality > 100 ? 100 : quality);
    int ok = EncodeJpegCore(&job);
    struct TFree {
        unsigned char* P;
        ~TFree() { std::free(P); }
    } guard{job.Out};
    if (!ok) throw EInvalidGraphic(std::string("Cannot write JPEG image: ") + job.Message);
    return std::string(reinterpret_cast<const char*>(job.Out), job.OutSize);
}

} // namespace qel
