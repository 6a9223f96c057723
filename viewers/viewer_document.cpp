#include "viewers/viewer_document.h"

#include <algorithm>

#include "datastore/hex_base64.h"
#include "datastore/kamenici.h"
#include "datastore/packed_text.h"
#include "frame/start/shared_helpers.h"
#include "platform/ascii.h"
#include "platform/coding.h"
#include "platform/fs.h"
#include "viewers/ctrl_html.h"

namespace {

bool IsArticleKind(char kind)
{
    return kind == 'A' || kind == 'B' || kind == 'K';
}

ViewerDocument IoFailure(ViewerDocument doc, int status)
{
    doc.result = ViewerDocument::Result::IoError;
    doc.ioStatus = status;
    doc.text.clear();
    return doc;
}

ViewerDocument ReadPlainDocument(ViewerDocument doc, int64_t offset)
{
    ReadOnlyFile file;
    if (int r = file.Open(doc.path))
        return IoFailure(std::move(doc), r);
    const int64_t size = file.Size();
    std::string raw;
    if (offset >= 0 && offset < size) {
        raw.resize(static_cast<size_t>(std::min<int64_t>(size - offset, kPlainDocumentLimit)));
        size_t got = 0;
        const int r = file.ReadAt(offset, raw.data(), raw.size(), &got);
        if (r != 0 && r != IoResult::ShortRead)
            return IoFailure(std::move(doc), r);
        raw.resize(got);
    }
    doc.text = PlainTextToCtrlText(raw);
    return doc;
}

} // namespace

ViewerDocument ReadViewerDocument(char kind, std::string_view fileName, int64_t offset,
                                  std::string_view dataFolder)
{
    ViewerDocument doc;
    std::string name(fileName);
    if (name.size() < 4 || AsciiLower(name.substr(name.size() - 4)) != ".dat")
        name.append(".dat");
    doc.path = ResolveInFolder(WithTrailingSlash(dataFolder), name);

    TPackedTextFile reader;
    if (!OpenPackedText(reader, doc.path)) {
        if (reader.status == PackedTextStatus::BadMagic)
            return ReadPlainDocument(std::move(doc), offset);
        return IoFailure(std::move(doc), reader.status);
    }

    PackedRecordHead head;
    std::string items;
    int r = ReadPackedHead(reader, offset, head, &items);
    if (r == 0 && head.marker != 0xFFFF)
        r = PackedTextStatus::BadRecord;
    if (r == PackedTextStatus::BadRecord) {
        doc.result = ViewerDocument::Result::Damaged;
        return doc;
    }
    if (r != 0)
        return IoFailure(std::move(doc), r);

    doc.items = head.itemCount;
    doc.spcLayout = (head.lengthFlags & 0x80) != 0 || (head.lengthFlags & 0x02) != 0;
    if (reader.headSize >= 14) {
        std::string key(reinterpret_cast<const char*>(head.kept.data()), head.kept.size());
        doc.recordName = Base64UrlEncode(key);
        while (!doc.recordName.empty() && doc.recordName.back() == '_')
            doc.recordName.pop_back();
    }
    for (size_t i = 0; i + reader.itemSize <= items.size(); i += reader.itemSize) {
        const auto* item = reinterpret_cast<const uint8_t*>(items.data() + i);
        if (item[0] == 'B' && DecodeLE16(item + 3) != 0) {
            doc.bValue = DecodeLE16(item + 3);
            break;
        }
    }
    if (IsArticleKind(kind) && doc.items < kArticleMinItems) {
        doc.result = ViewerDocument::Result::TooFewItems;
        return doc;
    }

    std::string data(head.dataLength, '\0');
    size_t got = 0;
    r = reader.file.ReadAt(head.dataOffset, data.data(), data.size(), &got);
    if (r != 0 && r != IoResult::ShortRead)
        return IoFailure(std::move(doc), r);
    data.resize(got);
    if (!reader.compressed) {
        doc.text = std::move(data);
        if (got < head.dataLength)
            doc.result = ViewerDocument::Result::Damaged;
        return doc;
    }
    if (head.dataLength > head.textLength + 1000) {
        doc.result = ViewerDocument::Result::Damaged;
        return doc;
    }
    if (UnpackRecordText(data, head.dataLength, head.textLength, doc.text, ProgramHuffTables(),
                         UnpackLengths::AnyWithinSlack) != 0)
        doc.result = ViewerDocument::Result::LengthMismatch;
    return doc;
}

std::string IoResultText(int status)
{
    switch (status) {
    case IoResult::NotFound: return "file not found";
    case IoResult::PathNotFound: return "path not found";
    case IoResult::TooManyOpen: return "too many open files";
    case IoResult::AccessDenied: return "access denied";
    case IoResult::SharingViolation: return "file in use";
    case IoResult::ShortRead: return "read past the end of the file";
    default: return "I/O error " + std::to_string(status);
    }
}

