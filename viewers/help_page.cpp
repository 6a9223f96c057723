#include "viewers/help_page.h"

#include <algorithm>

#include "datastore/db_table.h"
#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/start/prestart.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/data_form.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/cp1250.h"
#include "platform/gui/print_job.h"

namespace {

// Commands of the buttons (typed characters) and keys.
namespace Cmd {
constexpr int32_t Back = PageChar::Backspace;
constexpr int32_t Print = PageChar::CtrlP;
constexpr int32_t Contents = PageChar::Escape;
constexpr int32_t PreviousComma = ',';
constexpr int32_t NextPoint = '.';
constexpr int32_t Previous = '<';
constexpr int32_t Next = '>';
} // namespace Cmd

const TopicKey kIndexKey = PackTopicKey("Rejstr");

} // namespace

// ----------------------------------------------------------------- services

HelpPageServices DefaultHelpPageServices(TMainForm* owner)
{
    HelpPageServices s;
    s.programFolder = WithTrailingSlash(ProgramStart().ProgramFolder);
    s.dataFolder = DataDir();
    const ConfigValues v = Config().Read([](const ConfigValues& c) { return c; });
    s.textFont = CanvasFontOfSetting(v.TextFont);
    s.textFontIsTarel = v.TextFont.name.find("Tarel") != std::string::npos;
    s.printFont = CanvasFontOfSetting(v.PrintFont);
    s.requestHelp = [](const std::string& topic) { RequestHelp(topic); };
    s.printSetup = [owner] { return CurrentPrintJob().Setup(owner); };
    s.terminate = [owner](int code) {
        if (owner)
            owner->Terminate(code);
    };
    return s;
}

// --------------------------------------------------------------------- page

THlpWin::THlpWin(PageState& s, Canvas& c, int w, int h, char mode, HelpPageServices services)
    : TPraded(s, c, w, h), mode_(mode == 'D' ? 'D' : '?'), services_(std::move(services))
{}

THlpWin::~THlpWin()
{
    FreeCtrlText(pager_.view);
}

HelpContentSources THlpWin::Sources() const
{
    HelpContentSources src;
    src.dataFolder = WithTrailingSlash(services_.dataFolder);
    src.dataTexts = DataTexts.Get().get();
    src.noTable = ProgramText("Chyby", "NoTable");
    src.contentsTitle = ProgramText("Manual", "Obs");
    return src;
}

void THlpWin::Build()
{
    // 1: the font and the measures the elements are placed by.
    CtrlTextView& v = pager_.view;
    v.font = services_.textFont;
    if (services_.textFontIsTarel) {
        v.font = state.pageFont;
        v.font.size = services_.textFont.size;
    }
    v.canvas = canvas;
    TakeCtrlMetrics(v);
    h_ = v.lineHeight + 2;
    u_ = v.unit;
    if (width <= 0 || height <= 0) {
        width = 128 * u_;
        height = 32 * h_;
    }

    // 2: colours and styles (the view's defaults are the page's colours).
    v.styleMap = kHelpStyleMap;
    v.styles[10].below = 12;
    v.styles[11].below = 12;

    // 3: the files.
    const HelpOpenResult opened = mode_ == 'D'
                                      ? OpenDopingFile(files_, services_.dataFolder)
                                      : OpenHelpFiles(files_, services_.programFolder, services_.dataFolder,
                                                      ProgramText("Manual", "Obs"));
    filesOpen_ = opened.ok;
    if (!opened.ok) {
        const std::string message = opened.status == 0 ? ProgramText("Chyby", "FileNo") + opened.file
                                                       : ProgramText("Chyby", "FileBad") + opened.file +
                                                             " (" + std::to_string(opened.status) + ")";
        AppendRunLog("THlpWin: " + opened.file + " " + std::to_string(opened.status) + "\r\n");
        ShowError(message);
        if (services_.terminate)
            services_.terminate(ExitCode::Refused);
    }

    // 4: the elements.
    Create<TPrvek>();                 // 0 text area
    Create<TPrvek>();                 // 1 scroll-bar column
    TVstup& input = Create<TVstup>(); // 2
    input.SetCaptionKey("Mkn.Rej");
    input.data = &input_;
    input.flags |= TPrvek::FlagPolled | TPrvek::FlagPage4 | TPrvek::FlagPage5;
    struct Button {
        const char* text;
        const char* picture;
        int32_t command;
        uint8_t shift;
    };
    static const Button kButtons[] = {
        {"Manual.Obs", "Pict.Obs", Cmd::Contents, PageShift::Typed},
        {"Manual.Zpet", "Pict.Left", Cmd::Back, PageShift::Typed},
        {"Manual.Pred", "Pict.Prev", Cmd::Previous, PageShift::Typed},
        {"Manual.Nasl", "Pict.Next", Cmd::Next, PageShift::Typed},
        {"Manual.Help", "Pict.Help", PageKey::F1, PageShift::None},
    };
    for (const Button& b : kButtons) {
        TCudlik& button = Create<TCudlik>();
        button.kind = TPrvek::KindHover;
        button.SetCaptionKey(b.text);
        button.SetHintKey(b.text);
        button.SetShapeKey(b.picture);
        // Square buttons: the caption would not fit beside the icon; it is
        // the hint instead.
        button.data = &noCaption_;
        button.hotKey = b.command;
        button.hotShift = b.shift;
        button.colour = 0x663300;
    }
    focus = kInput;
    PlaceHelpElements();
    UpdateButtons();
    TPraded::Build();
}

