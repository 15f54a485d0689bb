// The empty-list hint.
#include "ReportEmptyHint.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QRect>

QString HintText(int index)
{
    switch (index) {
    case 0:
        return QStringLiteral("Drag & Drop files and folders here");
    case 1:
        return QStringLiteral("Add files by clicking the \"Add Files\" toolbar button");
    case 2:
        return QStringLiteral("Add folder by clicking the \"Add Folder\" toolbar button");
    case 3:
        return QStringLiteral("Add subfolders by clicking the \"Add SubFolders\" toolbar button");
    case 4:
        return QStringLiteral(
            "When you select one folder of the left folder tree, press the CTRL key at the same "
            "time, the soft will search and add all audio files in the subfolders");
    case 5:
        return QStringLiteral(
            "When you select one folder of the left folder tree, press the SHIFT key at the same "
            "time, the soft will NOT clear the existing file list");
    case 6:
        return QStringLiteral(
            "You can drag & drop files in the file list to Windows Explorer to copy these files");
    case 7:
        return QStringLiteral(
            "Right click items in the file list and click the floating popup menu to perform "
            "various file operations");
    case 8:
        return QStringLiteral("Click the column header to sort the file list");
    case 9:
        return QStringLiteral(
            "Right click the column header and click the floating popup menu to show/hide columns");
    default:
        return {};
    }
}

int HintIndexAt(uint32_t ms)
{
    return static_cast<int>((ms / kHintPeriodMs) % kHintTextCount);
}

QFont HintFont()
{
    static const QString family = [] {
        const QString wanted = QStringLiteral("Trebuchet MS");
        if (QFontDatabase::families().contains(wanted, Qt::CaseInsensitive))
            return wanted;
        QFont sans;
        sans.setStyleHint(QFont::SansSerif);
        return sans.defaultFamily();
    }();
    QFont font(family);
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(15.6);
    return font;
}

void PaintHint(QPainter& painter, const QRect& area, const QString& text)
{
    painter.save();
    const QFont font = HintFont();
    painter.setFont(font);
    const int h = QFontMetrics(font).height();
    QRect box = area;
    box.setTop(area.top() + (area.bottom() - area.top()) / 2 - h);
    painter.setPen(QColor(106, 106, 255));
    painter.setBackground(Qt::white);
    painter.setBackgroundMode(Qt::OpaqueMode);
    painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap | Qt::TextDontClip, text);
    painter.restore();
}