std::string PlainTextToCtrlText(std::string_view text)
{
    CtrlTextWriter w;
    std::string& out = w.Buffer();
    int previous = 0;
    int current = 0;
    bool lineStart = true;
    const auto isDigit = [](char c) { return c >= '0' && c <= '9'; };
    for (size_t i = 0; i < text.size() && text[i] != '\0'; ++i) {
        const char b = text[i];
        if (lineStart && isDigit(b)) {
            lineStart = false;
            current = (b - '0') * 10;
            if (i + 1 < text.size() && isDigit(text[i + 1]))
                current += text[++i] - '0';
            if (current == 11)
                current = 10;
            if (current != previous) {
                int v = current;
                if (previous > 0 && current > previous && current - previous < 41)
                    v = (current - previous) * 100 + current;
                if (v > 4095)
                    v = current; // it would not fit the 12-bit value
                w.Code(19, {v});
                previous = current;
            } else if (out.size() > 2) {
                if (out.back() == '#') {
                    out.back() = '\r';
                    if (out.size() >= 2 && out[out.size() - 2] == ' ')
                        out.erase(out.size() - 2, 1);
                } else {
                    out.push_back((current >= 1 && current <= 11) || current == 99 ? '\r' : ' ');
                }
            }
            continue;
        }
        if (static_cast<unsigned char>(b) < 32) {
            current = 0;
            lineStart = true;
            continue;
        }
        lineStart = false;
        out.push_back(b);
    }
    return w.Take();
}

std::string BuildPhotoPage(std::string_view code, bool online, std::string_view photoBase,
                           std::string_view noWebText)
{
    std::string page = "<!DOCTYPE html>\r\n<html>\r\n<head>\r\n"
                       "<meta http-equiv=\"content-type\" content=\"text/html; charset=windows-1250\">\r\n"
                       "</head>\r\n<body>\r\n";
    if (online) {
        page.append("<img src=\"");
        std::string url(photoBase);
        url.append(TrimBlanks(code));
        url.append(".png");
        AppendHtmlEscaped(page, url);
        page.append("\" width=\"98%\">\r\n");
    } else {
        page.append("<h3>");
        AppendHtmlEscaped(page, KamToWin(noWebText));
        page.append("</h3>\r\n");
    }
    page.append("</body>\r\n</html>\r\n");
    return page;
}

// --- Changes to a text ---------------------------------------------------------

namespace {

// The offset of the first code 19 with `value`, or -1.
int FindSection(std::string_view text, int value)
{
    CtrlTokenizer tok(text);
    CtrlItem item;
    while (tok.Next(item))
        if (item.IsCode(19) && CtrlPairValue(text, item, 0) == value)
            return item.offset;
    return -1;
}

} // namespace

bool HasSection(std::string_view text, int value)
{
    return FindSection(text, value) >= 0;
}

void InsertBeforeSection(std::string& text, int value, int fallback, std::string_view insertion)
{
    int at = FindSection(text, value);
    if (at < 0 && fallback >= 0)
        at = FindSection(text, fallback);
    if (at < 0) {
        // At the end, before the code 0 that closes the text.
        at = static_cast<int>(CtrlTextUpToEnd(text).size());
    }
    text.insert(static_cast<size_t>(at), insertion);
}

void RewriteContraText(std::string& text)
{
    // Where the braces are, item by item: a "{" or "}" inside a parameter
    // pair is no brace.
    std::string out;
    out.reserve(text.size());
    CtrlTokenizer tok(text);
    CtrlItem item;
    std::string pending; // from an open "{" on, kept until its "}" comes
    bool open = false;
    while (tok.Next(item)) {
        const std::string_view bytes =
            std::string_view(text).substr(static_cast<size_t>(item.offset), static_cast<size_t>(item.length));
        if (!item.IsText()) {
            const std::string code = item.IsCode(13) ? std::string(1, '\x0E') : std::string(bytes);
            (open ? pending : out).append(code);
            continue;
        }
        for (char c : bytes) {
            if (!open && c == '{') {
                open = true;
                pending.assign(1, c);
            } else if (open && c == '}') {
                open = false; // the part is dropped
                pending.clear();
            } else {
                (open ? pending : out).push_back(c);
            }
        }
    }
    out.append(pending); // an unclosed "{" removes nothing
    text = std::move(out);
}

std::string InteractionSelection(std::string_view text)
{
    // The text of section 4.5: after its heading (code 18 with style 11)
    // up to the heading of 4.6, else 8000 bytes on.
    size_t start = std::string_view::npos;
    size_t end = std::string_view::npos;
    CtrlTokenizer tok(text);
    CtrlItem item;
    while (tok.Next(item)) {
        if (!item.IsCode(18) || CtrlPairValue(text, item, 0) != 11)
            continue;
        const std::string_view after = text.substr(static_cast<size_t>(item.End()));
        if (start == std::string_view::npos) {
            if (after.substr(0, 3) == "4.5")
                start = static_cast<size_t>(item.End());
        } else if (after.substr(0, 3) == "4.6") {
            end = static_cast<size_t>(item.offset);
            break;
        }
    }
    std::string codes;
    if (start != std::string_view::npos) {
        if (end == std::string_view::npos)
            end = std::min(text.size(), start + 8000);
        const std::string_view part = text.substr(start, end - start);
        if (part.find(" 4.2") != std::string_view::npos)
            codes.push_back('\x42');
        if (part.find(" 4.3") != std::string_view::npos)
            codes.push_back('\x43');
    }
    codes.push_back('\x45');
    return codes;
}
