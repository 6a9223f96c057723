// Reading and writing single values: one table of cases, each a file text,
// a check of the values read, and lines the save must (or must not) write.

#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <functional>

#include "datastore/hex_base64.h"
#include "tests/frame/config_test_support.h"

using namespace configtest;

namespace {

struct ValueCase {
    const char* name;
    std::string text;
    std::function<void(const ConfigValues&)> check;
    std::vector<std::string> written = {};    // whole lines the save must hold
    std::vector<std::string> notWritten = {}; // line starts it must not hold
    // Reading the saved text gives the same values (false where a value is
    // normalised on purpose, e.g. FIND= without a known word).
    bool stable = true;
    std::optional<std::string> reimbInit = std::nullopt;
    ConfigLoadInput input = TestInput();
};

bool HasLine(const std::string& text, const std::string& line)
{
    return ("\r\n" + text).find("\r\n" + line + "\r\n") != std::string::npos;
}

bool HasLineStart(const std::string& text, const std::string& start)
{
    return ("\r\n" + text).find("\r\n" + start) != std::string::npos;
}

std::string Win(std::initializer_list<const char*> lines)
{
    std::string s = "[QEVW win]\r\n";
    for (const char* l : lines)
        s += std::string(l) + "\r\n";
    return s;
}

std::vector<ValueCase> Cases()
{
    std::vector<ValueCase> v;
    v.push_back({"no file gives every default",
                 "",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.LanguageCode, "ces");
                     EXPECT_EQ(c.printerCodePage, CodePageChoice::Ascii);
                     EXPECT_EQ(c.KeySelectOption, 128);
                     EXPECT_EQ(c.textSearchOptions, 1);
                     EXPECT_EQ(c.SeptacOption, 1);
                     EXPECT_EQ(c.windowMode, WindowMode::Free);
                     EXPECT_EQ(c.ColourTable[5], 0x0000FFu);
                     EXPECT_EQ(c.ColourTable[6], kSystemColour + 15);
                     EXPECT_FALSE(c.PrintSavingOption);
                     EXPECT_EQ(c.mainWidth, 1280); // 2/3 of a 1920 x 1080 screen
                     EXPECT_EQ(c.mainHeight, 720);
                     EXPECT_EQ(c.mainLeft, 320); // in its middle
                     EXPECT_EQ(c.mainTop, 180);
                     EXPECT_EQ(c.notesEditor, "/opt/kalvo/v1/QEV_NOTE.EXE");
                     EXPECT_EQ(c.NewsOption, '3');
                     EXPECT_EQ(c.AutoUpdateSetting, 15);
                     EXPECT_EQ(c.UrlScheme(), "https://");
                     EXPECT_EQ(c.ParagraphFlagArray(), "+-" + std::string(98, '+'));
                 },
                 {"PRINTER=P", "FILTER='0CuedaDTceELIllAAEzZooOuUyOUSLYRtaiounNUOsrrRmp^r'", "PARAGR=''",
                  "STEXT=P", "TOOLBAR=0", "BASE=3", "DRUG=", "COMP=", "VZPCR=", "SIGN=", "NOTES=NOTES"},
                 {"NOTEDIT=", "SIZEPOS=", "BORDER=", "FIND=", "IFL=", "FAVORS=", "ADDCOL="}});
    v.push_back({"a small screen keeps 640 x 480",
                 "",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.mainWidth, 640);
                     EXPECT_EQ(c.mainHeight, 480);
                 },
                 {},
                 {},
                 true,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.screenWidth = 960;
                     in.screenHeight = 720;
                     return in;
                 }()});
    v.push_back({"FIND=SPC is read back as KODEX",
                 "[QEV filter]\r\nFIND=SPC\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.TextTarget, 0); },
                 {},
                 {"FIND="}});
    v.push_back({"FIND=ENG is the second place",
                 "[QEV filter]\r\nFIND=ENG\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.TextTarget, 1); },
                 {"FIND=ENG"}});
    v.push_back({"an unknown FIND= is -1, written as KODEX",
                 "[QEV filter]\r\nFIND=WEB\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.TextTarget, -1); },
                 {"FIND=KODEX"},
                 {},
                 false});
    v.push_back({"TOOLBAR=1 with an empty list: default list with RMD, shown",
                 Win({"TOOLBAR=1"}),
                 [](const ConfigValues& c) {
                     EXPECT_TRUE(c.ToolbarVisible);
                     EXPECT_EQ(c.ToolbarSelection, "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-");
                 },
                 {"TOOLBAR=1-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-"}});
    v.push_back({"TOOLBAR= list gets its dashes and RMD",
                 Win({"TOOLBAR=0dMA-sPW"}),
                 [](const ConfigValues& c) {
                     EXPECT_FALSE(c.ToolbarVisible);
                     EXPECT_EQ(c.ToolbarSelection, "-dMA-sPW-RMD-");
                 },
                 {"TOOLBAR=0-dMA-sPW-RMD-"}});
    v.push_back({"COLOURS= sets, skips an empty item, sets by value",
                 Win({"COLOURS=clRed,,$00FF00,"}),
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.ColourTable[0], 0x0000FFu);
                     EXPECT_EQ(c.ColourTable[1], kSystemColour + 8); // clWindowText stays
                     EXPECT_EQ(c.ColourTable[2], 0x00FF00u);
                     EXPECT_EQ(c.ColourTable[3], kSystemColour + 17);
                 },
                 {"COLOURS=clRed,clWindowText,clLime,clGrayText,clBtnText,clRed,clBtnFace,"}});
    v.push_back({"COLOURS= unknown names, long values and unterminated items change nothing",
                 Win({"COLOURS=clNoSuch,$0000000FF,clwhite,$00ABCDEF"}),
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.ColourTable[0], kSystemColour + 5);
                     EXPECT_EQ(c.ColourTable[1], kSystemColour + 8);
                     EXPECT_EQ(c.ColourTable[2], 0xFFFFFFu);          // names in any letter case
                     EXPECT_EQ(c.ColourTable[3], kSystemColour + 17); // not comma-terminated
                 },
                 {"COLOURS=clWindow,clWindowText,clWhite,clGrayText,clBtnText,clRed,clBtnFace,"}});
    v.push_back({"a colour without a name is written as $ and 8 digits",
                 Win({"COLOURS=$00abcdef,"}),
                 [](const ConfigValues& c) { EXPECT_EQ(c.ColourTable[0], 0x00ABCDEFu); },
                 {"COLOURS=$00ABCDEF,clWindowText,clAppWorkSpace,clGrayText,clBtnText,clRed,clBtnFace,"}});
    v.push_back({"FONTTAB= Arial size 40 style 1 gives Arial 9 bold",
                 Win({"FONTTAB=Arial, 40 [1]"}),
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.ListFont, (ConfigFont{"Arial", 9, 1}));
                 },
                 {"FONTTAB=Arial, 9 [1]"}});
    v.push_back({"a font without comma or name", Win({"FONTDLG=Verdana [3]", "FONTTXT=, 12"}),
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.DialogFont, (ConfigFont{"Verdana", 9, 3}));
                     EXPECT_EQ(c.TextFont, (ConfigFont{"Tarel Pro CE", 12, 0}));
                 }});
    v.push_back({"no [QEVW win] section: printing option off",
                 "[QEV other]\r\nNOTES=A\r\n",
                 [](const ConfigValues& c) { EXPECT_FALSE(c.PrintSavingOption); },
                 {"PRINTER=P"}});
    v.push_back({"[QEVW win] without PRINTER=: printing option on, and it stays on",
                 Win({"WINDOWS=MAX"}),
                 [](const ConfigValues& c) {
                     EXPECT_TRUE(c.PrintSavingOption);
                     EXPECT_EQ(c.windowMode, WindowMode::Max);
                 },
                 {"WINDOWS=MAX"},
                 {"PRINTER=P"}});
    v.push_back({"[QEVW win] PRINTER=P: printing option off",
                 Win({"PRINTER=P"}) + "[QEV language]\r\nPRINTER=WIN\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_FALSE(c.PrintSavingOption);
                     EXPECT_EQ(c.printerCodePage, CodePageChoice::Win);
                 },
                 {"PRINTER=P", "PRINTER=WIN"}});
    v.push_back({"FILTER= holding a quote is written with another delimiter",
                 "[QEV language]\r\nFILTER=/a'b\"c/ignored\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.transliterationFilter, "a'b\"c"); },
                 {"FILTER=!a'b\"c!"}});
    v.push_back({"FILTER= without a closing delimiter runs to the end, cut to 128",
                 "[QEV language]\r\nFILTER=|" + std::string(200, 'x') + "\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.transliterationFilter, std::string(128, 'x')); }});
    v.push_back({"DRUG=+U with SIGN=KL becomes one pack",
                 "[QEV filter]\r\nDRUG=+U-V\r\n[QEV other]\r\nSIGN=KL\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.FilterFlags, 256 + 2);
                     EXPECT_EQ(c.SignListName, "");
                 },
                 {"DRUG=-V1", "SIGN="}});
    v.push_back({"DRUG=+U without SIGN=KL survives",
                 "[QEV filter]\r\nDRUG=+U\r\n[QEV other]\r\nSIGN=MOJE\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.FilterFlags, 512); },
                 {"DRUG=+U", "SIGN=MOJE"}});
    v.push_back({"SIGN=kl is cleared too", "[QEV other]\r\nSIGN=kl\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.SignListName, ""); }});
    v.push_back({"DRUG= markers are found anywhere",
                 "[QEV filter]\r\nDRUG=xx+Vyy-HOA\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.FilterFlags, 1 + 8 + 32 + 128); },
                 {"DRUG=+V-HOA"}});
    v.push_back({"COMP=, INGR=, BORDER= take exact values only",
                 "[QEV filter]\r\nCOMP=x-S\r\nINGR=AA\r\nBORDER=no\r\nUATC=A\r\nWHISPER=00\r\nBLICK=1\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.SynonymFilter, 0);
                     EXPECT_EQ(c.CompositionFilter, 0);
                     EXPECT_EQ(c.KeySelectOption, 128);
                     EXPECT_EQ(c.AtcFilter, 1);
                     EXPECT_EQ(c.SeptacOption, 1);
                     EXPECT_EQ(c.BlinkOff, 1);
                 },
                 {"UATC=A", "BLICK=1"},
                 {"INGR=", "BORDER=", "WHISPER="}});
    v.push_back({"STEXT= empty clears both bits",
                 "[QEV filter]\r\nSTEXT=\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.textSearchOptions, 0); },
                 {"STEXT="}});
    v.push_back({"bad hexadecimal keeps the default; an odd digit is ignored",
                 "[QEV paragr]\r\nKODEX=12G4\r\nCODEX=123\r\nFAVORS=4142x0\r\nSPC=" + std::string(200, 'A') +
                     "\r\nFSPC=0102\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.paragraphDefaults.first[0], "");
                     EXPECT_EQ(c.paragraphDefaults.first[1], "\x12");
                     EXPECT_EQ(c.paragraphDefaults.start, (std::array<uint8_t, 5>{}));
                     EXPECT_EQ(c.paragraphDefaults.first[5], std::string(80, '\xAA'));
                     EXPECT_EQ(*c.paragraphCurrent.Second('S'), std::string("\x01\x02"));
                 },
                 {"CODEX=12", "FSPC=0102"},
                 {"KODEX=", "FAVORS="}});
    v.push_back(
        {"FAVORS= short and long",
         "[QEV paragr]\r\nFAVORS=41424344454647\r\n",
         [](const ConfigValues& c) {
             EXPECT_EQ(c.paragraphDefaults.start, (std::array<uint8_t, 5>{0x41, 0x42, 0x43, 0x44, 0x45}));
         },
         {"FAVORS=4142434445"}});
    v.push_back({"PARAGR= overwrites the start of the flag array",
                 "[QEV filter]\r\nPARAGR='---'\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.ParagraphFlagArray().substr(0, 5), "---++");
                     EXPECT_EQ(c.ParagraphFlagArray().size(), 100u);
                 },
                 {"PARAGR='---'"}});
    v.push_back({"VZPCR= of all old letters reads empty",
                 "[QEV filter]\r\nVZPCR=BIHKLOTUXZQN\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.ReimbColumnLetters, ""); },
                 {"VZPCR="}});
    v.push_back({"VZPCR= without Uhr.Init is written as held",
                 "[QEV filter]\r\nVZPCR=ABCDEF\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.ReimbColumnLetters, "ABCDEF"); },
                 {"VZPCR=ABCDEF"}});
    v.push_back({"VZPCR= with most Init letters is written as the missing ones",
                 "[QEV filter]\r\nVZPCR=ABCDEF\r\n",
                 nullptr,
                 {"VZPCR=-GH"},
                 {},
                 false,
                 "ABCDEFGH"});
    v.push_back({"VZPCR= with all Init letters is written empty",
                 "[QEV filter]\r\nVZPCR=HGFEDCBA\r\n",
                 nullptr,
                 {"VZPCR="},
                 {},
                 false,
                 "ABCDEFGH"});
    v.push_back({"VZPCR= with few Init letters is written as held",
                 "[QEV filter]\r\nVZPCR=ABC\r\n",
                 nullptr,
                 {"VZPCR=ABC"},
                 {},
                 true,
                 "ABCDEFGH"});
    v.push_back({"VZPCR= not yet expanded is written as held",
                 "[QEV filter]\r\nVZPCR=-XY\r\n",
                 nullptr,
                 {"VZPCR=-XY"},
                 {},
                 true,
                 "ABCDEFGH"});
    v.push_back({"LANGUAGE= is cut to 3 and lower-cased; option l changes only this run",
                 "[QEV language]\r\nLANGUAGE=CESKY\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.configuredLanguage, "ces");
                     EXPECT_EQ(c.LanguageCode, "ang");
                     EXPECT_EQ(c.LanguageIndex, 1);
                 },
                 {"LANGUAGE=ces"},
                 {},
                 false,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.languageOption = "ANGLICKY";
                     return in;
                 }()});
    v.push_back({"LANGUAGE= not starting with a letter is ces; other codes are index 2",
                 "[QEV language]\r\nLANGUAGE=1ab\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.configuredLanguage, "ces");
                     EXPECT_EQ(c.LanguageCode, "deu");
                     EXPECT_EQ(c.LanguageIndex, 2);
                 },
                 {"LANGUAGE=ces"},
                 {},
                 false,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.languageOption = "deu";
                     return in;
                 }()});
    v.push_back({"an option l that names no language (\"/L=%\") keeps the configured one",
                 "[QEV language]\r\nLANGUAGE=ang\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.LanguageCode, "ang");
                     EXPECT_EQ(c.LanguageIndex, 1);
                 },
                 {"LANGUAGE=ang"},
                 {},
                 false,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.languageOption = "%";
                     return in;
                 }()});
    v.push_back({"code pages: unknown words keep the default",
                 "[QEV language]\r\nVIDEO=ok\r\nFILE=LATIN\r\nPRINTER=\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.videoCodePage, CodePageChoice::Ok);
                     EXPECT_EQ(c.fileCodePage, CodePageChoice::Latin);
                     EXPECT_EQ(c.printerCodePage, CodePageChoice::Ascii);
                 },
                 {"VIDEO=OK", "FILE=LATIN", "PRINTER=ASCII"}});
    v.push_back({"WINDOWS= outside the list keeps FREE",
                 Win({"WINDOWS=SCH9"}),
                 [](const ConfigValues& c) { EXPECT_EQ(c.windowMode, WindowMode::Free); },
                 {"WINDOWS=FREE"}});
    v.push_back({"SIZEPOS= bad items fall back one by one",
                 Win({"SIZEPOS=800, x ,,7"}),
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.mainWidth, 800);
                     EXPECT_EQ(c.mainHeight, 480);
                     EXPECT_EQ(c.mainLeft, 30);
                     EXPECT_EQ(c.mainTop, 7);
                     EXPECT_TRUE(c.keepMainWindow);
                 },
                 {"SIZEPOS=800,480,30,7"}});
    v.push_back({"TIPUSER= on only for Y; NEWWIN= bad is 0",
                 Win({"TIPUSER=y", "NEWWIN=3x", "TIPDATA=Y"}),
                 [](const ConfigValues& c) {
                     EXPECT_FALSE(c.tipUser);
                     EXPECT_TRUE(c.tipData);
                     EXPECT_EQ(c.newWindowOption, 0);
                 },
                 {"TIPUSER=N", "TIPDATA=Y"},
                 {"NEWWIN="}});
    v.push_back({"NOTES= is cut to 8; NOTEDIT= with QEV_NOTE is not written",
                 "[QEV other]\r\nNOTES=ABCDEFGHIJ\r\nNOTEDIT=D:\\QEV_NOTE.EXE\r\nLKP=x\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.NotesName, "ABCDEFGH");
                     EXPECT_EQ(c.notesEditor, "D:/QEV_NOTE.EXE");
                 },
                 {"NOTES=ABCDEFGH"},
                 {"NOTEDIT=", "LKP="},
                 false});
    v.push_back({"NOTEDIT= path in code page 1250 is a UTF-8 path",
                 "[QEV other]\r\nNOTEDIT=/opt/pozn\xE1mky\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.notesEditor, "/opt/pozn\xC3\xA1mky"); },
                 {"NOTEDIT=/opt/pozn\xE1mky"}});
    v.push_back({"ADDCOL= with any value selects the long set",
                 "[QEV vis]\r\nADDCOL=\r\n",
                 [](const ConfigValues& c) { EXPECT_TRUE(c.longDrugColumns); },
                 {"ADDCOL=3"}});
    v.push_back(
        {"news: BASE=Q is 3, dates cut to 10, ZLSIZE= to 11, bad VBASE= is 15",
         "[QEV news]\r\nBASE=Q\r\nUDATE=2024/01/02T10\r\nZLSIZE=1234567890123\r\nVBASE=x\r\nUBASE=\r\n",
         [](const ConfigValues& c) {
             EXPECT_EQ(c.NewsOption, '3');
             EXPECT_EQ(c.updateDate, "2024/01/02");
             EXPECT_EQ(c.zlpSize, "12345678901");
             EXPECT_EQ(c.AutoUpdateSetting, 15);
             EXPECT_EQ(c.updateBase, ' ');
         },
         {"BASE=3", "UDATE=2024/01/02", "ZLSIZE=12345678901"},
         {"VBASE=", "UBASE="}});
    v.push_back({"BASE=0 turns the news off",
                 "[QEV news]\r\nBASE=0\r\nVBASE=0\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.NewsOption, '0');
                     EXPECT_EQ(c.AutoUpdateSetting, 0);
                 },
                 {"BASE=0", "VBASE=0"}});
    v.push_back({"IFL= bit 3 is cleared; 0 is not written",
                 "[QEV news]\r\nIFL=8\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.ConnectionFlags, 0); },
                 {},
                 {"IFL="}});
    v.push_back({"IPP= scrambled under another installation reads empty",
                 "[QEV news]\r\nIFL=2\r\nIPP=9Tg2EZXHA8Y9_7OnDgf3XPFm4xOQGw\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.ProxyAddress, "");
                     EXPECT_EQ(c.ConnectionFlags, 2);
                 },
                 {"IFL=2"},
                 {"IPP="},
                 true,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.programFolder = "/srv/other/v1/";
                     return in;
                 }()});
    v.push_back({"IPP= of this installation, and an update into a new version folder keeps it",
                 "[QEV news]\r\nIPP=9Tg2EZXHA8Y9_7OnDgf3XPFm4xOQGw\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.ProxyAddress, "proxy.example:8080"); },
                 {"IFL=0", "IPP=9Tg2EZXHA8Y9_7OnDgf3XPFm4xOQGw"},
                 {"INN=", "INP="},
                 true,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.programFolder = "/opt/kalvo/v2/";
                     return in;
                 }()});
    v.push_back({"line ends: CR before LF dropped, BOM ignored, LF-only lines read",
                 "\xEF\xBB\xBF[QEV other]\r\nNOTES=A\r\r\nSIGN=B\nLKP=\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.NotesName, "A\r"); // only one CR belongs to the line end
                     EXPECT_EQ(c.SignListName, "B");
                 },
                 {},
                 {"\xEF\xBB\xBF"}});
    v.push_back({"headers are matched exactly",
                 "[QEV Other]\r\nNOTES=X\r\n[QEV other] \r\nNOTES=Y\r\n",
                 [](const ConfigValues& c) { EXPECT_EQ(c.NotesName, "NOTES"); },
                 {"[QEV Other]", "NOTES=X", "[QEV other] ", "NOTES=Y", "NOTES=NOTES"}});
    v.push_back({"keys are matched exactly and lines without = are ignored",
                 "[QEV other]\r\nnotes=X\r\nNOTES =Y\r\nNOTES\r\nSIGN=a=b\r\n",
                 [](const ConfigValues& c) {
                     EXPECT_EQ(c.NotesName, "NOTES");
                     EXPECT_EQ(c.SignListName, "a=b");
                 },
                 {"SIGN=a=b"},
                 {"notes=", "NOTES ="}});
    v.push_back({"QEVNOTES names the notes folder",
                 "",
                 [](const ConfigValues& c) { EXPECT_EQ(c.NotesFolder, "/home/u/notes/"); },
                 {},
                 {},
                 true,
                 std::nullopt,
                 [] {
                     auto in = TestInput();
                     in.environment = [](const char* n) {
                         return std::string(n) == "QEVNOTES" ? std::string("/home/u/notes") : std::string();
                     };
                     return in;
                 }()});
    return v;
}

} // namespace

