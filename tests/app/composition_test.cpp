// The program's composition run as the program runs it, without showing its
// main window: every row of the command table reaches a handler except the
// rows of parts still to come, every hook the built parts call is filled,
// and the lists offer the user's sign list once one is loaded.

#include <gtest/gtest.h>

#include <QToolButton>

#include <set>
#include <string>
#include <vector>

#include "app/composition.h"
#include "datastore/db_table.h"
#include "datastore/language.h"
#include "datastore/service_hooks.h"
#include "datastore/user_files.h"
#include "frame/commands/dispatcher.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/windows/main_form.h"
#include "frame/windows/style.h"
#include "lists/dialogs/text_search_dialog.h"
#include "lists/drugs/drug_lists.h"
#include "lists/toolkit/list_window.h"
#include "tests/lists/lists_test_support.h"
#include "viewers/viewer_hooks.h"

namespace {

// Handlers of command-table rows whose windows are still to be built.  A
// name leaves this list when its handler lands (the test below then says
// so).
const std::set<std::string, std::less<>> kPendingHandlers = {};

// Hook members whose callers are built but whose providers are not; the same
// rule: a name leaves the list when its provider lands.
const std::set<std::string, std::less<>> kPendingHooks = {
    "ViewerWindowHooks.openRecordViewer", // a viewer opened for a given record
};

// One hook member: its name and whether it is filled.
struct Slot {
    std::string name;
    bool filled;
};

// Every member of every hook table the program fills, as the composition
// left them.  The main window's own part (the language hook refreshWindow)
// is added by the window while it lives, so it is left out.
std::vector<Slot> ComposedSlots()
{
    std::vector<Slot> out;
    auto add = [&out](const char* table, const char* member, bool filled) {
        out.push_back({std::string(table) + "." + member, filled});
    };
#define QEVW_SLOT(table, object, member) add(table, #member, static_cast<bool>((object).member))
    const LanguageHooks language = CurrentLanguageHooks();
    QEVW_SLOT("LanguageHooks", language, programFolder);
    QEVW_SLOT("LanguageHooks", language, dataFolder);
    QEVW_SLOT("LanguageHooks", language, dataSet);
    QEVW_SLOT("LanguageHooks", language, languageCode);
    QEVW_SLOT("LanguageHooks", language, setLanguage);
    QEVW_SLOT("LanguageHooks", language, showError);

    const UserFileHooks files = CurrentUserFileHooks();
    QEVW_SLOT("UserFileHooks", files, signListName);
    QEVW_SLOT("UserFileHooks", files, notesName);
    QEVW_SLOT("UserFileHooks", files, notesFolder);
    QEVW_SLOT("UserFileHooks", files, maximDir);
    QEVW_SLOT("UserFileHooks", files, clearSignList);
    QEVW_SLOT("UserFileHooks", files, showError);
    QEVW_SLOT("UserFileHooks", files, showMessage);
    QEVW_SLOT("UserFileHooks", files, enableMaximTimer);
    QEVW_SLOT("UserFileHooks", files, reimbColumns);
    QEVW_SLOT("UserFileHooks", files, maximOn);

    const UpdateServices update = CurrentUpdateServices();
    QEVW_SLOT("UpdateServices", update, statCount);
    QEVW_SLOT("UpdateServices", update, statAddLog4);
    QEVW_SLOT("UpdateServices", update, statCountLog2);
    QEVW_SLOT("UpdateServices", update, statCountDuration);
    QEVW_SLOT("UpdateServices", update, statCountProduct);
    QEVW_SLOT("UpdateServices", update, statSaveCounters);
    QEVW_SLOT("UpdateServices", update, statSaveProducts);
    QEVW_SLOT("UpdateServices", update, statShouldSend);
    QEVW_SLOT("UpdateServices", update, statShouldSendProducts);
    QEVW_SLOT("UpdateServices", update, statSend);
    QEVW_SLOT("UpdateServices", update, statSendProducts);
    QEVW_SLOT("UpdateServices", update, isOnline);
    QEVW_SLOT("UpdateServices", update, fetchNewXml);
    QEVW_SLOT("UpdateServices", update, loadServerList);
    QEVW_SLOT("UpdateServices", update, findProgramPackage);
    QEVW_SLOT("UpdateServices", update, prepareDataUpdate);
    QEVW_SLOT("UpdateServices", update, runDataUpdate);
    QEVW_SLOT("UpdateServices", update, updateZlpPackage);
    QEVW_SLOT("UpdateServices", update, newsCachePath);
    QEVW_SLOT("UpdateServices", update, fetchNews);
    QEVW_SLOT("UpdateServices", update, findBestVersionFolder);
    QEVW_SLOT("UpdateServices", update, startInstallerMode);
    QEVW_SLOT("UpdateServices", update, composeStartPageNotice);
    QEVW_SLOT("UpdateServices", update, fetchPicture);
    QEVW_SLOT("UpdateServices", update, serverVariant);

    MainEntryPoints calls = SetMainEntryPoints({});
    QEVW_SLOT("MainEntryPoints", calls, buildMainMenu);
    QEVW_SLOT("MainEntryPoints", calls, layoutToolbar);
    QEVW_SLOT("MainEntryPoints", calls, menuClick);
    QEVW_SLOT("MainEntryPoints", calls, executeCommand);
    QEVW_SLOT("MainEntryPoints", calls, loadMacro);
    QEVW_SLOT("MainEntryPoints", calls, macroStep);
    QEVW_SLOT("MainEntryPoints", calls, startLoader);
    QEVW_SLOT("MainEntryPoints", calls, requestLoaderStop);
    QEVW_SLOT("MainEntryPoints", calls, waitLoaderEnd);
    QEVW_SLOT("MainEntryPoints", calls, freeRunTables);
    QEVW_SLOT("MainEntryPoints", calls, loadMaximList);
    QEVW_SLOT("MainEntryPoints", calls, refreshListMarks);
    QEVW_SLOT("MainEntryPoints", calls, dropRowHints);
    SetMainEntryPoints(std::move(calls));

    ViewerServices viewers = SetViewerServices({});
    QEVW_SLOT("ViewerServices", viewers, runBatchDuplicityCheck);
    QEVW_SLOT("ViewerServices", viewers, openRequestedItem);
    QEVW_SLOT("ViewerServices", viewers, requestCommandCode);
    QEVW_SLOT("ViewerServices", viewers, showMaximalDoses);
    QEVW_SLOT("ViewerServices", viewers, startMaximJoin);
    QEVW_SLOT("ViewerServices", viewers, makeRecordViewer);
    QEVW_SLOT("ViewerServices", viewers, makeNotesViewer);
    SetViewerServices(std::move(viewers));

    PageHooks pages = SetPageHooks({});
    QEVW_SLOT("PageHooks", pages, makeInstWin);
    QEVW_SLOT("PageHooks", pages, makeHlpWin);
    QEVW_SLOT("PageHooks", pages, makeMknWin);
    QEVW_SLOT("PageHooks", pages, makeDuplicity);
    QEVW_SLOT("PageHooks", pages, makePrazdno);
    QEVW_SLOT("PageHooks", pages, goToTopic);
    QEVW_SLOT("PageHooks", pages, goToCode);
    QEVW_SLOT("PageHooks", pages, loadListFromText);
    QEVW_SLOT("PageHooks", pages, loadListFromSource);
    QEVW_SLOT("PageHooks", pages, openPassedList);
    SetPageHooks(std::move(pages));

    ViewerWindowHooks viewer = SetViewerWindowHooks({});
    QEVW_SLOT("ViewerWindowHooks", viewer, chooseParagraphs);
    QEVW_SLOT("ViewerWindowHooks", viewer, openMaxDoseEditor);
    QEVW_SLOT("ViewerWindowHooks", viewer, checkZlpEntry);
    QEVW_SLOT("ViewerWindowHooks", viewer, openRecordViewer);
    QEVW_SLOT("ViewerWindowHooks", viewer, openProductWebPage);
    QEVW_SLOT("ViewerWindowHooks", viewer, requestedParagraph);
    QEVW_SLOT("ViewerWindowHooks", viewer, requestedSection);
    SetViewerWindowHooks(std::move(viewer));

    TextSearchChooser chooser = SetTextSearchChooser({});
    add("TextSearchChooser", "chooser", static_cast<bool>(chooser));
    SetTextSearchChooser(std::move(chooser));

    add("RefreshMenusHook", "hook", static_cast<bool>(SetRefreshMenusHook({})));
    add("DropDownMenuHook", "hook", static_cast<bool>(SetDropDownMenuHook({})));
#undef QEVW_SLOT
    return out;
}

// Each test composes the program afresh over the demo folder and puts every
// table back afterwards.
class Composition : public liststest::HostedTest {
protected:
    void SetUp() override
    {
        dftest::EnsureApp();
        savedDataDir_ = DataDir();
        SetDataDir(QEVW_DEMO_DATA_DIR "/");
        handlers_ = SetCommandHandlers({});
        language_ = CurrentLanguageHooks();
        files_ = CurrentUserFileHooks();
        update_ = CurrentUpdateServices();
        calls_ = SetMainEntryPoints({});
        viewers_ = SetViewerServices({});
        pages_ = SetPageHooks({});
        // The viewer's table starts with its paragraph chooser, as in the
        // program; a copy goes back afterwards.
        viewer_ = SetViewerWindowHooks({});
        SetViewerWindowHooks(viewer_);
        chooser_ = SetTextSearchChooser({});
        refresh_ = SetRefreshMenusHook({});
        dropDown_ = SetDropDownMenuHook({});
        ComposeStartServices();
        ComposeProgram();
        HostedTest::SetUp();
    }
    void TearDown() override
    {
        HostedTest::TearDown();
        SetDropDownMenuHook(std::move(dropDown_));
        SetRefreshMenusHook(std::move(refresh_));
        SetTextSearchChooser(std::move(chooser_));
        SetViewerWindowHooks(std::move(viewer_));
        SetPageHooks(std::move(pages_));
        SetViewerServices(std::move(viewers_));
        SetMainEntryPoints(std::move(calls_));
        SetUpdateServices(std::move(update_));
        SetUserFileHooks(std::move(files_));
        SetLanguageHooks(std::move(language_));
        SetCommandHandlers(std::move(handlers_));
        SetDataDir(savedDataDir_);
    }

private:
    std::string savedDataDir_;
    CommandHandlers handlers_;
    LanguageHooks language_;
    UserFileHooks files_;
    UpdateServices update_;
    MainEntryPoints calls_;
    ViewerServices viewers_;
    PageHooks pages_;
    ViewerWindowHooks viewer_;
    TextSearchChooser chooser_;
    RefreshMenusHook refresh_;
    DropDownMenuHook dropDown_;
};

TEST_F(Composition, EveryCommandRowHasItsHandlerButThoseStillToBeBuilt)
{
    std::set<std::string, std::less<>> seen;
    for (const CommandRow& row : CommandTable()) {
        const std::string name(row.handler);
        seen.insert(name);
        if (kPendingHandlers.count(name) != 0)
            EXPECT_FALSE(HasCommandHandler(name))
                << name << " (" << row.pattern << ") is registered now: take it off the pending list";
        else
            EXPECT_TRUE(HasCommandHandler(name)) << name << " (" << row.pattern << ") has no handler";
    }
    for (const std::string& name : kPendingHandlers)
        EXPECT_EQ(seen.count(name), 1u) << name << " names no row of the command table";
}

TEST_F(Composition, EveryHookTheBuiltPartsCallIsFilled)
{
    std::set<std::string, std::less<>> seen;
    for (const Slot& slot : ComposedSlots()) {
        seen.insert(slot.name);
        if (kPendingHooks.count(slot.name) != 0)
            EXPECT_FALSE(slot.filled) << slot.name << " is filled now: take it off the pending list";
        else
            EXPECT_TRUE(slot.filled) << slot.name << " is left empty";
    }
    for (const std::string& name : kPendingHooks)
        EXPECT_EQ(seen.count(name), 1u) << name << " names no hook member";
}

// The "U" button of the drug lists (the user's sign list): offered once a
// sign list is loaded, and not while none is.
TEST_F(Composition, TheDrugListsOfferTheUserSignListOnceOneIsLoaded)
{
    liststest::ListTestEnvironment environment;
    liststest::PrepareDrugLists();
    for (const bool loaded : {false, true}) {
        Config().Update([loaded](ConfigValues& v) { v.SignListName = loaded ? "VIDUD" : ""; });
        LoadSignList();
        ASSERT_EQ(SignListSnapshot()->active, loaded);
        OpenDrugList(KindOf("DNA"));
        liststest::Settle();
        TVyb* list = nullptr;
        for (TDataForm* f : AllDataForms())
            if (auto* w = dynamic_cast<TVyb*>(f); w != nullptr && w->Kind == KindOf("DNA"))
                list = w;
        ASSERT_NE(list, nullptr);
        EXPECT_EQ(list->ButtonLetters.find('U') != std::string::npos, loaded) << list->ButtonLetters;
        QToolButton* button = list->ButtonOfLetter('U');
        ASSERT_NE(button, nullptr);
        EXPECT_EQ(button->isVisibleTo(list), loaded);
        EXPECT_EQ(button->isEnabled(), loaded);
        dftest::DeleteDataWindows(host);
        liststest::Settle();
    }
    Config().Update([](ConfigValues& v) { v.SignListName.clear(); });
    FreeUserFileState();
    OpenTable(MainTable, TFileId(), TFileId(), 0);
    DbStatus = 0;
}

} // namespace
