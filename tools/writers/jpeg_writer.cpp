#include "writers/jpeg_writer.h"

#include <algorithm>
#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include <jpeglib.h>

namespace {

struct CompressJob {
    jpeg_compress_struct cinfo;
    jpeg_error_mgr err;
    jmp_buf jump;
};

void OnCompressError(j_common_ptr cinfo)
{
    longjmp(reinterpret_cast<CompressJob*>(cinfo)->jump, 1);
}

// All libjpeg calls happen here, with no C++ objects in the frame: the error
// handler jumps back to the setjmp below.  `rows` holds one row per scanline
// in the input layout.
int Compress(CompressJob* job, unsigned char** rows, int width, int height, J_COLOR_SPACE in, int components,
             J_COLOR_SPACE stored, int quality, int progressive, unsigned char** out, unsigned long* outSize)
{
    if (setjmp(job->jump) != 0)
        return -1;
    jpeg_compress_struct* c = &job->cinfo;
    jpeg_create_compress(c);
    jpeg_mem_dest(c, out, outSize);
    c->image_width = static_cast<JDIMENSION>(width);
    c->image_height = static_cast<JDIMENSION>(height);
    c->input_components = components;
    c->in_color_space = in;
    jpeg_set_defaults(c);
    if (stored != JCS_UNKNOWN || in == JCS_UNKNOWN)
        jpeg_set_colorspace(c, stored);
    jpeg_set_quality(c, quality, TRUE);
    if (progressive)
        jpeg_simple_progression(c);
    jpeg_start_compress(c, TRUE);
    while (c->next_scanline < c->image_height)
        jpeg_write_scanlines(c, rows + c->next_scanline, 1);
    jpeg_finish_compress(c);
    return 0;
}

} // namespace

std::string WriteJpeg(const QImage& source, const JpegWriteOptions& options)
{
    if (source.isNull())
        return {};
    const QImage image = source.convertToFormat(QImage::Format_RGB32);
    const int width = image.width();
    const int height = image.height();

    std::vector<unsigned char> pixels;
    std::vector<unsigned char*> rows(static_cast<size_t>(height));
    J_COLOR_SPACE in = JCS_EXT_BGRX;
    J_COLOR_SPACE stored = JCS_UNKNOWN; // libjpeg's default for the input
    int components = 4;
    switch (options.layout) {
    case JpegWriteOptions::Layout::TwoChannels:
        in = JCS_UNKNOWN;
        stored = JCS_UNKNOWN;
        components = 2;
        pixels.resize(static_cast<size_t>(width) * height * 2);
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            unsigned char* out = &pixels[static_cast<size_t>(y) * width * 2];
            for (int x = 0; x < width; ++x) {
                *out++ = static_cast<unsigned char>(qRed(line[x]));
                *out++ = static_cast<unsigned char>(qGreen(line[x]));
            }
        }
        break;
    case JpegWriteOptions::Layout::Rgb:
    case JpegWriteOptions::Layout::RgbComponents:
        if (options.layout == JpegWriteOptions::Layout::RgbComponents)
            stored = JCS_RGB;
        in = JCS_RGB;
        components = 3;
        pixels.resize(static_cast<size_t>(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            unsigned char* out = &pixels[static_cast<size_t>(y) * width * 3];
            for (int x = 0; x < width; ++x) {
                *out++ = static_cast<unsigned char>(qRed(line[x]));
                *out++ = static_cast<unsigned char>(qGreen(line[x]));
                *out++ = static_cast<unsigned char>(qBlue(line[x]));
            }
        }
        break;
    case JpegWriteOptions::Layout::Grey:
        in = JCS_GRAYSCALE;
        components = 1;
        pixels.resize(static_cast<size_t>(width) * height);
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            for (int x = 0; x < width; ++x)
                pixels[static_cast<size_t>(y) * width + x] = static_cast<unsigned char>(qGray(line[x]));
        }
        break;
    case JpegWriteOptions::Layout::Cmyk:
        in = JCS_CMYK;
        components = 4;
        pixels.resize(static_cast<size_t>(width) * height * 4);
        for (int y = 0; y < height; ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
            unsigned char* out = &pixels[static_cast<size_t>(y) * width * 4];
            for (int x = 0; x < width; ++x) {
                const int r = qRed(line[x]), g = qGreen(line[x]), b = qBlue(line[x]);
                // Stored inverted: K' = 255 - K is the brightest channel and
                // each ink C' = R * 255 / K', so that R = C' * K' / 255.
                const int kInv = std::max({r, g, b});
                auto ink = [kInv](int v) { return kInv == 0 ? 255 : (v * 255 + kInv / 2) / kInv; };
                *out++ = static_cast<unsigned char>(ink(r));
                *out++ = static_cast<unsigned char>(ink(g));
                *out++ = static_cast<unsigned char>(ink(b));
                *out++ = static_cast<unsigned char>(kInv);
            }
        }
        break;
    }
    const size_t rowBytes = pixels.size() / static_cast<size_t>(std::max(1, height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<size_t>(y)] = pixels.data() + static_cast<size_t>(y) * rowBytes;

    CompressJob job;
    std::memset(&job, 0, sizeof job);
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = OnCompressError;
    static_assert(offsetof(CompressJob, cinfo) == 0, "the job starts with its compress struct");

    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    const int rc = Compress(&job, rows.data(), width, height, in, components, stored, options.quality,
                            options.progressive ? 1 : 0, &buffer, &size);
    jpeg_destroy_compress(&job.cinfo);
    std::string result;
    if (rc == 0 && buffer != nullptr)
        result.assign(reinterpret_cast<const char*>(buffer), size);
    std::free(buffer);
    return result;
}
