#include "frame/pages/hints.h"

#include "datastore/text_table.h"
#include "frame/pages/hint_window.h"

std::atomic<bool> HintShown{false};
std::atomic<bool> InputBusy{false};

namespace {
std::atomic<TMyHintWindow*> g_hintWindow{nullptr};
}

void SetSharedHintWindow(TMyHintWindow* window)
{
    g_hintWindow.store(window);
}
TMyHintWindow* SharedHintWindow()
{
    return g_hintWindow.load();
}

void HideHint()
{
    if (TMyHintWindow* w = g_hintWindow.load())
        w->HideHint();
    HintShown = false;
}

std::string ButtonHintText(char symbol, int mode, bool state)
{
    auto text = [](const char* key) { return LookupText(UiTexts, "Cudl", key); };
    auto two = [&](const char* first, const char* set, const char* clear) {
        return text(first) + "\r" + text(state ? set : clear);
    };
    if (mode != 0 && mode != 1)
        return {};
    const bool m0 = mode == 0;
    switch (symbol) {
    case '&': return text("kbd");
    case ')': return m0 ? two("whit", "whit1", "whit0") : text("whi");
    case '*': return m0 ? two("slat", "slat1", "slat0") : text("sla");
    case '/': return m0 ? two("strt", "strt1", "strt0") : text("str");
    case '<': return m0 ? two("tret", "tret1", "tret0") : text("tre");
    case '?': return m0 ? two("hlpt", "hlpt1", "hlpt0") : text("hlp");
    case '=':
        if (m0)
            return two("colt", "colt1", "colt0");
        return state ? std::string() : text("col0");
    case '>': return m0 ? text("tabt") : text(state ? "tab1" : "tab0");
    case '-': return m0 ? text("hor") : std::string();
    case '|': return m0 ? text("ver") : std::string();
    default: return {};
    }
}
