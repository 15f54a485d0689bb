// The in-place editor of the file list.
#include "ReportCellEditor.h"

#include <QKeyEvent>
#include <optional>

ReportCellEditor::ReportCellEditor(QWidget* parent) : QLineEdit(parent)
{
    setFrame(true);
    hide();
}

void ReportCellEditor::Begin(const QString& text)
{
    setText(text);
    const qsizetype dot = text.lastIndexOf(QLatin1Char('.'));
    const int length = static_cast<int>(dot < 0 ? text.size() : dot);
    setSelection(0, length);
}

bool ReportCellEditor::event(QEvent* event)
{
    // Seen before the widget's own key handling, so Tab never moves the
    // focus and Enter / Esc never reach a dialog around the list.
    if (event->type() == QEvent::ShortcutOverride || event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        std::optional<Key> what;
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            what = Key::Commit;
            break;
        case Qt::Key_Escape:
            what = Key::Cancel;
            break;
        case Qt::Key_Tab:
            what = (key->modifiers() & Qt::ShiftModifier) ? Key::Previous : Key::Next;
            break;
        case Qt::Key_Backtab:
            what = Key::Previous;
            break;
        case Qt::Key_Down:
            what = Key::Down;
            break;
        case Qt::Key_Up:
            what = Key::Up;
            break;
        default:
            break;
        }
        if (what) {
            event->accept();
            if (event->type() == QEvent::KeyPress)
                emit KeyPressed(*what);
            return true;
        }
    }
    return QLineEdit::event(event);
}
