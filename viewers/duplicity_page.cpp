#include "viewers/duplicity_page.h"

#include <QApplication>
#include <QClipboard>
#include <QFileDialog>
#include <QFileInfo>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/pages/vector_icons.h"
#include "frame/start/shared_helpers.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "platform/ascii.h"
#include "platform/cp1250.h"
#include "viewers/duplicity_page_parts.h"
#include "viewers/medication_list.h"

using namespace duplicity_parts;

namespace {

constexpr const char* kTitlePrefix = "KALVO duplicity: ";
constexpr const char* kDefaultPatient = "medikace";

bool HasHint(const TPrvek& e)
{
    return !e.GetText(TPrvek::HintText).empty();
}

// The text of the main window's title for a patient (data code page).
std::string TitleFor(const std::string& patientKam)
{
    return std::string(kTitlePrefix) + KamToWin(patientKam);
}

std::string ClipboardFileOf(const QMimeData* mime)
{
    if (mime == nullptr)
        return {};
    QList<QUrl> urls = mime->urls();
    if (urls.isEmpty() && mime->hasFormat("x-special/gnome-copied-files")) {
        const QStringList lines = QString::fromUtf8(mime->data("x-special/gnome-copied-files")).split('\n');
        for (int i = 1; i < lines.size(); ++i)
            urls.push_back(QUrl(lines[i].trimmed()));
    }
    for (const QUrl& u : urls)
        if (u.isLocalFile() && QFileInfo(u.toLocalFile()).isFile())
            return u.toLocalFile().toStdString();
    return {};
}

// A button with its picture in a square at the left and its caption beside
// it, bold when asked.
class PictureButton : public TCudlik {
public:
    void Paint(Canvas& canvas) override
    {
        PaintFace(canvas);
        const int h = rect.Height();
        const int m = std::max(h / 8, 2);
        DrawPicture(canvas, GetText(ShapeText),
                    {rect.left + m, rect.top + m, rect.left + h - m, rect.bottom - m}, h - 2 * m);
        const std::string source = HasData() ? DataText() : GetText(CaptionText);
        if (source.empty())
            return;
        const std::string caption = KamToWin(source);
        canvas.SetBrushStyle(BrushStyle::Clear);
        canvas.SetFontColour(0x000000);
        const bool bold = (style & StyleBold) != 0;
        canvas.SetBold(bold);
        const int th = canvas.TextHeight(caption);
        canvas.TextRect({rect.left + h, rect.top, rect.right - m, rect.bottom}, rect.left + h,
                        rect.top + (h - th) / 2, caption);
        canvas.SetBold(false);
    }
};

} // namespace

// --- Services ---------------------------------------------------------------

DuplicityPageServices DefaultDuplicityPageServices(TMainForm* owner)
{
    DuplicityPageServices s;
    s.clipboardText = [] {
        const QClipboard* cb = QApplication::clipboard();
        return cb ? QStringToCp1250(cb->text()) : std::string();
    };
    s.clipboardFile = [] {
        const QClipboard* cb = QApplication::clipboard();
        return cb ? ClipboardFileOf(cb->mimeData()) : std::string();
    };
    s.chooseFile = [owner](const std::string& title, const std::vector<std::string>& filters) {
        QStringList list;
        for (const std::string& f : filters)
            list << Cp1250ToQString(f);
        QFileDialog dialog(owner, Cp1250ToQString(title));
        dialog.setFileMode(QFileDialog::ExistingFile);
        dialog.setNameFilters(list);
        dialog.setDefaultSuffix("xml");
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::string();
        return dialog.selectedFiles().front().toStdString();
    };
    s.setTitle = [owner](const std::string& title) {
        if (owner)
            owner->setWindowTitle(Cp1250ToQString(title));
    };
    s.requestHelp = [](const std::string& topic) { RequestHelp(topic); };
    return s;
}

// --- Colours and marks -------------------------------------------------------

