#include "frame/commands/macro.h"

#include <QApplication>
#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QWidget>

#include <algorithm>
#include <charconv>
#include <cstdint>

#include "frame/windows/data_form.h"
#include "platform/ascii.h"
#include "platform/fs.h"

namespace {

// Lines and fields lose every control character and blank at both ends.
std::string_view TrimSpace(std::string_view s)
{
    return TrimIf(s, IsBlankOrControl);
}

std::unique_ptr<MacroInjector>& Injector()
{
    static std::unique_ptr<MacroInjector> i;
    return i;
}

int NumberOf(std::string_view field)
{
    field = TrimSpace(field);
    int v = 0;
    const auto r = std::from_chars(field.data(), field.data() + field.size(), v);
    if (r.ec != std::errc() || r.ptr != field.data() + field.size())
        return 0;
    return v;
}

std::vector<std::string_view> Fields(std::string_view command)
{
    std::vector<std::string_view> out;
    size_t start = 0;
    while (true) {
        const size_t comma = command.find(',', start);
        out.push_back(TrimSpace(
            command.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start)));
        if (comma == std::string_view::npos)
            break;
        start = comma + 1;
    }
    return out;
}

bool Presses(int code)
{
    return code == 8 || code == 13 || code == 27 || (code >= 48 && code <= 57) ||
           (code >= 65 && code <= 90) || (code >= 112 && code <= 123);
}

// Targets farther than any screen stop at this distance from the main
// window's corner, so that the corner plus the target stays an int.
constexpr int kFarthestTarget = 1 << 20;

int TargetCoordinate(std::string_view field)
{
    return std::clamp(NumberOf(field), -kFarthestTarget, kFarthestTarget);
}

// One glide step toward the target, per axis; wide, as the cursor the
// system reports may lie anywhere.
int GlideX(int from, int to)
{
    const int64_t p = from;
    const int64_t x = to;
    const int64_t d = p > x ? p - x : x - p;
    if (d <= 1)
        return to;
    if (d <= 15)
        return static_cast<int>((p + x) / 2);
    if (d <= 47)
        return static_cast<int>((x + 3 * p) / 4);
    return static_cast<int>((x + 7 * p) / 8);
}

int GlideY(int from, int to)
{
    const int64_t p = from;
    const int64_t y = to;
    const int64_t d = p > y ? p - y : y - p;
    if (d <= 1)
        return to;
    if (d <= 11)
        return static_cast<int>((p + y) / 2);
    if (d <= 35)
        return static_cast<int>((2 * p + y) / 3);
    return static_cast<int>((5 * p + y) / 6);
}

QWidget* MainWidget()
{
    TDataForm* main = MainDataForm();
    return main != nullptr ? main->Widget() : nullptr;
}

} // namespace

// --- The Qt injector ------------------------------------------------------------

void QtMacroInjector::PressKey(int vk)
{
    // An open menu takes the keys, as it grabs the keyboard.
    QWidget* target = QApplication::activePopupWidget();
    if (target == nullptr)
        target = QApplication::focusWidget();
    if (target == nullptr)
        target = QApplication::activeWindow();
    if (target == nullptr)
        target = MainWidget();
    if (target == nullptr)
        return;
    int key = 0;
    QString text;
    if (vk == 8) {
        key = Qt::Key_Backspace;
        text = QStringLiteral("\b");
    } else if (vk == 13) {
        key = Qt::Key_Return;
        text = QStringLiteral("\r");
    } else if (vk == 27) {
        key = Qt::Key_Escape;
        text = QString(QChar(27));
    } else if (vk >= 48 && vk <= 57) {
        key = Qt::Key_0 + (vk - 48);
        text = QString(QChar(vk));
    } else if (vk >= 65 && vk <= 90) {
        key = Qt::Key_A + (vk - 65);
        text = QString(QChar(vk + 32));
    } else if (vk >= 112 && vk <= 123) {
        key = Qt::Key_F1 + (vk - 112);
    } else {
        return;
    }
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyPress, key, Qt::NoModifier, text));
    QCoreApplication::postEvent(target, new QKeyEvent(QEvent::KeyRelease, key, Qt::NoModifier, text));
}

void QtMacroInjector::ClickLeft()
{
    const QPoint global = Cursor();
    QWidget* target = QApplication::widgetAt(global);
    if (target == nullptr) {
        if (QWidget* main = MainWidget()) {
            const QPoint local = main->mapFromGlobal(global);
            target = main->childAt(local);
            if (target == nullptr && main->rect().contains(local))
                target = main;
        }
    }
    if (target == nullptr)
        return;
    const QPointF local = target->mapFromGlobal(QPointF(global));
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonPress, local, QPointF(global),
                                                        Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
    QCoreApplication::postEvent(target, new QMouseEvent(QEvent::MouseButtonRelease, local, QPointF(global),
                                                        Qt::LeftButton, Qt::NoButton, Qt::NoModifier));
}

