// CtrlText to HTML: the page's bytes for each code, the gate, the tabs and
// contents, highlighting, escaping and the guards that keep a page valid.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "viewers/ctrl_html.h"

namespace {

constexpr std::string_view kHead =
    "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
    "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1250\">\r\n"
    "</head>\r\n<body>\r\n";
constexpr std::string_view kTail = "</body>\r\n</html>\r\n";

class HtmlConvert : public ::testing::Test {
protected:
    static void SetUpTestSuite() { BuildKamTables(); }

    HtmlConversionInput in;

    HtmlConvert()
    {
        in.zkr1 = "0000000000111111111122222222223333333333";
        in.zkr2 = "0123456789012345678901234567890123456789";
        in.sectionTitle = [](int n) { return "Title " + std::to_string(n); };
        in.pictureBase = "https://pics/";
    }

    // The page between the body's opening and closing lines.
    std::string Body(const std::string& text)
    {
        page = CtrlTextToHtml(text, in);
        const std::string& b = page.bytes;
        EXPECT_EQ(b.compare(0, kHead.size(), kHead), 0) << b;
        EXPECT_GE(b.size(), kHead.size() + kTail.size());
        EXPECT_EQ(b.compare(b.size() - kTail.size(), kTail.size(), kTail), 0) << b;
        return b.substr(kHead.size(), b.size() - kHead.size() - kTail.size());
    }

    HtmlPage page;
};

// A writer that starts with the code 0 that opens the gate.
CtrlTextWriter Open()
{
    CtrlTextWriter w;
    w.Code(0);
    return w;
}

// Data code page bytes of a code page 1250 text.
std::string Kam(std::string_view win)
{
    std::string s(win);
    WinToKamS(s);
    return s;
}

} // namespace

