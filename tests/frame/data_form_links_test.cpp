// Master/detail links of data windows: the master search, propagation, the
// registry and its counters.

#include <gtest/gtest.h>

#include "frame/config/placement_scheme.h"
#include "tests/frame/data_form_test_support.h"

using namespace dftest;

namespace {

const uint16_t kList = PackKindCode("DNA");
const uint16_t kDetail = PackKindCode("DFA");

class DataFormLinks : public ShownHostTest {
protected:
    ProbeWindow* Open(uint16_t kind, const char* name, TDataForm* master = nullptr)
    {
        auto* w = new ProbeWindow(kind, name);
        w->Master = master != nullptr ? master : host;
        w->Show();
        return w;
    }
    void Activate(TDataForm* w) { host->area->setActiveSubWindow(w->SubWindow()); }
};

enum class Which { None, Active, Detail, Main, ListAbove };

struct LinkCase {
    const char* name;
    std::array<uint8_t, 3> kinds;
    std::array<int32_t, 3> values;
    bool dependent;
    bool underList;      // the active window's Master is a list L (else the main window)
    bool detachedMaster; // the active window's Master is nil
    int detail;          // 0 none; 1 a dependent detail under the active window; 2 an independent one
    int32_t result;
    int32_t value;
    Which window;
};

} // namespace

TEST_F(DataFormLinks, MasterSearchTable)
{
    const LinkCase cases[] = {
        {"offers a record", {0, 6, 0}, {0, 5, 0}, false, false, false, 0, 1, 5, Which::Active},
        {"same detail again updates it", {0, 6, 0}, {0, 5, 0}, false, false, false, 1, 0, 5, Which::Detail},
        {"an independent detail is updated, not reused",
         {0, 6, 0},
         {0, 5, 0},
         false,
         false,
         false,
         2,
         1,
         5,
         Which::Active},
        {"offered value 0", {0, 6, 0}, {0, 0, 0}, false, false, false, 0, -1, 0, Which::None},
        {"negative value in slot 2", {0, 0, 6}, {0, 0, -4}, false, false, false, 0, -1, -4, Which::None},
        {"top byte set under slot 1",
         {0, 6, 0},
         {0, 0x01000005, 0},
         false,
         false,
         false,
         0,
         -1,
         0,
         Which::None},
        {"top byte set under slot 2 is offered",
         {0, 0, 6},
         {0, 0, 0x01000005},
         false,
         false,
         false,
         0,
         1,
         0x01000005,
         Which::Active},
        {"received value under the main window",
         {6, 0, 0},
         {9, 0, 0},
         false,
         false,
         false,
         0,
         2,
         9,
         Which::Active},
        {"received value of a dependent: a sibling",
         {6, 0, 0},
         {9, 0, 0},
         true,
         true,
         false,
         0,
         1,
         9,
         Which::ListAbove},
        {"walks up to the master's offer",
         {2, 0, 0},
         {3, 0, 0},
         true,
         true,
         false,
         0,
         1,
         4,
         Which::ListAbove},
        {"an independent window offering nothing",
         {0, 0, 0},
         {0, 0, 0},
         false,
         false,
         false,
         0,
         -1,
         0,
         Which::None},
        {"a detached dependent window: the main window",
         {6, 0, 0},
         {3, 0, 0},
         true,
         false,
         true,
         0,
         1,
         3,
         Which::Main},
    };
    for (const LinkCase& c : cases) {
        SCOPED_TRACE(c.name);
        ProbeWindow* list = Open(kList, "L");
        list->LinkKinds = {LinkKind::None, LinkKind::None, LinkKind::Drug};
        list->LinkValues = {0, 0, 4};
        ProbeWindow* active = Open(PackKindCode("VFC"), "A", c.underList ? list : nullptr);
        for (size_t i = 0; i < 3; ++i)
            active->LinkKinds[i] = static_cast<LinkKind>(c.kinds[i]);
        active->LinkValues = c.values;
        active->Dependent = c.dependent;
        if (c.detachedMaster)
            active->Master = nullptr;
        ProbeWindow* detail = nullptr;
        if (c.detail != 0) {
            detail = Open(kDetail, "D", active);
            detail->LinkKinds[0] = LinkKind::Drug;
            detail->Dependent = c.detail == 1;
        }
        Activate(active);
        ASSERT_EQ(ActiveDataForm(), active);

        int32_t value = 12345;
        TDataForm* window = nullptr;
        EXPECT_EQ(FindDataWindow(kDetail, LinkKind::Drug, value, window), c.result);
        if (c.result != -1) {
            EXPECT_EQ(value, c.value);
        }
        TDataForm* expected = nullptr;
        switch (c.window) {
        case Which::Active: expected = active; break;
        case Which::Detail: expected = detail; break;
        case Which::Main: expected = host; break;
        case Which::ListAbove: expected = list; break;
        case Which::None: break;
        }
        if (c.result != -1) {
            EXPECT_EQ(window, expected);
        }
        if (detail != nullptr) {
            EXPECT_EQ(detail->received, std::vector<int32_t>{c.value})
                << "every matching window is updated once";
        }

        CloseDataWindowsButMain();
        Settle();
        ASSERT_EQ(AllDataForms().size(), 1u);
    }
}