void THlpWin::PlaceHelpElements()
{
    if (count() < kElementCount || width <= 0 || height <= 0)
        return;
    const int W = width;
    const int H = height;
    const int h = std::max(h_, 1);
    const int c = h / 2 + 1;
    const int d = c / 4 + 1;
    Element(kText).rect = {0, 3 * h, W - h, H};
    Element(kBar).rect = {W - h, 3 * h, W, H};
    Element(kInput).rect = {c, c, W - c, 3 * h - c};
    Element(kContents).rect = {d, d, 3 * h - d, 3 * h - d};
    Element(kBack).rect = {3 * h, d, 6 * h - 2 * d, 3 * h - d};
    Element(kPrevious).rect = {6 * h - d, d, 9 * h - 3 * d, 3 * h - d};
    Element(kNext).rect = {9 * h - 2 * d, d, 12 * h - 4 * d, 3 * h - d};
    Element(kHelp).rect = {W - 3 * h, d, W - d, 3 * h - d};
    pager_.SetGeometry(Element(kText).rect, Element(kBar).rect, 4);
    pager_.SetRowsPerPage(7 * (H - 3 * h) / h / 8);
}

void THlpWin::Layout()
{
    PlaceHelpElements();
    const int32_t wanted = std::max(pager_.TextRect().Width() - 2 * pager_.Margin(), 1);
    if (shown_ && pager_.view.measuredWidth != wanted)
        MeasureHelpText();
}

void THlpWin::MeasureHelpText()
{
    pager_.view.canvas = canvas;
    pager_.Measure();
    // The measure drops the 2 pixels Build added: place the band and the
    // text area again so that they meet.
    if (pager_.view.lineHeight > 0 && (pager_.view.lineHeight != h_ || pager_.view.unit != u_)) {
        h_ = pager_.view.lineHeight;
        u_ = pager_.view.unit;
        PlaceHelpElements();
        pager_.Measure();
    }
}

void THlpWin::UpdateButtons()
{
    if (count() < kElementCount)
        return;
    const bool index = HelpHistory().Empty() && !name_.empty() && PackTopicKey(name_) == kIndexKey;
    for (int i = kContents; i <= kNext; ++i)
        Element(i).SetVisible(!index);
    Element(kInput).SetVisible(index);
}

// ----------------------------------------------------------------- topics

