#include "frame/windows/data_form.h"

#include <QCoreApplication>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMetaObject>
#include <QToolButton>
#include <QWidget>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "frame/windows/caption_keys.h"
#include "frame/windows/data_form_private.h"
#include "frame/windows/style.h"
#include "platform/main_thread_call.h"

// The event side of a data window: first show, resize, close, and the
// sub-window's normal rectangle.
class DataFormEvents : public QObject {
public:
    explicit DataFormEvents(TDataForm* form) : form_(form) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (watched == form_->widget_) {
            switch (event->type()) {
            case QEvent::Show:
                if (form_->Starting)
                    form_->FormStart();
                break;
            case QEvent::Resize: form_->myResize(); break;
            case QEvent::Close:
                if (!resending_) {
                    // Let the widget decide first, so that only an accepted
                    // close marks the window as closing.
                    resending_ = true;
                    QCoreApplication::sendEvent(watched, event);
                    resending_ = false;
                    if (event->isAccepted())
                        form_->MarkClosing();
                    return true;
                }
                break;
            default: break;
            }
        } else if (watched == form_->subWindow_.data()) {
            QMdiSubWindow* sub = qobject_cast<QMdiSubWindow*>(watched);
            if (sub != nullptr && (event->type() == QEvent::Move || event->type() == QEvent::Resize)) {
                if (!(sub->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
                    form_->restored_ = sub->geometry();
            }
        }
        return false;
    }

private:
    TDataForm* form_;
    bool resending_ = false;
};

namespace data_form_detail {

void AssertMainThread(const char* where)
{
    // Without an application (tools, early start) there is no main thread
    // to hold to.
    if (QCoreApplication::instance() != nullptr && !IsMainThread()) {
        std::fprintf(stderr, "%s called outside the main thread\n", where);
        std::abort();
    }
}

bool IsLive(const TDataForm* f)
{
    return f != nullptr && !f->Closing();
}

} // namespace data_form_detail

using data_form_detail::AssertMainThread;
using data_form_detail::IsLive;

namespace {

std::vector<TDataForm*>& LiveForms()
{
    static std::vector<TDataForm*> forms;
    return forms;
}

struct MainState {
    DataFormRef main;
    QPointer<QMdiArea> area;
    QMetaObject::Connection activation;
};

MainState& Main()
{
    static MainState state;
    return state;
}

std::vector<DataFormRef> RegistrySnapshot()
{
    std::vector<DataFormRef> refs;
    refs.reserve(OpenDataWindows.Count);
    for (uint16_t i = 0; i < OpenDataWindows.Count; ++i)
        refs.push_back(OpenDataWindows.Items[i]);
    return refs;
}

// Keeps every entry that is alive, not `dropping` and has a Kind, in order.
void CompactRegistry(const TDataForm* dropping)
{
    TOpenDataWindows& r = OpenDataWindows;
    uint16_t n = 0;
    for (uint16_t i = 0; i < r.Count; ++i) {
        const TDataForm* f = r.Items[i].get();
        if (f != nullptr && f != dropping && f->Kind != 0)
            r.Items[n++] = r.Items[i];
    }
    for (uint16_t i = n; i < kMaxDataWindows; ++i)
        r.Items[i] = DataFormRef();
    r.Count = n;
}

// Runs `work` after the current event, unless `context` is gone by then.
template <class F>
void Later(QObject* context, F&& work)
{
    if (context == nullptr)
        return;
    QMetaObject::invokeMethod(context, std::forward<F>(work), Qt::QueuedConnection);
}

} // namespace

// ------------------------------------------------------------- DataFormRef

DataFormRef::DataFormRef(TDataForm* form)
{
    if (form != nullptr)
        slot_ = form->self_;
}

DataFormRef& DataFormRef::operator=(TDataForm* form)
{
    slot_ = form != nullptr ? form->self_ : nullptr;
    return *this;
}

// ---------------------------------------------------------------- Registry

TOpenDataWindows OpenDataWindows;
uint16_t PeakDataWindows = 0;
uint16_t DataWindowsCreated = 0;

std::vector<TDataForm*> AllDataForms()
{
    return LiveForms();
}

// ---------------------------------------------------------------- TDataForm

TDataForm::TDataForm(QWidget* widget, Role role)
    : CreatedAt(std::chrono::steady_clock::now()), widget_(widget), role_(role),
      self_(std::make_shared<TDataForm*>(this))
{
    AssertMainThread("TDataForm");
    events_ = std::make_unique<DataFormEvents>(this);
    if (widget_ != nullptr)
        widget_->installEventFilter(events_.get());
    LiveForms().push_back(this);

    CompactRegistry(nullptr);
    if (OpenDataWindows.Count < kMaxDataWindows)
        OpenDataWindows.Items[OpenDataWindows.Count++] = DataFormRef(this);
    PeakDataWindows = std::max(PeakDataWindows, OpenDataWindows.Count);
    ++DataWindowsCreated;
}

TDataForm::~TDataForm()
{
    FormDestroy();
}

QMdiSubWindow* TDataForm::SubWindow() const
{
    return qobject_cast<QMdiSubWindow*>(subWindow_.data());
}

QMdiSubWindow* TDataForm::AttachToMdiArea()
{
    if (subWindow_)
        return SubWindow();
    QMdiArea* area = DataWindowArea();
    if (role_ == Role::MainWindow || area == nullptr || widget_ == nullptr || destroyed_)
        return nullptr;
    QMdiSubWindow* sub = area->addSubWindow(widget_);
    sub->setAttribute(Qt::WA_DeleteOnClose);
    sub->installEventFilter(events_.get());
    subWindow_ = sub;
    restored_ = sub->geometry();
    return sub;
}

QRect TDataForm::RestoredGeometry() const
{
    const QMdiSubWindow* sub = SubWindow();
    if (sub == nullptr)
        return widget_ ? widget_->geometry() : QRect();
    if (sub->windowState() & (Qt::WindowMinimized | Qt::WindowMaximized))
        return restored_;
    return sub->geometry();
}

bool TDataForm::CloseWindow()
{
    AssertMainThread("CloseWindow");
    if (closing_ || destroyed_)
        return true;
    if (subWindow_) {
        QMdiSubWindow* sub = SubWindow();
        return sub == nullptr || sub->close();
    }
    return widget_ != nullptr && widget_->close();
}

void TDataForm::MarkClosing()
{
    if (closing_)
        return;
    closing_ = true;
    PaintBlocked = true;
    NotifyDependants();
    if (role_ == Role::MainWindow) {
        EndPrintJob();
    } else if (!subWindow_ && widget_ != nullptr) {
        // Outside the MDI area nobody else frees it.
        widget_->deleteLater();
    }
}

void TDataForm::NotifyDependants()
{
    if (dependantsNotified_)
        return;
    dependantsNotified_ = true;
    const DataFormRef me(this);
    for (TDataForm* d : LiveForms()) {
        if (d == this || !d->Master.SameWindowAs(me))
            continue;
        const DataFormRef target(d);
        Later(d->Widget(), [target, me] {
            TDataForm* f = target.get();
            // Only while it still follows this master (nil by now when the
            // master is destroyed, the master itself while it is closing).
            if (IsLive(f) && (f->Master.get() == nullptr || f->Master.SameWindowAs(me)))
                f->ResetData(-1);
        });
    }
}

void TDataForm::FormDestroy()
{
    if (destroyed_)
        return;
    AssertMainThread("FormDestroy");
    PaintBlocked = true;
    if (role_ == Role::MainWindow)
        EndPrintJob();
    NotifyDependants();
    destroyed_ = true;
    *self_ = nullptr; // every guarded reference reads nil from here
    auto& live = LiveForms();
    live.erase(std::remove(live.begin(), live.end(), this), live.end());
    CompactRegistry(this);

    if (role_ == Role::DataWindow && subWindow_) {
        bool othersLeft = false;
        for (const TDataForm* f : live)
            othersLeft = othersLeft || (!f->IsMainWindow() && f->SubWindow() != nullptr && !f->Closing());
        TDataForm* main = MainDataForm();
        if (!othersLeft && main != nullptr)
            Later(main->Widget(), [] { RefreshMenus(ActiveDataForm()); });
    }
    if (events_ && widget_ != nullptr)
        widget_->removeEventFilter(events_.get());
    if (QObject* sub = subWindow_.data()) {
        sub->removeEventFilter(events_.get());
        // A window deleted on its own leaves an empty frame behind; when the
        // frame is what is being destroyed, the request dies with it.
        sub->deleteLater();
    }
}

void TDataForm::FormStart()
{
    Starting = false;
}

void TDataForm::myResize()
{}

void TDataForm::ResetData(int32_t value)
{
    PaintBlocked = false;
    if (value >= 0) {
        LinkValues[0] = value;
        if (Dependent && widget_ != nullptr)
            widget_->update();
        return;
    }
    if (Dependent) {
        CloseWindow();
        return;
    }
    Master = nullptr;
    if (widget_ != nullptr)
        widget_->update();
}

bool TDataForm::IsEmpty()
{
    return true;
}

void TDataForm::Schrankuj()
{}

void TDataForm::FormActivate()
{
    if (Kind != 0)
        RefreshMenus(this);
}

int32_t TDataForm::PropagateLinks()
{
    AssertMainThread("PropagateLinks");
    int32_t count = -1;
    const DataFormRef me(this);
    // Each pass walks the registry as it was when the pass began and skips
    // windows that closed or went away meanwhile.
    auto send = [&](LinkKind linkKind, int32_t value) {
        for (const DataFormRef& ref : RegistrySnapshot()) {
            TDataForm* d = ref.get();
            if (!IsLive(d) || d == this || !d->Master.SameWindowAs(me) || d->LinkKinds[0] != linkKind)
                continue;
            d->ResetData(value);
            ++count;
            if (me.get() == nullptr)
                return; // a target's ResetData destroyed this window
        }
    };
    const LinkKind k1 = LinkKinds[1];
    const int32_t v1 = LinkValues[1];
    if (k1 != LinkKind::None && v1 != 0) {
        count = 0;
        send(k1, v1);
        if (me.get() == nullptr)
            return count;
    }
    const LinkKind k2 = LinkKinds[2];
    const int32_t v2 = LinkValues[2];
    if (k2 != LinkKind::None && v2 != 0) {
        count = std::max(count, 0);
        send(k2, v2);
        if (me.get() == nullptr)
            return count;
    }
    if (count == -1 && LinkKinds[0] != LinkKind::None && LinkValues[0] >= -1) {
        count = 0;
        send(LinkKinds[0], LinkValues[0]);
    }
    return count;
}

void TDataForm::TranslateButtonHints()
{
    if (widget_ == nullptr)
        return;
    for (QToolButton* button : widget_->findChildren<QToolButton*>()) {
        const QVariant keyword = button->property("helpKeyword");
        if (!keyword.isValid())
            continue;
        button->setToolTip(HelpKeywordHint(keyword.toString()));
    }
}

// ------------------------------------------------------------ Main window

void SetMainDataForm(TDataForm* main, QMdiArea* area)
{
    AssertMainThread("SetMainDataForm");
    MainState& m = Main();
    if (m.activation)
        QObject::disconnect(m.activation);
    m.main = main;
    m.area = main != nullptr ? area : nullptr;
    if (m.area) {
        // A maximised window stays maximised when another one becomes
        // active over it (the area would otherwise restore it to its normal
        // size); the placement decides the new window's state.
        m.area->setOption(QMdiArea::DontMaximizeSubWindowOnActivation);
        m.activation = QObject::connect(m.area.data(), &QMdiArea::subWindowActivated, m.area.data(),
                                        [](QMdiSubWindow* sub) {
                                            TDataForm* f = sub ? DataFormOf(sub) : nullptr;
                                            if (IsLive(f))
                                                f->FormActivate();
                                        });
    }
}

TDataForm* MainDataForm()
{
    return Main().main.get();
}

QMdiArea* DataWindowArea()
{
    return Main().main.get() != nullptr ? Main().area.data() : nullptr;
}

TDataForm* DataFormOf(const QWidget* widget)
{
    if (widget == nullptr)
        return nullptr;
    for (TDataForm* f : LiveForms())
        if (f->Widget() == widget || f->SubWindow() == widget)
            return f;
    return nullptr;
}

TDataForm* ActiveDataForm()
{
    QMdiArea* area = DataWindowArea();
    return area != nullptr ? DataFormOf(area->currentSubWindow()) : nullptr;
}

std::vector<TDataForm*> DataWindowsOnScreen()
{
    std::vector<TDataForm*> out;
    QMdiArea* area = DataWindowArea();
    if (area == nullptr)
        return out;
    for (QMdiSubWindow* sub : area->subWindowList(QMdiArea::CreationOrder)) {
        TDataForm* f = DataFormOf(sub);
        if (IsLive(f))
            out.push_back(f);
    }
    return out;
}

// ------------------------------------------------------------------ Links

namespace {

struct MasterSearch {
    TDataForm* w = nullptr;
    TDataForm* master = nullptr;
    int32_t value = 0;
    bool newDependent = false;
};

bool OffersLink(const TDataForm* w, LinkKind linkKind)
{
    for (int i = 0; i < 3; ++i)
        if (w->LinkKinds[i] == linkKind && w->LinkValues[i] >= 1)
            return true;
    return false;
}

// Steps 1 to 3 of the master search: where the walk up stops and what it
// offers there.
MasterSearch SearchMaster(LinkKind linkKind)
{
    MasterSearch s;
    TDataForm* main = MainDataForm();
    TDataForm* active = ActiveDataForm();
    TDataForm* w = (main != nullptr && main->Kind != 0) ? main : (IsLive(active) ? active : main);
    if (w == nullptr)
        return s;
    for (int steps = 0; steps < kMaxDataWindows; ++steps) {
        if (OffersLink(w, linkKind) || !w->Dependent)
            break;
        TDataForm* up = w->Master.get();
        if (!IsLive(up))
            break; // a window without a master counts as independent
        w = up;
    }
    s.w = w;
    if (w->LinkKinds[0] == linkKind) {
        TDataForm* m = w->Master.get();
        s.master = (m != nullptr && m == main) ? w : m;
        if (s.master == nullptr)
            s.master = main;
        s.newDependent = w->Dependent;
        s.value = w->LinkValues[0];
    }
    if (w->LinkKinds[1] == linkKind && (static_cast<uint32_t>(w->LinkValues[1]) >> 24) == 0) {
        s.master = w;
        s.value = w->LinkValues[1];
        s.newDependent = true;
    }
    if (w->LinkKinds[2] == linkKind) {
        s.master = w;
        s.value = w->LinkValues[2];
        s.newDependent = true;
    }
    return s;
}

} // namespace

int32_t FindDataWindow(uint16_t kind, LinkKind linkKind, int32_t& value, TDataForm*& window)
{
    AssertMainThread("FindDataWindow");
    TDataForm* main = MainDataForm();
    window = nullptr;
    if (linkKind == LinkKind::None) {
        // A window that follows nothing: an open one of the same kind is
        // brought to the front instead of opening a second.
        value = -1;
        TDataForm* found = nullptr;
        for (const DataFormRef& ref : RegistrySnapshot()) {
            TDataForm* f = ref.get();
            if (IsLive(f) && f != main && f->Kind == kind && f->LinkKinds[0] == LinkKind::None)
                found = f;
        }
        if (found != nullptr) {
            window = found;
            return 0;
        }
        window = main;
        return 1;
    }

    const MasterSearch s = SearchMaster(linkKind);
    if (s.w != nullptr && s.w == main)
        main->Kind = 0; // the one-shot request is used up
    value = s.value;
    if (s.master == nullptr || s.value < 1)
        return -1;

    int dependents = 0;
    TDataForm* last = nullptr;
    for (const DataFormRef& ref : RegistrySnapshot()) {
        TDataForm* d = ref.get();
        if (!IsLive(d) || d->Master.get() != s.master || d->Kind != kind || d->LinkKinds[0] != linkKind)
            continue;
        d->ResetData(s.value);
        d = ref.get();
        if (IsLive(d) && d->Dependent) {
            ++dependents;
            last = d;
        }
    }
    if (dependents > 0) {
        window = last;
        return 0;
    }
    window = s.master;
    return s.newDependent ? 1 : 2;
}

int32_t FindMasterWindow(uint16_t kind, LinkKind linkKind, TDataForm*& window)
{
    AssertMainThread("FindMasterWindow");
    window = nullptr;
    if (linkKind == LinkKind::None)
        return -1;
    const MasterSearch s = SearchMaster(linkKind);
    if (s.master == nullptr || s.value < 1)
        return -1;
    TDataForm* found = nullptr;
    for (const DataFormRef& ref : RegistrySnapshot()) {
        TDataForm* d = ref.get();
        if (IsLive(d) && d->Dependent && d->Master.get() == s.master && d->Kind == kind &&
            d->LinkKinds[0] == linkKind)
            found = d;
    }
    window = found != nullptr ? found : s.master;
    return found != nullptr ? 0 : 1;
}

void CloseDataWindowsButMain()
{
    AssertMainThread("CloseDataWindowsButMain");
    TDataForm* main = MainDataForm();
    std::vector<DataFormRef> all;
    for (TDataForm* f : LiveForms())
        if (f != main)
            all.emplace_back(f);
    for (const DataFormRef& ref : all) {
        TDataForm* f = ref.get();
        if (!IsLive(f))
            continue;
        f->Master = nullptr;
        f->CloseWindow();
    }
    for (DataFormRef& item : OpenDataWindows.Items)
        item = DataFormRef();
    OpenDataWindows.Count = 0;
}
