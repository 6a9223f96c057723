#pragma once
// A JPEG encoder over libjpeg's compressor, for fixtures and benchmarks: the
// pictures the decoder is tested on are made here, in every colour layout the
// decoder has to read.

#include <QImage>

#include <string>

struct JpegWriteOptions {
    enum class Layout { Rgb, RgbComponents, Grey, Cmyk, TwoChannels };
    int quality = 90;
    bool progressive = false;
    // Rgb: YCbCr as cameras write it.  RgbComponents: red, green and blue
    // stored as they are (no colour transform).  Grey: one component.  Cmyk:
    // inks computed from the colours, stored inverted with an Adobe marker
    // (as print software writes them), encoded as YCCK.  TwoChannels: red and
    // green as two components of no known colour space, which pictures never
    // use (a fixture for refusal).
    Layout layout = Layout::Rgb;
};

// The encoded stream, or an empty string when libjpeg refused the input
// (a null image).
std::string WriteJpeg(const QImage& image, const JpegWriteOptions& options = {});