Colour LevelColour(int level)
{
    switch (ClassOf(level)) {
    case 0: return 0x001A00E2; // E2 00 1A
    case 1: return 0x002695F2; // F2 95 26
    case 2: return 0x0000CDBD; // BD CD 00
    default: return ProgramColourNumber(1);
    }
}

Colour LightenColour(Colour c)
{
    Colour out = 0;
    for (int shift : {0, 8, 16}) {
        const uint32_t ch = (c >> shift) & 0xFF;
        out |= ((3 * ch + 510) / 5) << shift;
    }
    return out;
}

int WrapMarkedText(Canvas& canvas, const std::string& text, std::string& marks, int width)
{
    marks.resize(text.size(), ' ');
    for (char& m : marks)
        m = static_cast<char>(m & ~0x40);
    if (text.empty())
        return 0;
    const std::string shown = KamToWin(text);
    int lines = 1;
    size_t lineStart = 0;
    size_t lastBlank = std::string::npos;
    for (size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] == ' ')
            lastBlank = i;
        if (canvas.TextWidth(std::string_view(shown).substr(lineStart, i - lineStart + 1)) <= width)
            continue;
        // Break after the last blank of the line, else inside the word.
        size_t at = (lastBlank != std::string::npos && lastBlank > lineStart) ? lastBlank + 1 : i;
        if (at <= lineStart)
            at = lineStart + 1;
        if (at >= shown.size())
            break;
        marks[at] = static_cast<char>(marks[at] | 0x40);
        lineStart = at;
        lastBlank = std::string::npos;
        ++lines;
        i = at;
    }
    return lines;
}

int DrawMarkedText(Canvas& canvas, const std::string& text, const std::string& marks, int x, int y,
                   int lineHeight, Colour normal, Colour highlight)
{
    const std::string shown = KamToWin(text);
    bool high = false;
    int cx = x, cy = y;
    size_t runStart = 0;
    canvas.SetBrushStyle(BrushStyle::Clear);
    auto flush = [&](size_t end) {
        if (end <= runStart)
            return;
        const std::string_view run = std::string_view(shown).substr(runStart, end - runStart);
        canvas.SetFontColour(high ? highlight : normal);
        canvas.TextOut(cx, cy, run);
        cx += canvas.TextWidth(run);
        runStart = end;
    };
    for (size_t i = 0; i < shown.size(); ++i) {
        const unsigned char m = i < marks.size() ? static_cast<unsigned char>(marks[i]) : ' ';
        if (m & 0x40) {
            flush(i);
            cx = x;
            cy += lineHeight;
        }
        if (m & 0x01) {
            flush(i);
            high = !high;
        }
    }
    flush(shown.size());
    return cy + lineHeight - y;
}

// --- The page ---------------------------------------------------------------