TEST_F(DataFormLinks, NoActiveWindowStartsAtTheMainWindowAndUsesUpItsKind)
{
    host->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    host->LinkValues = {0, 7, 0};
    int32_t value = 0;
    TDataForm* window = nullptr;
    ASSERT_EQ(ActiveDataForm(), nullptr);
    EXPECT_EQ(FindDataWindow(kDetail, LinkKind::Drug, value, window), 1);
    EXPECT_EQ(window, host);
    EXPECT_EQ(value, 7);

    // With a list active, the main window's one-shot Kind still makes the
    // search start at the main window: FindMasterWindow keeps the request,
    // FindDataWindow uses it up.
    ProbeWindow* list = Open(kList, "L");
    list->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    list->LinkValues = {0, 3, 0};
    Activate(list);
    host->Kind = PackKindCode("DNA");
    EXPECT_EQ(FindMasterWindow(kDetail, LinkKind::Drug, window), 1);
    EXPECT_EQ(window, host);
    EXPECT_EQ(host->Kind, PackKindCode("DNA"));
    EXPECT_EQ(FindDataWindow(kDetail, LinkKind::Drug, value, window), 1);
    EXPECT_EQ(window, host);
    EXPECT_EQ(value, 7);
    EXPECT_EQ(host->Kind, 0);
    // The request is used up: the next search starts at the active list.
    EXPECT_EQ(FindDataWindow(kDetail, LinkKind::Drug, value, window), 1);
    EXPECT_EQ(window, list);
    EXPECT_EQ(value, 3);
}

TEST_F(DataFormLinks, FindMasterWindowUpdatesNothing)
{
    ProbeWindow* list = Open(kList, "L");
    list->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    list->LinkValues = {0, 8, 0};
    Activate(list);
    TDataForm* window = nullptr;
    EXPECT_EQ(FindMasterWindow(kDetail, LinkKind::Drug, window), 1);
    EXPECT_EQ(window, list);
    EXPECT_EQ(FindMasterWindow(kDetail, LinkKind::None, window), -1);

    ProbeWindow* detail = Open(kDetail, "D", list);
    detail->LinkKinds[0] = LinkKind::Drug;
    detail->Dependent = true;
    Activate(list);
    EXPECT_EQ(FindMasterWindow(kDetail, LinkKind::Drug, window), 0);
    EXPECT_EQ(window, detail);
    EXPECT_TRUE(detail->received.empty());

    list->LinkValues[1] = 0;
    EXPECT_EQ(FindMasterWindow(kDetail, LinkKind::Drug, window), -1);
}

TEST_F(DataFormLinks, LinkKindZeroBringsTheOpenWindowBack)
{
    int32_t value = 0;
    TDataForm* window = nullptr;
    EXPECT_EQ(FindDataWindow(kList, LinkKind::None, value, window), 1);
    EXPECT_EQ(value, -1);
    EXPECT_EQ(window, host);

    ProbeWindow* following = Open(kList, "following");
    following->LinkKinds[0] = LinkKind::Drug; // same kind, but it follows a master
    EXPECT_EQ(FindDataWindow(kList, LinkKind::None, value, window), 1);

    ProbeWindow* list = Open(kList, "L");
    EXPECT_EQ(FindDataWindow(kList, LinkKind::None, value, window), 0);
    EXPECT_EQ(window, list);
    EXPECT_TRUE(list->received.empty()) << "found, not reset";
    EXPECT_EQ(FindDataWindow(PackKindCode("VFC"), LinkKind::None, value, window), 1) << "another kind";
}

