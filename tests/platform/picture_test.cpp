// Picture loading.  The JPEG fixtures are made here by the test's own writer;
// the broken files in tests/fixtures/broken/jpeg_*.jpg were made once from a
// 64 x 48 gradient written by tools/writers/jpeg_writer (quality 85):
// truncated = its first 60 %; corrupt_entropy = 20 "FF 00" pairs (all one
// bits, never a Huffman code) written a third into the scan data;
// huge_header = the SOF0 size set to 60000 x 60000; plus an empty file and a
// text file.

#include <gtest/gtest.h>

#include "platform/gui/picture.h"
#include "writers/jpeg_writer.h"

#include <QBuffer>
#include <QByteArray>

#include <cstdlib>
#include <string>

namespace {

QImage Flat(int w, int h, QRgb colour)
{
    QImage img(w, h, QImage::Format_RGB32);
    img.fill(colour);
    return img;
}

QImage Gradient(int w, int h)
{
    QImage img(w, h, QImage::Format_RGB32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixel(x, y, qRgb(x * 255 / w, y * 255 / h, (x + y) % 256));
    return img;
}

bool Near(QRgb a, QRgb b, int tolerance)
{
    return std::abs(qRed(a) - qRed(b)) <= tolerance && std::abs(qGreen(a) - qGreen(b)) <= tolerance &&
           std::abs(qBlue(a) - qBlue(b)) <= tolerance;
}

std::string Describe(QRgb c)
{
    return std::to_string(qRed(c)) + "," + std::to_string(qGreen(c)) + "," + std::to_string(qBlue(c));
}

} // namespace

TEST(Picture, EveryJpegLayoutDecodesToItsSizeAndFlatColour)
{
    using L = JpegWriteOptions::Layout;
    struct Case {
        const char* name;
        L layout;
        bool progressive;
        QRgb colour;
        QRgb expected;
    };
    const QRgb orange = qRgb(200, 60, 30);
    const int grey = qGray(orange);
    const Case cases[] = {
        {"baseline", L::Rgb, false, orange, orange},
        {"progressive", L::Rgb, true, orange, orange},
        {"rgb components", L::RgbComponents, false, orange, orange},
        {"grey", L::Grey, false, orange, qRgb(grey, grey, grey)},
        {"grey progressive", L::Grey, true, orange, qRgb(grey, grey, grey)},
        {"cmyk", L::Cmyk, false, orange, orange},
        {"cmyk dark", L::Cmyk, false, qRgb(20, 90, 140), qRgb(20, 90, 140)},
        {"cmyk black", L::Cmyk, false, qRgb(0, 0, 0), qRgb(0, 0, 0)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        JpegWriteOptions o;
        o.layout = c.layout;
        o.progressive = c.progressive;
        o.quality = 95;
        const std::string bytes = WriteJpeg(Flat(40, 24, c.colour), o);
        ASSERT_FALSE(bytes.empty());
        QImage img;
        std::string error;
        ASSERT_TRUE(DecodeJpeg(bytes, img, error, c.name)) << error;
        EXPECT_TRUE(error.empty());
        EXPECT_EQ(img.format(), QImage::Format_RGB32);
        EXPECT_EQ(img.width(), 40);
        EXPECT_EQ(img.height(), 24);
        for (QPoint p : {QPoint(0, 0), QPoint(20, 12), QPoint(39, 23)})
            EXPECT_TRUE(Near(img.pixel(p), c.expected, 6))
                << "at " << p.x() << "," << p.y() << ": " << Describe(img.pixel(p)) << " for "
                << Describe(c.expected);
        // RGB32 keeps its unused byte at 0xFF, so the picture copies as opaque.
        EXPECT_EQ(qAlpha(img.pixel(5, 5)), 255);
    }
}

TEST(Picture, AGradientKeepsItsLayoutLeftToRightAndTopToBottom)
{
    const QImage src = Gradient(97, 61); // sizes that are no multiple of the block size
    QImage img;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(WriteJpeg(src, {}), img, error)) << error;
    ASSERT_EQ(img.size(), src.size());
    for (QPoint p : {QPoint(4, 4), QPoint(90, 5), QPoint(5, 55), QPoint(90, 55), QPoint(48, 30)})
        EXPECT_TRUE(Near(img.pixel(p), src.pixel(p), 16)) << p.x() << "," << p.y();
}

TEST(Picture, BrokenFilesGiveAClearErrorNamingTheFile)
{
    struct Case {
        const char* file;
        const char* says;
    };
    const Case cases[] = {
        {"jpeg_empty.jpg", "empty"},
        {"jpeg_not_a_jpeg.jpg", "Not a JPEG"},
        {"jpeg_truncated.jpg", "Premature end"},
        {"jpeg_corrupt_entropy.jpg", "Corrupt JPEG data"},
        {"jpeg_huge_header.jpg", "60000 x 60000"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        const std::string path = std::string(QEVW_FIXTURES_DIR) + "/broken/" + c.file;
        QImage img(2, 2, QImage::Format_RGB32);
        std::string error;
        EXPECT_FALSE(LoadPicture(path, "jpeg", img, error));
        EXPECT_TRUE(img.isNull());
        EXPECT_EQ(error.rfind(path, 0), 0u) << error;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
    }
}

TEST(Picture, AnUnknownColourLayoutIsAClearError)
{
    JpegWriteOptions o;
    o.layout = JpegWriteOptions::Layout::TwoChannels;
    const std::string bytes = WriteJpeg(Flat(16, 16, qRgb(1, 2, 3)), o);
    ASSERT_FALSE(bytes.empty());
    QImage img;
    std::string error;
    EXPECT_FALSE(DecodeJpeg(bytes, img, error, "two.jpg"));
    EXPECT_TRUE(img.isNull());
    EXPECT_EQ(error.rfind("two.jpg: ", 0), 0u) << error;
    EXPECT_NE(error.find("2 components"), std::string::npos) << error;
}

TEST(Picture, ATruncatedProgressiveStreamIsAnErrorNotAHalfGreyPicture)
{
    JpegWriteOptions o;
    o.progressive = true;
    const std::string whole = WriteJpeg(Gradient(120, 80), o);
    QImage img;
    std::string error;
    ASSERT_TRUE(DecodeJpeg(whole, img, error)) << error;
    for (size_t keep : {whole.size() * 3 / 4, whole.size() / 2, size_t(200), size_t(2)}) {
        SCOPED_TRACE(keep);
        EXPECT_FALSE(DecodeJpeg(std::string_view(whole).substr(0, keep), img, error, "cut"));
        EXPECT_TRUE(img.isNull());
        EXPECT_EQ(error.rfind("cut: ", 0), 0u) << error;
    }
}

TEST(Picture, FormatNamesChooseTheDecoder)
{
    struct Case {
        const char* name;
        bool jpeg;
    };
    for (const Case& c : {Case{"jpeg", true}, Case{"jpg", true}, Case{"JPEG", true}, Case{"Jpg", true},
                          Case{"png", false}, Case{"jpe", false}, Case{"", false}, Case{"jpegs", false}})
        EXPECT_EQ(IsJpegFormatName(c.name), c.jpeg) << c.name;

    // Other formats go through Qt's reader by their name.
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    ASSERT_TRUE(Flat(7, 5, qRgb(10, 200, 30)).save(&buffer, "PNG"));
    const std::string pngBytes(png.constData(), static_cast<size_t>(png.size()));
    QImage img;
    std::string error;
    ASSERT_TRUE(LoadPictureFromBytes(pngBytes, "png", img, error, "flag.png")) << error;
    EXPECT_EQ(img.size(), QSize(7, 5));
    EXPECT_EQ(img.pixel(3, 2), qRgb(10, 200, 30));

    // The name decides, not the content: PNG bytes registered as "jpg" fail
    // in the JPEG decoder, JPEG bytes registered as "png" in Qt's reader.
    EXPECT_FALSE(LoadPictureFromBytes(pngBytes, "JPG", img, error, "flag.png"));
    EXPECT_NE(error.find("flag.png: "), std::string::npos);
    const std::string jpegBytes = WriteJpeg(Flat(8, 8, qRgb(1, 2, 3)));
    EXPECT_FALSE(LoadPictureFromBytes(jpegBytes, "png", img, error, "photo.png"));
    EXPECT_EQ(error.rfind("photo.png: ", 0), 0u) << error;
    EXPECT_TRUE(LoadPictureFromBytes(jpegBytes, "Jpeg", img, error, "photo.jpg")) << error;
}

TEST(Picture, AMissingFileIsAnErrorNamingIt)
{
    QImage img;
    std::string error;
    const std::string path = std::string(QEVW_FIXTURES_DIR) + "/broken/no_such_picture.jpg";
    EXPECT_FALSE(LoadPicture(path, "jpg", img, error));
    EXPECT_EQ(error.rfind(path, 0), 0u) << error;
}