TEST_F(HtmlConvert, CodesBecomeTheirElements)
{
    struct Case {
        const char* name;
        std::string text;
        std::string body;
    };
    const Case cases[] = {
        {"text before any heading, code 19 or code 0 stays hidden",
         CtrlTextWriter().Text("hidden").Code(0).Text("shown").Take(), "shown"},
        {"two zeros end the text", Open().Text("a").Code(0).Code(0).Text("b").Take(), "a"},
        {"code 0 closes what is open", Open().Code(14).Text("a").Code(0).Text("b").Take(), "<p>a</p>b"},
        {"plain paragraph; the end closes all without a line end",
         Open().Code(14).Text("x").Code(14).Text("y").Take(), "<p>x</p>\r\n<p>y</p>"},
        {"a paragraph closed before content is not written", Open().Code(14).Code(14).Text("x").Take(),
         "<p>x</p>"},
        {"styled paragraphs, blank entries and a style beyond 21",
         Open()
             .Code(18, {1})
             .Text("a")
             .Code(18, {4})
             .Text("b")
             .Code(18, {21})
             .Text("c")
             .Code(18, {30})
             .Text("d")
             .Take(),
         "<p class=\"nrm\">a</p>\r\n<p>b</p>\r\n<p class=\"vl1\">c</p>\r\n<p class=\"\">d</p>"},
        {"line break", Open().Text("a").Code(13).Text("b").Take(), "a<br />\r\nb"},
        {"inline styles open in order and close in reverse",
         Open().Code(20, {0x143}).Text("a").Code(20, {0x001}).Text("b").Code(20, {0}).Take(),
         "<strong><em><span class=\"color\"><samp>a</samp></span></em>b</strong>"},
        {"three and four blanks keep their width", Open().Text("a   b    c").Take(), "a &nbsp; b &nbsp;  c"},
        {"five blanks alternate", Open().Text("a     b").Take(), "a &nbsp; &nbsp; b"},
        {"markup characters are escaped", Open().Text("<a href=\"x\">&").Take(),
         "&lt;a href=&quot;x&quot;&gt;&amp;"},
        {"bulleted list", Open().Code(10).Code(1).Text("a").Code(2).Text("b").Code(5).Text("c").Take(),
         "<ul><li>a</li>\r\n<li>b</li></ul>\r\nc"},
        {"a list of numbered items has no ul; code 5 closes it with a bare line end",
         Open().Code(10).Code(21, {0x0103}).Text("a").Code(21, {0x0203}).Text("b").Code(5).Take(),
         "<div class=\"list1\"><span class=\"list1\">3.</span>a</div>\r\n"
         "<div class=\"list1\"><span class=\"list1\">C)</span>b</div>\r\n"},
        {"numbered labels by style and level",
         Open().Code(21, {0x0401}).Code(21, {0x0602}).Code(21, {0x0F41}).Code(21, {0x0B0C}).Take(),
         "<div class=\"list1\"><span class=\"list1\">a)</span></div>\r\n"
         "<div class=\"list2\"><span class=\"list2\">2.</span></div>\r\n"
         "<div class=\"list3\"><span class=\"list3\">2A.</span></div>\r\n"
         "<div class=\"list3\"><span class=\"list3\">12.</span></div>"},
        {"mail link: every run until code 7",
         Open().CodeString(26, "@").Text("a@b.cz").Code(20, {1}).Text("c@d.cz").Code(7).Text("e").Take(),
         "<a href=\"mailto:a@b.cz\">a@b.cz</a><strong><a href=\"mailto:c@d.cz\">c@d.cz</a>e</strong>"},
        {"web link gets https:// unless it has a scheme",
         Open()
             .CodeString(26, "/")
             .Text("www.x.cz")
             .Code(7)
             .CodeString(26, "/")
             .Text("http://y.cz")
             .Code(7)
             .Take(),
         "<a href=\"https://www.x.cz\">www.x.cz</a><a href=\"http://y.cz\">http://y.cz</a>"},
        {"link with a target, escaped", Open().CodeString(26, "A&B<\"").Text("t").Code(7).Text("u").Take(),
         "<a href=\"A&amp;B&lt;&quot;\">t</a>u"},
        {"a second link start closes the first",
         Open().CodeString(26, "X").Text("a").CodeString(26, "Y").Text("b").Code(7).Take(),
         "<a href=\"X\">a</a><a href=\"Y\">b</a>"},
        {"hint: the text becomes the title of a mark, escaped",
         Open().Text("a").Code(31, {1}).Text("x\"&<>").Code(31, {0}).Text("b").Take(),
         "a<span class=\"hint\" title=\"x&quot;&amp;&lt;&gt;\"> ?</span>b"},
        {"a hint without its closing code shows nothing",
         Open().Code(31, {1}).Text("x").Code(14).Text("b").Take(), "<p>b</p>"},
        {"code 12 with text after it starts a plain paragraph, else nothing",
         Open().Code(18, {10}).Text("1. H").Code(12).Text("body").Code(12).Code(14).Take(),
         "<h3><a name=\"1\">1. H</a></h3>\r\n<p>body</p>\r\n"},
        {"codes without an action write nothing",
         Open()
             .Text("a")
             .Code(8)
             .Code(9)
             .Code(15)
             .Code(16, {1, 2})
             .Code(27, {3})
             .CodeString(28, "NOTE")
             .Text("b")
             .Take(),
         "ab"},
        {"picture: folder, record name, lower-cased name with a quote as ~",
         Open().CodeString(25, "\"OBR 1", {0x864, 50}).Take(),
         "<p><img src=\"https://pics/A/Abcd~obr%201.png\" loading=\"lazy\" width=100 height=50 /></p>\r\n"},
        {"a picture name that leaves its folder gives no picture",
         Open().CodeString(25, "../X", {10, 10}).Text("a").Take(), "a"},
        {"a picture name with markup characters is escaped", Open().CodeString(25, "A&<B", {10, 10}).Take(),
         "<p><img src=\"https://pics/A/Abcda%26%3Cb.png\" loading=\"lazy\" width=10 height=10 /></p>\r\n"},
        {"a picture closes an open paragraph", Open().Code(14).Text("a").CodeString(25, "P", {1, 1}).Take(),
         "<p>a</p>\r\n<p><img src=\"https://pics/A/Abcdp.png\" loading=\"lazy\" width=1 height=1 /></p>\r\n"},
    };
    in.recordName = "Abcd";
    for (const Case& c : cases)
        EXPECT_EQ(Body(c.text), c.body) << c.name;
}

