// update_kit: what a developer needs to try the update of the program and
// its data without the maker's server.
//
//   update_kit packages OUT [options]   the files of an update server in OUT:
//       "list.txt"; the data package of the demo data ("kalvo" + its data
//       version code + ".zip"); the program package "win" + version + ".zip"
//       of the built program folder with its description ".ini"; the small
//       package "zlp.zip" holding the demo's "zlp.dat"
//         --version V     the program package's version ("Uvod.Ver"), default
//                         the program folder's own
//         --from V        the versions it updates ("EXE="), default the
//                         program folder's own
//         --label TEXT    "LAB=" (UTF-8), default "KALVO " + version
//         --dat LIST --ico LIST --sgn LIST   the optional "DAT=", "ICO=", "SGN="
//         --release DATE [--title TEXT]  also a later release of the demo data
//                         (yyyy-mm-dd; TEXT its "Verze.Nadpis")
//         --program DIR --data DIR --demo SRC   other folders than the build's
//   update_kit tree BASE [--program DIR --data DIR] [--folder NAME:STATE]...
//                [--launcher NAME]
//       an installation: BASE/qevw.sh, BASE/Logs/ and a version folder named
//       after the demo data's release, holding the program and the data;
//       each --folder another version folder like it in a state: complete,
//       log (an unfinished installation's "_InstLog.txt"), nokvo (no
//       "kalvo.kvo"), noprog (no "qevw"); --launcher names the folder the
//       launcher starts (default the release's)
//   update_kit serve OUT PORT [--rss FILE]
//       serves OUT under "/files/", answers "OK" on "/stats/" and
//       "/stats/win/", FILE (a news feed) on "/rss/" and a short body on
//       "/new*.xml" (the quarterly notice); prints each request (PORT 0: a
//       free port, printed)
//   update_kit inspect BASE [--list FILE]
//       the version folders and their states, the launcher's folder, the best
//       folder, and with a list what it offers
//
// Exit codes: 0 done, 1 failed (a message on standard error), 2 usage.

#include <httplib.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "maintenance/data_update.h"
#include "maintenance/folder_log.h"
#include "maintenance/server_list.h"
#include "maintenance/version_folders.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "writers/demo_build.h"
#include "writers/text_table_writer.h"
#include "writers/zip_writer.h"

#ifndef QEVW_KIT_PROGRAM_DIR
#define QEVW_KIT_PROGRAM_DIR "build/program"
#endif
#ifndef QEVW_KIT_DATA_DIR
#define QEVW_KIT_DATA_DIR "build/demo-data"
#endif
#ifndef QEVW_KIT_DEMO_SOURCES
#define QEVW_KIT_DEMO_SOURCES "demo"
#endif

namespace fs = std::filesystem;

