// docs/hooks.md names every registration point a header of the program
// declares, so that a new hook cannot land unlisted.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

std::string ReadText(const fs::path& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

// The registration points a header declares: free functions (declared at
// the start of a line) whose names say they register or install something
// from above.
std::vector<std::string> RegistrationPointsOf(const std::string& header)
{
    static const std::regex declaration(
        R"(^[A-Za-z_][\w:<>,*& ]*[ *&]((?:Set|Add)\w*(?:Hook|Hooks|Services|EntryPoints|Handler|Sink|Chooser|Lookup|Query)|Register\w+|Install\w*(?:Hooks|Services|Chooser|MessageBoxes)|OnSessionEnd)\s*\()");
    std::vector<std::string> out;
    std::istringstream lines(header);
    std::string line;
    std::smatch m;
    while (std::getline(lines, line))
        if (std::regex_search(line, m, declaration))
            out.push_back(m[1]);
    return out;
}

TEST(HooksPage, NamesEveryRegistrationPointDeclaredInAHeader)
{
    const fs::path root = QEVW_SOURCE_DIR;
    const std::string page = ReadText(root / "docs" / "hooks.md");
    ASSERT_FALSE(page.empty());
    std::set<std::string> found;
    for (const char* folder : {"platform", "datastore", "frame", "lists", "viewers", "maintenance", "app"}) {
        for (const auto& entry : fs::recursive_directory_iterator(root / folder)) {
            if (entry.path().extension() != ".h")
                continue;
            for (const std::string& name : RegistrationPointsOf(ReadText(entry.path()))) {
                found.insert(name);
                EXPECT_NE(page.find("`" + name + "`"), std::string::npos)
                    << name << " (" << fs::relative(entry.path(), root).string()
                    << ") is not on docs/hooks.md";
            }
        }
    }
    // The scan itself still sees the points every layer has.
    for (const char* known : {"SetLanguageHooks", "SetMainEntryPoints", "RegisterCommandHandler",
                              "SetMessageSink", "InstallMessageBoxes", "OnSessionEnd"})
        EXPECT_EQ(found.count(known), 1u) << known;
}

TEST(HooksPage, TheScanTellsDeclarationsFromCallsAndMembers)
{
    const std::vector<std::string> names =
        RegistrationPointsOf("LanguageHooks SetLanguageHooks(LanguageHooks hooks);\n"
                             "void RegisterCommandHandler(std::string name,\n"
                             "    void RegisterFonts();\n"
                             "// Registers the hooks (SetPageHooks(...)).\n"
                             "std::shared_ptr<X> SetFooServices(X x);\n"
                             "void SetDataDir(const std::string& dir);\n");
    EXPECT_EQ(names,
              (std::vector<std::string>{"SetLanguageHooks", "RegisterCommandHandler", "SetFooServices"}));
}

} // namespace
