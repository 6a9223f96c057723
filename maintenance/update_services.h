#pragma once
// Registers the usage statistics, the version folders, the server list and
// the update procedures into the update services (datastore/service_hooks.h)
// that the loader, the main window and the start-up check call.  Runs once
// on the main thread before the start-up check (which looks for the newest
// version folder in its one-shot modes).

void InstallUpdateServices();
