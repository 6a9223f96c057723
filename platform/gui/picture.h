#pragma once
// Picture files: JPEG through libjpeg, every other format through Qt's image
// reader, chosen by the format name the caller registers the picture under.
// A damaged or unsupported file is an error with a message that names the
// file; nothing here ends the process.

#include <QImage>

#include <cstdint>
#include <string>
#include <string_view>

// Larger pictures are refused before anything is allocated for them.
constexpr int kMaxPictureSide = 16384;
constexpr int64_t kMaxPicturePixels = 100'000'000;

// True for "jpeg" and "jpg" in any letter case.
bool IsJpegFormatName(std::string_view format);

// Reads the file and decodes it as `format`.  On failure `out` is null and
// `error` says what went wrong, starting with the file name.
bool LoadPicture(const std::string& path, std::string_view format, QImage& out, std::string& error);
// The same from bytes; `name` stands for the file name in messages.
bool LoadPictureFromBytes(std::string_view bytes, std::string_view format, QImage& out, std::string& error,
                          std::string_view name = "picture");

// A JPEG stream (grey, YCbCr, RGB, CMYK or YCCK) into an RGB32 image.  A
// stream that ends early or whose entropy data is corrupt is an error, not
// a partly grey picture; harmless warnings pass.
bool DecodeJpeg(std::string_view bytes, QImage& out, std::string& error, std::string_view name = "picture");