TDuplicity::TDuplicity(PageState& s, Canvas& c, int w, int h, DuplicityPageServices services)
    : TPraded(s, c, w, h), services_(std::move(services)), patient_(kDefaultPatient)
{
    TPlatno& list = Create<TPlatno>();
    list.flags |= 1;
    Create<TPosuv>();

    TLogo& label = Create<TLogo>();
    label.SetShapeKey("Dupl.Pacos");
    TPrvek& name = Create<TPrvek>();
    name.kind = TPrvek::KindText;
    name.data = &patient_;
    name.style = TPrvek::StyleBold;

    TCudlik& help = Create<TCudlik>();
    help.SetShapeKey("Pict.Help");
    help.SetHintKey("Dupl.Help");
    help.colour = 0x994400;

    TCudlik& open = Create<PictureButton>();
    open.SetShapeKey("Dupl.pSou");
    open.SetCaptionKey("Dupl.cSou");
    open.SetHintKey("Dupl.hSou");

    TCudlik& paste = Create<PictureButton>();
    paste.SetShapeKey("Dupl.pSch");
    paste.SetCaptionKey("Dupl.cSch");
    paste.SetHintKey("Dupl.hSch");

    // Handled by itself, which does nothing: it stays hidden.
    TCudlik& kvo = Create<PictureButton>();
    kvo.SetShapeKey("Dupl.pKvo");
    kvo.SetCaptionKey("Dupl.cKvo");
    kvo.SetHintKey("Dupl.hKvo");
    kvo.SetVisible(false);

    TTabule& grid = Create<TTabule>();
    grid.columns = 4;
    grid.rows = 1;
    grid.cellPainter = [this](Canvas& cv, const Rect& cell, int row, int, int column) {
        DrawDuplicityCell(cv, cell, row, column);
    };

    TVstup& input = Create<TVstup>();
    input.data = &input_;
    input.SetVisible(false);

    TCudlik& toSummary = Create<PictureButton>();
    toSummary.SetShapeKey("Dupl.LogoA");
    toSummary.SetCaptionKey("Dupl.cDupl");
    toSummary.SetHintKey("Dupl.hDupl");
    toSummary.style = TPrvek::StyleBold;

    TPlatno& summary = Create<TPlatno>();
    summary.SetVisible(false);

    TLogo& banner = Create<TLogo>();
    banner.SetShapeKey("Dupl.LogoB");
    TCudlik& back = Create<PictureButton>();
    back.SetShapeKey("Dupl.Pacos");
    back.SetHintKey("Dupl.hZpe");
    back.data = &patient_;
    back.style = TPrvek::StyleBold;

    for (uint16_t i = kPatientLabel; i <= kToSummary; ++i) {
        Element(i).layer = 1;
        Element(i).parent = kListCanvas;
    }
    for (uint16_t i : {kBanner, kBack}) {
        Element(i).layer = 1;
        Element(i).parent = kSummaryCanvas;
    }
}

TDuplicity::~TDuplicity() = default;

void TDuplicity::Build()
{
    TPraded::Build();
}

int TDuplicity::Unit() const
{
    return std::max(state.lineHeight, 12);
}

bool TDuplicity::SummaryShown() const
{
    return Element(kSummaryCanvas).Visible();
}

void TDuplicity::ShowSummary(bool on)
{
    Element(kListCanvas).SetVisible(!on);
    Element(kSummaryCanvas).SetVisible(on);
    // The help button goes with the shown page.
    Element(kHelp).parent = on ? kSummaryCanvas : kListCanvas;
}

int TDuplicity::ContentHeight() const
{
    return SummaryShown() ? summaryHeight_ : listHeight_;
}

int TDuplicity::ScrollY() const
{
    const TPrvek& c = Element(SummaryShown() ? kSummaryCanvas : kListCanvas);
    return c.offsets[0].y;
}

void TDuplicity::ScrollTo(int y)
{
    TPrvek& c = Element(SummaryShown() ? kSummaryCanvas : kListCanvas);
    c.offsets[0].y = y;
    ClampScroll();
}

void TDuplicity::Scroll(int dy)
{
    ScrollTo(ScrollY() + dy);
}

void TDuplicity::ClampScroll()
{
    for (uint16_t i : {kListCanvas, kSummaryCanvas}) {
        TPrvek& c = Element(i);
        const int content = i == kListCanvas ? listHeight_ : summaryHeight_;
        const int most = std::max(0, content - c.rect.Height());
        c.offsets[0].y = std::clamp(c.offsets[0].y, 0, most);
    }
}

