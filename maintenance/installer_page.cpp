#include "maintenance/installer_page.h"

#include <QCloseEvent>
#include <QEvent>
#include <QObject>
#include <QPointer>
#include <QWidget>

#include <chrono>
#include <cmath>

#include "datastore/kamenici.h"
#include "datastore/run_log.h"
#include "datastore/service_hooks.h"
#include "datastore/text_table.h"
#include "frame/message_box.h"
#include "frame/pages/page_events.h"
#include "frame/start/command_line.h"
#include "frame/start/ipc.h"
#include "frame/windows/main_form.h"
#include "maintenance/about_box.h"
#include "maintenance/folder_log.h"
#include "maintenance/http_client.h"
#include "maintenance/net_settings_dialog.h"
#include "maintenance/server_list.h"
#include "maintenance/version_folders.h"
#include "platform/cp1250.h"
#include "platform/main_thread_call.h"

namespace {

constexpr Colour kWhite = 0xFFFFFF;
constexpr Colour kBlack = 0x000000;
constexpr Colour kDone = 0x338800;
constexpr Colour kWaiting = 0x999999;
constexpr Colour kFailed = 0x0000CC;
constexpr Colour kOutline = 0x222222;
constexpr Colour kBarBack = 0xDDDDDD;
constexpr double kWideAspect = 1.3;
constexpr int kStopWaitMs = 2000;

namespace Command {
constexpr int32_t Enter = 13, About = 15, Network = 23, Escape = 27;
}

std::string DefaultText(const char* section, const char* key)
{
    return KamToWin(ProgramText(section, key));
}

double NowDays()
{
    using namespace std::chrono;
    return duration<double>(system_clock::now().time_since_epoch()).count() / 86400.0;
}

// The drawing of one page: circles, panel and buttons.
class PageDrawing {
public:
    PageDrawing(Canvas& c, int width, int height, const InstallerSnapshot& s, const InstallerPageInput& in,
                int h)
        : c_(c), width_(width), height_(height), s_(s), in_(in), h_(h), q_(h / 4)
    {}

    std::vector<InstallerButton> Draw()
    {
        c_.SetFont(in_.font);
        c_.SetBrush(kWhite);
        c_.SetPen(kWhite, 1);
        c_.FillRect({0, 0, width_, height_});
        const int left = h_;
        const int top = h_;
        const int innerWidth = std::max(1, width_ - 2 * h_);
        const int innerHeight = std::max(1, height_ - 2 * h_);
        const double aspect = double(innerWidth) / double(innerHeight);
        const uint16_t step = s_.step;
        if (aspect < kWideAspect) {
            int y = top;
            for (int n = 1; n <= step; ++n)
                y = Circle(n, left, y);
            y = Panel(left + 2 * h_, y, width_ - h_);
            for (int n = step + 1; n <= s_.stepCount; ++n)
                y = Circle(n, left, y);
        } else {
            int y = top;
            for (int n = 1; n <= s_.stepCount; ++n)
                y = Circle(n, left, y);
            Panel(left + 2 * widest_, 2 * h_ + (step - 1) * 4 * h_, width_ - h_);
        }
        return std::move(buttons_);
    }

private:
    std::string Text(const char* key) const { return in_.text("Inst", key); }

    void Write(int x, int y, const std::string& text, Colour colour, bool bold)
    {
        c_.SetBrushStyle(BrushStyle::Clear);
        c_.SetBold(bold);
        c_.SetFontColour(colour);
        c_.TextOut(x, y, text);
        c_.SetBold(false);
    }

