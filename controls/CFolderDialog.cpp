// The folder chooser over QFileDialog.
#include "CFolderDialog.h"

#include "KnownFolders.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QUrl>
#include <deque>
#include <utility>

namespace {

struct FolderAnswers
{
    std::deque<std::pair<int, QString>> next;
    QString lastTitle;
    QString lastInitial;
};

// UI thread only, like the chooser itself.
FolderAnswers& Answers()
{
    static FolderAnswers answers;
    return answers;
}

bool IsFolder(const QString& path)
{
    const QFileInfo info(path);
    return info.isAbsolute() && info.isDir();
}

} // namespace

CFolderDialog::CFolderDialog(const QString& title, const QString& initialFolder, QWidget* parent,
                             unsigned flags)
    : m_pParent(parent), m_strTitle(title), m_nFlags(flags), m_szInitialFolder(initialFolder)
{
}

bool CFolderDialog::SetRoot(const QString& path)
{
    if (path.isEmpty()) {
        m_strRoot.clear();
        return true;
    }
    if (!IsFolder(path))
        return false;
    m_strRoot = QDir::cleanPath(QFileInfo(path).absoluteFilePath());
    return true;
}

void CFolderDialog::SetNextAnswer(int result, const QString& folder)
{
    Answers().next.emplace_back(result, folder);
}

void CFolderDialog::ClearNextAnswers()
{
    Answers().next.clear();
}

QString CFolderDialog::LastTitle()
{
    return Answers().lastTitle;
}

QString CFolderDialog::LastInitialFolder()
{
    return Answers().lastInitial;
}

QString CFolderDialog::StartFolder() const
{
    if (!m_strRoot.isEmpty())
        return m_strRoot;
    // No root: the desktop, as the shell's browser starts there.
    const QString desktop = KnownFolders::DesktopFolder();
    return desktop.isEmpty() ? KnownFolders::HomeFolder() : desktop;
}

void CFolderDialog::SelectInitialFolder(QFileDialog& browser) const
{
    const QString initial = QDir::cleanPath(m_szInitialFolder);
    if (m_szInitialFolder.isEmpty() || !IsFolder(initial)) {
        browser.setDirectory(StartFolder());
        return;
    }
    // The initial folder is shown selected in its parent, so accepting at
    // once chooses it.
    const QFileInfo info(initial);
    if (info.isRoot()) {
        browser.setDirectory(initial);
        return;
    }
    browser.setDirectory(info.absolutePath());
    browser.selectFile(info.absoluteFilePath());
}

int CFolderDialog::DoModal()
{
    FolderAnswers& answers = Answers();
    answers.lastTitle = m_strTitle;
    answers.lastInitial = m_szInitialFolder;
    if (!answers.next.empty()) {
        const auto [result, folder] = answers.next.front();
        answers.next.pop_front();
        if (result == kChosen)
            m_szFolderPath = folder;
        return result;
    }

    QFileDialog browser(m_pParent, m_strTitle);
    browser.setFileMode(QFileDialog::Directory);
    browser.setOption(QFileDialog::ShowDirsOnly, true);
    browser.setAcceptMode(QFileDialog::AcceptOpen);
    SelectInitialFolder(browser);

    m_pBrowser = &browser;
    const int code = browser.exec();
    m_pBrowser = nullptr;
    if (code != QDialog::Accepted)
        return kCancelled;

    const QList<QUrl> urls = browser.selectedUrls();
    if (urls.isEmpty() || !urls.front().isLocalFile())
        return kNoFileSystemPath;
    const QString path = QDir::cleanPath(urls.front().toLocalFile());
    if (!IsFolder(path))
        return kNoFileSystemPath;
    m_szFolderPath = path;
    return kChosen;
}