void TDuplicity::Layout()
{
    const int u = Unit();
    const int W = std::max(width, 20 * u);
    const int H = std::max(height, 10 * u);
    const Rect pageRect{0, 0, W - u - 1, H};
    Element(kListCanvas).rect = pageRect;
    Element(kSummaryCanvas).rect = pageRect;
    Element(kBar).rect = {W - u - 1, 0, W, H};
    for (uint16_t i : {kListCanvas, kSummaryCanvas}) {
        ImageCanvas& bmp = static_cast<TPlatno&>(Element(i)).Bitmap();
        if (bmp.Width() != pageRect.Width() || bmp.Height() != pageRect.Height())
            bmp.Resize(pageRect.Width(), pageRect.Height(), kWhite);
    }

    // The list page.
    const int cw = pageRect.Width();
    listHeight_ = (3 * count_ + 3) * u / 2 + 17 * u;
    Element(kPatientLabel).rect = {u, u, 4 * u, 4 * u};
    Element(kPatientName).rect = {5 * u, 2 * u, std::max(6 * u, cw - 8 * u), 3 * u + u / 2};
    Element(kHelp).rect = {cw - 4 * u, u, cw - u, 4 * u};
    const int bw = 9 * u;
    Element(kOpen).rect = {u, 5 * u, u + bw, 8 * u};
    Element(kPaste).rect = {2 * u + bw, 5 * u, 2 * u + 2 * bw, 8 * u};
    Element(kKvo).rect = {3 * u + 2 * bw, 5 * u, 3 * u + 3 * bw, 8 * u};
    Element(kToSummary).rect = {std::max(3 * u + 2 * bw, cw - u - 11 * u), 5 * u, cw - u, 8 * u};
    Element(kInput).rect = {u, 9 * u, cw - u, 10 * u};
    TTabule& grid = static_cast<TTabule&>(Element(kGrid));
    grid.rows = static_cast<uint16_t>(std::min(count_ + 1, 65535));
    const int gridWidth = cw - 2 * u;
    const int share = std::max((gridWidth - 4 * u - 3) / 2, u);
    grid.widths[0] = static_cast<uint16_t>(2 * u);
    grid.widths[1] = static_cast<uint16_t>(share);
    grid.widths[2] = static_cast<uint16_t>(share);
    grid.widths[3] = static_cast<uint16_t>(2 * u);
    grid.rect = {u, 11 * u, u + gridWidth, 11 * u + (count_ + 1) * (u + u / 2)};

    // The summary page.
    if (SummaryShown())
        Element(kHelp).rect = {cw - 4 * u, u, cw - u, 4 * u};
    Element(kBanner).rect = {u, 0, 11 * u, 10 * u};
    Element(kBack).rect = {12 * u, 3 * u + u / 2, std::max(13 * u, std::min(cw - 5 * u, 36 * u)),
                           6 * u + u / 2};
    LayoutSummary(static_cast<TPlatno&>(Element(kSummaryCanvas)).Bitmap());
    ClampScroll();
}

void TDuplicity::LayoutSummary(Canvas& measure)
{
    const int u = Unit();
    const int cw = Element(kSummaryCanvas).rect.Width();
    const CanvasFont saved = measure.Font();
    measure.SetFont(state.pageFont);
    // The heading and up to three class lines under the back button.
    summaryTextTop_ = 10 * u;
    int y = summaryTextTop_ + 5 * u;
    findingsTop_ = y;
    findingTop_.assign(dups_.size(), 0);
    int previousClass = -1;
    const int textWidth = std::max(cw - 7 * u, 4 * u);
    for (size_t i = 0; i < dups_.size(); ++i) {
        DupRec& d = dups_[i];
        const int cls = ClassOf(d.level);
        if (i > 0 && cls != previousClass)
            y += u + u / 2;
        previousClass = cls;
        findingTop_[i] = y;
        measure.SetBold(true);
        d.textLines =
            static_cast<uint8_t>(std::min(WrapMarkedText(measure, d.text, d.textMarks, textWidth), 255));
        measure.SetBold(false);
        d.labelLines =
            static_cast<uint8_t>(std::min(WrapMarkedText(measure, d.label, d.labelMarks, textWidth), 255));
        y += d.textLines * u + u / 3 + d.labelLines * u + u;
    }
    summaryHeight_ = y + u;
    measure.SetFont(saved);
}