    // Circle n at (x, y); the next circle's y.
    int Circle(int n, int x, int y)
    {
        if (n > s_.stepCount)
            return y;
        const bool failed = s_.step == InstallStep::Failed && n == s_.stepCount;
        const Colour fill = failed ? kFailed : (n > s_.step ? kWaiting : kDone);
        c_.SetBrush(fill);
        c_.SetPen(fill + kOutline, 1);
        c_.Ellipse({x, y, x + 2 * h_ + q_, y + 2 * h_ + q_});
        const std::string mark = failed ? "!" : (n < s_.step ? "o" : std::to_string(n));
        Write(x + 3 * q_ + 1, y + 2 * q_, mark, kWhite, true);
        const std::string label = Text(("st" + std::to_string(n)).c_str());
        Write(x + 3 * h_, y + 2 * q_, label, kBlack, false);
        widest_ = std::max(widest_, c_.TextWidth(label));
        if (n < s_.step && n < 8 && !s_.results[size_t(n)].empty())
            Write(x + 3 * h_, y + 2 * h_ - q_, s_.results[size_t(n)], kBlack, false);
        return y + 4 * h_;
    }

    // A button with its text at (x, y); its right edge.
    int Button(int x, int y, const std::string& text, int32_t code)
    {
        c_.SetBold(true);
        const int w = c_.TextWidth(text) + h_ + 3 * q_;
        c_.SetBold(false);
        const Rect r{x, y, x + w, y + 2 * h_ + 3 * q_};
        c_.SetBrush(kDone);
        c_.SetPen(kDone, 1);
        c_.FillRect(r);
        Write(x + 3 * q_, y + 3 * q_, text, kWhite, true);
        buttons_.push_back({r, code});
        return r.right;
    }

    // The panel of the current step from (left, top) to `right`; its bottom.
    int Panel(int left, int top, int right)
    {
        const int line = h_ + q_;
        int y = top;
        const uint16_t step = s_.step;
        if (step == InstallStep::Waiting) {
            Write(left, y, Text("key2") + in_.chosenPackage, kBlack, false);
            y += line + 2 * q_;
            std::string connection =
                in_.online
                    ? Text("fast1") + std::to_string(PackageMegabytes(in_.expectedSize)) + Text("fast2")
                    : Text("none");
            if (!in_.serverListError.empty())
                connection = in_.serverListError;
            if (!in_.statusText.empty())
                connection = in_.statusText;
            const bool noPackage = s_.state == InstallState::NoPackage;
            if (noPackage)
                connection = Text("noPkg") + in_.chosenPackage;
            Write(left, y, connection, kBlack, false);
            y += line;
            Button(left, y, Text("sys0"), Command::Escape);
            const int gap = c_.TextWidth(Text("sys1")) + 3 * h_ + 3 * q_;
            if (!in_.online || !in_.serverListError.empty() || noPackage)
                Button(left + gap, y, Text("sys5"), Command::Network);
            return y + 2 * h_ + 3 * q_ + h_;
        }
        if (step >= InstallStep::Download && step <= InstallStep::DataTest) {
            const std::string n = std::to_string(step);
            Write(left, y, Text(("ac" + n).c_str()) + s_.details[step], kBlack, false);
            y += line;
            const int width = std::max(1, right - left);
            c_.SetBrush(kBarBack);
            c_.FillRect({left, y, left + width, y + 3});
            int done = width;
            if (s_.total > 0)
                done = std::min(width, int(std::ceil(double(width) * s_.progress / s_.total)));
            c_.SetBrush(kDone);
            c_.FillRect({left, y, left + std::max(0, done), y + 3});
            y += 3 + q_;
            const std::string tail = step == InstallStep::Download ? in_.estimate : s_.lastMessage;
            Write(left, y, Text(("dt" + n).c_str()) + tail, kBlack, false);
            y += line;
            Button(left, y, Text("sys0"), Command::Escape);
            return y + 2 * h_ + 3 * q_ + h_;
        }
        if (step == InstallStep::Finished) {
            Write(left, y, Text("oktx"), kBlack, false);
            y += line;
            const int r = Button(left, y, Text("ok_1"), Command::Enter);
            Button(r + h_, y, Text("ok_2"), Command::Escape);
            return y + 2 * h_ + 3 * q_ + h_;
        }
        if (step == InstallStep::Failed) {
            const int bottomLimit = height_ - 3 * h_ - (2 * h_ + 3 * q_);
            y = std::max(0, std::min(y, bottomLimit));
            Button(left, y, Text("sys0"), Command::Escape);
            return y + 2 * h_ + 3 * q_ + h_;
        }
        return y;
    }

