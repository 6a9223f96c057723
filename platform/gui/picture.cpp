#include "platform/gui/picture.h"

#include "platform/fs.h"

#include <QBuffer>
#include <QByteArray>
#include <QImageReader>
#include <QtEndian>

#include <csetjmp>
#include <cstddef>
#include <cstdio>
#include <cstring>

#include <jpeglib.h>
// jerror.h needs jpeglib.h first.
#include <jerror.h>

namespace {

// libjpeg's own error handler ends the process.  Ours records the message and
// jumps back to the decoding step that set the jump buffer.  Those steps
// (ReadHeader, Decompress) hold no C++ objects, so no destructor is skipped
// by the jump; the picture is allocated between them.
struct JpegJob {
    jpeg_decompress_struct cinfo;
    jpeg_error_mgr err;
    jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
    bool created;
};

JpegJob* JobOf(j_common_ptr cinfo)
{
    // `err` is the first thing the job points libjpeg at; the job is found
    // back from the decompress struct, which is its first member.
    return reinterpret_cast<JpegJob*>(cinfo);
}

void OnJpegError(j_common_ptr cinfo)
{
    JpegJob* job = JobOf(cinfo);
    (*cinfo->err->format_message)(cinfo, job->message);
    longjmp(job->jump, 1);
}

// Warnings that mean pixels were lost: the rest of the picture would be
// filled with grey.  Treated as errors; other warnings pass silently.
bool WarningLosesData(int code)
{
    switch (code) {
    case JWRN_JPEG_EOF:
    case JWRN_HIT_MARKER:
    case JWRN_HUFF_BAD_CODE:
    case JWRN_ARITH_BAD_CODE:
    case JWRN_MUST_RESYNC: return true;
    default: return false;
    }
}

void OnJpegMessage(j_common_ptr cinfo, int level)
{
    if (level < 0 && WarningLosesData(cinfo->err->msg_code)) {
        JpegJob* job = JobOf(cinfo);
        (*cinfo->err->format_message)(cinfo, job->message);
        longjmp(job->jump, 1);
    }
}

// Step 1: header only.  0 or -1 (message in the job).
int ReadHeader(JpegJob* job, const unsigned char* data, unsigned long size)
{
    if (setjmp(job->jump) != 0)
        return -1;
    jpeg_create_decompress(&job->cinfo);
    job->created = true;
    jpeg_mem_src(&job->cinfo, data, size);
    jpeg_read_header(&job->cinfo, TRUE);
    return 0;
}

// Step 2: every row into the picture's memory.  `cmyk` rows are converted by
// our code (libjpeg has no CMYK to RGB conversion).
int Decompress(JpegJob* job, unsigned char* bits, long bytesPerLine, int cmyk, int inverted)
{
    if (setjmp(job->jump) != 0)
        return -1;
    jpeg_decompress_struct* cinfo = &job->cinfo;
    jpeg_start_decompress(cinfo);
    const JDIMENSION width = cinfo->output_width;
    if (cmyk) {
        JSAMPARRAY row =
            (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE, width * 4, 1);
        while (cinfo->output_scanline < cinfo->output_height) {
            unsigned char* out = bits + static_cast<long>(cinfo->output_scanline) * bytesPerLine;
            if (jpeg_read_scanlines(cinfo, row, 1) != 1)
                break;
            const unsigned char* in = row[0];
            for (JDIMENSION x = 0; x < width; ++x, in += 4, out += 4) {
                // Adobe files store the inks inverted (255 = no ink).
                unsigned c = in[0], m = in[1], y = in[2], k = in[3];
                if (!inverted) {
                    c = 255 - c;
                    m = 255 - m;
                    y = 255 - y;
                    k = 255 - k;
                }
                const uint32_t r = (c * k + 127) / 255;
                const uint32_t g = (m * k + 127) / 255;
                const uint32_t b = (y * k + 127) / 255;
                const uint32_t px = 0xFF000000u | (r << 16) | (g << 8) | b;
                std::memcpy(out, &px, 4);
            }
        }
    } else {
        JSAMPROW rows[16];
        while (cinfo->output_scanline < cinfo->output_height) {
            JDIMENSION n = cinfo->output_height - cinfo->output_scanline;
            if (n > 16)
                n = 16;
            for (JDIMENSION i = 0; i < n; ++i)
                rows[i] = bits + static_cast<long>(cinfo->output_scanline + i) * bytesPerLine;
            if (jpeg_read_scanlines(cinfo, rows, n) == 0)
                break;
        }
    }
    jpeg_finish_decompress(cinfo);
    return 0;
}

std::string Prefixed(std::string_view name, std::string_view what)
{
    std::string s(name);
    s += ": ";
    s += what;
    return s;
}

} // namespace

