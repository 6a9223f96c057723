#pragma once
// The switch between the program's two languages at run time: both text
// tables, the code tables built from them and the main window's menus, hints
// and caption are made again for the new language.
//
// The settings and the window live in higher layers and come in through
// LanguageHooks, which the frame registers at start-up.  An empty hook gives
// its neutral answer and one run-log line naming it.
//
// Threads: LoadLanguage runs on the main thread, after the start-up loader's
// first step (it waits on the loader's gate), so the code tables are never
// loaded twice at once.

#include <cstdint>
#include <functional>
#include <string>

struct LanguageHooks {
    // The folder of the program's text tables and the data folder, with "/".
    std::function<std::string()> programFolder;
    std::function<std::string()> dataFolder;
    // The data set whose code tables are loaded.
    std::function<int()> dataSet;
    // The language of the run ("ces"/0 or "ang"/1).
    std::function<std::string()> languageCode;
    // Sets the language of the run; with `configured` also LANGUAGE= of the
    // settings, which are then saved.
    std::function<void(const std::string& code, uint8_t index, bool configured)> setLanguage;
    // An error box with an OK button (display code page).
    std::function<void(const std::string& text)> showError;
    // The main window's part: main menu, menus, button hints, caption and
    // title, bring to front.
    std::function<void()> refreshWindow;
};

// Replaces the hooks and returns the ones they replace.
LanguageHooks SetLanguageHooks(LanguageHooks hooks);
// A copy of the hooks in force (the main window adds its part).
LanguageHooks CurrentLanguageHooks();

// 'E' English, anything else Czech.  Loads both text tables of the language
// first; when one cannot be read, shows "Unable to read "PATH":RESULT",
// keeps the old tables and caches, sets the language back (and saves it) and
// answers false.  Otherwise it replaces both tables, reloads the code tables
// and refreshes the window; true.
bool LoadLanguage(char letter);
