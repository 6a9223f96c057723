#pragma once
// The command dispatcher: every menu item, toolbar button and several page
// and list actions end in ExecuteCommand(sender, code, value), which opens a
// list, a viewer or a dialog, or runs an action.
//
// What a code does is data: the command table names, per code or pattern, the
// handler that runs it.  Handlers register by name at start-up (the frame's
// own from RegisterFrameCommands, the lists', viewers' and dialogs' from their
// layers); a row whose handler is not registered writes one run-log line
// naming it and does nothing else, so every command of the menus can be
// chosen while the program grows.
//
// Main thread only.

#include <cstdint>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <string_view>

class TDataForm;
struct MainEntryPoints;

// What a handler gets.
struct CommandCall {
    TDataForm* sender = nullptr;
    uint16_t code = 0;
    int32_t value = 0;
    // The lookup request the main window held (data code page), handed to the
    // list openers that start a lookup with it.
    std::string lookup;
    // Value 1 under the main window's request mode 6: the command opens its
    // window for the main window's requested position.
    bool fromMainWindow = false;
};
using CommandHandler = std::function<void(const CommandCall&)>;

// A step the dispatcher runs around a dialog's handler: it notes a setting
// before and acts on its change after.
enum class CommandStep : uint8_t {
    None,
    Language, // a changed language choice switches the text tables
    Colours,  // the MDI client is repainted
    Toolbar,  // a changed toolbar list or flag lays the toolbar out again
};

struct CommandRow {
    // Three characters: the first compared with its case (upper and lower
    // case letters are different groups), "?" matching any character.
    std::string_view pattern;
    std::string_view handler;
    // Where the handler comes from while it is not registered yet; empty for
    // the frame's own.
    std::string_view owner;
    CommandStep step = CommandStep::None;
};

// The table in matching order: the first row whose pattern matches decides.
std::span<const CommandRow> CommandTable();
// The row of a code; nullptr for a code no row takes (it does nothing).
const CommandRow* FindCommandRow(uint16_t code);
bool PatternMatches(std::string_view pattern, uint16_t code);

// --- Handlers --------------------------------------------------------------

using CommandHandlers = std::map<std::string, CommandHandler, std::less<>>;
// Registers (or with an empty handler removes) the handler of a name.
void RegisterCommandHandler(std::string name, CommandHandler handler);
bool HasCommandHandler(std::string_view name);
// Replaces the whole set and returns the one it replaces (tests).
CommandHandlers SetCommandHandlers(CommandHandlers handlers);
// Runs a named handler; false (and one run-log line) when none is registered.
bool RunCommandHandler(std::string_view name, const CommandCall& call);

// --- The dispatcher ----------------------------------------------------------

// The pre-dispatch steps, then the row's handler.
void DispatchCommand(TDataForm* sender, uint16_t code, int32_t value);
// The first command of a run counts the options in effect once; this starts
// a new run's count (a new main window, tests).
void ResetFirstCommand();
bool FirstCommandPending();

// Registers the handlers the frame builds itself.
void RegisterFrameCommands();
// Fills the main window's entry points this folder serves: the dispatcher,
// the main menu and its click, the toolbar and macro playback; also installs
// the RefreshMenus and DropDownMenu hooks.
void AddCommandEntryPoints(MainEntryPoints& calls);
