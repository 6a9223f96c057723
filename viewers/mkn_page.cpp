#include "viewers/mkn_page.h"

#include <QGuiApplication>

#include <algorithm>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "lists/search/similar_search.h"
#include "platform/cp1250.h"
#include "platform/fs.h"
#include "platform/gui/clipboard.h"
#include "platform/gui/print_job.h"

namespace {

// Commands of the buttons (typed characters) and keys.
namespace Cmd {
constexpr int32_t Copy = PageChar::CtrlC;
constexpr int32_t Back = PageChar::Backspace;
constexpr int32_t Print = PageChar::CtrlP;
constexpr int32_t Start = PageChar::Escape;
} // namespace Cmd

std::string UiText(const char* section, const char* key)
{
    return LookupText(UiTexts, section, key);
}

constexpr const char* kLengthDiffers = "Interni chyba dat: Nesouhlas delky";

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

bool IsMorphologyCode(const std::string& code)
{
    return !code.empty() && (code[0] == '8' || code[0] == '9');
}

} // namespace

// ----------------------------------------------------------------- services

MknPageServices DefaultMknPageServices(TMainForm* owner)
{
    MknPageServices s;
    const ConfigValues v = Config().Read([](const ConfigValues& c) { return c; });
    s.textFont = CanvasFontOfSetting(v.TextFont);
    s.textFontIsTarel = v.TextFont.name.find("Tarel") != std::string::npos;
    s.printFont = CanvasFontOfSetting(v.PrintFont);
    s.setClipboardText = [](const std::string& text) { SetClipboardRtfAndText({}, Cp1250ToQString(text)); };
    s.requestHelp = [](const std::string& topic) { RequestHelp(topic); };
    s.setTitles = [owner](const std::string& app, const std::string& caption) {
        QGuiApplication::setApplicationDisplayName(Cp1250ToQString(app));
        if (owner)
            owner->setWindowTitle(Cp1250ToQString(caption));
    };
    s.showError = [](const std::string& text) { ShowError(text); };
    s.printSetup = [owner] { return CurrentPrintJob().Setup(owner); };
    return s;
}

TopicHistory& MknHistory()
{
    static TopicHistory history;
    return history;
}

// --------------------------------------------------------------------- page

TMknWin::TMknWin(PageState& s, Canvas& c, int w, int h, bool second, MknPageServices services)
    : TPraded(s, c, w, h), second_(second), services_(std::move(services))
{}

TMknWin::~TMknWin()
{
    FreeCtrlText(pager_.view);
}

void TMknWin::Build()
{
    // 1-2: the font and the measures the elements are placed by.
    CtrlTextView& v = pager_.view;
    v.font = services_.textFont;
    if (services_.textFontIsTarel) {
        v.font = state.pageFont;
        v.font.size = services_.textFont.size;
    }
    v.canvas = canvas;
    TakeCtrlMetrics(v);
    lh_ = v.lineHeight + 2;
    u_ = v.unit;
    if (width <= 0 || height <= 0) {
        width = 128 * u_;
        height = 32 * lh_;
    }

    // 3: colours; the line colour comes from the codes of the line.
    v.colours.background = 0xFFFFFF;
    v.colours.highlight = 0xBBBBBB;
    v.colours.text = 0x000000;
    v.colours.searchHit = 0x0033CC;
    v.colours.heading = 0x114400;
    v.colours.linkText = 0x660022;
    v.colours.linkBackground = 0xAAFFCC;
    v.colourHook = [this](const CtrlTextView& view, int line, Colour&, Colour& text) {
        text = MknLineColour(view, line, text);
    };

    // 4: the file.
    path_ = ResolvePath(DataDir() + (second_ ? "mkno.dat" : "mkn.dat"));
    missing_ = !FileExists(path_);

    // 5: the elements.
    Create<TPrvek>();                 // 0 text area
    Create<TPrvek>();                 // 1 scroll-bar column
    TVstup& input = Create<TVstup>(); // 2
    input.SetCaptionKey("Mkn.Rej");
    input.data = &typed_;
    input.flags |= TPrvek::FlagPolled | TPrvek::FlagPage4 | TPrvek::FlagPage5;
    struct Button {
        const char* hint;
        const char* picture;
        int32_t command;
        uint8_t shift;
    };
    static const Button kButtons[] = {
        {"Mkn.Hle", "Pict.Hle", Cmd::Start, PageShift::Typed},
        {"Mkn.Zpet", "Pict.Left", Cmd::Back, PageShift::Typed},
        {"Mkn.Schr", "Pict.Schr", Cmd::Copy, PageShift::Typed},
    };
    const auto button = [this](const Button& b) {
        TCudlik& c = Create<TCudlik>();
        c.kind = TPrvek::KindHover;
        c.SetHintKey(b.hint);
        c.SetShapeKey(b.picture);
        c.data = &noCaption_; // square buttons: the hint says what they do
        c.hotKey = b.command;
        c.hotShift = b.shift;
        c.colour = 0x663300;
    };
    for (const Button& b : kButtons)
        button(b);
    TPrvek& label = Create<TPrvek>(); // 6
    label.kind = TPrvek::KindText;
    label.data = &label_;
    button({"Mkn.Help", "Pict.Help", PageKey::F1, PageShift::None}); // 7
    Element(kCopy).SetEnabled(false);
    Element(kLabel).SetVisible(false);
    focus = kInput;
    code_ = std::string(kMknStartCode);

    // 6: the titles.
    if (services_.setTitles)
        services_.setTitles(KamToWin(UiText("Mkn", second_ ? "ZkrO3" : "Zkr10")),
                            KamToWin(UiText("Mkn", second_ ? "TitO3" : "Tit10")));
    PlaceElements();
    UpdateElements();
    TPraded::Build();
}