void THlpWin::GoToTopic(const std::string& name)
{
    if (shown_)
        HelpHistory().Push(pager_.Line(), pager_.Row(), name_);
    name_ = name.substr(0, std::min<size_t>(name.size(), 255));
    ShowHelpTopic(PackTopicKey(name_));
}

void THlpWin::ShowHelpTopic(TopicKey key)
{
    int found = files_.list.Find(key);
    if (found < 0)
        found = mode_ == 'D' ? 0 : 1; // the doping list's first entry, else the contents
    ShowEntry(found);
}

void THlpWin::ShowEntry(int entry)
{
    CtrlTextView& v = pager_.view;
    v.canvas = canvas;
    entry_ = entry;
    shown_ = true;
    std::string text;
    if (filesOpen_ && entry >= 0 && entry < files_.list.Count()) {
        const int r = ReadHelpTopic(files_, entry, Sources(), text);
        if (r != 0)
            AppendRunLog("THlpWin: topic " + std::to_string(entry) + " read " + std::to_string(r) + "\r\n");
    }
    v.text = std::move(text);
    LayoutCtrlText(v);
    pager_.SetPosition(1, 0);
    MeasureHelpText();
    pager_.SetPosition(1, 0);
    UpdateButtons();
    repaint = true;
}

bool THlpWin::Back()
{
    TopicHistory::Entry e;
    if (!HelpHistory().Pop(e))
        return false;
    name_ = e.name;
    ShowHelpTopic(PackTopicKey(name_));
    pager_.SetPosition(e.line, e.row);
    return true;
}

// ------------------------------------------------------------------- links

bool THlpWin::FollowHelpLink(Point p)
{
    int line = 0;
    int offset = 0;
    if (!pager_.HitTest(p, line, offset))
        return false;
    const std::string_view lineText = pager_.view.LineText(line);
    if (offset < 0 || offset >= static_cast<int>(lineText.size()))
        return false;
    // The links of the line, by items: the code 26 before the hit and, in the
    // manual, its code 7 after it.
    CtrlTokenizer walk(lineText);
    CtrlItem item;
    CtrlItem link;
    bool open = false;
    bool any = false;
    while (walk.Next(item) && item.offset <= offset) {
        if (item.IsCode(26) && !item.truncated) {
            link = item;
            open = true;
            any = true;
        } else if (item.IsCode(7)) {
            open = false;
        }
    }
    if (mode_ == 'D') {
        if (!any)
            return false;
        const std::string target = CtrlStringParam(lineText, link, 0);
        if (target.empty())
            return false;
        GoToTopic(target);
        return true;
    }
    if (!open || offset < link.End())
        return false;
    const CtrlLink l = LinkOf(lineText, link);
    if (l.kind == CtrlLinkKind::HelpTopic) {
        GoToTopic(AbbreviateTopic(l.parameter));
        return true;
    }
    if (l.kind != CtrlLinkKind::Email && l.kind != CtrlLinkKind::Web)
        return false;
    std::string address;
    for (size_t i = static_cast<size_t>(link.End()); i < lineText.size() && address.size() < 255; ++i) {
        if (static_cast<uint8_t>(lineText[i]) < 32)
            break;
        address.push_back(lineText[i]);
    }
    if (address.empty())
        return false;
    OpenAddress(l.kind == CtrlLinkKind::Email ? "mailto:" + address : address);
    return true;
}

void THlpWin::OpenAddress(const std::string& address)
{
    const std::string shown = KamToWin(address);
    const int r = ShellOpen(Cp1250ToQString(shown).toStdString(), {}, false);
    if (r <= 32)
        ShowError(ProgramText("Chyby", "NoBrowser") + std::to_string(r) + " " + address);
}

// ---------------------------------------------------------------- printing

void THlpWin::PrintHelpTopic()
{
    PrintPagerText(pager_, canvas, services_.printSetup, services_.printFont);
}

// ------------------------------------------------------------------ events

