// Pages a browser parses without one error: html5lib's strict parser over
// 10,000 seeded random texts (and, in the document tests, every demo page).

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "datastore/db_table.h"
#include "datastore/drug_helpers.h"
#include "datastore/kamenici.h"
#include "datastore/text_table.h"
#include "lists/drugs/list_text_helpers.h"
#include "tests/viewers/html_check.h"
#include "tests/viewers/html_random_pages.h"
#include "viewers/viewer_page.h"

TEST(HtmlValidity, RandomTextsGiveValidPages)
{
    BuildKamTables();
    const std::filesystem::path dir = html_check::FreshFolder("random");
    std::mt19937 rng(20240611);
    for (int i = 0; i < 10000; ++i) {
        const std::string text = html_random::RandomCtrlText(rng);
        const HtmlConversionInput in = html_random::RandomInput(rng);
        const HtmlPage page = CtrlTextToHtml(text, in);
        std::ofstream f(dir / ("p" + std::to_string(i) + ".html"), std::ios::binary);
        f << page.bytes;
    }
    html_check::ExpectValid(dir);
}

namespace {

// Every record of a demo table, through the viewer's page preparation, for
// each kind: the pages go to `dir`; returns how many were written.
int WriteDemoPages(const std::filesystem::path& dir, const char* table, uint16_t length, LinkKind linkKind,
                   std::string_view kinds)
{
    TDbTable t;
    OpenTable(t, TFileId(table), TFileId(""), length);
    EXPECT_EQ(DbStatus, 0) << table;
    int written = 0;
    for (int32_t r = 1; r < t.dat.count; ++r) {
        std::string record;
        ReadRecord(t.dat, r, record);
        for (char kind : kinds) {
            ViewerPageInput in;
            in.kind = kind;
            in.linkKind = linkKind;
            in.record = record;
            in.recordNumber = r;
            in.dataFolder = DataDir();
            in.programFolder = std::string(QEVW_PROGRAM_DIR) + "/";
            in.online = true;
            in.searchTerms = {"A", "<", "&"};
            if (kind == 'S' && r % 2) {
                in.filter.showAll = false;
                in.filter.selection = {'\x45', '\x42'};
            }
            const ViewerPageOutput out = PrepareViewerPage(in);
            if (out.missing)
                continue;
            std::ofstream f(dir / (std::string(table) + "_" + std::to_string(r) + "_" + kind + ".html"),
                            std::ios::binary);
            f << out.page.bytes;
            ++written;
        }
    }
    return written;
}

} // namespace

TEST(HtmlValidity, EveryDemoPageIsValid)
{
    BuildKamTables();
    const std::string data = std::string(QEVW_DEMO_DATA_DIR) + "/";
    SetDataDir(data);
    ASSERT_GE(LoadTextTable(DataTexts, data + "kalvo.ces"), TextTableResult::FirstSuccess);
    ASSERT_GE(LoadTextTable(UiTexts, std::string(QEVW_PROGRAM_DIR) + "/qevw.ces"),
              TextTableResult::FirstSuccess);
    LoadCodeTables(DataSetCode::Drugs, 0);
    LoadDeviceMarkLetter();
    const std::filesystem::path dir = html_check::FreshFolder("demo");
    int pages = WriteDemoPages(dir, "kl", 346, LinkKind::Drug, "ABEIKLMPSX");
    pages += WriteDemoPages(dir, "pfa", 246, LinkKind::Goods, "QR");
    pages += WriteDemoPages(dir, "pzt", 290, LinkKind::Device, "1T");
    EXPECT_GT(pages, 500);
    html_check::ExpectValid(dir);
}
