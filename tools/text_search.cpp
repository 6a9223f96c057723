// The full-text search of the product texts from the command line.
//
//   text_search [-d DATA] [-p PROGRAM] [--target k|E|L|S|r] [--filter HEX[+|-]]
//               [--workers N] WORD...
//   text_search [-d DATA] [-p PROGRAM] --dialog
//
// Prints the count of each word, the sample lines as the dialog shows them,
// any messages, and the records found: record number, code, name and the
// words found.  --filter takes paragraph codes as hexadecimal pairs ("04"
// summary paragraph 4, "45" SPC section 4.5) and "+" (only these, the
// default) or "-" (all but these).  --dialog opens the search dialog and
// prints what its OK returned.

#include <QApplication>
#include <cstdio>
#include <string>
#include <vector>

#include "datastore/db_table.h"
#include "datastore/hex_base64.h"
#include "datastore/kamenici.h"
#include "datastore/table_layouts.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "lists/dialogs/text_search_dialog.h"
#include "lists/search/text_search_engine.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "tool_folders.h"

namespace {

int Usage()
{
    std::fprintf(stderr,
                 "usage: text_search [-d DATA] [-p PROGRAM] [--target k|E|L|S|r] [--filter HEX[+|-]]\n"
                 "                   [--workers N] WORD...\n"
                 "       text_search [-d DATA] [-p PROGRAM] --dialog\n");
    return 2;
}

std::string Utf8(std::string_view kam)
{
    return Cp1250ToUtf8(KamToWin(kam));
}

void PrintRecords(const std::string& data, const text_search::TextSource& source,
                  const std::vector<uint32_t>& entries, const text_search::SearchWords& words)
{
    TDbTable table;
    OpenTableIn(table, data, TFileId(source.table), TFileId(), source.recordLength);
    const FieldPos code = source.drugs ? kDrugCode : kGoodsCode;
    const FieldPos name = source.drugs ? kDrugName : kGoodsName;
    std::printf("records: %zu\n", entries.size());
    std::string buf;
    for (uint32_t e : entries) {
        const int32_t rec = text_search::ResultRecord(e);
        ReadRecord(table.dat, rec, buf);
        std::string found;
        for (int w = 0; w < words.count; ++w)
            if (text_search::ResultWords(e) & (1 << w))
                found += (found.empty() ? "" : ",") + std::to_string(w + 1);
        std::printf("%6d  %s  %s  words %s\n", rec, std::string(FieldBytes(buf, code)).c_str(),
                    Utf8(GetFieldTrim(buf, name.start, name.length)).c_str(), found.c_str());
    }
}

} // namespace

int main(int argc, char** argv)
{
    std::string data = ".";
    std::string program;
    char letter = 'k';
    std::string filterText;
    int workers = 0;
    bool dialog = false;
    std::string typed;
    ToolArgs args(argc, argv, data, program);
    for (std::string a; args.Next(a);) {
        std::string value;
        if (a == "--target") {
            if (!args.Value(value) || value.size() != 1 || !text_search::FindTextSource(value[0]))
                return Usage();
            letter = value[0];
        } else if (a == "--filter") {
            if (!args.Value(filterText))
                return Usage();
        } else if (a == "--workers") {
            if (!args.Value(value))
                return Usage();
            workers = std::atoi(value.c_str());
        } else if (a == "--dialog") {
            dialog = true;
        } else if (!a.empty() && a[0] == '-') {
            return Usage();
        } else {
            std::string word;
            if (!Utf8ToCp1250(a, word)) {
                std::fprintf(stderr, "text_search: \"%s\" has a character without a code-page-1250 byte\n",
                             a.c_str());
                return 2;
            }
            typed += word + "\r";
        }
    }
    if (args.Failed())
        return Usage();
    if (!OpenToolFolders("text_search", data, program))
        return 1;

    if (dialog) {
        QApplication app(argc, argv);
        InstallMessageBoxes(true);
        InstallTextSearchChooser();
        TextSearchResult result;
        const int count = TTextSet::GetResult(result, letter == 'r');
        std::printf("returned %d\n", count);
        if (count > 0)
            PrintRecords(data, *text_search::FindTextSource(result.letter), result.entries, result.words);
        return 0;
    }

    const text_search::SearchWords words = text_search::ParseSearchWords(typed);
    if (words.count == 0)
        return Usage();
    const text_search::TextSource& source = *text_search::FindTextSource(letter);
    text_search::Options options;
    options.path = data + std::string(source.file) + ".dat";
    options.letter = letter;
    options.words = words;
    options.workers = workers;
    options.labels = text_search::ParagraphLabels(LookupText(UiTexts, "Prohlizec", "Zkr1"),
                                                  LookupText(UiTexts, "Prohlizec", "Zkr2"));
    if (!filterText.empty()) {
        char marker = '+';
        if (filterText.back() == '+' || filterText.back() == '-') {
            marker = filterText.back();
            filterText.pop_back();
        }
        std::string codes;
        if (!BytesOfHex(filterText, codes))
            return Usage();
        options.filter = text_search::ParagraphFilter::FromSelection(codes + marker);
    }

    text_search::Engine engine(options);
    if (int r = engine.Start()) {
        std::fprintf(stderr, "text_search: cannot open %s (I/O result %d)\n", options.path.c_str(), r);
        return 1;
    }
    engine.Wait();
    const text_search::Progress p = engine.Snapshot();
    for (int w = 0; w < words.count; ++w)
        std::printf("%4lldx  %s\n", static_cast<long long>(p.counts[static_cast<size_t>(w)]),
                    Utf8(words.word[static_cast<size_t>(w)]).c_str());
    std::printf("samples:\n");
    for (const std::string& s : p.samples)
        std::printf("  |%s\n", Utf8(s).c_str());
    for (const std::string& m : p.messages)
        std::printf("message: %s\n", m.c_str());
    if (p.tooManyHits)
        std::printf("message: %s\n", Utf8(LookupText(UiTexts, "Chyby", "TooMany")).c_str());

    TDbTable table;
    if (!text_search::OpenTextIndex(table, data, source)) {
        std::printf("message: %s\n", Utf8(LookupText(UiTexts, "Chyby", "NoData")).c_str());
        return 1;
    }
    std::function<bool(int32_t)> none;
    const text_search::MapResult mapped =
        text_search::MapHitsToRecords(table, source, engine.Hits(), engine.Plain(), none);
    if (mapped.tooMany)
        std::printf("message: %s\n", Utf8(LookupText(UiTexts, "Chyby", "TooMany")).c_str());
    PrintRecords(data, source, mapped.entries, words);
    return 0;
}