    Canvas& c_;
    int width_;
    int height_;
    const InstallerSnapshot& s_;
    const InstallerPageInput& in_;
    int h_;
    int q_;
    int widest_ = 0;
    std::vector<InstallerButton> buttons_;
};

// Closing the window counts as Escape.
class CloseAsEscape : public QObject {
public:
    explicit CloseAsEscape(std::function<bool()> onClose) : onClose_(std::move(onClose)) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Close && !onClose_()) {
            event->ignore();
            return true;
        }
        return QObject::eventFilter(watched, event);
    }

private:
    std::function<bool()> onClose_;
};

} // namespace

int32_t InstallerButtonAt(const std::vector<InstallerButton>& buttons, Point p)
{
    for (const InstallerButton& b : buttons)
        if (b.rect.left < p.x && p.x < b.rect.right && b.rect.top < p.y && p.y < b.rect.bottom)
            return b.code;
    return 0;
}

std::vector<InstallerButton> DrawInstallerPage(Canvas& canvas, int width, int height,
                                               const InstallerSnapshot& s, const InstallerPageInput& in,
                                               int& fontHeight)
{
    if (fontHeight <= 4) {
        canvas.SetFont(in.font);
        fontHeight = std::abs(canvas.TextHeight("\xC8g"));
    }
    return PageDrawing(canvas, width, height, s, in, std::max(fontHeight, 1)).Draw();
}

std::string DownloadEstimate(double& start, double now, int32_t progress, int32_t total)
{
    if (start == 0) {
        start = now;
        return {};
    }
    if (total / 100 < progress && progress > 0) {
        const long seconds = std::lround((now - start) * (total - progress) / progress / 1.16e-5) + 1;
        if (seconds < 100)
            return std::to_string(seconds) + " sec";
        return std::to_string((seconds + 40) / 60) + " min";
    }
    return " oo";
}

TInstWin::TInstWin(PageState& state, Canvas& canvas, int width, int height, TMainForm* owner,
                   InstallerServices services)
    : TPraded(state, canvas, width, height), owner_(owner), services_(std::move(services))
{
    QPointer<QWidget> window(owner);
    services_.setTitle = [window](const std::string& title) {
        PostToMainThread([window, title] {
            if (window)
                window->setWindowTitle(Cp1250ToQString(title));
        });
    };
    services_.restoreWindow = [window] {
        PostToMainThread([window] {
            if (window && window->isMinimized())
                window->showNormal();
        });
    };
    calls_.end = [owner](int code) {
        if (owner != nullptr)
            owner->Terminate(code);
    };
    calls_.ask = [](std::string_view text) { return AskYesNoCancel(text); };
    calls_.openAbout = [owner] { RunDialog<TOAplikaci>(owner); };
    calls_.openNetSettings = [owner] { return RunDialog<TSetNet>(owner) == QDialog::Accepted; };
    calls_.startGetList = [] { StartGetList(); };
    calls_.parseList = [] { return ParseUpdateList(true, false); };
    calls_.now = NowDays;
    calls_.text = DefaultText;
    if (owner != nullptr) {
        closeFilter_ = std::make_unique<CloseAsEscape>([this] {
            if (!stopped_)
                RunCommand(Command::Escape);
            return stopped_;
        });
        owner->installEventFilter(closeFilter_.get());
    }
}

TInstWin::~TInstWin()
{
    if (owner_ != nullptr && closeFilter_)
        owner_->removeEventFilter(closeFilter_.get());
    stop_ = true;
    if (installerThread_.joinable())
        installerThread_.join();
    if (copierThread_.joinable())
        copierThread_.join();
    if (networkStopped_)
        ResumeNetwork();
}

