#pragma once
// Shared by the list tests: the GUI application, the data-window host of the
// frame tests, and where screenshots go.

#include <cstdint>
#include <functional>
#include <vector>

#include "datastore/service_hooks.h"
#include "frame/config/placement_scheme.h"
#include "frame/data_form_test_support.h"
#include "frame/entry_points.h"
#include "frame/windows/style.h"
#include "lists/list_entry_points.h"
#include "lists/nul_edit.h"

namespace liststest {

using dftest::EnsureApp;
using dftest::Kam;
using dftest::ScreenshotDir;
using dftest::Settle;

// A base that makes the application before any widget member of a fixture.
struct WithApp {
    WithApp() { EnsureApp(); }
};

// Saves a grab into the build folder's screenshots for a person to look at.
inline void SaveShot(const QImage& image, const char* name)
{
    const QString path = QString::fromStdString(ScreenshotDir() + "/" + name);
    EXPECT_TRUE(image.save(path)) << path.toStdString();
}

// What a list-window test installs for its run, and puts back at its end:
// the usual settings (free placement, no typing hint, no caption blinking),
// usage counts and menu drop-downs recorded, the lists' entry points, the
// list counters and the edit's pending key cleared.
class ListTestEnvironment {
public:
    ListTestEnvironment()
    {
        EnsureApp();
        BuildKamTables();
        Config().Update([](ConfigValues& v) {
            v.placementMode = WindowMode::Free;
            v.tipUser = false;
            v.BlinkOff = 1;
        });
        UpdateServices services;
        services.statCount = [this](uint16_t key) { counts.push_back(key); };
        services.statCountDuration = [this](uint16_t key, double days) {
            durations.push_back(key);
            EXPECT_GE(days, 0.0);
        };
        oldServices_ = SetUpdateServices(std::move(services));
        oldDropDown_ = SetDropDownMenuHook([this](int tag) { dropDowns.push_back(tag); });
        MainEntryPoints calls;
        AddListEntryPoints(calls);
        oldCalls_ = SetMainEntryPoints(std::move(calls));
        ListCounters().Clear();
        TANulEdit::ClearPendingKey();
    }
    ~ListTestEnvironment()
    {
        SetMainEntryPoints(std::move(oldCalls_));
        SetDropDownMenuHook(std::move(oldDropDown_));
        SetUpdateServices(std::move(oldServices_));
    }
    ListTestEnvironment(const ListTestEnvironment&) = delete;
    ListTestEnvironment& operator=(const ListTestEnvironment&) = delete;

    std::vector<uint16_t> counts;
    std::vector<uint16_t> durations;
    std::vector<int> dropDowns;

private:
    dftest::ScopedConfig config_;
    UpdateServices oldServices_;
    DropDownMenuHook oldDropDown_;
    MainEntryPoints oldCalls_;
};

} // namespace liststest
