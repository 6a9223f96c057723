#include "app/user_file_hooks.h"

#include "datastore/user_files.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/windows/main_form.h"

void InstallUserFileHooks()
{
    UserFileHooks h;
    h.signListName = [] { return Config().Read([](const ConfigValues& v) { return v.SignListName; }); };
    h.notesName = [] { return Config().Read([](const ConfigValues& v) { return v.NotesName; }); };
    h.notesFolder = [] { return Config().Read([](const ConfigValues& v) { return v.NotesFolder; }); };
    h.maximDir = [] { return Config().Read([](const ConfigValues& v) { return v.MaximDir; }); };
    h.maximOn = [] { return Config().Read([](const ConfigValues& v) { return v.maximOn; }); };
    h.reimbColumns = [] { return Config().Read([](const ConfigValues& v) { return v.ReimbColumnLetters; }); };
    h.clearSignList = [] {
        Config().Update([](ConfigValues& v) { v.SignListName.clear(); });
        SaveConfig(false);
    };
    // Both queue their box for the main thread when called from a worker.
    h.showError = [](const std::string& text) { ShowError(text); };
    h.showMessage = [](const std::string& text) { ShowMessage(text); };
    h.enableMaximTimer = [] { EnableMaximTimer(); };
    SetUserFileHooks(std::move(h));
}