std::string TInstWin::Text(const char* section, const char* key) const
{
    return calls_.text(section, key);
}

void TInstWin::Build()
{
    fontHeight_ = 0;
    TPraded::Build();
}

void TInstWin::Tick()
{
    ++ticks_;
    if (ticks_ % 5 == 0) {
        InstallerSnapshot now;
        now.step = installer_.step.load();
        now.stepCount = installer_.stepCount.load();
        now.state = installer_.state.load();
        now.progress = installer_.progress.load();
        if (now.progress != seen_.progress || now.step != seen_.step || now.stepCount != seen_.stepCount ||
            now.state != seen_.state || ticks_ % 100 == 0)
            repaint = true;
        seen_ = now;
    } else if (ticks_ % 5 == 1) {
        InstallerWork();
    }
}

void TInstWin::Paint()
{
    const InstallerSnapshot s = installer_.Snapshot();
    const UpdateSharedValues& u = UpdateShared();
    InstallerPageInput in;
    in.chosenPackage = u.ChosenPackage();
    in.expectedSize = u.ExpectedPackageSize();
    in.online = s.step == InstallStep::Waiting ? s.progress != 0 : true;
    in.serverListError = u.ServerListError();
    in.statusText = UpdateStatusText().Get();
    if (s.step == InstallStep::Download)
        in.estimate = DownloadEstimate(downloadStart_, calls_.now(), s.progress, s.total);
    in.font = state.pageFont;
    in.text = calls_.text;
    buttons_ = DrawInstallerPage(*canvas, width, height, s, in, fontHeight_);
}

void TInstWin::JoinFinished()
{
    if (installerDone_.load() && installerThread_.joinable())
        installerThread_.join();
    if (copierDone_.load() && copierThread_.joinable())
        copierThread_.join();
}

void TInstWin::InstallerWork()
{
    JoinFinished();
    const uint16_t step = installer_.step.load();
    if (step == 0 || step > installer_.stepCount.load() + 3)
        installer_.step = InstallStep::Waiting;
    StartInstallWorker();
    if (installer_.state.load() == InstallState::CopyStarted && !stopped_)
        StopProgram();
}

InstallerPlace TInstWin::Place() const
{
    InstallerPlace p;
    p.programFolder = ProgramStart().ProgramFolder;
    p.installBase = InstallBase();
    p.package = UpdateShared().ChosenPackage();
    p.expectedSize = UpdateShared().ExpectedPackageSize();
    return p;
}

void TInstWin::StartInstallWorker()
{
    if (installer_.step.load() != InstallStep::Waiting)
        return;
    if (firstWork_) {
        firstWork_ = false;
        if (installer_.state.load() == 0)
            installer_.state = InstallState::Ready;
    }
    const int32_t online = services_.isOnline();
    installer_.progress = online;
    UpdateSharedValues& u = UpdateShared();
    if (online != 0 && !u.serverListReady.load() && !u.serverListFetchStarted.load())
        calls_.startGetList();
    // Each finished fetch is parsed once (a parse writes the run log).
    if (!u.serverListReady.load()) {
        listParsed_ = false;
    } else if (!listParsed_ && u.ServerListError().empty()) {
        listParsed_ = true;
        const std::string wanted = u.ChosenPackage();
        if (!wanted.empty() && u.ExpectedPackageSize() == 0 && !calls_.parseList() &&
            !u.ChosenPackage().empty())
            installer_.state = InstallState::NoPackage;
    }
    const std::string package = u.ChosenPackage();
    if (online == 0 || u.ExpectedPackageSize() == 0 || installer_.state.load() < 0 ||
        !IsInstallablePackage(package))
        return;
    if (PackageNameOfFolder(ProgramStart().ProgramFolder) == package.substr(0, package.size() - 4))
        StartInstaller();
    else
        StartCopier();
}

