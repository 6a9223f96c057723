#include "frame/windows/placement.h"

#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QWidget>

#include <algorithm>

#include "frame/config/config_file.h"
#include "frame/windows/data_form.h"
#include "frame/windows/style.h"

namespace {

constexpr uint16_t kKindMask = 0x7FFF;

int32_t PerMilleOf(int64_t part, int64_t whole)
{
    return static_cast<int32_t>(part * 1000 / whole);
}

int32_t PixelsOf(int64_t perMille, int64_t whole)
{
    return static_cast<int32_t>(perMille * whole / 1000);
}

// One axis of FitToClient: `pos` and `size` along it, `limit` the client's
// extent, `minimum` the smallest size the window may get.
void FitAxis(int& pos, int& size, int limit, int minimum)
{
    if (pos + size <= limit)
        return;
    const int cut = limit - pos;
    const int smallest = std::min(size, minimum);
    if (cut >= smallest) {
        size = cut;
        return;
    }
    size = smallest;
    pos = std::max(0, limit - size);
}

} // namespace

QRect RecordRect(const PlacementRecord& record, QSize client)
{
    return QRect(PixelsOf(record.left, client.width()), PixelsOf(record.top, client.height()),
                 PixelsOf(record.width, client.width()), PixelsOf(record.height, client.height()));
}

int FindPlacementRecord(const PlacementTable& table, uint8_t mode, uint16_t kind)
{
    kind &= kKindMask;
    for (int i = static_cast<int>(table.size()) - 1; i >= 0; --i) {
        const PlacementRecord& r = table[static_cast<size_t>(i)];
        if (r.scheme == mode && r.kind == kind)
            return i;
    }
    const unsigned category = CategoryOfKind(kind);
    for (unsigned mask = 255; mask < 32768; mask *= 2) {
        for (int i = static_cast<int>(table.size()) - 1; i >= 0; --i) {
            const PlacementRecord& r = table[static_cast<size_t>(i)];
            if (r.scheme == mode && (r.category & mask) == (category & mask))
                return i;
        }
    }
    return -1;
}

QRect CascadeRect(QRect rect, int dx, int dy, const std::vector<QPoint>& others)
{
    if (dx == 0 && dy == 0)
        return rect;
    // Each move goes one step further along (dx, dy), so every corner can be
    // met at most once and the scans end.
    for (bool moved = true; moved;) {
        moved = false;
        for (const QPoint& p : others) {
            if (p == rect.topLeft()) {
                rect.translate(dx, dy);
                moved = true;
                break;
            }
        }
    }
    return rect;
}

QRect FitToClient(QRect rect, QSize client, QSize minimum)
{
    int left = rect.left();
    int top = rect.top();
    int width = rect.width();
    int height = rect.height();
    FitAxis(top, height, client.height(), minimum.height());
    FitAxis(left, width, client.width(), minimum.width());
    return QRect(left, top, width, height);
}

QRect DesignRect(QSize design, QSize minimum, QSize client, int step, const std::vector<QPoint>& others)
{
    QSize size = design;
    if (client.width() > 0 && client.height() > 0)
        size = size.boundedTo(client);
    size = size.expandedTo(minimum);
    QRect r = CascadeRect(QRect(QPoint(0, 0), size), step, step, others);
    if (client.width() > 0 && r.left() + r.width() > client.width())
        r.moveLeft(std::max(0, client.width() - r.width()));
    if (client.height() > 0 && r.top() + r.height() > client.height())
        r.moveTop(std::max(0, client.height() - r.height()));
    return r;
}

PlacementResult DecidePlacement(const PlacementSchemes& schemes, const PlacementRequest& request)
{
    PlacementResult result;
    result.bounds = request.bounds;
    if (request.mode == 0) {
        result.maximised = true;
        return result;
    }
    if (request.mode < kFirstScheme || request.mode > kLastScheme || request.kind == 0 ||
        request.client.width() <= 0 || request.client.height() <= 0)
        return result;
    QRect r = request.bounds;
    const int found = FindPlacementRecord(schemes.table, request.mode, request.kind);
    if (found >= 0)
        r = RecordRect(schemes.table[static_cast<size_t>(found)], request.client);
    const size_t s = static_cast<size_t>(request.mode - kFirstScheme);
    r = CascadeRect(r, schemes.shiftRight[s], schemes.shiftDown[s], request.others);
    result.bounds = FitToClient(r, request.client, request.minimum);
    return result;
}

