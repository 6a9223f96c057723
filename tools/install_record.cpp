// install_record CONFIG show BASE
// install_record CONFIG set BASE [customer=N] [variant=L] [item0=T] [item1=T]
//                              [item4=T] [item6=T] [item7=T] [list=NAME=VALUE ...]
//
// Shows or sets the settings of one installation in a configuration file:
// the section "[QEV inst BASE/]" with the installation record (customer
// number and items), the server variant and the users list, read and written
// by the program's configuration code.  "set" keeps what it is not given,
// except the list, which a "list=" argument replaces as a whole.  Texts are
// UTF-8 on the command line and in the output.

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "datastore/kamenici.h"
#include "datastore/tagged_record.h"
#include "frame/config/config_file.h"
#include "platform/file_saver.h"
#include "platform/fs.h"

namespace {

constexpr int kItems[] = {0, 1, 4, 6, 7};

int Usage()
{
    std::fprintf(stderr, "usage: install_record CONFIG show BASE\n"
                         "       install_record CONFIG set BASE [customer=N] [variant=L] [item0..item7=TEXT]"
                         " [list=NAME=VALUE ...]\n");
    return 2;
}

std::string Utf8OfData(const std::string& text)
{
    return KamToQString(text).toUtf8().toStdString();
}

std::string DataOfUtf8(const std::string& text)
{
    return QStringToKam(QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())));
}

uint32_t Customer(const std::string& record)
{
    const std::string head = GetTaggedField(record, kTaggedHead);
    uint32_t n = 0;
    for (size_t i = 0; i < 4 && i < head.size(); ++i)
        n |= uint32_t(uint8_t(head[i])) << (8 * i);
    return n;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 4)
        return Usage();
    const std::string path = argv[1];
    const std::string command = argv[2];
    const std::string base = WithTrailingSlash(argv[3]);
    if (base.find(']') != std::string::npos) {
        std::fprintf(stderr, "install_record: a base holding \"]\" cannot name a section\n");
        return 2;
    }
    std::string text;
    if (FileExists(path) && ReadWholeFile(path, text) != 0) {
        std::fprintf(stderr, "install_record: cannot read %s\n", path.c_str());
        return 1;
    }
    ConfigLoadInput in;
    in.programFolder = base;
    in.installBase = base;
    ConfigValues values = ReadConfigText(text, in);

    if (command == "show") {
        if (argc != 4)
            return Usage();
        const std::string& record = values.InstallationRecord;
        std::printf("customer=%u\n", Customer(record));
        std::printf("variant=%s\n", values.ServerVariant.c_str());
        for (int item : kItems)
            std::printf("item%d=%s\n", item, Utf8OfData(GetTaggedField(record, item)).c_str());
        size_t start = 0;
        const std::string& list = values.InstallationList;
        while (start < list.size()) {
            size_t end = list.find("\r\n", start);
            if (end == std::string::npos)
                end = list.size();
            std::printf("list=%s\n", list.substr(start, end - start).c_str());
            start = end + 2;
        }
        return 0;
    }
    if (command != "set")
        return Usage();

    std::string record = values.InstallationRecord;
    std::string variant = values.ServerVariant;
    std::vector<std::string> list;
    bool listGiven = false;
    for (int i = 4; i < argc; ++i) {
        const std::string a = argv[i];
        const size_t eq = a.find('=');
        if (eq == std::string::npos)
            return Usage();
        const std::string key = a.substr(0, eq);
        const std::string value = a.substr(eq + 1);
        bool ok = true;
        if (key == "customer") {
            const unsigned long n = std::strtoul(value.c_str(), nullptr, 10);
            const char head[4] = {char(n & 0xFF), char((n >> 8) & 0xFF), char((n >> 16) & 0xFF),
                                  char((n >> 24) & 0xFF)};
            ok = PutTaggedField(record, kTaggedHead, std::string_view(head, 4));
        } else if (key == "variant") {
            variant = value;
        } else if (key.rfind("item", 0) == 0 && key.size() == 5 && key[4] >= '0' && key[4] <= '7') {
            ok = PutTaggedField(record, key[4] - '0', DataOfUtf8(value));
        } else if (key == "list") {
            listGiven = true;
            list.push_back(value);
        } else {
            return Usage();
        }
        if (!ok) {
            std::fprintf(stderr, "install_record: %s does not fit the record\n", a.c_str());
            return 2;
        }
    }
    std::string joined;
    if (listGiven) {
        for (const std::string& entry : list)
            joined += (joined.empty() ? "" : "\r\n") + entry;
    } else {
        joined = values.InstallationList;
    }
    if (!SetInstallationSection(text, base, record, variant, joined)) {
        std::fprintf(stderr, "install_record: a list entry must be NAME=VALUE, not RECORD or VARIANT\n");
        return 2;
    }
    FileSaver saver(path);
    saver.Write(text);
    if (!saver.Commit()) {
        std::fprintf(stderr, "install_record: cannot write %s: %s\n", path.c_str(),
                     saver.ErrorText().c_str());
        return 1;
    }
    return 0;
}