void TDuplicity::Tick()
{
    const uint16_t before = hovered;
    TPraded::Tick();
    if (hovered == before)
        return;
    // The hand over a shown button that explains itself.
    bool hand = false;
    if (hovered < count()) {
        const TPrvek& e = Element(hovered);
        hand = e.kind == TPrvek::KindHover && e.Visible() && HasHint(e);
    }
    state.SetCursor(hand ? PageCursor::Hand : PageCursor::Default);
}

int32_t TDuplicity::HandleEvent(int32_t code, uint8_t shift)
{
    int32_t r = code;
    if (shift == PageShift::Typed) {
        r = code == PageChar::CtrlV ? PasteList() : PageEvent::Consumed;
    } else {
        const int32_t hit = HitTest(state.mousePoint);
        const int u = Unit();
        switch (code) {
        case PageEvent::LeftClick:
            if (hit == kHelp) {
                if (services_.requestHelp)
                    services_.requestHelp("MeKlNe");
            } else if (hit == kOpen) {
                r = ChooseListFile();
            } else if (hit == kPaste) {
                r = PasteList();
            } else if (hit == kToSummary) {
                ShowSummary(true);
                r = PageEvent::Repaint;
            } else if (hit == kBack) {
                ShowSummary(false);
                r = PageEvent::Repaint;
            } else if (hit >= 0) {
                r = Element(hit).HandleEvent(code, shift);
            }
            break;
        case PageKey::Tab:
            ShowSummary(!SummaryShown());
            r = PageEvent::Repaint;
            break;
        case PageEvent::WheelUp:
        case PageKey::Up:
            Scroll(-u);
            r = PageEvent::Repaint;
            break;
        case PageEvent::WheelDown:
        case PageKey::Down:
            Scroll(u);
            r = PageEvent::Repaint;
            break;
        case PageKey::End:
            ScrollTo(ContentHeight());
            r = PageEvent::Repaint;
            break;
        case PageKey::Home:
            ScrollTo(0);
            r = PageEvent::Repaint;
            break;
        case PageEvent::HintRequest:
            if ((hit >= kBar && hit <= kToSummary) || hit == kBack) {
                const std::string hint = Element(hit).GetText(TPrvek::HintText);
                if (!hint.empty())
                    ShowHintAt(state.hintPoint, hint);
            }
            break;
        default: break;
        }
    }
    if (r == PageEvent::Relayout) {
        Layout();
        r = PageEvent::Repaint;
    }
    if (r == PageEvent::Repaint)
        repaint = true;
    return r;
}

// --- Loading ------------------------------------------------------------------

void TDuplicity::ShowReport(const std::string& report)
{
    ShowListReport(report);
}

void TDuplicity::LoadText(std::string text, bool needsLineFeed, bool fromList, bool setTitle)
{
    if (needsLineFeed && text.find('\n') == std::string::npos)
        return;
    std::vector<std::string> dosages;
    ListValues values;
    const int n = ParseMedicationList(text, positions_, dosages, values);
    if (fromList) {
        std::string name = ListValue(values, "pacos.jmeno");
        WinToKamS(name);
        patient_ = name;
        if (setTitle && services_.setTitle)
            services_.setTitle(TitleFor(patient_));
        if (patient_.empty())
            patient_ = kDefaultPatient;
    } else {
        patient_ = kDefaultPatient;
    }
    ShowReport(text);
    tableError_ = ResetDuplicityCheck();
    if (!tableError_.empty()) {
        std::string msg = LookupText(UiTexts, "Chyby", "NoTable") + " " + tableError_;
        ShowError(msg);
        // Without the tables no product can be checked: the rows stay
        // unresolved and unmarked.
        leks_.assign(static_cast<size_t>(n) + 5, LekRec{});
        for (int i = 0; i < n; ++i)
            leks_[static_cast<size_t>(i)].position = 0;
        dups_.clear();
        count_ = n;
        return;
    }
    DuplicityBatchMode = false;
    count_ = n;
    FillAndCheck(positions_, n, dosages, leks_, dups_);
    AppendRunLog("Dupl: " + std::to_string(n) + " products, " + std::to_string(dups_.size()) +
                 " findings\r\n");
}

