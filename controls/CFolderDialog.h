// Asks the user for a folder with the toolkit's folder chooser: folders
// only, with an edit box to type a path, the given title and the initial
// folder selected.
#pragma once

#include <QString>

class QWidget;
class QFileDialog;

class CFolderDialog
{
public:
    // Browse flags the callers pass (0x51).
    static constexpr unsigned BIF_RETURNONLYFSDIRS = 0x1;
    static constexpr unsigned BIF_EDITBOX = 0x10;
    static constexpr unsigned BIF_NEWDIALOGSTYLE = 0x40;

    // Results of DoModal.
    static constexpr int kChosen = 1;
    static constexpr int kCancelled = 2;
    static constexpr int kNoFileSystemPath = -1;

    // initialFolder may be empty for none; parent owns the chooser while it
    // runs.
    CFolderDialog(const QString& title, const QString& initialFolder, QWidget* parent, unsigned flags);

    // Restricts the chooser's start to the folder path; an empty path makes
    // the desktop the root again. False (root unchanged) when path is not an
    // existing folder.
    bool SetRoot(const QString& path);

    // Runs the chooser modally: kChosen with GetFolderPath() set, kCancelled,
    // or kNoFileSystemPath when the choice is no existing local folder.
    int DoModal();

    QString GetFolderPath() const { return m_szFolderPath; }
    QString Title() const { return m_strTitle; }
    QString InitialFolder() const { return m_szInitialFolder; }
    unsigned Flags() const { return m_nFlags; }
    // The chooser while DoModal runs, otherwise null.
    QFileDialog* Browser() const { return m_pBrowser; }

    // Test seam: queues the result (and the folder for kChosen) of the next
    // DoModal, which then shows nothing. The run is still recorded.
    static void SetNextAnswer(int result, const QString& folder = QString());
    static void ClearNextAnswers();
    // Title and initial folder of the last DoModal.
    static QString LastTitle();
    static QString LastInitialFolder();

private:
    void SelectInitialFolder(QFileDialog& browser) const;
    QString StartFolder() const;

    QWidget* m_pParent = nullptr;
    QString m_strTitle;
    unsigned m_nFlags = 0;
    QString m_strRoot;
    QString m_szInitialFolder;
    QString m_szFolderPath;
    QFileDialog* m_pBrowser = nullptr;
};