void TInstWin::StartInstaller()
{
    if (installerThread_.joinable() || stopped_)
        return;
    runningPlace_ = Place();
    if (!IsInstallablePackage(runningPlace_.package))
        return;
    installerDone_ = false;
    installerThread_ = std::thread([this] {
        RunInstaller(installer_, services_, runningPlace_, calls_.text, stop_);
        installerDone_ = true;
    });
}

void TInstWin::StartCopier()
{
    // Once per run: the copy it starts ends this program.
    if (copierStarted_ || stopped_)
        return;
    copierStarted_ = true;
    runningPlace_ = Place();
    copierDone_ = false;
    copierThread_ = std::thread([this] {
        RunExeCopier(installer_, services_, runningPlace_, calls_.text);
        copierDone_ = true;
    });
}

int32_t TInstWin::HandleEvent(int32_t code, uint8_t shift)
{
    if (code == PageEvent::LeftClick || code == PageEvent::OtherClick)
        RunCommand(InstallerButtonAt(buttons_, state.mousePoint));
    else if (shift == PageShift::Typed)
        RunCommand(code);
    return PageEvent::Consumed;
}

void TInstWin::RunCommand(int32_t code)
{
    const int32_t st = installer_.state.load();
    switch (code) {
    case Command::Enter:
        if (st == InstallState::Installed && installer_.step.load() == InstallStep::Finished) {
            const std::string base = InstallBase();
            ShellOpen(base.empty() ? ProgramStart().ProgramFolder + kProgramFileName : base + kLauncherName,
                      {}, false);
            StopProgram();
        } else if (st == InstallState::Ready && installer_.step.load() == InstallStep::Waiting &&
                   !installerThread_.joinable()) {
            StartInstaller();
        }
        break;
    case Command::About: calls_.openAbout(); break;
    case Command::Network:
        if (calls_.openNetSettings() && installer_.state.load() == InstallState::NoPackage) {
            installer_.state = InstallState::Ready;
            listParsed_ = false;
        }
        break;
    case Command::Escape:
        if (st == InstallState::Downloading || st == InstallState::Unpacking || st == InstallState::Testing) {
            if (calls_.ask(KamToWin(ProgramText("Inst", "qStop"))) != 6)
                break;
        }
        StopProgram();
        break;
    default: break;
    }
    repaint = true;
}

int TInstWin::ExitCodeNow() const
{
    const int32_t st = installer_.state.load();
    if ((st == InstallState::Installed && installer_.step.load() == InstallStep::Finished) ||
        st == InstallState::CopyStarted)
        return 0;
    return 2;
}

bool TInstWin::WaitWorkers(int ms)
{
    const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    auto running = [this] {
        return (installerThread_.joinable() && !installerDone_.load()) ||
               (copierThread_.joinable() && !copierDone_.load());
    };
    while (running() && std::chrono::steady_clock::now() < until)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    JoinFinished();
    return !running();
}

void TInstWin::StopProgram()
{
    if (stopped_)
        return;
    stopped_ = true;
    stop_ = true;
    const bool downloading = installerThread_.joinable() && !installerDone_.load();
    if (downloading) {
        StopNetwork();
        networkStopped_ = true;
    }
    // A worker that does not end in time is joined when the page goes.
    WaitWorkers(kStopWaitMs);
    {
        InstallerLogHandle& h = InstallerLog();
        std::lock_guard lock(h.mutex);
        if (h.log.IsOpen()) {
            h.log.Append(TakeRunLog());
            h.log.Line(InstallerWhereLine(installer_));
            h.log.Close();
        }
    }
    calls_.end(ExitCodeNow());
}

void AddInstallerPageHooks(PageHooks& hooks)
{
    hooks.makeInstWin = [](const PageContext& ctx) -> std::unique_ptr<TPraded> {
        return std::make_unique<TInstWin>(ctx.state, ctx.canvas, ctx.width, ctx.height, ctx.owner);
    };
}
