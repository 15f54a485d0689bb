// The shared "list busy" flag.
#include "ReportListBusy.h"

std::atomic<int> g_bListBusy{0};