namespace {

int Usage()
{
    std::fputs("usage: update_kit packages OUT [--version V] [--from V] [--label TEXT] [--dat LIST]\n"
               "                  [--ico LIST] [--sgn LIST] [--release YYYY-MM-DD [--title TEXT]]\n"
               "                  [--program DIR] [--data DIR] [--demo SRC]\n"
               "       update_kit tree BASE [--program DIR] [--data DIR] [--folder NAME:STATE]...\n"
               "                  [--launcher NAME]\n"
               "       update_kit serve OUT PORT [--rss FILE]\n"
               "       update_kit inspect BASE [--list FILE]\n"
               "       update_kit stage BASE PACKAGE [--program DIR]\n",
               stderr);
    return 2;
}

int Fail(const std::string& message)
{
    std::fprintf(stderr, "update_kit: %s\n", message.c_str());
    return 1;
}

struct Options {
    std::string program = QEVW_KIT_PROGRAM_DIR;
    std::string data = QEVW_KIT_DATA_DIR;
    std::string demo = QEVW_KIT_DEMO_SOURCES;
    std::string version, from, label, dat, ico, sgn, release, title, list, launcher;
    std::vector<std::string> folders; // --folder NAME:STATE
};

bool ReadOptions(const std::vector<std::string>& args, size_t first, Options& o)
{
    const std::map<std::string, std::string Options::*> names = {
        {"--program", &Options::program}, {"--data", &Options::data},   {"--demo", &Options::demo},
        {"--version", &Options::version}, {"--from", &Options::from},   {"--label", &Options::label},
        {"--dat", &Options::dat},         {"--ico", &Options::ico},     {"--sgn", &Options::sgn},
        {"--release", &Options::release}, {"--title", &Options::title}, {"--list", &Options::list}};
    for (size_t i = first; i < args.size(); ++i) {
        if (args[i] == "--folder" && i + 1 < args.size()) {
            o.folders.push_back(args[++i]);
            continue;
        }
        if (args[i] == "--launcher" && i + 1 < args.size()) {
            o.launcher = args[++i];
            continue;
        }
        const auto it = names.find(args[i]);
        if (it == names.end() || i + 1 >= args.size())
            return false;
        o.*(it->second) = args[++i];
    }
    o.program = WithTrailingSlash(o.program);
    o.data = WithTrailingSlash(o.data);
    return true;
}

// A text table's source, its stamp and one value.
struct TableSource {
    textsrc::Source source;
    uint16_t stamp = textsrc::kDefaultStamp;
};

bool LoadTableSource(const std::string& path, TableSource& out, std::string& message)
{
    std::string bytes;
    std::string text;
    textsrc::Error err;
    if (ReadWholeFile(path, bytes) != 0 || bytes.size() < 4 || !textsrc::DumpTable(bytes, text, message) ||
        !textsrc::ParseSource(text, path, out.source, err)) {
        message = path + ": not a readable text table " + message + err.Message();
        return false;
    }
    out.stamp = static_cast<uint16_t>(static_cast<unsigned char>(bytes[2]) |
                                      static_cast<unsigned char>(bytes[3]) << 8);
    return true;
}

textsrc::Entry* FindEntry(textsrc::Source& s, const std::string& section, const std::string& key)
{
    for (textsrc::Section& sec : s.sections)
        if (sec.name == section)
            for (textsrc::Entry& e : sec.entries)
                if (e.key == key)
                    return &e;
    return nullptr;
}

std::string ProgramVersionOf(const std::string& programFolder)
{
    TableSource t;
    std::string message;
    if (!LoadTableSource(programFolder + "qevw.ces", t, message))
        return {};
    const textsrc::Entry* e = FindEntry(t.source, "Uvod", "Ver");
    return e ? e->value : std::string();
}

// The release date of a data folder's manifest ("date=d.m.yyyy").
bool ReleaseDate(const std::string& dataFolder, int& y, int& m, int& d)
{
    std::string text;
    if (ReadWholeFile(dataFolder + kManifestName, text) != 0)
        return false;
    const size_t at = text.find("date=");
    return at != std::string::npos && std::sscanf(text.c_str() + at + 5, "%d.%d.%d", &d, &m, &y) == 3;
}

std::string DataPackageName(const std::string& dataFolder)
{
    int y = 0, m = 0, d = 0;
    if (!ReleaseDate(dataFolder, y, m, d))
        return {};
    return "kalvo" + DataVersionCode(y, m, d) + ".zip";
}

// Every regular file of a folder into a ZIP, flat.
bool ZipFolder(const std::string& folder, const std::string& zipPath,
               const std::map<std::string, std::string>& replaced, std::string& message)
{
    ZipWriter zip(zipPath);
    for (const FolderEntry& e : ListFolder(folder)) {
        if (e.kind != FolderEntry::Kind::File)
            continue;
        ZipWriterEntry z;
        z.name = e.name;
        z.mode = e.mode & 0777;
        const auto r = replaced.find(e.name);
        if (r != replaced.end())
            z.data = r->second;
        else
            z.sourcePath = folder + e.name;
        if (!zip.Add(z)) {
            message = zip.Error();
            return false;
        }
    }
    if (!zip.Finish()) {
        message = zip.Error();
        return false;
    }
    return true;
}

// The program folder's text tables with another "Uvod.Ver".
bool TablesWithVersion(const std::string& program, const std::string& version,
                       std::map<std::string, std::string>& replaced, std::string& message)
{
    for (const char* name : {"qevw.ces", "qevw.ang"}) {
        TableSource t;
        if (!LoadTableSource(program + name, t, message))
            return false;
        textsrc::Entry* e = FindEntry(t.source, "Uvod", "Ver");
        if (!e) {
            message = program + name + ": no Uvod.Ver";
            return false;
        }
        e->value = version;
        textsrc::Error err;
        if (!textsrc::BuildTable(t.source, t.stamp, name, replaced[name], err)) {
            message = err.Message();
            return false;
        }
    }
    return true;
}

bool WriteList(const std::string& out, std::string& message)
{
    std::string list;
    for (const FolderEntry& e : ListFolder(out))
        if (e.kind == FolderEntry::Kind::File && e.name != "list.txt")
            list += e.name + "," + std::to_string(e.size) + "\r\n";
    if (const int r = WriteFileAtomic(out + "list.txt", list)) {
        message = out + "list.txt: I/O result " + std::to_string(r);
        return false;
    }
    return true;
}

int Packages(const std::string& outArg, const Options& o)
{
    const std::string out = WithTrailingSlash(outArg);
    std::error_code ec;
    fs::create_directories(out, ec);
    std::string message;

    // The data package of the data folder.
    const std::string dataPackage = DataPackageName(o.data);
    if (dataPackage.empty())
        return Fail(o.data + ": no data folder with a manifest");
    if (!ZipFolder(o.data, out + dataPackage, {}, message))
        return Fail(message);
    std::printf("%s\n", dataPackage.c_str());

    // The program package and its description.
    const std::string own = ProgramVersionOf(o.program);
    if (own.empty())
        return Fail(o.program + ": no program texts with Uvod.Ver");
    const std::string version = o.version.empty() ? own : o.version;
    std::map<std::string, std::string> tables;
    if (version != own && !TablesWithVersion(o.program, version, tables, message))
        return Fail(message);
    const std::string stem = "win" + AsciiLower(version);
    if (!IsListName(stem + ".zip"))
        return Fail("version " + version + " gives no package name of the list's form");
    if (!ZipFolder(o.program, out + stem + ".zip", tables, message))
        return Fail(message);
    std::string ini = "EXE=" + (o.from.empty() ? own.substr(0, 5) : o.from) + "\r\n";
    if (!o.dat.empty())
        ini += "DAT=" + o.dat + "\r\n";
    if (!o.ico.empty())
        ini += "ICO=" + o.ico + "\r\n";
    if (!o.sgn.empty())
        ini += "SGN=" + o.sgn + "\r\n";
    // The label in code page 1250, as the server publishes it.
    const std::string label = o.label.empty() ? "KALVO " + version : o.label;
    ini += "LAB=" + QStringToCp1250(QString::fromUtf8(label.c_str())) + "\r\n";
    if (const int r = WriteFileAtomic(out + stem + ".ini", ini))
        return Fail(out + stem + ".ini: I/O result " + std::to_string(r));
    std::printf("%s.zip %s.ini\n", stem.c_str(), stem.c_str());

    // The small package of the zlp table, as the loader fetches it.
    {
        DemoLog log([](const std::string& line) { std::fprintf(stderr, "update_kit: %s\n", line.c_str()); });
        DemoDataSet set;
        if (!LoadDemoSources(o.demo, set, log))
            return 1;
        ZipWriter zip(out + "zlp.zip");
        ZipWriterEntry entry;
        entry.name = "zlp.dat";
        entry.data = DemoZlpFile(set);
        if (!zip.Add(entry) || !zip.Finish())
            return Fail(out + "zlp.zip: " + zip.Error());
        std::printf("zlp.zip\n");
    }

    // A later release of the demo data.
    if (!o.release.empty()) {
        int y = 0, m = 0, d = 0;
        if (std::sscanf(o.release.c_str(), "%d-%d-%d", &y, &m, &d) != 3)
            return Usage();
        DemoLog log([](const std::string& line) { std::fprintf(stderr, "update_kit: %s\n", line.c_str()); });
        DemoDataSet set;
        const std::string folder = out + ".release/";
        if (!LoadDemoSources(o.demo, set, log) || !MakeDemoRelease(set, y, m, d, o.title, log))
            return 1;
        set.photos = false;
        if (!WriteDemoFolder(folder, set, log))
            return 1;
        const std::string name = "kalvo" + DataVersionCode(y, m, d) + ".zip";
        const bool zipped = ZipFolder(folder, out + name, {}, message);
        fs::remove_all(folder, ec);
        if (!zipped)
            return Fail(message);
        std::printf("%s\n", name.c_str());
    }
    return WriteList(out, message) ? 0 : Fail(message);
}

// The program and the data of `o` in base + folder (a name with "/").
int FillVersionFolder(const std::string& base, const std::string& folder, const Options& o)
{
    std::error_code ec;
    fs::create_directories(base + folder, ec);
    const auto copy = fs::copy_options::recursive | fs::copy_options::overwrite_existing;
    fs::copy(o.data, base + folder, copy, ec);
    if (ec)
        return Fail(ec.message());
    for (const FolderEntry& e : ListFolder(o.program))
        if (e.kind == FolderEntry::Kind::File)
            fs::copy(o.program + e.name, base + folder + e.name, copy, ec);
    if (ec)
        return Fail(ec.message());
    return 0;
}

int Tree(const std::string& baseArg, const Options& o)
{
    const std::string base = WithTrailingSlash(baseArg);
    const std::string dataPackage = DataPackageName(o.data);
    const std::string folder = dataPackage.empty() ? std::string() : FolderOfPackage(dataPackage);
    if (folder.empty())
        return Fail(o.data + ": no data folder with a manifest");
    if (const int r = FillVersionFolder(base, folder, o))
        return r;
    std::error_code ec;
    fs::create_directories(base + "Logs", ec);
    for (const std::string& item : o.folders) {
        const size_t colon = item.find(':');
        const std::string name = item.substr(0, colon);
        const std::string state = colon == std::string::npos ? "complete" : item.substr(colon + 1);
        if (!IsVersionFolderName(name))
            return Fail(name + ": not a version folder name");
        if (const int r = FillVersionFolder(base, name + "/", o))
            return r;
        const std::string dir = base + name + "/";
        if (state == "log") {
            FolderLog log;
            if (const int r = log.Create(dir + kInstallerLogName))
                return Fail(dir + kInstallerLogName + ": I/O result " + std::to_string(r));
            log.Line("start instal / virgin");
            log.Close();
        } else if (state == "nokvo") {
            fs::remove(dir + kManifestName, ec);
        } else if (state == "noprog") {
            fs::remove(dir + kProgramFileName, ec);
        } else if (state != "complete") {
            return Fail(state + ": not a folder state (complete, log, nokvo, noprog)");
        }
        std::printf("%s\n", dir.c_str());
    }
    const std::string launched = o.launcher.empty() ? folder : o.launcher;
    if (const int r = WriteLauncher(base, launched))
        return Fail(base + kLauncherName + ": I/O result " + std::to_string(r));
    std::printf("%s%s\n%s%s\n", base.c_str(), kLauncherName, base.c_str(), folder.c_str());
    return 0;
}

// The version folder of a program package as the program's installation
// leaves it before it starts the copy there: the program's files and a
// "_InstLog.txt" (an unfinished folder).
int Stage(const std::string& baseArg, const std::string& package, const Options& o)
{
    const std::string base = WithTrailingSlash(baseArg);
    const std::string folder = FolderOfPackage(package);
    if (folder.empty())
        return Fail(package + ": no version folder belongs to this package name");
    std::error_code ec;
    fs::create_directories(base + folder, ec);
    if (ec)
        return Fail(ec.message());
    if (const std::string failed = CopyProgramFiles(o.program, base + folder); !failed.empty())
        return Fail(failed + ": not copied");
    FolderLog log;
    if (const int r = log.Create(base + folder + kInstallerLogName))
        return Fail(base + folder + kInstallerLogName + ": I/O result " + std::to_string(r));
    log.Line("start instal / virgin");
    log.Close();
    std::printf("%s%s\n", base.c_str(), folder.c_str());
    return 0;
}

int Serve(const std::string& outArg, int port, const std::string& rss)
{
    const std::string out = WithTrailingSlash(outArg);
    httplib::Server server;
    server.set_pre_routing_handler([&out, &rss](const httplib::Request& req, httplib::Response& res) {
        const std::string& path = req.path;
        std::string feed;
        if (path == "/stats/" || path == "/stats/win/") {
            res.set_content("OK", "text/plain");
        } else if (path == "/rss/" && !rss.empty() && ReadWholeFile(rss, feed) == 0) {
            res.set_content(feed, "application/rss+xml");
        } else if (path.rfind("/new", 0) == 0 && path.size() > 8 && path.substr(path.size() - 4) == ".xml") {
            res.set_content("<ok/>", "text/xml");
        } else if (path.rfind("/files/", 0) == 0 && IsListName(path.substr(7)) &&
                   FileExists(out + path.substr(7))) {
            std::string body;
            ReadWholeFile(out + path.substr(7), body);
            res.set_content(body, "application/octet-stream");
        } else {
            res.status = 404;
            res.set_content("<html><body>Not found</body></html>", "text/html");
        }
        std::printf("%s %s%s%s -> %d\n", req.method.c_str(), req.path.c_str(), req.params.empty() ? "" : "?",
                    req.params.empty() ? ""
                                       : std::string(req.target.substr(req.target.find('?') + 1)).c_str(),
                    res.status == -1 ? 200 : res.status);
        std::fflush(stdout);
        return httplib::Server::HandlerResponse::Handled;
    });
    if (port == 0)
        port = server.bind_to_any_port("127.0.0.1");
    else if (!server.bind_to_port("127.0.0.1", port))
        return Fail("cannot listen on 127.0.0.1:" + std::to_string(port));
    std::printf("serving %s on http://127.0.0.1:%d/\n", out.c_str(), port);
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}

int Inspect(const std::string& baseArg, const Options& o)
{
    const std::string base = WithTrailingSlash(baseArg);
    const std::string launcher = ReadLauncherTarget(base + kLauncherName);
    std::printf("base %s\nlauncher %s\n", base.c_str(), launcher.empty() ? "(none)" : launcher.c_str());
    for (const FolderEntry& e : ListFolder(base)) {
        if (e.kind != FolderEntry::Kind::Folder || !IsVersionFolderName(e.name))
            continue;
        const std::string f = base + e.name + "/";
        std::string state = "complete";
        if (FileExists(ResolveInFolder(f, kInstallerLogName)))
            state = "unfinished (log)";
        else if (!FileExists(ResolveInFolder(f, kManifestName)))
            state = "no manifest";
        else if (!FileExists(f + kProgramFileName))
            state = "no program";
        std::printf("  %-16s %-17s version %s%s\n", e.name.c_str(), state.c_str(),
                    ProgramVersionOf(f).c_str(),
                    AsciiLower(e.name + "/") == AsciiLower(launcher) ? "  (launcher)" : "");
    }
    const std::string running = launcher.empty() ? std::string() : base + launcher;
    ClearRunLog();
    const std::string best = FindBestVersionFolderIn(running.empty() ? std::string() : base, running);
    std::printf("best %s\n", best.empty() ? "(none)" : best.c_str());
    if (o.list.empty())
        return 0;
    std::string text;
    if (ReadWholeFile(o.list, text) != 0)
        return Fail(o.list + ": cannot be read");
    const std::vector<ServerListEntry> entries = ReadServerList(NormaliseServerList(text));
    const std::string installed = PackageNameOfFolder("/" + best + "/") + ".zip";
    const std::string version = best.empty() ? std::string() : ProgramVersionOf(base + best + "/");
    const std::string runningPackage = "win" + AsciiLower(version) + ".zip";
    std::printf("list: %zu entries\n", entries.size());
    for (const ServerListEntry& e : entries) {
        const bool data = e.name.rfind("kalvo", 0) == 0 && e.name.size() > 4 &&
                          e.name.substr(e.name.size() - 4) == ".zip" && e.name > installed;
        const bool program = e.name.rfind("win", 0) == 0 && e.name.substr(e.name.size() - 4) == ".zip" &&
                             e.name > runningPackage;
        std::printf("  %-20s %12lld%s\n", e.name.c_str(), static_cast<long long>(e.size),
                    data      ? "  newer data"
                    : program ? "  newer program"
                              : "");
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() < 2)
        return Usage();
    Options o;
    if (args[0] == "serve") {
        if (args.size() == 5 && args[3] == "--rss")
            return Serve(args[1], std::atoi(args[2].c_str()), args[4]);
        if (args.size() != 3)
            return Usage();
        return Serve(args[1], std::atoi(args[2].c_str()), {});
    }
    if (args[0] == "stage") {
        if (args.size() < 3 || !ReadOptions(args, 3, o))
            return Usage();
        return Stage(args[1], args[2], o);
    }
    if (!ReadOptions(args, 2, o))
        return Usage();
    if (args[0] == "packages")
        return Packages(args[1], o);
    if (args[0] == "tree")
        return Tree(args[1], o);
    if (args[0] == "inspect")
        return Inspect(args[1], o);
    return Usage();
}