TEST_F(HtmlConvert, Tables)
{
    struct Case {
        const char* name;
        std::string text;
        std::string body;
        std::vector<std::vector<int>> columns;
    };
    const Case cases[] = {
        {"widths 57 and 199 in percent",
         Open().Code(24, {0, 0, 57, 199}).Code(11).Text("a").Code(6).Text("b").Code(4).Take(),
         "<table>\r\n<col width=\"22%\" />\r\n<col width=\"77%\" />\r\n"
         "<tr><td valign=\"top\">a</td>\r\n<td valign=\"top\">b</td></tr></table>\r\n",
         {{22, 77}}},
        {"widths summing to 0 write no col; no widths neither",
         Open().Code(24, {0, 0, 0, 0}).Code(11).Code(4).Code(24, {0, 0}).Code(11).Code(4).Take(),
         "<table>\r\n<tr><td valign=\"top\"></td></tr></table>\r\n"
         "<table>\r\n<tr><td valign=\"top\"></td></tr></table>\r\n",
         {{}, {}}},
        {"header rows and columns take D1, the body D2 with its font",
         Open()
             .Code(24, {0x0A9, 0x291})
             .Code(11)
             .Text("h")
             .Code(6)
             .Text("h")
             .Code(11)
             .Text("c")
             .Code(6)
             .Text("d")
             .Code(4)
             .Take(),
         "<table class=\"tab\">\r\n"
         "<tr><td class=\"pra tab\" valign=\"middle\">h</td>\r\n<td class=\"pra tab\" "
         "valign=\"middle\">h</td></tr>\r\n"
         "<tr><td class=\"pra tab\" valign=\"middle\">c</td>\r\n<td class=\"str tab\" "
         "valign=\"middle\"><strong>d</strong></td></tr></table>\r\n",
         {{}}},
        {"explicit attributes: span, class, valign, font; span 15 counts as 1",
         Open()
             .Code(24, {0, 0})
             .Code(22, {0x183})
             .Text("a")
             .Code(23, {0x57F})
             .Text("b")
             .Code(23, {0x05F})
             .Code(4)
             .Take(),
         "<table>\r\n<tr><td colspan=\"3\">a</td>\r\n<td class=\"hla\" valign=\"bottom\"><em>b</em></td>\r\n"
         "<td class=\"leo\" valign=\"top\"></td></tr></table>\r\n",
         {{}}},
        {"a table closes an open paragraph first",
         Open().Code(14).Text("p").Code(24, {0, 0}).Code(11).Text("a").Code(4).Take(),
         "<p>p</p>\r\n<table>\r\n<tr><td valign=\"top\">a</td></tr></table>\r\n",
         {{}}},
        {"row and cell codes without a table write nothing",
         Open().Code(11).Code(6).Code(22, {1}).Code(23, {1}).Text("a").Take(),
         "a",
         {}},
        {"a cell code before any row opens one",
         Open().Code(24, {0, 0}).Code(6).Text("a").Code(4).Take(),
         "<table>\r\n<tr><td valign=\"top\">a</td></tr></table>\r\n",
         {{}}},
        {"text between a table and its first row opens a row and a cell",
         Open().Code(24, {0, 0}).Text("a").Code(11).Text("b").Code(4).Take(),
         "<table>\r\n<tr><td valign=\"top\">a</td></tr>\r\n<tr><td valign=\"top\">b</td></tr></table>\r\n",
         {{}}},
        {"ruled table: the first row's breaks are rules",
         Open().Code(24, {160, 145}).Code(11).Text("a").Code(13).Code(11).Text("b").Code(13).Code(4).Take(),
         "<table>\r\n<tr><td class=\"pra\" valign=\"middle\">a<hr />\r\n</td></tr>\r\n"
         "<tr><td class=\"pra\" valign=\"middle\">b<br />\r\n</td></tr></table>\r\n",
         {{}}},
        {"code 4 without a table only closes what is open",
         Open().Code(14).Text("a").Code(4).Text("b").Take(),
         "<p>a</p>b",
         {}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Body(c.text), c.body) << c.name;
        EXPECT_EQ(page.tableColumns, c.columns) << c.name;
    }
}

