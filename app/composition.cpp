#include "app/composition.h"

#include "app/language_hooks.h"
#include "app/loader_services.h"
#include "app/user_file_hooks.h"
#include "datastore/user_files.h"
#include "datastore/zlp_table.h"
#include "frame/commands/dispatcher.h"
#include "frame/commands/product_commands.h"
#include "frame/entry_points.h"
#include "frame/hooks.h"
#include "frame/windows/main_form.h"
#include "frame/windows/request.h"
#include "lists/codes/code_lists.h"
#include "lists/conditions/result_lists.h"
#include "lists/dialogs/paragraph_chooser.h"
#include "lists/drugs/product_history_lists.h"
#include "lists/list_entry_points.h"
#include "lists/toolkit/sign_list_button.h"
#include "maintenance/http_client.h"
#include "maintenance/installer_page.h"
#include "maintenance/settings_commands.h"
#include "maintenance/update_services.h"
#include "viewers/duplicity_check.h"
#include "viewers/duplicity_page.h"
#include "viewers/help_page.h"
#include "viewers/max_dose_join.h"
#include "viewers/medication_list.h"
#include "viewers/mkn_page.h"
#include "viewers/notes_viewer.h"
#include "viewers/start_page.h"
#include "viewers/viewer_hooks.h"
#include "viewers/viewer_window.h"

void ComposeStartServices()
{
    ViewerServices viewers;
    AddRequestServices(viewers);
    AddDuplicityServices(viewers);
    SetViewerServices(std::move(viewers));
    InstallUpdateServices();
}

void ComposeProgram()
{
    // libcurl's global set-up belongs on this thread, before any worker.
    InstallHttpServices();
    InstallLanguageHooks();
    InstallUserFileHooks();
    PageHooks pages;
    AddDuplicityPageHooks(pages);
    AddInstallerPageHooks(pages);
    AddHelpPageHooks(pages);
    AddMknPageHooks(pages);
    AddStartPageHooks(pages);
    SetPageHooks(std::move(pages));

    MainEntryPoints calls;
    AddListEntryPoints(calls);
    AddLoaderEntryPoints(calls);
    AddCommandEntryPoints(calls);
    RegisterListCommands();
    RegisterSettingsCommands();
    InstallTextSearchChooser();
    SetMainEntryPoints(std::move(calls));
    RegisterRecordViewerFactory();
    RegisterNotesViewerFactory();
    RegisterMaxDoseServices();
    // A list of codes handed over by another program opens a drug result list.
    SetDrugResultListOpener([](const std::vector<int32_t>& records, const std::string& title) {
        ShowDrugResultList(records, title);
    });

    // The lists' "U" button: offered while the user's sign list is loaded
    // and active (it is loaded on the start-up loader's thread and again when
    // its source changes, so the lists ask at the time they lay out).
    SetUserSignListsQuery([] { return SignListSnapshot()->active; });
    // What the HTML viewer calls in the frame; its paragraph chooser is
    // already in its table.
    ViewerWindowHooks viewer = SetViewerWindowHooks({});
    viewer.openProductWebPage = [](const std::string& code, const std::string& pageKey) {
        OpenProductWebPage(code, pageKey);
    };
    viewer.checkZlpEntry = [](char letter, const std::string& code) { return CheckZlpEntry(code, letter); };
    viewer.requestedParagraph = [] { return RequestedParagraph; };
    viewer.requestedSection = [] { return RequestedSection; };
    SetViewerWindowHooks(std::move(viewer));
}
