// doc_page: the page the HTML viewer would load for a product.
//
//   doc_page [-d DATA] [-p PROGRAM] [--show-all] KIND CODE
//   doc_page [-p PROGRAM] --text FILE [KIND]
//
// KIND is the viewer's document letter ("K", "S", "L", "M", "R", "T" ...);
// CODE the product code (7 digits for drugs and devices, 5 for goods).
// DATA is the data folder (default: the current folder), PROGRAM the folder
// of the program's texts and style sheets (default: DATA/../program when it
// exists, else DATA).  The page (code page 1250) goes to standard output;
// the tabs (label -> anchor), the first tab and the contents go to standard
// error, or the notice when the product has no such document.  --text
// converts a raw CtrlText file (data code page) with the kind's defaults.
//
// Exit code: 0 a page, 1 no page (no product, no document), 2 wrong
// arguments.

#include <cstdio>
#include <string>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/commands/document_kinds.h"
#include "lists/drugs/list_text_helpers.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "viewers/ctrl_html.h"
#include "viewers/viewer_page.h"

#include "tool_folders.h"

namespace {

int Usage()
{
    std::fprintf(stderr, "usage: doc_page [-d DATA] [-p PROGRAM] [--show-all] KIND CODE\n"
                         "       doc_page [-p PROGRAM] --text FILE [KIND]\n");
    return 2;
}

void PrintSide(const HtmlPage& page)
{
    for (const HtmlTab& t : page.tabs)
        std::fprintf(stderr, "tab %s -> #%s\n", Cp1250ToUtf8(t.label).c_str(),
                     Cp1250ToUtf8(t.anchor).c_str());
    std::fprintf(stderr, "first tab %d\n", page.firstTab);
    for (const HtmlContentsEntry& e : page.contents)
        std::fprintf(stderr, "contents %s -> #%s\n", Cp1250ToUtf8(e.label).c_str(), e.anchor.c_str());
}

void WritePage(const HtmlPage& page)
{
    std::fwrite(page.bytes.data(), 1, page.bytes.size(), stdout);
}

// The main table of a kind: drugs, goods or devices.
struct KindTable {
    const char* dat;
    const char* index;
    uint16_t length;
    LinkKind linkKind;
};

KindTable TableOfKind(char kind)
{
    switch (DocumentKindOf(kind).link) {
    case LinkKind::Goods: return {"pfa", "pfakod", kPfaLayout.Length(), LinkKind::Goods};
    case LinkKind::Device: return {"pzt", "pztkod", kPztLayout.Length(), LinkKind::Device};
    default: return {"kl", "klkod", kKlLayout.Length(), LinkKind::Drug};
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = ".";
    std::string program;
    std::string textFile;
    std::string kind;
    std::string code;
    bool showAll = false;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        if (a == "--text") {
            if (!args.Value(textFile))
                return Usage();
        } else if (a == "--show-all") {
            showAll = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else if (kind.empty()) {
            kind = a;
        } else if (code.empty()) {
            code = a;
        } else {
            return Usage();
        }
    }
    if (args.Failed())
        return Usage();
    if (kind.size() > 1)
        return Usage();
    data = WithTrailingSlash(data);
    if (program.empty())
        program = FolderExists(data + "../program") ? data + "../program" : data;
    program = WithTrailingSlash(program);
    BuildKamTables();
    SetDataDir(data);
    LoadTextTable(DataTexts, data + "kalvo.ces");
    LoadTextTable(UiTexts, program + "qevw.ces");

    if (!textFile.empty()) {
        std::string text;
        if (int r = ReadWholeFile(textFile, text)) {
            std::fprintf(stderr, "doc_page: cannot read %s (I/O result %d)\n", textFile.c_str(), r);
            return 1;
        }
        HtmlConversionInput in;
        in.kind = kind.empty() ? 'K' : kind[0];
        in.styleFiles = {program + "viewer.css", program + "kodex.css"};
        in.zkr1 = LookupText(UiTexts, "Prohlizec", "Zkr1");
        in.zkr2 = LookupText(UiTexts, "Prohlizec", "Zkr2");
        const HtmlPage page = CtrlTextToHtml(text, in);
        WritePage(page);
        PrintSide(page);
        return 0;
    }
    if (kind.empty() || code.empty())
        return Usage();

    const KindTable table = TableOfKind(kind[0]);
    LoadCodeTables(table.linkKind == LinkKind::Goods    ? DataSetCode::Goods
                   : table.linkKind == LinkKind::Device ? DataSetCode::Devices
                                                        : DataSetCode::Drugs,
                   0);
    LoadDeviceMarkLetter();
    TDbTable t;
    OpenTable(t, TFileId(table.dat), TFileId(table.index), table.length);
    if (DbStatus != 0) {
        std::fprintf(stderr, "doc_page: cannot open %s in %s (%d)\n", table.dat, data.c_str(), DbStatus);
        return 1;
    }
    std::string record;
    FindRecord(t, code, record);
    if (DbStatus != 0 || record.compare(0, code.size(), code) != 0) {
        std::fprintf(stderr, "doc_page: no product %s in %s\n", code.c_str(), table.dat);
        return 1;
    }

    ViewerPageInput in;
    in.kind = kind[0];
    in.linkKind = table.linkKind;
    in.record = record;
    in.recordNumber = t.recNo;
    in.dataFolder = data;
    in.programFolder = program;
    const bool interactions = DocumentKindOf(in.kind).filter == InitialFilter::Interactions;
    in.filter.showAll = showAll || !interactions;
    if (interactions)
        in.filter.selection = kArticleInteractionSections;
    in.online = true;
    const ViewerPageOutput out = PrepareViewerPage(in);
    if (!out.errorMessage.empty())
        std::fprintf(stderr, "error box: %s\n", Cp1250ToUtf8(KamToWin(out.errorMessage)).c_str());
    if (out.missing) {
        std::fprintf(stderr, "notice: %s\n",
                     out.noticeKey.empty()
                         ? "(none)"
                         : Cp1250ToUtf8(KamToWin(LookupText(UiTexts, "Prohlizec", out.noticeKey))).c_str());
        return 1;
    }
    WritePage(out.page);
    std::fprintf(stderr, "title %s\n", Cp1250ToUtf8(KamToWin(out.titleSuffix)).c_str());
    PrintSide(out.page);
    return 0;
}