void StoreWindowScheme(PlacementTable& table, uint8_t scheme, const std::vector<PlacedWindow>& windows,
                       QSize client)
{
    if (client.width() <= 0 || client.height() <= 0)
        return;
    for (const PlacedWindow& w : windows) {
        const uint16_t kind = w.kind & kKindMask;
        if (kind == 0)
            continue;
        PlacementRecord* record = nullptr;
        for (PlacementRecord& r : table)
            if (r.kind == kind && r.scheme == scheme) {
                record = &r;
                break;
            }
        if (record == nullptr)
            for (PlacementRecord& r : table)
                if (r.scheme == 0) {
                    record = &r;
                    break;
                }
        if (record == nullptr)
            continue;
        record->scheme = scheme;
        record->kind = kind;
        record->category = CategoryOfKind(kind);
        record->top = PerMilleOf(w.bounds.top(), client.height());
        record->left = PerMilleOf(w.bounds.left(), client.width());
        record->width = PerMilleOf(w.bounds.width(), client.width());
        record->height = PerMilleOf(w.bounds.height(), client.height());
    }
}

QMargins TaskbarMarginsOf(const QRect& screen, const QRect& available)
{
    const int screenRight = screen.x() + screen.width();
    const int screenBottom = screen.y() + screen.height();
    const int availRight = available.x() + available.width();
    const int availBottom = available.y() + available.height();
    return QMargins(std::max(0, available.x() - screen.x()), std::max(0, available.y() - screen.y()),
                    std::max(0, screenRight - availRight), std::max(0, screenBottom - availBottom));
}

QRect ComputeMainWindowRect(const MainWindowInput& in)
{
    int l = in.current.x();
    int t = in.current.y();
    int w = in.current.width();
    int h = in.current.height();
    const int screenWidth = in.screen.width();
    const int sample = in.sampleWidth * 105 / 64;
    const bool savedRight = screenWidth / 3 < in.sizePos.x();
    switch (in.programType) {
    case 1:
        l = in.sizePos.x();
        w = 640;
        h = 440;
        break;
    case 2:
    case 4:
    case 5:
        w = h = sample;
        l = savedRight ? 20 : screenWidth - w;
        break;
    case 6: break;
    case 7:
        w = h = sample;
        l = savedRight ? 5 : screenWidth - w - 20;
        t += 20;
        break;
    case 8:
        w = h = sample;
        l = savedRight ? 5 : screenWidth - w;
        t += 20;
        break;
    default:
        l = in.sizePos.x();
        t = in.sizePos.y();
        w = in.sizePos.width();
        h = in.sizePos.height();
        break;
    }
    const int dLeft = in.desktop.x();
    const int dTop = in.desktop.y();
    const int dRight = in.desktop.x() + in.desktop.width();
    const int dBottom = in.desktop.y() + in.desktop.height();

    w = std::min(w, in.screen.width());
    h = std::min(h, in.screen.height());
    if (l + w > dRight)
        l = dRight - w;
    if (t + h > dBottom)
        t = dBottom - h;
    if (l < dLeft)
        l = dLeft;
    if (t < dTop)
        t = dTop;
    if (l > 0 && l < in.margins.left())
        l = in.margins.left();
    if (t > 0 && t < in.margins.top())
        t = in.margins.top();
    w = std::min(w, dRight - dLeft);
    h = std::min(h, dBottom - dTop);
    if (l + w > dRight)
        l = dRight - w;
    if (t + h > dBottom)
        t = dBottom - h;
    return QRect(l, t, w, h);
}

// ------------------------------------------------------------------ Applied

void TDataForm::UmistiFormular()
{
    const uint8_t mode = Config().Read([](const ConfigValues& v) { return v.placementMode; });
    UmistiFormularInMode(mode);
}

void TDataForm::UmistiFormularInMode(uint8_t mode)
{
    if (Kind != 0 && ActiveDataForm() == this)
        RefreshMenus(this);
    // A window placed for the first time gets its sub-window here, and with
    // it its design size; the active window at this moment is the one below.
    const bool first = SubWindow() == nullptr;
    const QSize design = first ? DesignSize() : QSize();
    const TDataForm* below = first ? ActiveDataForm() : nullptr;
    const bool belowMaximised = below != nullptr && below != this && below->SubWindow() != nullptr &&
                                below->SubWindow()->isMaximized();
    QMdiSubWindow* sub = AttachToMdiArea();
    QMdiArea* area = DataWindowArea();
    if (sub == nullptr || area == nullptr)
        return;
    if (first)
        PlaceAtDesignSize(design);
    if (mode == 0) {
        sub->showMaximized();
        return;
    }
    if (mode == 1 || Kind == 0) {
        // Maximised stays maximised: the new window covers the one below,
        // which keeps its state behind it.
        if (belowMaximised)
            sub->showMaximized();
        else if (sub->isMinimized())
            sub->showNormal();
        else if (sub->isHidden())
            sub->show();
        return;
    }
    if (sub->isMaximized() || sub->isMinimized())
        sub->showNormal();
    else if (sub->isHidden())
        sub->show();

    PlacementRequest request;
    request.mode = mode;
    request.kind = Kind;
    request.bounds = sub->geometry();
    request.client = area->viewport()->size();
    request.minimum = sub->minimumSizeHint().expandedTo(sub->minimumSize());
    for (const TDataForm* f : DataWindowsOnScreen())
        if (f != this && f->Kind != 0 && f->SubWindow() != nullptr)
            request.others.push_back(f->SubWindow()->geometry().topLeft());
    const PlacementSchemes schemes = Config().Read([](const ConfigValues& v) { return v.schemes; });
    const PlacementResult result = DecidePlacement(schemes, request);
    if (result.bounds != sub->geometry())
        sub->setGeometry(result.bounds);
}

