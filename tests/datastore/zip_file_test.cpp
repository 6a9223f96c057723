#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <filesystem>
#include <set>
#include <sys/stat.h>

#include "datastore/zip_file.h"
#include "platform/fs.h"

namespace fs = std::filesystem;

namespace {

std::string Fixture(const std::string& name)
{
    return std::string(QEVW_FIXTURES_DIR) + "/zip/" + name;
}

std::string Content(const std::string& path)
{
    std::string s;
    EXPECT_EQ(ReadWholeFile(path, s), 0) << path;
    return s;
}

// Every entry below a folder, as relative paths.
std::set<std::string> Listing(const std::string& folder)
{
    std::set<std::string> names;
    for (const auto& e : fs::recursive_directory_iterator(folder))
        names.insert(fs::relative(e.path(), folder).string());
    return names;
}

// The message of the ZipError a call raises, "" when it raises none.
template <class F>
std::string ErrorOf(F f)
{
    try {
        f();
    } catch (const ZipError& e) {
        return e.what();
    }
    return "";
}

class ZipTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        // Extraction goes into target/ of the temporary folder, so anything
        // written beside it would show in the listing of dir.
        target = dir.path().toStdString() + "/target/";
        fs::create_directories(target);
    }
    QTemporaryDir dir;
    std::string target;
};

} // namespace