int32_t THlpWin::HandleEvent(int32_t code, uint8_t shift)
{
    const int hit = HitTest(state.mousePoint);
    // 1: a click on a button is its command.
    if ((code == PageEvent::LeftClick || code == PageEvent::OtherClick) && hit >= kContents && hit <= kHelp) {
        const TPrvek& b = Element(hit);
        if (!b.Enabled())
            return PageEvent::Consumed;
        code = b.hotKey;
        shift = b.hotShift;
    }
    // 2: the input line first, while it is shown.
    if (shift == PageShift::Typed && focus == kInput && count() > kInput) {
        TPrvek& input = Element(kInput);
        if (input.Visible() && input.Enabled()) {
            const int32_t r = input.HandleEvent(code, shift);
            if (r != code)
                return r;
        }
    }
    bool handled = true;
    if (shift == PageShift::Typed) {
        // 3: commands.
        switch (code) {
        case Cmd::Back: Back(); break;
        case Cmd::Print: PrintHelpTopic(); break;
        case Cmd::Contents: GoToTopic("Obsah_"); break;
        case Cmd::PreviousComma:
        case Cmd::Previous:
            if (entry_ > 0) {
                name_ = files_.list.entries[static_cast<size_t>(entry_ - 1)].abbreviation;
                ShowEntry(entry_ - 1);
            }
            break;
        case Cmd::NextPoint:
        case Cmd::Next:
            if (entry_ + 1 < files_.list.Count()) {
                name_ = files_.list.entries[static_cast<size_t>(entry_ + 1)].abbreviation;
                ShowEntry(entry_ + 1);
            }
            break;
        default:
            // A typed character the page does not use is still the page's:
            // sent again as a key it would be "p" for F1, "#" for End ...
            if (code >= 32 && code <= 255)
                return PageEvent::Consumed;
            handled = false;
        }
    } else if (const auto scrolled =
                   pager_.HandleScrollEvent(code, state.mousePoint, state.mouseButtons, hit == kBar,
                                            height - 4 * h_); // a page less the band and a row
               scrolled != CtrlTextPager::EventResult::NotScrolling) {
        // 4: scrolling; only End, Home and the button change pass on when
        // nothing moved.
        const bool strict = code == PageKey::End || code == PageKey::Home || code == PageEvent::ButtonChange;
        handled = scrolled == CtrlTextPager::EventResult::Moved || !strict;
    } else {
        // 4: other events.
        switch (code) {
        case PageEvent::LeftClick:
            if (hit == kText)
                handled = FollowHelpLink(state.mousePoint);
            else
                handled = false;
            break;
        case PageKey::F1:
            if (mode_ == 'D') {
                if (services_.requestHelp)
                    services_.requestHelp("DSZLMe");
            } else {
                GoToTopic("NapDok");
            }
            break;
        case PageEvent::HintRequest:
            if (hit >= kContents && hit <= kHelp && Element(hit).Visible())
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

void THlpWin::Tick()
{
    TPraded::Tick();
    if (pager_.Dragging() && pager_.DragTo(state.mousePoint.y))
        repaint = true;
}

// ----------------------------------------------------------------- painting

void THlpWin::Paint()
{
    UpdateButtons();
    Canvas& c = *canvas;
    const int band = pager_.TextRect().top;
    c.SetPen(SysColour::BtnFace, 0);
    c.SetBrush(SysColour::BtnFace, BrushStyle::Solid);
    c.FillRect({0, 0, width, band});
    TPraded::Paint();
    pager_.PaintText(c);
    pager_.PaintScrollBar(c);
}

// -------------------------------------------------------------------- hooks

void AddHelpPageHooks(PageHooks& hooks)
{
    hooks.makeHlpWin = [](const PageContext& ctx, char mode) -> std::unique_ptr<TPraded> {
        return std::make_unique<THlpWin>(ctx.state, ctx.canvas, ctx.width, ctx.height, mode,
                                         DefaultHelpPageServices(ctx.owner));
    };
    hooks.goToTopic = [](TPraded* page, const std::string& topic) {
        if (auto* help = dynamic_cast<THlpWin*>(page))
            help->GoToTopic(topic);
    };
}
