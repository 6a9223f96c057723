// Tables, pictures, links and hints of the page.

#include "viewers/ctrl_html_converter.h"

#include <algorithm>

#include "datastore/ctrl_text.h"
#include "datastore/kamenici.h"
#include "datastore/paragraph_codes.h"
#include "datastore/text_table.h"
#include "frame/start/shared_helpers.h"
#include "platform/fs.h"

namespace ctrl_html_detail {

void Converter::TableDefinition(const CtrlItem& item)
{
    SetInlineStyle(0);
    const std::vector<int> values = CtrlPairValues(text_, item);
    const int b = values.size() > 0 ? values[0] : 0;
    const int c = values.size() > 1 ? values[1] : 0;
    d1_ = b & 0xFF0;
    headerRows_ = b & 7;
    tabFlag_ = (b & 8) != 0;
    d2_ = c & 0xFF0;
    headerColumns_ = c & 15;
    rule_ = b == 160 && c == 145;
    std::vector<int> widths;
    for (size_t i = 2; i < values.size() && widths.size() < 20; ++i)
        widths.push_back(values[i]);
    long sum = 0;
    for (int w : widths)
        sum += w;
    std::vector<int> percent;
    std::string opening = tabFlag_ ? "<table class=\"tab\">\r\n" : "<table>\r\n";
    if (sum > 0)
        for (int w : widths) {
            percent.push_back(static_cast<int>(w * 100L / sum));
            opening.append("<col width=\"" + Decimal(percent.back()) + "%\" />\r\n");
        }
    BeforeBlock();
    if (gate_ && !EnsureCell())
        return;
    // A table needs room for its first row and cell too.
    if (Room() < 3)
        return;
    Push('T', opening);
    if (stack_.back().emitted)
        page_.tableColumns.push_back(std::move(percent));
    row_ = 0;
    column_ = 1;
}

void Converter::OpenRow()
{
    const int t = Find('T');
    ++row_;
    Push('R', "<tr>", t >= 0 && stack_[static_cast<size_t>(t)].emitted);
    column_ = 1;
}

void Converter::OpenCell(bool explicitAttributes, int attributes)
{
    int attr = attributes;
    int span = 1;
    if (explicitAttributes) {
        span = attributes & 15;
        if (span == 0 || span == 15)
            span = 1;
    } else {
        attr = (column_ > headerColumns_ && row_ > headerRows_) ? d2_ : d1_;
    }
    std::string opening = "<td";
    if (span > 1)
        opening.append(" colspan=\"" + Decimal(span) + "\"");
    column_ += span;
    std::string cls;
    switch ((attr >> 4) & 7) {
    case 1: cls = "str"; break;
    case 2: cls = "pra"; break;
    case 3: cls = "pr1"; break;
    case 4: cls = "pr2"; break;
    case 5: cls = "leo"; break;
    case 7: cls = "hla"; break;
    default: break;
    }
    if (tabFlag_)
        cls.append(" tab");
    if (!cls.empty())
        opening.append(" class=\"" + cls + "\"");
    switch ((attr >> 7) & 3) {
    case 0: opening.append(" valign=\"top\""); break;
    case 1: opening.append(" valign=\"middle\""); break;
    case 2: opening.append(" valign=\"bottom\""); break;
    default: break;
    }
    opening.append(">");
    const int r = Find('R');
    if (!Push('C', opening, r >= 0 && stack_[static_cast<size_t>(r)].emitted))
        return;
    styleFlags_ = 0;
    if (attr >> 9)
        SetInlineStyle(static_cast<uint16_t>(attr >> 9));
}

void Converter::RowCode(bool explicitAttributes, int attributes)
{
    const int t = Find('T');
    if (t < 0)
        return; // no table: a row has nowhere to go
    if (Find('R') > t) {
        CloseElement('R');
        rule_ = false;
    }
    if (Room() < 2)
        return;
    OpenRow();
    OpenCell(explicitAttributes, attributes);
}

void Converter::CellCode(bool explicitAttributes, int attributes)
{
    const int t = Find('T');
    if (t < 0)
        return;
    const int r = Find('R');
    if (r < t) {
        // A cell before any row of its table opens the row.
        if (Room() < 2)
            return;
        OpenRow();
    } else if (Find('C') > r) {
        CloseElement('C');
    } else {
        CloseDownTo(r + 1);
    }
    if (Room() < 1)
        return;
    OpenCell(explicitAttributes, attributes);
}

void Converter::Picture(const CtrlItem& item)
{
    CloseBlock();
    styleFlags_ = 0;
    const int width = CtrlPairValue(text_, item, 0) & 0x7FF;
    const int height = CtrlPairValue(text_, item, 1);
    std::string name = CtrlStringParam(text_, item, 2);
    for (size_t i = 0; i < name.size(); ++i) {
        if (i < 6 && name[i] == '"')
            name[i] = '~';
        if (name[i] >= 'A' && name[i] <= 'Z')
            name[i] = static_cast<char>(name[i] - 'A' + 'a');
    }
    const std::string& record = in_.recordName;
    const std::string segment = record + name;
    if (segment.find('/') != std::string::npos || segment.find('\\') != std::string::npos ||
        segment.find("..") != std::string::npos)
        return; // it would leave the picture folder
    std::string url = in_.pictureBase;
    if (!record.empty()) {
        url.append(record.compare(0, 2, "CH") == 0 ? "CH" : record.substr(0, 1));
        url.push_back('/');
    }
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (char ch : segment) {
        const auto b = static_cast<unsigned char>(ch);
        if ((b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z') || (b >= '0' && b <= '9') || b == '-' ||
            b == '.' || b == '_' || b == '~') {
            url.push_back(ch);
        } else {
            url.push_back('%');
            url.push_back(kHex[b >> 4]);
            url.push_back(kHex[b & 15]);
        }
    }
    url.append(".png");
    BeforeBlock();
    if (gate_ && !EnsureCell())
        return;
    std::string html = "<p><img src=\"";
    AppendHtmlEscaped(html, url);
    html.append("\" loading=\"lazy\" width=" + Decimal(width) + " height=" + Decimal(height) + " /></p>\r\n");
    Emit(html);
}

void Converter::LinkStart(const CtrlItem& item)
{
    const std::string target = CtrlStringParam(text_, item, 0);
    if (target == "@" || target == "/") {
        linkState_ = target[0];
        return;
    }
    if (Find('a') >= 0)
        CloseElement('a');
    if (gate_ && !EnsureCell())
        return;
    std::string opening = "<a href=\"";
    AppendHtmlEscaped(opening, target);
    opening.append("\">");
    if (Push('a', opening))
        linkState_ = 1;
}

void Converter::Hint(int v, CtrlTokenizer& tok)
{
    if ((v & 15) == 1) {
        hintText_.clear();
        CtrlItem next;
        if (tok.Peek(next) && next.IsText()) {
            tok.Next(next);
            hintText_.assign(
                text_.substr(static_cast<size_t>(next.offset), static_cast<size_t>(next.length)));
        }
        if (tok.Peek(next) && next.IsCode(31)) {
            tok.Next(next);
            hintState_ = v;
            v = CtrlPairValue(text_, next, 0);
        } else {
            v = 0;
        }
    }
    if ((v & 15) == 0 && hintState_ == 1 && (!gate_ || EnsureCell())) {
        std::string html = "<span class=\"hint\" title=\"";
        AppendHtmlEscaped(html, KamToWin(hintText_));
        html.append("\"> ?</span>");
        Emit(html);
    }
    hintState_ = v;
}

} // namespace ctrl_html_detail