QPoint QtMacroInjector::Cursor()
{
    return own_ ? pos_ : QCursor::pos();
}

void QtMacroInjector::SetCursor(QPoint screen)
{
    QCursor::setPos(screen);
    // Where the pointer cannot be moved (Wayland, offscreen) the player keeps
    // its own position.
    own_ = QCursor::pos() != screen;
    pos_ = screen;
}

QPoint QtMacroInjector::Origin()
{
    QWidget* main = MainWidget();
    return main != nullptr ? main->frameGeometry().topLeft() : QPoint();
}

// --- Playback ---------------------------------------------------------------------

std::unique_ptr<MacroInjector> SetMacroInjector(std::unique_ptr<MacroInjector> injector)
{
    std::unique_ptr<MacroInjector> old = std::move(Injector());
    Injector() = std::move(injector);
    return old;
}

MacroInjector& CurrentMacroInjector()
{
    if (!Injector())
        Injector() = std::make_unique<QtMacroInjector>();
    return *Injector();
}

MacroState& CurrentMacroState()
{
    static MacroState s;
    return s;
}

void ResetMacro()
{
    CurrentMacroState() = MacroState{};
}

int KeyCodeOfName(std::string_view name)
{
    name = name.substr(0, 9);
    if (name.size() == 1)
        return static_cast<unsigned char>(name[0]);
    if (name == "Ent")
        return 13;
    if (name == "Esc")
        return 27;
    if (name == "Back")
        return 8;
    if (name == "F10")
        return 121;
    if (name == "ML")
        return 512;
    if (name == "Alt")
        return 256;
    return 0;
}

std::string MacroScriptOfText(std::string_view text)
{
    std::string script;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find_first_of("\r\n", start);
        if (end == std::string_view::npos)
            end = text.size();
        std::string_view line = text.substr(start, end - start);
        if (const size_t c = line.find("//"); c != std::string_view::npos)
            line = line.substr(0, c);
        line = TrimSpace(line);
        if (!line.empty()) {
            script += line;
            if (line.back() != ';')
                script += ';';
        }
        if (end == text.size())
            break;
        start = end + 1;
    }
    return script;
}

bool LoadMacro(const std::string& path)
{
    std::string text;
    if (ReadWholeFile(ResolvePath(path), text) != 0)
        return false;
    AppendMacroScript(MacroScriptOfText(text));
    return true;
}

void AppendMacroScript(std::string_view script)
{
    CurrentMacroState().script += script;
}

void MoveCursorRelative(int x, int y)
{
    MacroInjector& in = CurrentMacroInjector();
    in.SetCursor(CurrentMacroState().origin + QPoint(x, y));
}

void RunMacroStep()
{
    MacroState& s = CurrentMacroState();
    MacroInjector& in = CurrentMacroInjector();
    if (s.countdown < 0) {
        if (s.script.empty())
            return;
        const size_t semi = s.script.find(';');
        const std::string command = s.script.substr(0, semi);
        s.script.erase(0, semi == std::string::npos ? std::string::npos : semi + 1);
        const std::vector<std::string_view> f = Fields(command);
        if (f[0].empty())
            return;
        const char kind = f[0][0];
        if (kind == 'a')
            s.action = -1;
        else if (kind == 'k')
            s.action = KeyCodeOfName(f[0].substr(1));
        else if (kind == 'n')
            s.action = 0;
        else
            return;
        s.countdown = int64_t{8} * (f.size() > 1 ? NumberOf(f[1]) : 0);
        if (kind == 'a') {
            s.target =
                QPoint(f.size() > 2 ? TargetCoordinate(f[2]) : 0, f.size() > 3 ? TargetCoordinate(f[3]) : 0);
            s.origin = in.Origin();
        }
    }
    s.countdown -= 1;
    if (s.countdown < 0) {
        if (Presses(s.action))
            in.PressKey(s.action);
        else if (s.action == 512)
            in.ClickLeft();
        else if (s.action == -1)
            MoveCursorRelative(s.target.x(), s.target.y());
        return;
    }
    if (s.action == -1) {
        const QPoint p = in.Cursor() - s.origin;
        MoveCursorRelative(GlideX(p.x(), s.target.x()), GlideY(p.y(), s.target.y()));
    }
}