QSize TDataForm::DesignSize() const
{
    if (widget_ == nullptr)
        return QSize();
    // A window built from a form has the form's size from its set-up on.
    return widget_->testAttribute(Qt::WA_Resized) ? widget_->size() : widget_->sizeHint();
}

void TDataForm::PlaceAtDesignSize(QSize design)
{
    QMdiSubWindow* sub = SubWindow();
    QMdiArea* area = DataWindowArea();
    if (sub == nullptr || area == nullptr)
        return;
    const QMargins frame = sub->contentsMargins();
    QSize outer = design.isValid() && !design.isEmpty() ? design.grownBy(frame) : sub->size();
    const QSize inner = widget_->minimumSize().expandedTo(widget_->minimumSizeHint());
    const QSize minimum = sub->minimumSizeHint().expandedTo(inner.grownBy(frame));
    std::vector<QPoint> others;
    for (const TDataForm* f : DataWindowsOnScreen())
        if (f != this && f->SubWindow() != nullptr)
            others.push_back(f->RestoredGeometry().topLeft());
    const int step = std::max(frame.top(), 8);
    const QRect r = DesignRect(outer, minimum, area->viewport()->size(), step, others);
    sub->setGeometry(r);
    restored_ = r;
}

void TDataForm::PlaceAndShow(bool maximise)
{
    UmistiFormular();
    if (maximise && SubWindow() != nullptr)
        SubWindow()->showMaximized();
}

void SaveWindowScheme(uint8_t scheme)
{
    if (scheme < kFirstScheme || scheme > kLastScheme)
        return;
    QMdiArea* area = DataWindowArea();
    if (area == nullptr)
        return;
    std::vector<PlacedWindow> windows;
    for (const TDataForm* f : DataWindowsOnScreen()) {
        const QMdiSubWindow* sub = f->SubWindow();
        if (f->Kind == 0 || sub == nullptr)
            continue;
        windows.push_back({f->Kind, sub->isMinimized() ? f->RestoredGeometry() : sub->geometry()});
    }
    const QSize client = area->viewport()->size();
    Config().Update([&](ConfigValues& v) { StoreWindowScheme(v.schemes.table, scheme, windows, client); });
}

void ApplyWindowScheme(uint8_t scheme)
{
    for (TDataForm* f : DataWindowsOnScreen())
        if (f->Kind != 0)
            f->UmistiFormularInMode(scheme);
}

QMargins TaskbarMargins(const QWidget* mainWindow)
{
    const QScreen* screen = mainWindow != nullptr ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (screen == nullptr)
        return QMargins();
    return TaskbarMarginsOf(screen->geometry(), screen->availableGeometry());
}

QRect MainWindowRect(uint8_t programType, const QWidget* mainWindow, int sampleWidth)
{
    MainWindowInput in;
    in.programType = programType;
    in.sampleWidth = sampleWidth;
    in.current = mainWindow != nullptr ? mainWindow->frameGeometry() : QRect(0, 0, 640, 480);
    in.sizePos = Config().Read(
        [](const ConfigValues& v) { return QRect(v.mainLeft, v.mainTop, v.mainWidth, v.mainHeight); });
    const QScreen* screen = mainWindow != nullptr ? mainWindow->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        in.screen = screen->geometry().size();
        in.desktop = screen->availableGeometry();
        in.margins = TaskbarMarginsOf(screen->geometry(), in.desktop);
    } else {
        in.screen = QSize(640, 480);
        in.desktop = QRect(0, 0, 640, 480);
    }
    return ComputeMainWindowRect(in);
}

void ReadTaskbar(bool& autoHide, bool& alwaysOnTop)
{
    autoHide = false;
    alwaysOnTop = false;
}
