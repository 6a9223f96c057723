#pragma once
// Folders for the start-up and hand-over tests, made with the record-file,
// index and text-table writers: a program folder with "qevw.ces", data
// folders with "kl.dat" (record length 346, a stamp of the caller's choice),
// "klkod.sez" and "kalvo.ces", and an installation base that may hold the
// launcher "qevw.sh".

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "datastore/text_table.h"
#include "tests/support/gui_app.h"
#include "tests/support/text_tables.h"
#include "writers/dat_writer.h"
#include "writers/sez_writer.h"
#include "writers/text_table_writer.h"

namespace start_test {

inline void EnsureApp()
{
    test_support::EnsureGuiApp();
}

inline void WriteText(const std::string& path, const std::string& bytes)
{
    QDir().mkpath(QString::fromStdString(path.substr(0, path.rfind('/'))));
    std::ofstream f(path, std::ios::binary | std::ios::trunc);
    f << bytes;
}

inline std::string ReadText(const std::string& path)
{
    std::ifstream f(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(f), std::istreambuf_iterator<char>());
}

using test_support::CompileTable;
using test_support::CompileTableBytes;

// The UI texts the start-up reads.
inline const char* kUiSource = "[Chyby]\n"
                               "NoBrowser=Stránku nelze otevřít, chyba\\x20\n"
                               "[Dupl]\n"
                               "dup1=https://check.example/dup/?from=qevw\n"
                               "dup2=&list=\n"
                               "kik1=https://check.example/kik/\n"
                               "kik2=!\n";

// A product table (drugs "kl", goods "pfa", devices "pzt"): a code, a name
// and fillers up to the record length the start-up check expects, with its
// code index.
inline void WriteProductTable(const std::string& folder, uint16_t stamp, int length, const std::string& table,
                              const std::string& codeIndex, int codeWidth)
{
    const int rest = length - codeWidth - 70;
    std::vector<DatField> fields = {{"KOD", static_cast<uint8_t>(0x90 + codeWidth - 1)}, {"NAZ", 0x45}};
    int left = rest;
    const char* names[] = {"FA", "FB", "FC", "FD"};
    for (int i = 0; left > 0; ++i) {
        const int w = left > 128 ? 128 : left;
        fields.push_back({names[i], static_cast<uint8_t>(w - 1)});
        left -= w;
    }
    DatLayout layout(fields);
    std::vector<std::string> records;
    for (const char* code : {"0012345", "0054321", "0099999"}) {
        std::string r = layout.BlankRecord();
        layout.PutText(r, "KOD", std::string(code).substr(7 - codeWidth));
        layout.PutText(r, "NAZ", std::string("LEK ") + code);
        records.push_back(r);
    }
    ASSERT_EQ(WriteDatFile(folder + table + ".dat", layout, records, stamp), 0);
    ASSERT_EQ(WriteSezFile(folder + codeIndex + ".sez", records, SezKeySpec{0, codeWidth, 32, codeWidth}), 0);
}

// The drug table: record length 346 unless a test wants another.
inline void WriteDrugTable(const std::string& folder, uint16_t stamp, int length = 346)
{
    WriteProductTable(folder, stamp, length, "kl", "klkod", 7);
}

// A temporary tree: base/ (the installation base), base/prog/ with
// "qevw.ces", base/dataA/ and base/dataB/ with data of two stamps that
// differ in bits 4-11.
class StartFolders {
public:
    StartFolders()
    {
        EXPECT_TRUE(tmp_.isValid());
        root = tmp_.path().toStdString() + "/";
        base = root + "base/";
        program = base + "prog/";
        dataA = base + "dataA/";
        dataB = base + "dataB/";
        QDir().mkpath(QString::fromStdString(program));
        WriteText(program + "qevw.ces", CompileTableBytes(kUiSource));
        MakeDataFolder(dataA, 0x0150);
        MakeDataFolder(dataB, 0x0260);
    }

    static void MakeDataFolder(const std::string& folder, uint16_t stamp)
    {
        QDir().mkpath(QString::fromStdString(folder));
        WriteDrugTable(folder, stamp);
        // The goods table, so that a start with "/pfa" finds its data set.
        WriteProductTable(folder, stamp, 246, "pfa", "pfakod", 5);
        WriteText(folder + "kalvo.ces", CompileTableBytes("[Verze]\nCislo=1\n"));
    }

    std::string root, base, program, dataA, dataB;

private:
    QTemporaryDir tmp_;
};

} // namespace start_test