void TMknWin::PlaceElements()
{
    if (count() < kElementCount || width <= 0 || height <= 0)
        return;
    const int W = width;
    const int H = height;
    const int lh = std::max(lh_, 1);
    const int a = 3 * lh;
    const int b = lh / 2 + 1;
    const int c = b / 4 + 1;
    Element(kText).rect = {0, a, W - lh, H};
    Element(kBar).rect = {W - lh, a, W, H};
    Element(kInput).rect = {b, b, W - a, a - b};
    Element(kStart).rect = {c, c, a - c, a - c};
    Element(kBack).rect = {a, c, 2 * a - 2 * c, a - c};
    Element(kHelp).rect = {W + c - a, c, W - c, a - c};
    Element(kCopy).rect = {W + c - 2 * a, c, W - a, a - c};
    Element(kLabel).rect = {W / 2, a / 3, W + 2 * c - 2 * a, a - c};
    pager_.SetGeometry(Element(kText).rect, Element(kBar).rect, 4);
    pager_.SetRowsPerPage(std::max((7 * H - 21 * lh) / lh / 8, 0));
}

void TMknWin::Layout()
{
    if (lh_ <= 3)
        return;
    PlaceElements();
    Relayout();
}

void TMknWin::Relayout()
{
    pager_.view.canvas = canvas;
    if (pager_.view.lineCount > 0)
        pager_.Measure();
}

void TMknWin::UpdateElements()
{
    if (count() < kElementCount)
        return;
    const bool start = code_ == kMknStartCode && MknHistory().Empty();
    Element(kInput).SetVisible(start);
    for (int i = kStart; i <= kLabel; ++i)
        Element(i).SetVisible(!start);
    Element(kLabel).SetVisible(!start && !label_.empty());
}

// ----------------------------------------------------------------- entries

void TMknWin::GoToCode(const std::string& code)
{
    if (code.empty())
        return;
    if (!scanned_) {
        scanned_ = true;
        if (!missing_) {
            const int r = file_.ScanFile(path_);
            if (r != 0)
                AppendRunLog("TMknWin: " + path_ + " scan " + std::to_string(r) + "\r\n");
        }
    }
    MknHistory().Clear();
    typed_.clear();
    pager_.view.searchTerms.clear();
    ShowCode(code);
    label_.clear();
    copy_.clear();
    Element(kCopy).SetEnabled(false);
    UpdateElements();
    repaint = true;
}

void TMknWin::ShowCode(const std::string& code)
{
    const MknCodeChoice choice = NormaliseMknCode(code);
    code_ = choice.current;
    entry_ = ChooseMknEntry(file_, choice);
    if (choice.hitList)
        SearchWords();
    else
        ReadEntryText();
}

void TMknWin::ShowText(std::string text)
{
    pager_.view.canvas = canvas;
    pager_.view.text = std::move(text);
    pager_.Show();
    UpdateElements();
    repaint = true;
}

void TMknWin::ReadEntryText()
{
    if (entry_ < 0) {
        // Nothing can be shown: the file's name says what is missing.
        CtrlTextWriter w;
        w.Code(14).Text(UiText("Chyby", "FileNo")).Text(QStringToKam(QString::fromStdString(path_)));
        ShowText(w.Take());
        return;
    }
    MknEntryText read = file_.ReadEntryText(entry_);
    if (read.status != 0) {
        AppendRunLog("TMknWin: " + path_ + " entry " + std::to_string(entry_) + " read " +
                     std::to_string(read.status) + "\r\n");
        if (read.lengthDiffers && services_.showError)
            services_.showError(kLengthDiffers);
    }
    ShowText(std::move(read.text));
}

