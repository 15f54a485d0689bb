// The information reader's row as a whole-row append.
#include "ReportFileRow.h"

ReportFilledRow FilledRowOf(FileRowData&& data, int image)
{
    ReportFilledRow row;
    row.cells = std::move(data.cells);
    row.record = std::make_unique<CAudioFileInfo>(data.info);
    if (data.bTypeInRed)
        row.textColors.emplace_back(COL_TYPE, kUnusableTypeColor);
    row.image = image;
    return row;
}
