#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>
#include <cerrno>
#include <fstream>
#include <sys/stat.h>

#include "platform/fs.h"

TEST(IoResult, ErrnoMapsToTheDataStoreCodes)
{
    struct Case {
        int err;
        int code;
    };
    const Case cases[] = {
        {ENOENT, 2}, {ENOTDIR, 3},  {ENAMETOOLONG, 3}, {ELOOP, 3},        {EMFILE, 4},
        {ENFILE, 4}, {EACCES, 5},   {EPERM, 5},        {EROFS, 5},        {EISDIR, 5},
        {EBUSY, 32}, {ETXTBSY, 32}, {ENOSPC, 101},     {EIO, 1000 + EIO},
    };
    for (const Case& c : cases)
        EXPECT_EQ(IoResultFromErrno(c.err), c.code) << c.err;
}

TEST(ResolveInFolder, PrefersTheExactNameThenAnyLetterCase)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    std::ofstream(d + "/KL.DAT") << "x";
    std::ofstream(d + "/kl.sez") << "y";
    EXPECT_EQ(ResolveInFolder(d, "kl.dat"), d + "/KL.DAT");
    EXPECT_EQ(ResolveInFolder(d + "/", "kl.sez"), d + "/kl.sez");
    EXPECT_EQ(ResolveInFolder(d, "none.dat"), d + "/none.dat");
    EXPECT_EQ(ResolvePath(d + "/Kl.Dat"), d + "/KL.DAT");
    EXPECT_EQ(WithTrailingSlash("a\\"), "a/");
}

TEST(ReadOnlyFile, ReportsShortReadsAndMissingFiles)
{
    QTemporaryDir dir;
    const std::string p = dir.path().toStdString() + "/f";
    ASSERT_EQ(WriteFileAtomic(p, "hello"), 0);
    ReadOnlyFile f;
    ASSERT_EQ(f.Open(p), 0);
    EXPECT_EQ(f.Size(), 5);
    char buf[8] = {};
    size_t got = 0;
    EXPECT_EQ(f.ReadAt(3, buf, 4, &got), IoResult::ShortRead);
    EXPECT_EQ(got, 2u);
    EXPECT_EQ(std::string(buf, 2), "lo");
    EXPECT_EQ(f.Open(p + "x"), IoResult::NotFound);
    EXPECT_EQ(f.Open(dir.path().toStdString()), IoResult::AccessDenied);
}

TEST(WriteFileAtomic, FailureLeavesTheOldFileAndNoTemporary)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    ASSERT_EQ(WriteFileAtomic(d + "/cfg", "old"), 0);
    // A target that is a folder cannot be replaced by rename.
    ASSERT_EQ(::mkdir((d + "/sub").c_str(), 0755), 0);
    EXPECT_NE(WriteFileAtomic(d + "/sub", "new"), 0);
    std::string content;
    EXPECT_EQ(ReadWholeFile(d + "/cfg", content), 0);
    EXPECT_EQ(content, "old");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1);
}

// Tools and tests rely on both: data files readable by everyone, and a typo
// in a folder name reported instead of creating the folder.
TEST(WriteFileAtomic, WritesMode0644AndNeedsAnExistingFolder)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    struct stat st {};
    ASSERT_EQ(WriteFileAtomic(d + "/f", "one"), 0);
    ASSERT_EQ(::stat((d + "/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(::chmod((d + "/f").c_str(), 0600), 0);
    ASSERT_EQ(WriteFileAtomic(d + "/f", "two"), 0);
    ASSERT_EQ(::stat((d + "/f").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u) << "a replaced file's mode does not carry over";

    EXPECT_EQ(WriteFileAtomic(d + "/missing/f", "x"), IoResult::NotFound);
    EXPECT_FALSE(FolderExists(d + "/missing"));
}

TEST(ReadOnlyFile, MappedReadsMatchPlainReadsAndStopAtTheEnd)
{
    QTemporaryDir dir;
    const std::string p = dir.path().toStdString() + "/m";
    std::string content;
    for (int i = 0; i < 10000; ++i)
        content.push_back(static_cast<char>(i * 7));
    ASSERT_EQ(WriteFileAtomic(p, content), 0);
    ReadOnlyFile plain, mapped;
    ASSERT_EQ(plain.Open(p), 0);
    ASSERT_EQ(mapped.Open(p, true), 0);
    struct Case {
        int64_t offset;
        size_t n;
    };
    for (const Case& c :
         {Case{0, 10}, Case{9990, 10}, Case{9995, 10}, Case{10000, 1}, Case{20000, 4}, Case{-1, 2}}) {
        char a[16] = {}, b[16] = {};
        size_t ga = 99, gb = 99;
        EXPECT_EQ(plain.ReadAt(c.offset, a, c.n, &ga), mapped.ReadAt(c.offset, b, c.n, &gb)) << c.offset;
        EXPECT_EQ(ga, gb) << c.offset;
        EXPECT_EQ(std::string(a, ga), std::string(b, gb)) << c.offset;
    }
    // An empty file opens mapped all the same and reads nothing.
    ASSERT_EQ(WriteFileAtomic(p + "0", ""), 0);
    ReadOnlyFile empty;
    ASSERT_EQ(empty.Open(p + "0", true), 0);
    char c;
    EXPECT_EQ(empty.ReadAt(0, &c, 1), IoResult::ShortRead);
}