TEST_F(HtmlConvert, AFullStackDropsThePushAndItsOpening)
{
    CtrlTextWriter w = Open();
    for (int i = 0; i < 40; ++i)
        w.Code(10); // an unwrapped list each: 40 entries, nothing written
    w.Code(14).Text("x").Code(1).Text("y");
    EXPECT_EQ(Body(w.Take()), "xy");
}

TEST_F(HtmlConvert, SearchTermsHighlightShownTextOnly)
{
    struct Case {
        const char* name;
        std::array<std::string, 5> terms;
        std::string text;
        std::string body;
    };
    const Case cases[] = {
        {"a term matches shown text, not entities",
         {"AMP"},
         "a&b amp",
         "a&amp;b <span class=\"color\">amp</span>"},
        {"a later term does not match an earlier span's tag",
         {"x", "SPAN"},
         "x span",
         "<span class=\"color\">x</span> <span class=\"color\">span</span>"},
        {"overlapping terms: the later one takes its next free match",
         {"ABC", "BCD"},
         "abcd bcd",
         "<span class=\"color\">abc</span>d <span class=\"color\">bcd</span>"},
        {"a term with < matches", {"A<B"}, "x a<b", "x <span class=\"color\">a&lt;b</span>"},
        {"a span never splits a hard blank",
         {"A B"},
         "a   b a b",
         "a &nbsp; b <span class=\"color\">a b</span>"},
        {"letters compare by capitals with diacritics kept",
         {"\xC8\xC1ST", "CAST"},
         Kam("\xE8\xE1st cast"),
         "<span class=\"color\">\xE8\xE1st</span> <span class=\"color\">cast</span>"},
        {"only the first match of a term", {"A"}, "a a", "<span class=\"color\">a</span> a"},
    };
    for (const Case& c : cases) {
        in.searchTerms = c.terms;
        EXPECT_EQ(Body(Open().Text(c.text).Take()), c.body) << c.name;
    }
    in.searchTerms = {"CZ"};
    EXPECT_EQ(Body(Open().CodeString(26, "@").Text("a@b.cz").Code(7).Take()),
              "<a href=\"mailto:a@b.cz\">a@b.<span class=\"color\">cz</span></a>")
        << "the link target keeps the plain run";
}

TEST_F(HtmlConvert, SectionParagraphsOfArticles)
{
    in.kind = 'K';
    in.sectionTitle = [](int n) { return n == 12 ? std::string("A & <B> \"C\"") : "T" + std::to_string(n); };
    const std::string text = CtrlTextWriter()
                                 .Text("before")
                                 .Code(19, {3})
                                 .Text("three")
                                 .Code(19, {112})
                                 .Text("twelve")
                                 .Code(19, {13})
                                 .Text("thirteen")
                                 .Code(19, {10})
                                 .Text("ten")
                                 .Take();
    in.filter.visibility = std::string(13, '+') + "-";
    EXPECT_EQ(Body(text), "<p class=\"pra\">three</p>\r\n"
                          "<p><acronym class=\"kodex\" title=\"A &amp; &lt;B&gt; &quot;C&quot;\"><a "
                          "name=\"12\">12:</a></acronym>\r\n"
                          "twelve</p>\r\n"
                          "<p class=\"n10\">ten</p>");
    ASSERT_EQ(page.tabs.size(), 1u) << "section 13 is hidden by the visibility table";
    EXPECT_EQ(page.tabs[0].label, "12");
    EXPECT_EQ(page.tabs[0].anchor, "12");

    // A selection of 3 and 13, inverted: 12 and 10 show.
    in.filter.visibility.clear();
    in.filter.showAll = false;
    in.filter.selection = {'\x03', '\x13'};
    in.filter.invert = true;
    in.requestedTextSection = 10;
    const std::string body = Body(text);
    EXPECT_EQ(body.find("three"), std::string::npos);
    EXPECT_EQ(body.find("thirteen"), std::string::npos);
    EXPECT_NE(body.find("twelve"), std::string::npos);
    EXPECT_NE(body.find("ten"), std::string::npos);
    EXPECT_EQ(page.firstTab, 1) << "section 10 comes after the one tab of 12";

    // Numbered headings: section 0 and 12 up write a bare paragraph.
    in.spcLayout = true;
    in.filter.showAll = true;
    EXPECT_EQ(Body(CtrlTextWriter().Code(19, {0}).Text("a").Take()), "<p>a</p>");
    EXPECT_TRUE(page.tabs.empty());
}