void TMknWin::SearchWords()
{
    if (typed_.size() < 3) {
        pager_.view.searchTerms.clear();
        if (typed_.empty())
            ReadEntryText();
        else
            ShowText(std::string(1, '\0'));
        return;
    }
    const std::string& list = CachedWordFile(second_ ? "mkno.slw" : "mkn.slw");
    if (foldedOf_ != list.size() || folded_.size() != list.size()) {
        folded_ = KamFoldUpper(list);
        foldedOf_ = list.size();
    }
    MknSearchResult found = SearchMknWords(list, folded_, typed_);
    pager_.view.searchTerms = std::move(found.terms);
    ShowText(BuildMknHitList(list, found.hits));
}

bool TMknWin::Back()
{
    TopicHistory::Entry e;
    if (!MknHistory().Pop(e))
        return false;
    ShowCode(e.name);
    pager_.SetPosition(e.line, e.row);
    UpdateElements();
    return true;
}

// ---------------------------------------------------------- codes and lines

bool TMknWin::LineAtPoint(Point p, int& line, int& offset)
{
    pager_.view.canvas = canvas;
    return pager_.HitTest(p, line, offset);
}

bool TMknWin::LineBounds(int line, int& start, int& end) const
{
    const CtrlTextView& v = pager_.view;
    if (line < 1 || line > v.lineCount)
        return false;
    const std::string_view t = v.LineText(line);
    start = static_cast<int>(t.data() - v.text.data());
    end = start + static_cast<int>(t.size());
    return true;
}

MknFoundCode TMknWin::CodeAtPosition(int line, int offset) const
{
    int start = 0;
    int end = 0;
    if (!LineBounds(line, start, end))
        return {};
    return MknCodeAt(pager_.view.text, start, end, start + offset);
}

std::string TMknWin::LinePlainText(int line) const
{
    int start = 0;
    int end = 0;
    if (!LineBounds(line, start, end))
        return {};
    std::string_view t = std::string_view(pager_.view.text)
                             .substr(static_cast<size_t>(start), static_cast<size_t>(end - start));
    while (!t.empty() && t.back() == 0)
        t.remove_suffix(1);
    if (!t.empty() && t.back() == 7)
        return AbbreviateTopic(MknPlainText(t));
    return MknPlainText(t);
}

Colour TMknWin::MknLineColour(const CtrlTextView& view, int line, Colour colour) const
{
    int start = 0;
    int end = 0;
    if (!LineBounds(line, start, end))
        return colour;
    return MknLineColourOf(view.text, line, start, end, second_, colour);
}

bool TMknWin::FollowCodeAtMouse(Point p)
{
    int line = 0;
    int offset = 0;
    if (!LineAtPoint(p, line, offset))
        return false;
    const MknFoundCode f = CodeAtPosition(line, offset);
    if (!f.Found() || f.code.empty())
        return false;
    const std::string& found = f.code;
    // A code line of the shown entry is taken instead of followed.
    const bool morphologyEntry = IsMorphologyCode(code_);
    if (morphologyEntry && found.size() > 3 && IsDigit(found[3]) && f.result <= 6) {
        label_ = found;
        copy_ = "M-" + LinePlainText(line);
        Element(kCopy).SetEnabled(true);
        UpdateElements();
        return true;
    }
    // A range (the category's own group) is followed, never taken.
    const bool range = code_.size() > 3 && code_[3] == '-';
    const bool foundRange = found.size() > 3 && found[3] == '-';
    if (!morphologyEntry && !range && !foundRange && code_.size() >= 3 && found.size() >= 3 &&
        found.compare(0, 3, code_, 0, 3) == 0 && IsDigit(found[1])) {
        label_ = found;
        copy_ = LinePlainText(line) + (second_ ? "; " : "");
        Element(kCopy).SetEnabled(true);
        UpdateElements();
        return true;
    }
    const bool startShown = code_ == kMknStartCode;
    MknHistory().Push(pager_.Line(), pager_.Row(),
                      MknHistory().Empty() && startShown ? std::string(kMknHitListCode) : code_);
    ShowCode(found);
    return true;
}

void TMknWin::CopyCodeLine()
{
    if (copy_.empty() || !services_.setClipboardText)
        return;
    services_.setClipboardText(KamToWin(copy_));
}

