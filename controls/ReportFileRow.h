// The information reader's row (FileRowData) as one whole-row append of the
// file list.
#pragma once

#include "CReportCtrl.h"
#include "InformationReader.h"

// The red of an unusable file's Type cell.
inline constexpr COLORREF kUnusableTypeColor = RGB(255, 0, 0);

// Moves a row the reader has read into a ReportFilledRow: its eighteen texts,
// its record (owned by the list row from then on), the Type cell in red for
// an unusable file, and image as the row image. The caller adds onAppended
// (the window's totals) and hands the result to CReportCtrl::AppendFilledRow,
// from the loader thread or the UI thread.
ReportFilledRow FilledRowOf(FileRowData&& data, int image = -1);
