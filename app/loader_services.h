#pragma once
// The program's side of the background start-up loader (datastore/
// startup_loader.h): the loader's services over the main window, the
// configuration and the hand-offs to the main thread, and the main window's
// entry points that start, stop and wait for it.

#include <memory>

#include "datastore/startup_loader.h"

struct MainEntryPoints;

// Services whose inputs are copied now (call on the main thread, after the
// main window's start published the program type and data set).
std::shared_ptr<LoaderServices> MakeFrameLoaderServices();

// Fills startLoader, requestLoaderStop and waitLoaderEnd.
void AddLoaderEntryPoints(MainEntryPoints& calls);