TEST_F(HtmlConvert, HeadingsOfProductCharacteristics)
{
    in.kind = 'S';
    in.spcLayout = true;
    const auto h = [](CtrlTextWriter& w, int style, std::string_view label) -> CtrlTextWriter& {
        return w.Code(18, {style}).Text(label);
    };
    CtrlTextWriter w;
    h(w, 8, "Title").Code(14).Text("intro");
    h(w, 9, "Part A").Code(14).Text("a");
    h(w, 9, "Part B").Code(14).Text("b");
    h(w, 10, "4.4 Warnings").Code(14).Text("warn");
    h(w, 11, "4.5 Interactions").Code(14).Text("inter");
    h(w, 10, "5. Other").Code(14).Text("other");
    h(w, 10, "Unlabelled").Code(14).Text("none");
    const std::string text = w.Take();

    in.filter.requestedSection = 0x50; // "5."
    std::string body = Body(text);
    EXPECT_NE(body.find("<h1>Title</h1>"), std::string::npos) << "show-all opens the gate at h1";
    EXPECT_EQ(body.find("<h3><a name=\"2\">4.4 Warnings</a></h3>\r\n"), body.find("<h3>"))
        << "the first h2 has no anchor, the second has 1";
    EXPECT_NE(body.find("<h4><a name=\"3\">4.5 Interactions</a></h4>"), std::string::npos);
    ASSERT_EQ(page.tabs.size(), 3u);
    EXPECT_EQ(page.tabs[0].label, "4.4");
    EXPECT_EQ(page.tabs[0].anchor, "2");
    EXPECT_EQ(page.tabs[2].label, "5.");
    EXPECT_EQ(page.firstTab, 2) << "\"5.\" is section 5";
    ASSERT_EQ(page.contents.size(), 5u);
    EXPECT_EQ(page.contents[0].label, "Part B");
    EXPECT_EQ(page.contents[0].anchor, "1");
    EXPECT_EQ(page.contents[2].label, "     4.5 Interactions");
    EXPECT_EQ(page.contents[4].anchor, "5");

    // Only 4.5 selected: 4.4 is hidden but keeps its anchor number, so the
    // tab of 4.5 names anchor 3.
    in.filter.showAll = false;
    in.filter.selection = {'\x45'};
    body = Body(text);
    EXPECT_EQ(body.find("warn"), std::string::npos);
    EXPECT_EQ(body.find("other"), std::string::npos);
    EXPECT_EQ(body.find("none"), std::string::npos) << "a heading without a label has no section";
    EXPECT_NE(body.find("inter"), std::string::npos);
    EXPECT_EQ(body.find("Title"), std::string::npos) << "h1 opens the gate only with show-all";
    ASSERT_EQ(page.tabs.size(), 1u);
    EXPECT_EQ(page.tabs[0].label, "4.5");
    EXPECT_EQ(page.tabs[0].anchor, "3");
    EXPECT_EQ(page.firstTab, 0);

    // Inverted: everything but 4.5 and the unlabelled heading's text shows.
    in.filter.invert = true;
    body = Body(text);
    EXPECT_NE(body.find("warn"), std::string::npos);
    EXPECT_EQ(body.find("inter"), std::string::npos);
    EXPECT_NE(body.find("none"), std::string::npos);

    in.filter.showAll = true;
    in.filter.invert = false;
    // Another program's paragraph request selects its heading's tab.
    in.filter.requestedSection = kNoRequestedSection;
    in.requestedParagraph = 0x45;
    Body(text);
    EXPECT_EQ(page.firstTab, 1);
}

