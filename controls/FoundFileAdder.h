// Adding a found file to the file list: the file is read completely on the
// calling thread (the loader), then its row is appended, filled, given its
// record and counted in the totals in one call carried out on the UI thread,
// so sorting, moving or removing rows meanwhile can never mix up rows.
#pragma once

#include "InformationReader.h"

#include <QString>

#include <functional>

class CReportCtrl;

// The file list's totals. Written only on the UI thread (by the append and
// by the list commands), read there by the status bar.
struct CFileListTotals
{
    int m_nCurrentRow = -1; // the row appended last
    int m_nFileCount = 0;   // rows added, usable or not
    double m_dTotalMB = 0;
    double m_dTotalSeconds = 0; // of the files whose stream libmpg123 read
};

struct AddFoundFileHooks
{
    // The image index of a file's small icon; asked once per batch. Called
    // on the loader thread: it must carry the look-up to the UI thread.
    std::function<int(const QString& path)> iconIndexOf;
    // Sets the processing dialog's title (from the loader thread).
    std::function<void(const QString& title)> setTitle;
};

// Reads file and appends its row at the end of list. iconCache: -1 at the
// start of a batch, then the batch's icon. libmpg123 trouble is shown
// through the host's message box (the loader waits for it). Returns the new
// row, or -1 when the load was stopped (nothing added).
int AddFoundFile(CReportCtrl& list, CFileListTotals& totals, const FoundFile& file, int& iconCache,
                 const AddFoundFileHooks& hooks = {});