// ---------------------------------------------------------------- printing

void TMknWin::Print()
{
    pager_.SetPosition(std::clamp(pager_.Line(), 1, std::max(pager_.view.lineCount - 2, 1)), pager_.Row());
    PrintPagerText(pager_, canvas, services_.printSetup, services_.printFont, 1);
    Relayout();
}

// ------------------------------------------------------------------ events

int32_t TMknWin::HandleEvent(int32_t code, uint8_t shift)
{
    const int hit = HitTest(state.mousePoint);
    // 1: a click on a button is its command.
    if ((code == PageEvent::LeftClick || code == PageEvent::OtherClick) && hit >= kStart && hit <= kHelp &&
        hit != kLabel) {
        const TPrvek& b = Element(hit);
        if (!b.Visible())
            return code;
        if (!b.Enabled())
            return PageEvent::Consumed;
        code = b.hotKey;
        shift = b.hotShift;
    }
    // 2: the search field first, while it takes characters.
    if (shift == PageShift::Typed && focus == kInput && count() > kInput) {
        TPrvek& input = Element(kInput);
        constexpr uint8_t kTakes =
            TPrvek::FlagVisible | TPrvek::FlagEnabled | TPrvek::FlagPage4 | TPrvek::FlagPage5;
        if ((input.flags & kTakes) == kTakes) {
            const int32_t r = input.HandleEvent(code, shift);
            if (r == PageEvent::Relayout) {
                SearchWords();
                return PageEvent::Consumed;
            }
            if (r != code)
                return r;
        }
    }
    bool handled = true;
    if (shift == PageShift::Typed) {
        // 3: commands.
        switch (code) {
        case Cmd::Copy: CopyCodeLine(); break;
        case Cmd::Back: Back(); break;
        case Cmd::Print: Print(); break;
        case Cmd::Start: GoToCode(std::string(kMknStartCode)); break;
        default:
            // A typed character the page does not use is still the page's:
            // sent again as a key it would be "p" for F1, "#" for End ...
            if (code >= 32 && code <= 255)
                return PageEvent::Consumed;
            handled = false;
        }
    } else if (const auto scrolled = pager_.HandleScrollEvent(code, state.mousePoint, state.mouseButtons,
                                                              hit == kBar, height - 4 * lh_);
               scrolled != CtrlTextPager::EventResult::NotScrolling) {
        // 4: scrolling; a scroll that cannot move is not handled.
        handled = scrolled == CtrlTextPager::EventResult::Moved;
    } else {
        // 4: other events.
        switch (code) {
        case PageEvent::LeftClick: handled = hit == kText && FollowCodeAtMouse(state.mousePoint); break;
        case PageKey::F1:
            if (services_.requestHelp)
                services_.requestHelp(second_ ? "MKNPOn" : "MeKlNe");
            break;
        case PageEvent::HintRequest:
            if (hit >= kStart && hit <= kHelp && Element(hit).Visible())
                ShowHintAt(state.hintPoint, Element(hit).GetText(TPrvek::HintText));
            else
                handled = false;
            break;
        default: handled = false;
        }
    }
    if (!handled)
        return code;
    repaint = true;
    return PageEvent::Consumed;
}

void TMknWin::Tick()
{
    TPraded::Tick();
    if (pager_.Dragging() && pager_.DragTo(state.mousePoint.y))
        repaint = true;
}

// ----------------------------------------------------------------- painting

void TMknWin::Paint()
{
    UpdateElements();
    Canvas& c = *canvas;
    c.SetPen(SysColour::BtnFace, 0);
    c.SetBrush(SysColour::BtnFace, BrushStyle::Solid);
    c.FillRect({0, 0, width, pager_.TextRect().top});
    TPraded::Paint();
    pager_.PaintText(c);
    DrawScrollBar(c);
}

void TMknWin::DrawScrollBar(Canvas& c)
{
    pager_.PaintScrollBar(c);
}

// -------------------------------------------------------------------- hooks

void AddMknPageHooks(PageHooks& hooks)
{
    hooks.makeMknWin = [](const PageContext& ctx, int variant) -> std::unique_ptr<TPraded> {
        return std::make_unique<TMknWin>(ctx.state, ctx.canvas, ctx.width, ctx.height, variant == 1,
                                         DefaultMknPageServices(ctx.owner));
    };
    hooks.goToCode = [](TPraded* page, const std::string& code) {
        if (auto* mkn = dynamic_cast<TMknWin*>(page))
            mkn->GoToCode(code);
    };
}