void TDuplicity::LoadListFromText(const std::string& query)
{
    std::string text = KamToWin(GetOption("1", query));
    std::replace(text.begin(), text.end(), ',', '\n');
    std::replace(text.begin(), text.end(), ';', '\n');
    if (text.find('\n') == std::string::npos)
        return;
    LoadText(std::move(text), true, false, false);
    ShowSummary(true);
    Layout();
    repaint = true;
}

void TDuplicity::LoadListFromSource(const std::string& value)
{
    const ListSourceText source = ReadListSource(value);
    if (!source.readable) {
        std::string msg = ProgramText("Dupl", "NoList") + " ";
        std::string v = value;
        WinToKamS(v);
        ShowError(msg + v);
        return;
    }
    if (source.text.find('\n') == std::string::npos)
        return;
    LoadText(source.text, true, true, true);
    ShowSummary(true);
    Layout();
    repaint = true;
}

void TDuplicity::DropFile(const std::string& path)
{
    std::string value;
    if (!Utf8ToCp1250(path, value))
        value = QStringToCp1250(QString::fromStdString(path));
    // A plain name would be read as a block: keep it a path.
    if (!IsListFilePath(value))
        value = "./" + value;
    LoadListFromSource(value);
}

int32_t TDuplicity::PasteList()
{
    std::string text = services_.clipboardText ? services_.clipboardText() : std::string();
    if (text.empty() && services_.clipboardFile) {
        const std::string file = services_.clipboardFile();
        if (!file.empty()) {
            std::string path;
            if (!Utf8ToCp1250(file, path))
                path = QStringToCp1250(QString::fromStdString(file));
            if (ReadListFile(path, text, static_cast<int>(kMaxListBytes)) < 0)
                text.clear();
            text = DecodeListText(std::move(text));
        }
    }
    LoadText(std::move(text), false, true, true);
    return PageEvent::Relayout;
}

int32_t TDuplicity::ChooseListFile()
{
    if (!services_.chooseFile)
        return PageEvent::Consumed;
    const std::string title = "Soubor medikace";
    const std::vector<std::string> filters = {
        QStringToCp1250(QString::fromUtf8("Seznam léků (*.xml *.XML *.txt *.TXT)")),
        QStringToCp1250(QString::fromUtf8("eRecept, Lékový záznam (*.xml *.XML)")),
        QStringToCp1250(QString::fromUtf8("Prostý text (*.txt *.TXT)"))};
    const std::string file = services_.chooseFile(title, filters);
    if (file.empty())
        return PageEvent::Consumed;
    const bool summaryBefore = SummaryShown();
    const int countBefore = count_;
    DropFile(file);
    return (SummaryShown() != summaryBefore || count_ != countBefore || repaint) ? PageEvent::Relayout
                                                                                 : PageEvent::Consumed;
}

// --- Hooks ---------------------------------------------------------------------

void AddDuplicityPageHooks(PageHooks& hooks)
{
    hooks.makeDuplicity = [](const PageContext& ctx) -> std::unique_ptr<TPraded> {
        return std::make_unique<TDuplicity>(ctx.state, ctx.canvas, ctx.width, ctx.height,
                                            DefaultDuplicityPageServices(ctx.owner));
    };
    hooks.loadListFromText = [](TPraded* page, const std::string& query) {
        if (auto* d = dynamic_cast<TDuplicity*>(page))
            d->LoadListFromText(query);
    };
    hooks.loadListFromSource = [](TPraded* page, const std::string& value) {
        if (auto* d = dynamic_cast<TDuplicity*>(page))
            d->LoadListFromSource(value);
    };
}
