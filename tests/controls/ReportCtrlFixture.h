// Shared helpers of the report list tests: a list with the file list's
// eighteen columns, rows made from short descriptions, and an owner that
// records the list's messages.
#pragma once

#include "AppEvents.h"
#include "AudioFileInfo.h"
#include "CReportCtrl.h"
#include "ListColumns.h"
#include "ReportLayoutBlocks.h"

#include <QCoreApplication>
#include <QStringList>
#include <array>
#include <memory>
#include <vector>

// Records WM_LIST_SORTED and WM_LIST_CELL_EDITED.
class ListOwner : public QObject
{
public:
    struct Sorted
    {
        qintptr column;
        qintptr ascending;
    };
    struct Edited
    {
        int row;
        int column;
        qintptr list;
        QString text; // the cell text when the message arrived
    };
    std::vector<Sorted> sorted;
    std::vector<Edited> edited;
    CReportCtrl* list = nullptr;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == AppEventType(WM_LIST_SORTED)) {
            auto* app = static_cast<AppEvent*>(e);
            sorted.push_back({app->WParam(), app->LParam()});
            return true;
        }
        if (e->type() == AppEventType(WM_LIST_CELL_EDITED)) {
            auto* app = static_cast<PayloadEvent<std::array<int32_t, 2>>*>(e);
            const auto cell = app->Payload();
            edited.push_back(
                {cell[0], cell[1], app->LParam(), list ? list->GetCellText(cell[0], cell[1]) : QString()});
            return true;
        }
        return QObject::event(e);
    }
};

// A list as the main window sets it up, shown on the offscreen screen.
struct ListFixture
{
    ListOwner owner;
    std::unique_ptr<CReportCtrl> list = std::make_unique<CReportCtrl>();

    explicit ListFixture(int width = 900, int height = 400)
    {
        list->InsertListColumns(ReadColumnBlock(QByteArray(), DefaultListColumnWidths()));
        list->m_pOwner = &owner;
        owner.list = list.get();
        list->resize(width, height);
        list->show();
    }

    // Appends a row: texts by column, and a record.
    int Add(const QStringList& cells, const CAudioFileInfo& info = CAudioFileInfo())
    {
        ReportFilledRow row;
        row.cells = cells;
        row.record = std::make_unique<CAudioFileInfo>(info);
        const int index = list->AppendFilledRow(std::move(row));
        list->ShowPendingRows();
        return index;
    }

    // Appends rows whose Name cells are the given texts.
    void AddNames(const QStringList& names)
    {
        for (const QString& name : names)
            Add({name});
    }

    QStringList Column(int column) const
    {
        QStringList texts;
        for (int r = 0; r < list->GetItemCount(); ++r)
            texts << list->GetCellText(r, column);
        return texts;
    }

    void DeliverPosted() { QCoreApplication::sendPostedEvents(&owner); }
};

inline CAudioFileInfo Record(int track, int total = 0, double sizeMB = 0, uint32_t rate = 0,
                             uint32_t channels = 0, int32_t bitrate = 0, bool unusable = false)
{
    CAudioFileInfo info;
    info.m_nTrack = static_cast<uint8_t>(track);
    info.m_nTrackTotal = static_cast<uint8_t>(total);
    info.m_dSizeMB = sizeMB;
    info.m_nSampleRate = rate;
    info.m_nChannels = channels;
    info.m_nBitrate = bitrate;
    info.m_bUnusable = unusable ? 1 : 0;
    return info;
}
