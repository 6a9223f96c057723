#include "viewers/start_page.h"

#include <QApplication>
#include <QClipboard>
#include <QUrl>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/rss_item.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/commands/command_services.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/shell.h"
#include "viewers/medication_list.h"

namespace {

constexpr size_t kMaxIdentifier = 19;
constexpr size_t kMaxMarkList = 255;
constexpr size_t kMaxLinkBytes = 2000;
constexpr size_t kMaxHintBytes = 255;
constexpr Colour kReadColour = 0x808080;
constexpr const char* kClipboardTitle = "Schránka Windows"; // UTF-8; a title in the data code page

// The page that registered the menu's call (one start page at a time).
TPrazdno* g_startPage = nullptr;

// A UI text in the display code page.
std::string Ui(const char* section, const char* key)
{
    return KamToWin(ProgramText(section, key));
}

std::string Mark(const std::string& identifier)
{
    return "-" + identifier + "-";
}

bool Holds(const std::string& list, const std::string& identifier)
{
    return !identifier.empty() && list.find(Mark(identifier)) != std::string::npos;
}

// Appends a mark; the oldest marks go when the list would pass its bound.
std::string WithMark(std::string list, const std::string& identifier)
{
    list += Mark(identifier);
    while (list.size() > kMaxMarkList) {
        const size_t next = list.find("--");
        if (next == std::string::npos) {
            list.erase(0, list.size() - kMaxMarkList);
            break;
        }
        list.erase(0, next + 1);
    }
    return list;
}

std::string DataCodeText(const char* utf8)
{
    std::string s;
    if (!Utf8ToCp1250(utf8, s))
        s = utf8;
    WinToKamS(s);
    return s;
}

std::string FileNameOf(const std::string& path)
{
    const size_t at = path.find_last_of("/\\");
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::vector<int32_t> Found(const std::vector<int32_t>& positions)
{
    std::vector<int32_t> out;
    for (int32_t p : positions)
        if (p > 0)
            out.push_back(p);
    return out;
}

void DrawLines(Canvas& c, const std::string& text, const std::vector<uint16_t>& ends, int x, int& y, int step)
{
    size_t from = 0;
    for (uint16_t end : ends) {
        size_t start = from;
        while (start < end && start < text.size() && (text[start] == ' ' || text[start] == '\n'))
            ++start;
        if (start < end)
            c.TextOut(x, y, std::string_view(text).substr(start, end - start));
        y += step;
        from = end;
    }
}

} // namespace

StartPageServices DefaultStartPageServices()
{
    StartPageServices s;
    s.clipboardText = [] {
        const QClipboard* cb = QApplication::clipboard();
        return cb ? QStringToCp1250(cb->text()) : std::string();
    };
    return s;
}

// --- Wrapping -------------------------------------------------------------------

int CharsForWidth(Canvas& canvas, std::string_view word, int width, int sampleWidth)
{
    const int length = static_cast<int>(word.size());
    if (length <= 1)
        return length;
    const int unit = std::max(sampleWidth, 1);
    int n = static_cast<int>(std::clamp<int64_t>(int64_t(width) * 64 / unit - 2, 1, length));
    while (n > 1 && canvas.TextWidth(word.substr(0, static_cast<size_t>(n))) > width)
        n = std::max(n - 2, 1);
    while (n < length && canvas.TextWidth(word.substr(0, static_cast<size_t>(n) + 1)) <= width)
        ++n;
    return n;
}

std::vector<uint16_t> WrapText(Canvas& canvas, std::string_view text, int width, int sampleWidth)
{
    std::vector<uint16_t> ends;
    const size_t n = std::min<size_t>(text.size(), 0xFFFF);
    const int blank = canvas.TextWidth(" ");
    const int avail = std::max(width - blank, 1);
    int lineWidth = 0;
    bool lineEmpty = true;
    size_t lineEnd = 0;
    auto flush = [&](size_t end) {
        if (ends.size() < kMaxWrappedLines)
            ends.push_back(static_cast<uint16_t>(end));
        lineWidth = 0;
        lineEmpty = true;
    };
    size_t i = 0;
    while (i < n) {
        if (text[i] == '\n') {
            flush(lineEmpty ? i : lineEnd);
            ++i;
            continue;
        }
        if (text[i] == ' ') {
            ++i;
            continue;
        }
        size_t j = i;
        while (j < n && text[j] != ' ' && text[j] != '\n')
            ++j;
        const std::string_view word = text.substr(i, j - i);
        const int w = canvas.TextWidth(word);
        if (!lineEmpty && lineWidth + blank + w <= avail) {
            lineWidth += blank + w;
            lineEnd = j;
            i = j;
            continue;
        }
        if (!lineEmpty)
            flush(lineEnd);
        if (w <= avail) {
            lineWidth = w;
            lineEmpty = false;
            lineEnd = j;
            i = j;
            continue;
        }
        const int k = CharsForWidth(canvas, word, avail, sampleWidth);
        flush(i + static_cast<size_t>(k));
        i += static_cast<size_t>(k);
    }
    if (!lineEmpty)
        flush(lineEnd);
    return ends;
}

bool IsOpenableLink(std::string_view link)
{
    if (link.empty() || link.size() > kMaxLinkBytes)
        return false;
    for (char c : link)
        if (static_cast<unsigned char>(c) <= 32 || static_cast<unsigned char>(c) == 127)
            return false;
    const std::string lower = AsciiLower(link);
    if (lower.rfind("http://", 0) != 0 && lower.rfind("https://", 0) != 0)
        return false;
    const QUrl url(Cp1250ToQString(link), QUrl::StrictMode);
    return url.isValid() && !url.host().isEmpty() &&
           (url.scheme().toLower() == "http" || url.scheme().toLower() == "https");
}

// --- The news element -------------------------------------------------------------

void TNovina::Measure(Canvas& c, const PageState& s)
{
    const int l = s.lineHeight;
    const int u = s.sampleWidth;
    const CanvasFont saved = c.Font();
    c.SetFont(s.pageFont);
    c.SetBold(true);
    titleEnds = title.empty() ? std::vector<uint16_t>{} : WrapText(c, title, 50 * u / 64, u);
    c.SetBold(false);
    descriptionEnds = WrapText(c, description, 63 * u / 64, u);
    c.SetFont(saved);
    height_ =
        5 * l / 3 + l * static_cast<int>(titleEnds.size()) + l * static_cast<int>(descriptionEnds.size());
    rect = {0, 0, u, height_};
}

void TNovina::Render()
{
    const PageState* s = State();
    if (s == nullptr)
        return;
    const int l = s->lineHeight;
    const int w = std::max(rect.Width(), 1);
    const int h = std::max(height_, 1);
    if (!picture_)
        picture_ = std::make_unique<ImageCanvas>();
    ImageCanvas& c = *picture_;
    c.Resize(w, h, SysColour::BtnFace);
    c.SetFont(s->pageFont);
    const ConfigValues cfg = Config().Snapshot();
    const Colour ink = Holds(cfg.newsRead, identifier) ? kReadColour : 0x000000;
    c.SetFontColour(ink);
    c.SetBrushStyle(BrushStyle::Clear);
    int y = l / 2;
    c.SetBold(true);
    DrawLines(c, title, titleEnds, l / 2, y, l);
    c.SetBold(false);
    y += l / 2;
    DrawLines(c, description, descriptionEnds, l / 2, y, l);
    if (!identifier.empty()) {
        const int size = s->pageFont.size;
        const std::string more = Ui("Uvod", "cont");
        c.TextOut(w - 3 - c.TextWidth(more), h - l, more);
        c.SetFontSize(std::max(size * 4 / 5, 1));
        c.TextOut(w - 3 * l / 2 - c.TextWidth(date), l / 2, date);
        c.SetFontSize(std::max(size * 4 / 3, 1));
        c.SetBold(true);
        c.TextOut(w - l / 3 - c.TextWidth("x"), 4 * l / 3 - c.TextHeight("x"), "x");
        c.SetBold(false);
        c.SetFontSize(size);
    }
    c.EndPaint();
}

void TNovina::Paint(Canvas& canvas)
{
    if (!picture_)
        return;
    const QImage& image = picture_->Image();
    if (!image.isNull())
        canvas.DrawImage(rect, image, {0, 0, image.width(), image.height()});
}

Rect TNovina::CloseBox() const
{
    const int l = State() ? State()->lineHeight : 0;
    return {rect.right - 4 * l / 3, rect.top, rect.right, rect.top + 4 * l / 3};
}

int32_t TNovina::HandleEvent(int32_t code, uint8_t)
{
    if (code != PageEvent::LeftClick || State() == nullptr)
        return code;
    const Point p = State()->mousePoint;
    if (!identifier.empty() && CloseBox().ContainsStrictly(p)) {
        const std::string closed = Config().Snapshot().newsNotice;
        if (!Holds(closed, identifier)) {
            const std::string list = WithMark(closed, identifier);
            Config().Update([&](ConfigValues& v) { v.newsNotice = list; });
            SaveConfig(false);
        }
        SetVisible(false);
        return PageEvent::Relayout;
    }
    std::string target = link.empty() ? Ui("News", "2act2") : link;
    if (!IsOpenableLink(target)) {
        std::string text = ProgramText("Chyby", "NoBrowser");
        std::string shown = target.substr(0, kMaxHintBytes);
        WinToKamS(shown);
        ShowError(text + shown);
        return PageEvent::Consumed;
    }
    const int r = ShellOpen(Cp1250ToUtf8(target), {}, false);
    if (r <= 32) {
        ShowError(ProgramText("Chyby", "NoBrowser") + std::to_string(r));
        return PageEvent::Consumed;
    }
    const std::string read = Config().Snapshot().newsRead;
    if (identifier.empty() || Holds(read, identifier))
        return PageEvent::Consumed;
    const std::string list = WithMark(read, identifier);
    Config().Update([&](ConfigValues& v) { v.newsRead = list; });
    Render();
    SaveConfig(false);
    return PageEvent::Repaint;
}

// --- The status line ---------------------------------------------------------------

namespace {

// The update status text is in the display code page already: drawn as it is.
class StatusLine : public TPrvek {
public:
    void Paint(Canvas& canvas) override
    {
        const std::string text = DataText();
        lastValue = static_cast<uint32_t>(text.size());
        if (text.empty())
            return;
        canvas.SetFontColour(0x000000);
        canvas.SetBrushStyle(BrushStyle::Clear);
        canvas.TextRect(rect, rect.left + 4, rect.top, text);
    }
};

} // namespace

// --- The page -------------------------------------------------------------------------

TPrazdno::TPrazdno(PageState& state, Canvas& canvas, int width, int height, StartPageServices services)
    : TPraded(state, canvas, width, height), services_(std::move(services))
{
    g_startPage = this;
    SetClearStartPageMarks([] {
        if (g_startPage)
            g_startPage->HideNews();
    });
}

TPrazdno::~TPrazdno()
{
    if (g_startPage == this) {
        g_startPage = nullptr;
        SetClearStartPageMarks({});
    }
}

void TPrazdno::Build()
{
    TPrvek& status = Create<StatusLine>();
    status.kind = TPrvek::KindLiveText;
    status.sharedData = &UpdateStatusText();
    status.flags |= TPrvek::FlagPolled;
    for (int i = kNews1; i <= kNews3; ++i)
        Create<TNovina>().SetVisible(false);

    const StartValues& start = ProgramStart();
    const bool handedOver = start.PositionalCount > 0 || HasOption("b", start.Options);
    if (!handedOver) {
        std::string path;
        NewsCachePath(path);
        const char option = Config().Snapshot().NewsOption;
        if (!path.empty() && option > '0' && FileExists(path) && !FolderExists(path))
            FillNews(path);
        else
            FillWelcome();
        for (int i = kNews1; i <= kNews3; ++i)
            if (News(i).Visible())
                News(i).Render();
    }
    TPraded::Build();
}

void TPrazdno::FillNews(const std::string& cachePath)
{
    RssLineReader in;
    if (in.Open(cachePath) != 0) {
        // An unreadable cache is no cache.
        FillWelcome();
        return;
    }
    const ConfigValues cfg = Config().Snapshot();
    std::string keptClosed, keptRead;
    for (int i = kNews1; i <= kNews3; ++i) {
        TNovina& n = News(i);
        RssItem item;
        if (!ReadRssItem(in, item))
            break;
        n.date = item.date;
        n.title = item.title;
        n.description = item.description;
        n.link = item.link;
        if (!n.title.empty())
            n.identifier = TrailingDigits(n.link).substr(0, kMaxIdentifier);
        if (Holds(cfg.newsNotice, n.identifier))
            keptClosed += Mark(n.identifier);
        if (Holds(cfg.newsRead, n.identifier))
            keptRead += Mark(n.identifier);
        const bool shown = !n.title.empty() && !Holds(cfg.newsNotice, n.identifier);
        n.SetVisible(shown);
        if (shown)
            n.Measure(*canvas, state);
    }
    if (keptClosed != cfg.newsNotice || keptRead != cfg.newsRead)
        Config().Update([&](ConfigValues& v) {
            v.newsNotice = keptClosed;
            v.newsRead = keptRead;
        });
    if (in.Error() != 0 && !News(kNews1).Visible() && !News(kNews2).Visible() && !News(kNews3).Visible())
        FillWelcome();
}

void TPrazdno::FillWelcome()
{
    TNovina& first = News(kNews1);
    first.identifier.clear();
    first.date.clear();
    first.link.clear();
    first.title = Ui("Uvod", "0");
    first.description = Ui("Uvod", "1") + "\n" + Ui("Uvod", "2") + "\n" + Ui("Uvod", "3");
    first.SetVisible(true);
    first.Measure(*canvas, state);
    TNovina& second = News(kNews2);
    second.description = Ui("Zaklad", "VarCl");
    second.SetVisible(true);
    second.Measure(*canvas, state);
    News(kNews3).SetVisible(false);
}

void TPrazdno::Layout()
{
    const int l = state.lineHeight;
    Element(kStatus).rect = {0, height - 2 * l, width, height - l};
    const int right = width - (l / 2 + 1);
    int top = l / 2 - 2;
    for (int i = kNews1; i <= kNews3; ++i) {
        TNovina& n = News(i);
        if (!n.Visible())
            continue;
        const int w = n.rect.Width();
        n.rect = {right - w, top, right, top + n.ElementHeight()};
        top = n.rect.bottom + l / 2 - 1;
    }
    TPraded::Layout();
}

void TPrazdno::Tick()
{
    const int32_t hit = HitTest(state.mousePoint);
    if (hit != lastHit_) {
        lastHit_ = hit;
        const bool hand = hit >= kNews1 && hit <= kNews3 && !News(hit).identifier.empty();
        state.SetCursor(hand ? PageCursor::Hand : PageCursor::Default);
    }
    if (Element(kStatus).Poll(state.tick) == PageEvent::Repaint)
        repaint = true;
}

void TPrazdno::Paint()
{
    if (canvas == nullptr)
        return;
    canvas->SetBrush(Config().Snapshot().ColourTable[ColourIndex::MainBackground], BrushStyle::Solid);
    canvas->FillRect({0, 0, width, height});
    canvas->SetFont(state.pageFont);
    TPraded::Paint();
}

int32_t TPrazdno::HandleEvent(int32_t code, uint8_t shift)
{
    if (shift == PageShift::Typed) {
        if (code == 22)
            return PasteList(code);
        return code;
    }
    const int32_t hit = HitTest(state.mousePoint);
    const bool onNews = hit >= kNews1 && hit <= kNews3 && Element(hit).Visible();
    if (code == PageEvent::LeftClick) {
        if (!onNews)
            return code;
        int32_t r = Element(hit).HandleEvent(code, shift);
        if (r == PageEvent::Relayout) {
            Layout();
            r = PageEvent::Repaint;
        }
        if (r == PageEvent::Repaint)
            repaint = true;
        return r;
    }
    if (code == PageEvent::HintRequest && onNews) {
        std::string hint = News(hit).link.substr(0, kMaxHintBytes);
        WinToKamS(hint);
        ShowHintAt(state.hintPoint, hint);
        return PageEvent::Consumed;
    }
    return code;
}

void TPrazdno::HideNews()
{
    for (int i = kNews1; i <= kNews3; ++i)
        News(i).SetVisible(false);
    repaint = true;
}

int32_t TPrazdno::PasteList(int32_t code)
{
    std::string text = services_.clipboardText ? services_.clipboardText() : std::string();
    if (text.find('\n') == std::string::npos)
        return code;
    RequestTarget& target = CurrentRequestTarget();
    std::vector<int32_t> positions;
    if (target.ActiveDataSet() == DataSetCode::Goods) {
        ResolvePfaCodeList(text, positions);
        const std::vector<int32_t> found = Found(positions);
        if (found.size() == 1)
            return code;
        if (found.size() > 1)
            target.ShowGoodsResultList(found, DataCodeText(kClipboardTitle));
        ShowListReport(text);
        return PageEvent::Consumed;
    }
    ListValues values;
    ResolveDrugCodeList(text, positions, values);
    const std::vector<int32_t> found = Found(positions);
    if (found.size() == 1)
        return code;
    if (found.size() > 1) {
        std::string title = ListValue(values, "pacos.jmeno");
        WinToKamS(title);
        target.ShowDrugResultList(found, title.empty() ? DataCodeText(kClipboardTitle) : title);
    }
    ShowListReport(text);
    return PageEvent::Consumed;
}

void TPrazdno::OpenPassedList(const std::string& query)
{
    const std::string value = GetOption("b", query);
    const ListSourceText source = ReadListSource(value);
    if (!source.readable) {
        std::string shown = value;
        WinToKamS(shown);
        ShowError(ProgramText("Dupl", "NoList") + " " + shown);
        return;
    }
    std::string text = source.text;
    if (text.find('\n') == std::string::npos)
        return;
    RequestTarget& target = CurrentRequestTarget();
    std::vector<int32_t> positions;
    if (target.ActiveDataSet() == DataSetCode::Goods) {
        ResolvePfaCodeList(text, positions);
        const std::vector<int32_t> found = Found(positions);
        if (found.size() > 1) {
            std::string title = value;
            WinToKamS(title);
            target.ShowGoodsResultList(found, title);
        }
        ShowListReport(text);
        return;
    }
    std::vector<std::string> dosages;
    ListValues values;
    ParseMedicationList(text, positions, dosages, values);
    const std::vector<int32_t> found = Found(positions);
    const uint16_t command = medication::RequestCommandCode('d', query);
    const std::string m = GetOption("m", query);
    const size_t threshold = m.size() >= 2 && m[0] == 'f' ? (static_cast<unsigned char>(m[1]) & 0x0F) : 1;
    if (found.empty()) {
        ShowListReport(text);
        return;
    }
    if (threshold < found.size() || command == 0) {
        std::string title = ListValue(values, "pacos.jmeno");
        if (title.empty())
            title = FileNameOf(value);
        WinToKamS(title);
        target.ShowDrugResultList(found, title);
        ShowListReport(text);
        if (command != 0)
            target.ExecuteCommand(command, 0);
        return;
    }
    target.SetRequestMode(6);
    for (auto it = found.rbegin(); it != found.rend(); ++it) {
        target.SetRequestPosition(*it);
        target.ExecuteCommand(command, 1);
    }
    if (m.find('t') != std::string::npos)
        target.TileWindows();
}

void AddStartPageHooks(PageHooks& hooks)
{
    hooks.makePrazdno = [](const PageContext& ctx) -> std::unique_ptr<TPraded> {
        return std::make_unique<TPrazdno>(ctx.state, ctx.canvas, ctx.width, ctx.height,
                                          DefaultStartPageServices());
    };
    hooks.openPassedList = [](TPraded* page, const std::string& query) {
        if (auto* p = dynamic_cast<TPrazdno*>(page))
            p->OpenPassedList(query);
    };
}
