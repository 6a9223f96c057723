// Two copies of the program importing one notes folder at once: the lock
// lets one import at a time, the other reports the set busy, and the set is
// whole and consistent after every round.

#include <gtest/gtest.h>

#include <QProcess>
#include <QTemporaryDir>

#include <string>

#include "platform/coding.h"
#include "platform/fs.h"

namespace {

const char* kTool = QEVW_BINARY_DIR "/tools/user_files";
const std::string kDemo = QEVW_DEMO_DATA_DIR;

std::string NoteBlock(const std::string& lines)
{
    std::string b = std::string(2, '\0') + lines;
    b.resize(256, '\0');
    return b;
}

TEST(NotesImportProcesses, OneImportsAtATimeAndTheSetStaysConsistent)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const std::string base = dir.path().toStdString() + "/NOTES";
    const std::string set = NoteBlock("010000113\r\nfirst") + NoteBlock("010000114\r\n010000129\r\nsecond");
    ASSERT_EQ(WriteFileAtomic(base + ".NOT", set), 0);
    int imports = 0, busy = 0;
    for (int round = 0; round < 50; ++round) {
        QProcess a, b;
        const QStringList args{"notes", "import", "-d", QString::fromStdString(kDemo),
                               QString::fromStdString(base)};
        a.start(kTool, args);
        b.start(kTool, args);
        ASSERT_TRUE(a.waitForFinished(30000));
        ASSERT_TRUE(b.waitForFinished(30000));
        for (QProcess* p : {&a, &b}) {
            const QString out = QString::fromUtf8(p->readAllStandardOutput());
            if (p->exitCode() == 0) {
                ++imports;
            } else {
                // The UI table is not loaded by the tool: the busy text's key shows.
                EXPECT_TRUE(out.contains("NotUp.BylNal")) << out.toStdString();
                ++busy;
            }
        }
        EXPECT_FALSE(FileExists(base + ".SMF"));
        std::string notes, pointers;
        ASSERT_EQ(ReadWholeFile(base + ".NOT", notes), 0);
        ASSERT_EQ(ReadWholeFile(base + ".PNT", pointers), 0);
        ASSERT_TRUE(notes == set); // already in the imported form
        size_t linked = 0;
        for (size_t i = 0; i + 1 < pointers.size(); i += 2) {
            const uint16_t block = DecodeLE16(pointers.data() + i);
            if (block == 0xFFFF)
                continue;
            ASSERT_LT(block * 256u + 2, notes.size());
            EXPECT_EQ(notes[block * 256u + 2], '0');
            ++linked;
        }
        EXPECT_EQ(linked, 3u);
    }
    EXPECT_GE(imports, 50);
    EXPECT_EQ(imports + busy, 100);
}

} // namespace
