#include "app/language_hooks.h"

#include "datastore/db_table.h"
#include "datastore/language.h"
#include "frame/config/config_file.h"
#include "frame/message_box.h"
#include "frame/start/command_line.h"

void InstallLanguageHooks()
{
    LanguageHooks h = CurrentLanguageHooks();
    h.programFolder = [] { return ProgramStart().ProgramFolder; };
    h.dataFolder = [] { return DataDir(); };
    h.dataSet = [] { return static_cast<int>(PublishedDataSet()); };
    h.languageCode = [] { return Config().Read([](const ConfigValues& v) { return v.LanguageCode; }); };
    h.setLanguage = [](const std::string& code, uint8_t index, bool configured) {
        Config().Update([&](ConfigValues& v) {
            v.LanguageCode = code;
            v.LanguageIndex = index;
            if (configured)
                v.configuredLanguage = code;
        });
        if (configured)
            SaveConfig(false);
    };
    h.showError = [](const std::string& text) { ShowError(text); };
    SetLanguageHooks(std::move(h));
}
