// The ZIP writer: bytes laid out by hand, the program's reader, and Info-ZIP.

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "datastore/zip_file.h"
#include "platform/fs.h"
#include "tests/support/bytes.h"
#include "writers/zip_writer.h"

using test_support::Bytes;

TEST(ZipWriter, MatchesAnArchiveLaidOutByHand)
{
    // One stored entry "a.txt" holding "hi", mode 0644.
    std::string expected =
        Bytes({0x50, 0x4B, 0x03, 0x04, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, // head, v1.0, stored
               0x00, 0x00, 0x21, 0x5A,                                     // 00:00 1.1.2025
               0xAC, 0x2A, 0x93, 0xD8,                                     // CRC-32 of "hi"
               0x02, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00,             // sizes
               0x05, 0x00, 0x00, 0x00});
    expected += "a.txthi";
    expected += Bytes({0x50, 0x4B, 0x01, 0x02, 0x14, 0x03, 0x0A, 0x00, 0x00, 0x00, 0x00, 0x00, // made by Unix 2.0
                       0x00, 0x00, 0x21, 0x5A, 0xAC, 0x2A, 0x93, 0xD8, 0x02, 0x00, 0x00, 0x00, 0x02,
                       0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00,
                       0x00, 0x00, 0xA4, 0x81,   // regular file, rw-r--r--
                       0x00, 0x00, 0x00, 0x00}); // at offset 0
    expected += "a.txt";
    expected += Bytes({0x50, 0x4B, 0x05, 0x06, 0x00, 0x00, 0x00, 0x00,
                       0x01, 0x00, 0x01, 0x00, 0x33, 0x00, 0x00, 0x00, // directory of 51 bytes
                       0x25, 0x00, 0x00, 0x00,                         // at offset 37
                       0x00, 0x00});
    EXPECT_EQ(BuildZip({{"a.txt", "hi", "", false, 0644}}), expected);
}

TEST(ZipWriter, ReadBackByTheReaderAndByUnzip)
{
    QTemporaryDir tmp;
    const std::string dir = tmp.path().toStdString() + "/";
    std::string big;
    for (int i = 0; i < 100000; ++i)
        big += "dose " + std::to_string(i % 977) + " mg; ";
    WriteFileAtomic(dir + "source.bin", big);
    ZipWriter writer(dir + "p.zip");
    ASSERT_TRUE(writer.Add({"run.sh", "#!/bin/sh\necho run\n", "", true, 0755}));
    ASSERT_TRUE(writer.Add({"data/big.dat", "", dir + "source.bin", true, 0644}));
    ASSERT_TRUE(writer.Add({"empty.txt", "", "", false, 0644}));
    ASSERT_TRUE(writer.Add({"folder/", "", "", false, 0755}));
    ASSERT_TRUE(writer.Finish());
    EXPECT_FALSE(writer.Add({"late", "x"})) << "nothing after the end";

    TZipFile zip;
    zip.Open(dir + "p.zip");
    ASSERT_EQ(zip.Count(), 4);
    EXPECT_EQ(zip.At(1).method, 8);
    EXPECT_LT(zip.At(1).compressedSize, big.size() / 4);
    const std::string out = dir + "out/";
    QDir().mkpath(QString::fromStdString(out));
    for (int i = 0; i < zip.Count(); ++i)
        zip.Extract(i, out);
    std::string text;
    ReadWholeFile(out + "big.dat", text);
    EXPECT_EQ(text, big);
    ReadWholeFile(out + "run.sh", text);
    EXPECT_EQ(text, "#!/bin/sh\necho run\n");
    EXPECT_EQ(FileSize(out + "empty.txt"), 0);
    QFile::Permissions p = QFile::permissions(QString::fromStdString(out + "run.sh"));
    EXPECT_TRUE(p & QFile::ExeOwner) << "the execute bit survives";

    QProcess unzip;
    unzip.start("unzip", {"-t", QString::fromStdString(dir + "p.zip")});
    ASSERT_TRUE(unzip.waitForFinished(30000));
    EXPECT_EQ(unzip.exitCode(), 0) << unzip.readAll().toStdString();

    ZipWriter missing(dir + "q.zip");
    EXPECT_FALSE(missing.Add({"x", "", dir + "no-such-file"}));
    EXPECT_FALSE(missing.Error().empty());
    EXPECT_FALSE(missing.Finish());
    EXPECT_FALSE(FileExists(dir + "q.zip")) << "a failed archive leaves no file";
}
