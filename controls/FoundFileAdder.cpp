// Adding a found file to the file list.
#include "FoundFileAdder.h"

#include "CReportCtrl.h"
#include "HostHooks.h"
#include "ReportFileRow.h"
#include "StreamReader.h"

int AddFoundFile(CReportCtrl& list, CFileListTotals& totals, const FoundFile& file, int& iconCache,
                 const AddFoundFileHooks& hooks)
{
    if (hooks.setTitle) {
        hooks.setTitle(QStringLiteral("Reading  ") + file.strPath);
    }
    FileRowData data = ReadFoundFile(g_hInfoDecoder, file);
    if (!data.strTrouble.isEmpty()) {
        ShowHostMessage(data.strTrouble, MessageIcon::Error);
    }
    if (iconCache == -1 && hooks.iconIndexOf) {
        iconCache = hooks.iconIndexOf(file.strPath);
    }
    const bool durationKnown = data.bDurationKnown;
    ReportFilledRow row = FilledRowOf(std::move(data), iconCache);
    row.onAppended = [&totals, durationKnown](int index, const CAudioFileInfo* record) {
        totals.m_nCurrentRow = index;
        totals.m_nFileCount += 1;
        totals.m_dTotalMB += record->m_dSizeMB;
        if (durationKnown) {
            totals.m_dTotalSeconds += record->m_dDuration;
        }
    };
    return list.AppendFilledRow(std::move(row));
}