TEST(ConfigValues, TableOfReadAndWriteRules)
{
    for (ValueCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        const ConfigValues values = ReadConfigText(c.text, c.input);
        if (c.check)
            c.check(values);
        ConfigWriteContext ctx;
        ctx.reimbInitLetters = c.reimbInit;
        ctx.scrambleKey = ScrambleKeyFor(c.input.executableName, c.input.programFolder);
        const std::string written = WriteConfigText(values, c.text, ctx);
        for (const std::string& line : c.written)
            EXPECT_TRUE(HasLine(written, line)) << line << "\n---\n" << written;
        for (const std::string& start : c.notWritten)
            EXPECT_FALSE(HasLineStart(written, start)) << start << "\n---\n" << written;
        if (c.stable) {
            // The default toolbar list is written empty and reads back as the
            // default list with "RMD"; every other value reads back as held.
            ConfigValues expected = values;
            if (expected.ToolbarSelection == ReadConfigText("", c.input).ToolbarSelection)
                expected.ToolbarSelection = "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-";
            const ConfigValues again = ReadConfigText(written, c.input);
            EXPECT_EQ(again, expected) << written;
            // From then on a save writes the same bytes.
            const std::string second = WriteConfigText(again, written, ctx);
            EXPECT_EQ(WriteConfigText(ReadConfigText(second, c.input), second, ctx), second);
        }
    }
}