TEST_F(HtmlConvert, RecordTextTabsKeepTheCallersList)
{
    in.kind = 'M';
    in.spcLayout = true;
    in.presetTabs = {{"Ob", "1"}, {"Re", "2"}};
    const std::string body =
        Body(CtrlTextWriter().Code(18, {11}).Text("General").Code(18, {11}).Text("Register").Take());
    EXPECT_EQ(body, "<h4><a name=\"1\">General</a></h4>\r\n<h4><a name=\"2\">Register</a></h4>");
    ASSERT_EQ(page.tabs.size(), 2u);
    EXPECT_EQ(page.tabs[1].label, "Re");
    EXPECT_EQ(page.contents.size(), 2u);
}

TEST_F(HtmlConvert, StyleBlockAndBodyFont)
{
    const std::string css = (std::filesystem::temp_directory_path() / "qevw_html_test.css").string();
    {
        std::ofstream f(css, std::ios::binary);
        f << "p { margin: 0 }\nbody { margin: 2px; font-family: X; }\r\n.a { color: red }";
    }
    in.styleFiles = {css};
    in.fontName = "Tarel Pro CE";
    in.fontSize = 12;
    HtmlPage p = CtrlTextToHtml("", in);
    EXPECT_NE(p.bytes.find("<style type=\"text/css\">\r\np { margin: 0 }\r\n"
                           "body { margin: 2px; font-family: Arial; font-size: 100%; }\r\n"
                           ".a { color: red }\r\n</style>\r\n</head>"),
              std::string::npos)
        << p.bytes;
    in.fontName = "DejaVu Sans";
    in.fontSize = 10;
    p = CtrlTextToHtml("", in);
    EXPECT_NE(p.bytes.find("font-family: DejaVu Sans; font-size: 83%; }"), std::string::npos);
    std::filesystem::remove(css);
    p = CtrlTextToHtml("", in);
    EXPECT_EQ(p.bytes.find("<style"), std::string::npos) << "no file, no style element";
}

// The viewer's base sheet and the kind's sheet make one style element, in
// that order, each line ended once; a sheet that cannot be read is left out.
TEST_F(HtmlConvert, StyleSheetsJoined)
{
    const auto dir = std::filesystem::temp_directory_path();
    const std::string base = (dir / "qevw_html_base.css").string();
    const std::string kind = (dir / "qevw_html_kind.css").string();
    std::ofstream(base, std::ios::binary) << "body { margin: 4px; }\np { margin: 0 }"; // no final newline
    std::ofstream(kind, std::ios::binary) << "h4 { color: red }\r\n";
    in.styleFiles = {base, (dir / "qevw_html_none.css").string(), kind};
    const HtmlPage p = CtrlTextToHtml("", in);
    EXPECT_NE(p.bytes.find("<style type=\"text/css\">\r\nbody { margin: 4px; }\r\np { margin: 0 }\r\n"
                           "h4 { color: red }\r\n</style>\r\n"),
              std::string::npos)
        << p.bytes;
    std::filesystem::remove(base);
    std::filesystem::remove(kind);
}

TEST(HtmlEscape, RunsAndAttributes)
{
    BuildKamTables();
    EXPECT_EQ(EscapeHtml("a\x7F b"), "a&nbsp; b");
    EXPECT_EQ(EscapeHtml("  "), "  ");
    EXPECT_EQ(EscapeHtml(Kam("\x9E\xE1k")), "\x9E\xE1k");
    std::string out;
    AppendHtmlEscaped(out, std::string("a\x01\"b\x81", 5));
    EXPECT_EQ(out, "a?&quot;b?");
}

TEST(HtmlMedia, BasesOfPicturesAndPhotos)
{
    EXPECT_EQ(PictureBaseOf('L', "!! Verze.picts", "/d/"),
              std::string("https://") + std::string(kDefaultMediaHost) + "/files/pictures/LET_PICT/");
    EXPECT_EQ(PictureBaseOf('I', "https://x/p/", "/d/"), "https://x/p/SPC_PICT/");
    EXPECT_EQ(PictureBaseOf('K', "pictures/", "/data"), "file:///data/pictures/");
    EXPECT_EQ(MediaBase("photos", "/data/", "/files/photos/"), "file:///data/photos/");
}