bool IsJpegFormatName(std::string_view format)
{
    auto lower = [](std::string_view s) {
        std::string out(s);
        for (char& c : out)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return out;
    };
    const std::string f = lower(format);
    return f == "jpeg" || f == "jpg";
}

bool DecodeJpeg(std::string_view bytes, QImage& out, std::string& error, std::string_view name)
{
    out = QImage();
    error.clear();
    if (bytes.empty()) {
        error = Prefixed(name, "empty file, not a JPEG picture");
        return false;
    }

    JpegJob job;
    std::memset(&job, 0, sizeof job);
    job.cinfo.err = jpeg_std_error(&job.err);
    job.err.error_exit = OnJpegError;
    job.err.emit_message = OnJpegMessage;
    // The error handlers find the job from the struct they are given.
    static_assert(offsetof(JpegJob, cinfo) == 0, "the job starts with its decompress struct");

    auto finish = [&job]() {
        if (job.created)
            jpeg_destroy_decompress(&job.cinfo);
    };

    if (ReadHeader(&job, reinterpret_cast<const unsigned char*>(bytes.data()),
                   static_cast<unsigned long>(bytes.size())) != 0) {
        error = Prefixed(name, job.message);
        finish();
        return false;
    }

    const int64_t width = job.cinfo.image_width;
    const int64_t height = job.cinfo.image_height;
    if (width <= 0 || height <= 0 || width > kMaxPictureSide || height > kMaxPictureSide ||
        width * height > kMaxPicturePixels) {
        error = Prefixed(name, "picture of " + std::to_string(width) + " x " + std::to_string(height) +
                                   " pixels is too large (at most " + std::to_string(kMaxPictureSide) +
                                   " a side and " + std::to_string(kMaxPicturePixels) + " pixels)");
        finish();
        return false;
    }

    int cmyk = 0;
    switch (job.cinfo.jpeg_color_space) {
    case JCS_GRAYSCALE:
    case JCS_YCbCr:
    case JCS_RGB:
#if Q_BYTE_ORDER == Q_LITTLE_ENDIAN
        job.cinfo.out_color_space = JCS_EXT_BGRX;
#else
        job.cinfo.out_color_space = JCS_EXT_XRGB;
#endif
        break;
    case JCS_CMYK:
    case JCS_YCCK:
        job.cinfo.out_color_space = JCS_CMYK;
        cmyk = 1;
        break;
    default:
        error = Prefixed(name, "unsupported JPEG colour space " + std::to_string(job.cinfo.jpeg_color_space) +
                                   " with " + std::to_string(job.cinfo.num_components) + " components");
        finish();
        return false;
    }
    const int inverted = job.cinfo.saw_Adobe_marker ? 1 : 0;

    QImage image(static_cast<int>(width), static_cast<int>(height), QImage::Format_RGB32);
    if (image.isNull()) {
        error = Prefixed(name, "not enough memory for the picture");
        finish();
        return false;
    }
    if (Decompress(&job, image.bits(), static_cast<long>(image.bytesPerLine()), cmyk, inverted) != 0) {
        error = Prefixed(name, job.message);
        finish();
        return false;
    }
    finish();
    out = std::move(image);
    return true;
}

bool LoadPictureFromBytes(std::string_view bytes, std::string_view format, QImage& out, std::string& error,
                          std::string_view name)
{
    out = QImage();
    error.clear();
    if (IsJpegFormatName(format))
        return DecodeJpeg(bytes, out, error, name);

    QByteArray data = QByteArray::fromRawData(bytes.data(), static_cast<qsizetype>(bytes.size()));
    QBuffer buffer(&data);
    buffer.open(QIODevice::ReadOnly);
    const std::string fmt(format);
    QImageReader reader(&buffer, QByteArray(fmt.data(), static_cast<qsizetype>(fmt.size())));
    const QSize size = reader.size();
    if (size.isValid() && (size.width() > kMaxPictureSide || size.height() > kMaxPictureSide ||
                           int64_t(size.width()) * size.height() > kMaxPicturePixels)) {
        error = Prefixed(name, "picture of " + std::to_string(size.width()) + " x " +
                                   std::to_string(size.height()) + " pixels is too large");
        return false;
    }
    QImage image;
    if (!reader.read(&image) || image.isNull()) {
        error = Prefixed(name,
                         "cannot read the picture as \"" + fmt + "\": " + reader.errorString().toStdString());
        return false;
    }
    out = image.convertToFormat(QImage::Format_RGB32);
    return true;
}

bool LoadPicture(const std::string& path, std::string_view format, QImage& out, std::string& error)
{
    out = QImage();
    error.clear();
    std::string bytes;
    const int io = ReadWholeFile(ResolvePath(path), bytes);
    if (io != IoResult::Ok) {
        error = Prefixed(path, "cannot read the file (I/O result " + std::to_string(io) + ")");
        return false;
    }
    return LoadPictureFromBytes(bytes, format, out, error, path);
}
