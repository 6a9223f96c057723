#include "datastore/language.h"

#include "datastore/drug_helpers.h"
#include "datastore/run_log.h"
#include "datastore/startup_loader.h"
#include "datastore/text_table.h"
#include "platform/guarded_value.h"

namespace {

GuardedValue<LanguageHooks>& Hooks()
{
    static GuardedValue<LanguageHooks> h;
    return h;
}

void Missing(const char* name)
{
    AppendRunLog(std::string("LoadLanguage: no ") + name + "\r\n");
}

template <class R>
R Ask(const std::function<R()>& f, const char* name, R fallback)
{
    if (!f) {
        Missing(name);
        return fallback;
    }
    return f();
}

} // namespace

LanguageHooks SetLanguageHooks(LanguageHooks hooks)
{
    return Hooks().Exchange(std::move(hooks));
}

LanguageHooks CurrentLanguageHooks()
{
    return Hooks().Get();
}

bool LoadLanguage(char letter)
{
    WaitLoaderGate();
    const LanguageHooks h = Hooks().Get();
    const bool english = letter == 'E';
    const std::string code = english ? "ang" : "ces";
    const uint8_t index = english ? 1 : 0;
    const std::string previous = Ask(h.languageCode, "languageCode", std::string("ces"));

    // Both tables are read before anything is freed: a missing one leaves
    // the program as it was, in its old language.
    const std::string uiPath = Ask(h.programFolder, "programFolder", std::string()) + "qevw." + code;
    const std::string dataPath = Ask(h.dataFolder, "dataFolder", std::string()) + "kalvo." + code;
    TextTablePtr ui, data;
    const uint16_t uiResult = LoadTextTable(ui, uiPath);
    const uint16_t dataResult = uiResult < 256 ? 0 : LoadTextTable(data, dataPath);
    if (uiResult < 256 || dataResult < 256) {
        const std::string path = uiResult < 256 ? uiPath : dataPath;
        const uint16_t result = uiResult < 256 ? uiResult : dataResult;
        const std::string text = "Unable to read \"" + path + "\":" + std::to_string(result);
        if (h.showError)
            h.showError(text);
        else
            Missing("showError");
        const uint8_t oldIndex = previous == "ang" ? 1 : previous == "ces" ? 0 : 2;
        if (h.setLanguage)
            h.setLanguage(previous, oldIndex, true);
        else
            Missing("setLanguage");
        return false;
    }

    if (h.setLanguage)
        h.setLanguage(code, index, false);
    else
        Missing("setLanguage");
    UiTexts.Set(std::move(ui));
    DataTexts.Set(std::move(data));
    LoadCodeTables(static_cast<DataSetCode>(Ask(h.dataSet, "dataSet", 1)), index);
    if (h.refreshWindow)
        h.refreshWindow();
    else
        Missing("refreshWindow");
    return true;
}