TEST(ConfigValues, PasswordAloneWritesAllThreeProxyKeys)
{
    ConfigValues values = ReadConfigText("", TestInput());
    values.ProxyPassword = "secret";
    ConfigWriteContext ctx;
    ctx.scrambleKey = ScrambleKeyFor("qevw", "/opt/kalvo/v1/");
    const std::string written = WriteConfigText(values, "", ctx);
    EXPECT_TRUE(HasLine(written, "IFL=0"));
    EXPECT_TRUE(HasLine(written, "IPP="));
    EXPECT_TRUE(HasLine(written, "INN="));
    EXPECT_TRUE(HasLineStart(written, "INP="));
    EXPECT_EQ(ReadConfigText(written, TestInput()).ProxyPassword, "secret");
}

TEST(ConfigValues, MaximalDoseItems)
{
    QTemporaryDir dir;
    const std::string d = dir.path().toStdString();
    struct Case {
        const char* name;
        std::string chir;
        std::string jipka;
        std::string maximDir;
        bool on;
    };
    const Case cases[] = {
        {"prefix in an existing folder", "maxim=/bin/ed", "max=" + d + "/dose", d + "/dose", true},
        {"leading blanks removed, cut at the first blank", "maxim=x", "max=   " + d + "/dose rest",
         d + "/dose", true},
        {"backslashes count as slashes", "maxim=x", "max=" + d + "\\dose", d + "/dose", true},
        {"a folder ending in a slash is its own folder", "maxim=x", "max=" + d + "/", d + "/", true},
        {"cut at the next bar item", "maxim=x", "max=" + d + "/p\r\nphotos=/ph", d + "/p", true},
        {"missing folder", "maxim=x", "max=" + d + "/none/dose", d + "/none/dose", false},
        {"no editor item", "other=x", "max=" + d + "/dose", d + "/dose", false},
        {"no max item", "maxim=x", "maxi=" + d + "/dose", "", false},
        {"a prefix without folder", "maxim=x", "max=dose", "dose", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string text = "[.chir]\r\n" + c.chir + "\r\n[.jipka]\r\n" + c.jipka + "\r\n";
        const ConfigValues v = ReadConfigText(text, TestInput());
        EXPECT_EQ(v.MaximDir, c.maximDir);
        EXPECT_EQ(v.maximOn, c.on);
    }
}

TEST(ConfigValues, FreeItemLookup)
{
    bool found = true;
    EXPECT_EQ(FreeItemValue("|a=1|bb=2|c=", "bb"), "2");
    EXPECT_EQ(FreeItemValue("|a=1|bb=2|c=", "c", 99, &found), "");
    EXPECT_TRUE(found);
    EXPECT_EQ(FreeItemValue("|a=1", "b", 99, &found), "");
    EXPECT_FALSE(found);
    EXPECT_EQ(FreeItemValue("|a=" + std::string(150, 'x'), "a"), std::string(99, 'x'));
    EXPECT_EQ(FreeItemValue("|xa=1|a=2", "a"), "2");
}

TEST(ConfigValues, MalformedLinesLoadWithDefaults)
{
    std::string text = ReadBytes(Fixture("malformed.ini"));
    ASSERT_FALSE(text.empty());
    text += "[QEV other]\r\nSIGN=" + std::string(100 * 1024, 'S') + "\r\n";
    text += "[Foreign]\r\n" + std::string(100 * 1024, '\x01') + "\r\n";
    const ConfigValues c = ReadConfigText(text, TestInput());
    const ConfigValues d = ReadConfigText("", TestInput());
    EXPECT_EQ(c.configuredLanguage, "ces");
    EXPECT_EQ(c.videoCodePage, d.videoCodePage);
    EXPECT_EQ(c.transliterationFilter, "");
    EXPECT_EQ(c.TextTarget, -1);
    EXPECT_EQ(c.FilterFlags, 0);
    EXPECT_EQ(c.paragraphDefaults, d.paragraphDefaults);
    EXPECT_EQ(c.ColourTable, d.ColourTable);
    EXPECT_EQ(c.DialogFont, (ConfigFont{"Tarel Pro CE", 9, 0}));
    EXPECT_EQ(c.ListFont, (ConfigFont{"Tarel Pro CE", 9, 0}));
    EXPECT_EQ(c.mainWidth, 640);
    EXPECT_EQ(c.mainHeight, 480);
    EXPECT_EQ(c.mainLeft, 30);
    EXPECT_EQ(c.mainTop, 0);
    EXPECT_EQ(c.newWindowOption, 0);
    EXPECT_EQ(c.ToolbarSelection, "-dMA-dAK-dLL-dSP-DBA-CXD-DXC-sPW-sBE-sBW-RMR-RMD-SSI-");
    EXPECT_EQ(c.schemes.shiftRight[0], 2); // no valid placement line: the defaults
    EXPECT_EQ(c.AutoUpdateSetting, 15);
    EXPECT_EQ(c.ConnectionFlags, 0);
    EXPECT_EQ(c.ProxyAddress, "");
    EXPECT_EQ(c.SignListName.size(), 100u * 1024);
    // Everything the program does not own is carried whole.
    const std::string written = WriteConfigText(c, text, ConfigWriteContext{});
    EXPECT_NE(written.find("[unterminated\r\n\r\r\r\r\n"), std::string::npos);
    EXPECT_NE(written.find(std::string(100 * 1024, '\x01') + "\r\n"), std::string::npos);
    EXPECT_EQ(ReadConfigText(written, TestInput()).SignListName, c.SignListName);
}
