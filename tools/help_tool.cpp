// help_tool: looks into the help files.
//
//   help_tool list FILE                         the topics of one help file:
//                                               number, key, location, level, title
//   help_tool topic [-d DATA] [-p PROGRAM] [--doping] KEY
//                                               a topic as the help page reads it
//                                               (placeholders expanded, pages
//                                               generated), dumped as record_text
//                                               dumps texts
//   help_tool render [-d DATA] [-p PROGRAM] [--doping] KEY --width W -o PNG
//                                               the topic drawn by the rich-text
//                                               engine at the width
//
// DATA is the data folder (default: the current folder), PROGRAM the folder
// of "qevw.hla" and "qevw.ces" (default: DATA/../program when it exists,
// else DATA).  Exit code: 0 done, 1 a file or topic that cannot be read,
// 2 wrong arguments.

#include <QGuiApplication>
#include <QImage>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "ctrl_text_dump.h"
#include "datastore/packed_text.h"
#include "datastore/text_table.h"
#include "datastore/topic_keys.h"
#include "frame/pages/page.h"
#include "platform/gui/canvas.h"
#include "tool_folders.h"
#include "viewers/ctrl_view.h"
#include "viewers/help_files.h"

namespace {

int Usage()
{
    std::fputs("usage: help_tool list FILE\n"
               "       help_tool topic [-d DATA] [-p PROGRAM] [--doping] KEY\n"
               "       help_tool render [-d DATA] [-p PROGRAM] [--doping] KEY --width W -o PNG\n",
               stderr);
    return 2;
}

int List(const std::string& path, bool doping)
{
    TPackedTextFile file;
    if (!OpenPackedText(file, path)) {
        std::fprintf(stderr, "%s: cannot be opened as a help file (status %d)\n", path.c_str(), file.status);
        return 1;
    }
    HelpTopicList list;
    const int r = ReadHelpFile(file, list, doping ? HelpSource::Doping : HelpSource::Manual);
    for (int i = 0; i < list.Count(); ++i) {
        const HelpTopicEntry& e = list.entries[static_cast<size_t>(i)];
        std::printf("%3d  %-6s  %08X  %d  %s\n", i, CtrlTextToUtf8(e.abbreviation).c_str(), e.location,
                    e.Level(), CtrlTextToUtf8(HelpPlainTitle(e.title)).c_str());
    }
    if (r != 0) {
        std::fprintf(stderr, "%s: damaged help file (status %d)\n", path.c_str(), r);
        return 1;
    }
    return 0;
}

bool OpenFiles(HelpFiles& files, const std::string& program, const std::string& data, bool doping)
{
    const HelpOpenResult r = doping
                                 ? OpenDopingFile(files, data)
                                 : OpenHelpFiles(files, program, data, LookupText(UiTexts, "Manual", "Obs"));
    if (!r.ok)
        std::fprintf(stderr, "help_tool: %s %s (status %d)\n", r.file.c_str(),
                     r.status == 0 ? "is missing" : "is damaged", r.status);
    return r.ok;
}

bool ReadTopic(HelpFiles& files, const std::string& key, const std::string& data, std::string& text)
{
    const int entry = files.list.Find(PackTopicKey(key));
    if (entry < 0) {
        std::fprintf(stderr, "help_tool: no topic \"%s\"\n", key.c_str());
        return false;
    }
    HelpContentSources src;
    src.dataFolder = data;
    src.dataTexts = DataTexts.Get().get();
    src.noTable = LookupText(UiTexts, "Chyby", "NoTable");
    src.contentsTitle = LookupText(UiTexts, "Manual", "Obs");
    if (int r = ReadHelpTopic(files, entry, src, text)) {
        std::fprintf(stderr, "help_tool: topic \"%s\" cannot be read (status %d)\n", key.c_str(), r);
        return false;
    }
    return true;
}

int Render(const std::string& text, int width, const std::string& out)
{
    if (std::getenv("QT_QPA_PLATFORM") == nullptr)
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    static int argc = 1;
    static char name[] = "help_tool";
    static char* argv[] = {name, nullptr};
    QGuiApplication app(argc, argv);
    ImageCanvas measure(1, 1);
    CtrlTextView view;
    view.canvas = &measure;
    view.text = text;
    if (int r = LayoutCtrlText(view))
        std::fprintf(stderr, "help_tool: layout result %d\n", r);
    const int margin = 4;
    const int32_t height = MeasureCtrlText(view, width);
    ImageCanvas canvas(width + 2 * margin, std::max(height, 1) + 2 * margin, view.colours.background);
    view.canvas = &canvas;
    Rect r{margin, margin, margin + width, margin + height};
    for (int line = 1; line <= view.lineCount; ++line) {
        CtrlPaintRequest req{line, 0, 0};
        PaintCtrlText(view, req, {}, r);
    }
    if (!canvas.Image().save(QString::fromStdString(out), "PNG")) {
        std::fprintf(stderr, "help_tool: %s cannot be written\n", out.c_str());
        return 1;
    }
    std::printf("%s: %d x %d, %d lines\n", out.c_str(), width + 2 * margin, height + 2 * margin,
                view.lineCount);
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 3)
        return Usage();
    const std::string command = argv[1];
    std::string data = ".";
    std::string program;
    std::string key;
    std::string out;
    int width = 0;
    bool doping = false;
    ToolArgs args(argc - 1, argv + 1, data, program);
    for (std::string a; args.Next(a);) {
        std::string value;
        if (a == "--doping") {
            doping = true;
        } else if (a == "--width") {
            if (!args.Value(value))
                return Usage();
            width = std::atoi(value.c_str());
            if (width < 1 || width > 20000)
                return Usage();
        } else if (a == "-o") {
            if (!args.Value(out))
                return Usage();
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (key.empty()) {
            key = a;
        } else {
            return Usage();
        }
    }
    if (args.Failed() || key.empty())
        return Usage();
    if (command == "list")
        return List(key, doping || (key.size() >= 10 && key.compare(key.size() - 10, 10, "doping.dat") == 0));
    if (command != "topic" && command != "render")
        return Usage();
    if (command == "render" && (width == 0 || out.empty()))
        return Usage();
    if (!OpenToolFolders("help_tool", data, program))
        return 1;
    HelpFiles files;
    if (!OpenFiles(files, program, data, doping))
        return 1;
    std::string text;
    if (!ReadTopic(files, key, data, text))
        return 1;
    if (command == "topic") {
        std::printf("%s", DumpCtrlText(text).c_str());
        return 0;
    }
    return Render(text, width, out);
}
