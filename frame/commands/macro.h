#pragma once
// Macro playback: a script of key presses, mouse moves and clicks replayed
// against the program itself, one step per 20 ms tick of the main window.
//
// Script text: "//" starts a comment; each line is trimmed; a ";" ends every
// command.  Commands are comma-separated fields:
//   a,delay,x,y   glide the mouse to (x, y) from the main window's top-left
//                 corner, arriving when the delay ends;
//   kNAME,delay   press and release a key when the delay ends (KeyCodeOfName);
//   n,delay       wait.
// A delay counts 8 ticks per unit; a missing or invalid number is 0.  A
// point farther than 2^20 pixels from the corner stops at that distance.
//
// Input goes through an injector: the real one posts Qt events to the
// program's own widgets (never sends them, so a key that opens a modal dialog
// does not run the next step inside this one: playback goes on inside the
// dialog's loop), the recording one keeps a log for tests.
//
// Main thread only.

#include <QPoint>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

class MacroInjector {
public:
    virtual ~MacroInjector() = default;
    // Press and release of a virtual key (8, 13, 27, 48-57, 65-90, 112-123).
    virtual void PressKey(int virtualKey) = 0;
    // Press and release of the left button at the cursor.
    virtual void ClickLeft() = 0;
    // The cursor in screen coordinates.
    virtual QPoint Cursor() = 0;
    virtual void SetCursor(QPoint screen) = 0;
    // The main window's top-left corner (screen).
    virtual QPoint Origin() = 0;
};

// Posts Qt events: keys to an open menu, else the focus widget (else the
// active window), the click to the widget under the cursor.  Where the pointer cannot be moved
// it keeps its own cursor position.
class QtMacroInjector : public MacroInjector {
public:
    void PressKey(int virtualKey) override;
    void ClickLeft() override;
    QPoint Cursor() override;
    void SetCursor(QPoint screen) override;
    QPoint Origin() override;

private:
    bool own_ = false;
    QPoint pos_;
};

class RecordingMacroInjector : public MacroInjector {
public:
    struct Event {
        int step = 0;
        std::string what; // "key 65", "click", "move 100,50"
    };
    std::vector<Event> events;
    QPoint cursor;
    QPoint origin;
    int step = 0; // set by the test before each MacroStep
    void PressKey(int virtualKey) override { events.push_back({step, "key " + std::to_string(virtualKey)}); }
    void ClickLeft() override { events.push_back({step, "click"}); }
    QPoint Cursor() override { return cursor; }
    void SetCursor(QPoint screen) override
    {
        cursor = screen;
        events.push_back({step, "move " + std::to_string(screen.x() - origin.x()) + "," +
                                    std::to_string(screen.y() - origin.y())});
    }
    QPoint Origin() override { return origin; }
};

// The injector in use (a QtMacroInjector until replaced); returns the old one.
std::unique_ptr<MacroInjector> SetMacroInjector(std::unique_ptr<MacroInjector> injector);
MacroInjector& CurrentMacroInjector();

// The key code of a name: one character its own code, "Ent" 13, "Esc" 27,
// "Back" 8, "F10" 121, "ML" 512 (left click), "Alt" 256, else 0.
int KeyCodeOfName(std::string_view name);

// The script text a file adds (comments dropped, lines trimmed and ended by
// ";").
std::string MacroScriptOfText(std::string_view text);
// Appends a file's commands; false when it cannot be read.
bool LoadMacro(const std::string& path);
// Appends commands given as text.
void AppendMacroScript(std::string_view script);
// One playback step.
void RunMacroStep();
// Sets the cursor to the origin + (x, y).
void MoveCursorRelative(int x, int y);

// Playback state (tests).
struct MacroState {
    std::string script;
    int64_t countdown = -1; // a delay of up to 8 times the largest int
    int32_t action = 0;
    QPoint target;
    QPoint origin;
};
MacroState& CurrentMacroState();
void ResetMacro();
