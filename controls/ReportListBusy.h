// The shared "list busy" flag: raised while the file list is sorted (and by
// a cancelled load), so that the main window ignores the list's selection
// changes and new drops meanwhile.
#pragma once

#include <atomic>

// Written and read on several threads: release stores, acquire loads.
extern std::atomic<int> g_bListBusy;
