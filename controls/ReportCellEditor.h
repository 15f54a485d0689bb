// The in-place editor of the file list: a single-line edit box on the cell
// being edited. It reports the keys that end or move an edit instead of
// acting on them, and it never ends an edit by itself (losing the focus,
// Alt+Tab to another window, leave it open).
#pragma once

#include <QLineEdit>

class ReportCellEditor : public QLineEdit
{
    Q_OBJECT

public:
    enum class Key
    {
        Commit,   // Enter
        Cancel,   // Esc
        Next,     // Tab
        Previous, // Shift+Tab
        Down,
        Up
    };

    explicit ReportCellEditor(QWidget* parent);

    // Shows text with everything up to its last '.' selected (all of it when
    // it has no '.'), so a file name is selected without its extension.
    void Begin(const QString& text);

signals:
    void KeyPressed(ReportCellEditor::Key key);

protected:
    bool event(QEvent* event) override;
};