TEST_F(ZipTest, InfoZipTreesComeOutFlatAndIdentical)
{
    for (const char* archive : {"tree_deflated.zip", "tree_stored.zip"}) {
        SCOPED_TRACE(archive);
        fs::remove_all(target);
        fs::create_directories(target);
        TZipFile zip;
        ZipOpen(zip, Fixture(archive));
        ASSERT_EQ(ZipCount(zip), 8);
        EXPECT_EQ(ZipName(zip, 0), "readme.txt");
        EXPECT_EQ(ZipName(zip, 1), "data/");
        for (int i = 0; i < ZipCount(zip); ++i)
            ZipExtract(zip, i, target);
        EXPECT_EQ(Listing(dir.path().toStdString()),
                  (std::set<std::string>{"target", "target/readme.txt", "target/empty.txt", "target/kl.dat",
                                         "target/letak.dat", "target/run.sh"}));
        for (const char* f :
             {"readme.txt", "data/empty.txt", "data/kl.dat", "data/sub/letak.dat", "bin/run.sh"}) {
            const std::string name = fs::path(f).filename().string();
            EXPECT_TRUE(Content(target + name) == Content(Fixture("tree/") + f)) << f;
        }
        struct stat st {};
        ASSERT_EQ(::stat((target + "run.sh").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0755u) << "made on Unix with an execute bit";
        ASSERT_EQ(::stat((target + "kl.dat").c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 07777, 0644u);
    }
}

TEST_F(ZipTest, PythonArchivesIncludingDataDescriptorsComeOutIdentical)
{
    for (const char* stem : {"mixed", "descriptor", "sound"}) {
        SCOPED_TRACE(stem);
        fs::remove_all(target);
        fs::create_directories(target);
        TZipFile zip;
        ZipOpen(zip, Fixture(std::string(stem) + ".zip"));
        for (int i = 0; i < ZipCount(zip); ++i)
            ZipExtract(zip, i, target);
        const std::string expected = Fixture("expected/") + stem + "/";
        EXPECT_EQ(Listing(target), Listing(expected));
        for (const std::string& name : Listing(expected))
            EXPECT_TRUE(Content(target + name) == Content(expected + name)) << name;
    }
}

TEST_F(ZipTest, HostileNamesStayInsideTheTargetFolder)
{
    TZipFile zip;
    ZipOpen(zip, Fixture("names.zip"));
    ASSERT_EQ(ZipCount(zip), 7);
    EXPECT_EQ(ZipName(zip, 2), "a\\..\\..\\evil3");
    const std::string results[] = {"", "", "", "Bad entry name.", "Bad entry name.", "", "Bad entry name."};
    for (int i = 0; i < ZipCount(zip); ++i)
        EXPECT_EQ(ErrorOf([&] { ZipExtract(zip, i, target); }), results[i]) << ZipName(zip, i);
    EXPECT_EQ(Listing(dir.path().toStdString()),
              (std::set<std::string>{"target", "target/evil", "target/evil2", "target/evil3"}));
    EXPECT_EQ(Content(target + "evil3"), "three");
    EXPECT_EQ(ErrorOf([&] { ZipName(zip, 7); }), "Index out of range.");
    EXPECT_EQ(ErrorOf([&] { ZipExtract(zip, -1, target); }), "Index out of range.");
}

TEST_F(ZipTest, BadEntriesLeaveTheOldFileAndNoTemporary)
{
    struct Case {
        const char* archive;
        const char* message;
    } cases[] = {
        {"past_end.zip", "Wrong size."},
        {"bomb.zip", "Wrong size."},
        {"wrong_crc.zip", "Wrong CRC."},
        {"method.zip", "Unsupported entry."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.archive);
        // The file the entry would replace, under another letter case.
        ASSERT_EQ(WriteFileAtomic(target + "PAYLOAD.BIN", "old content"), 0);
        TZipFile zip;
        ZipOpen(zip, Fixture(c.archive));
        ASSERT_EQ(ZipName(zip, 0), "payload.bin");
        EXPECT_EQ(ErrorOf([&] { ZipExtract(zip, 0, target); }), c.message);
        EXPECT_EQ(Listing(dir.path().toStdString()), (std::set<std::string>{"target", "target/PAYLOAD.BIN"}));
        EXPECT_EQ(Content(target + "PAYLOAD.BIN"), "old content");
    }

    // The sound archive replaces that file, whatever its letter case.
    TZipFile zip;
    ZipOpen(zip, Fixture("sound.zip"));
    ZipExtract(zip, 0, target);
    EXPECT_EQ(Listing(target), (std::set<std::string>{"PAYLOAD.BIN"}));
    EXPECT_EQ(Content(target + "PAYLOAD.BIN"), Content(Fixture("expected/sound/payload.bin")));
}

TEST_F(ZipTest, EncryptedEntriesAreRefused)
{
    TZipFile zip;
    ZipOpen(zip, Fixture("encrypted.zip"));
    EXPECT_EQ(ErrorOf([&] { ZipExtract(zip, 0, target); }), "Unsupported entry.");
    EXPECT_TRUE(Listing(target).empty());
}

TEST_F(ZipTest, ArchivesThatCannotBeReadAreRefusedAtOpen)
{
    const std::string plain = dir.path().toStdString() + "/plain.zip";
    ASSERT_EQ(WriteFileAtomic(plain, std::string(100, 'x')), 0);
    const std::string tiny = dir.path().toStdString() + "/tiny.zip";
    ASSERT_EQ(WriteFileAtomic(tiny, "PK\x05\x06"), 0);
    // An end record whose directory lies beyond it.
    std::string badEnd = "PK\x05\x06";
    badEnd += std::string("\0\0\0\0\x01\0\x01\0\x2E\0\0\0\x10\0\0\0\0\0", 18);
    const std::string beyond = dir.path().toStdString() + "/beyond.zip";
    ASSERT_EQ(WriteFileAtomic(beyond, badEnd), 0);
    // A split archive: the end record names disk 1.
    std::string split =
        std::string(16, 'y') + "PK\x05\x06" + std::string("\x01\0\x01\0\0\0\0\0\0\0\0\0\0\0\0\0\0\0", 18);
    const std::string splitPath = dir.path().toStdString() + "/split.zip";
    ASSERT_EQ(WriteFileAtomic(splitPath, split), 0);

    struct Case {
        std::string path;
        std::string message;
    } cases[] = {
        {plain, "Not a ZIP archive."},
        {tiny, "Not a ZIP archive."},
        {beyond, "Not a ZIP archive."},
        {splitPath, "Unsupported entry."},
        {Fixture("truncated.zip"), "Not a ZIP archive."},
    };
    for (const Case& c : cases) {
        TZipFile zip;
        EXPECT_EQ(ErrorOf([&] { ZipOpen(zip, c.path); }), c.message) << c.path;
    }
    TZipFile zip;
    const std::string missing = dir.path().toStdString() + "/missing.zip";
    EXPECT_EQ(ErrorOf([&] { ZipOpen(zip, missing); }), missing + ": No such file or directory");

    // A target folder that does not exist: the create failure names the path.
    ZipOpen(zip, Fixture("sound.zip"));
    const std::string message = ErrorOf([&] { ZipExtract(zip, 0, dir.path().toStdString() + "/nowhere"); });
    EXPECT_NE(message.find("/nowhere/"), std::string::npos) << message;
    EXPECT_NE(message.find("No such file or directory"), std::string::npos) << message;
}