TEST_F(DataFormLinks, PropagationClosesDependantsDetachesOthersAndPassesValuesDown)
{
    ProbeWindow* list = Open(kList, "L");
    list->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    ProbeWindow* dependent = Open(kDetail, "dep", list);
    dependent->LinkKinds[0] = LinkKind::Drug;
    dependent->Dependent = true;
    ProbeWindow* independent = Open(kDetail, "indep", list);
    independent->LinkKinds[0] = LinkKind::Drug;
    // A chain: a window under the dependent one that follows the same kind.
    ProbeWindow* chained = Open(PackKindCode("DMA"), "chain", dependent);
    chained->LinkKinds[0] = LinkKind::Drug;
    chained->Dependent = true;
    ProbeWindow* other = Open(kDetail, "other kind", list);
    other->LinkKinds[0] = LinkKind::AtcGroup;

    EXPECT_EQ(host->PropagateLinks(), -1) << "offers nothing and follows nothing";
    EXPECT_EQ(other->PropagateLinks(), 0) << "passes its received value to nobody";

    list->LinkValues[1] = 11;
    EXPECT_EQ(list->PropagateLinks(), 2);
    EXPECT_EQ(dependent->received, std::vector<int32_t>{11});
    EXPECT_EQ(independent->received, std::vector<int32_t>{11});
    EXPECT_TRUE(other->received.empty());
    // A received value passes on down a chain of the same link kind.
    EXPECT_EQ(dependent->PropagateLinks(), 1);
    EXPECT_EQ(chained->received, std::vector<int32_t>{11});
    EXPECT_EQ(chained->LinkValues[0], 11);

    DataFormRef dependentRef(dependent);
    list->LinkValues[1] = -1;
    EXPECT_EQ(list->PropagateLinks(), 2);
    EXPECT_TRUE(dependent->Closing()) << "a dependent window closes";
    EXPECT_FALSE(independent->Closing());
    EXPECT_EQ(independent->Master.get(), nullptr) << "an independent window detaches";
    Settle();
    EXPECT_EQ(dependentRef.get(), nullptr);
    EXPECT_EQ(independent->received.back(), -1);
    // The chained window followed its closed master out.
    EXPECT_EQ(AllDataForms().size(), 4u); // host, list, independent, other
}

TEST_F(DataFormLinks, TheHundredAndFirstWindowWorksUnregistered)
{
    const uint16_t createdBefore = DataWindowsCreated;
    ProbeWindow* list = Open(kList, "L");
    list->LinkKinds = {LinkKind::None, LinkKind::Drug, LinkKind::None};
    list->LinkValues = {0, 5, 0};
    std::vector<ProbeWindow*> windows;
    for (int i = 1; i < kMaxDataWindows; ++i) {
        windows.push_back(new ProbeWindow(PackKindCode("DMA"), "w"));
        windows.back()->Master = host;
    }
    // The host itself dropped out at the first construction (its Kind is 0).
    EXPECT_EQ(OpenDataWindows.Count, kMaxDataWindows);
    EXPECT_EQ(PeakDataWindows, kMaxDataWindows);

    auto* extra = new ProbeWindow(kDetail, "101st");
    extra->Master = list;
    extra->LinkKinds[0] = LinkKind::Drug;
    extra->Dependent = true;
    extra->Show();
    EXPECT_EQ(OpenDataWindows.Count, kMaxDataWindows);
    EXPECT_EQ(DataWindowsCreated, createdBefore + kMaxDataWindows + 1);
    bool registered = false;
    for (const DataFormRef& r : OpenDataWindows.Items)
        registered = registered || r.get() == extra;
    EXPECT_FALSE(registered);
    // It works (takes values, is placed), but no search or propagation reaches it.
    extra->ResetData(4);
    EXPECT_EQ(extra->LinkValues[0], 4);
    EXPECT_NE(extra->SubWindow(), nullptr);
    Activate(list);
    int32_t value = 0;
    TDataForm* window = nullptr;
    EXPECT_EQ(FindDataWindow(kDetail, LinkKind::Drug, value, window), 1);
    EXPECT_EQ(window, list);
    EXPECT_EQ(list->PropagateLinks(), 0);
    EXPECT_EQ(extra->received, std::vector<int32_t>{4});

    // Destroying one window frees a slot for the next construction.
    delete windows.front();
    windows.erase(windows.begin());
    EXPECT_EQ(OpenDataWindows.Count, kMaxDataWindows - 1);
    new ProbeWindow(kDetail, "next");
    EXPECT_EQ(OpenDataWindows.Count, kMaxDataWindows);
    EXPECT_EQ(PeakDataWindows, kMaxDataWindows);

    // Closing all but the main window reaches the unregistered one too.
    CloseDataWindowsButMain();
    EXPECT_EQ(OpenDataWindows.Count, 0);
    Settle();
    EXPECT_EQ(AllDataForms().size(), 1u);
}

TEST_F(DataFormLinks, AWindowWithoutKindFallsOutOfTheRegistry)
{
    auto* unset = new ProbeWindow(0, "no kind");
    bool found = false;
    for (uint16_t i = 0; i < OpenDataWindows.Count; ++i)
        found = found || OpenDataWindows.Items[i].get() == unset;
    EXPECT_TRUE(found) << "registered at construction";
    auto* next = new ProbeWindow(kList, "next");
    found = false;
    for (uint16_t i = 0; i < OpenDataWindows.Count; ++i)
        found = found || OpenDataWindows.Items[i].get() == unset;
    EXPECT_FALSE(found) << "dropped at the next construction";
    EXPECT_EQ(OpenDataWindows.Items[OpenDataWindows.Count - 1].get(), next);
    delete unset;
    delete next;
}
