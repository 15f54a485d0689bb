// Tests of the folder chooser (folders only, the title, the initial folder
// selected, a typed path, cancel) and of the hyperlink (set-up, colours,
// hover, auto-size, opening and the texts of failures).
#include "CFolderDialog.h"
#include "CHyperLink.h"
#include "MessageBox.h"
#include "TestGuiMain.h"

#include <QDir>
#include <QFileDialog>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <functional>

namespace {

// What the chooser looked like while it ran.
struct ChooserView
{
    bool found = false;
    QString title;
    QFileDialog::FileMode mode = QFileDialog::AnyFile;
    bool dirsOnly = false;
    bool hasEditBox = false;
    QString directory;
    QStringList selected;
};

// Runs the folder dialog; once its chooser is up, records it and lets act
// answer it (accept or reject). A chooser that does not appear fails the
// test instead of hanging it.
int RunChooser(CFolderDialog& dialog, ChooserView& view, const std::function<void(QFileDialog*)>& act)
{
    QTimer::singleShot(0, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser)
            return;
        view.found = chooser == dialog.Browser();
        view.title = chooser->windowTitle();
        view.mode = chooser->fileMode();
        view.dirsOnly = chooser->testOption(QFileDialog::ShowDirsOnly);
        view.hasEditBox = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit")) != nullptr;
        view.directory = QDir::cleanPath(chooser->directory().absolutePath());
        view.selected = chooser->selectedFiles();
        act(chooser);
        if (chooser->isVisible())
            chooser->reject();
    });
    return dialog.DoModal();
}

// A link whose opening is answered by the test.
class FakeLink : public CHyperLink
{
public:
    using CHyperLink::CHyperLink;
    int result = 33;
    QStringList opened;

protected:
    int GotoURL(const QString& url, int showCmd) override
    {
        opened << url;
        Q_UNUSED(showCmd);
        return result;
    }
};

bool Show(QWidget& window)
{
    window.show();
    return QTest::qWaitForWindowExposed(&window);
}

} // namespace

class TestFolderDialogHyperlink : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        QVERIFY(m_dir.isValid());
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Music/Albums")));
        QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("Output")));
    }
    void cleanup()
    {
        MessageBox::ClearNextAnswers();
        CFolderDialog::ClearNextAnswers();
    }

    // "Specify the Output Folder" with the current output folder: that
    // folder is selected, so accepting at once chooses it.
    void initialFolderIsSelected()
    {
        const QString output = m_dir.filePath(QStringLiteral("Output"));
        CFolderDialog dialog(QStringLiteral("Specify the Output Folder"), output, nullptr, 0x51);
        ChooserView view;
        const int result =
            RunChooser(dialog, view, [](QFileDialog* chooser) { static_cast<QDialog*>(chooser)->accept(); });
        QVERIFY(view.found);
        QCOMPARE(view.title, QStringLiteral("Specify the Output Folder"));
        QCOMPARE(view.mode, QFileDialog::Directory);
        QVERIFY(view.dirsOnly);
        QVERIFY(view.hasEditBox);
        QCOMPARE(view.directory, QDir::cleanPath(m_dir.path()));
        QCOMPARE(view.selected, QStringList{output});
        QCOMPARE(result, CFolderDialog::kChosen);
        QCOMPARE(dialog.GetFolderPath(), output);
        QVERIFY(!dialog.Browser());
    }

    void typedPathIsChosen()
    {
        const QString albums = m_dir.filePath(QStringLiteral("Music/Albums"));
        CFolderDialog dialog(QStringLiteral("Add a Folder including sub-folders"), QString(), nullptr, 0x51);
        ChooserView view;
        const int result = RunChooser(dialog, view, [&](QFileDialog* chooser) {
            auto* edit = chooser->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
            if (!edit)
                return;
            edit->setText(albums);
            static_cast<QDialog*>(chooser)->accept();
        });
        QVERIFY(view.found);
        // No initial folder: the browser starts at the desktop, here the
        // home folder since the test home has no desktop folder.
        QCOMPARE(view.directory, QDir::cleanPath(QDir::homePath()));
        QCOMPARE(result, CFolderDialog::kChosen);
        QCOMPARE(dialog.GetFolderPath(), albums);
    }

    // Cancelling returns 2 and leaves the folder as it was.
    void cancelLeavesFolder()
    {
        CFolderDialog dialog(QStringLiteral("Add a Folder excluding sub-folders"), m_dir.path(), nullptr,
                             0x51);
        CFolderDialog::SetNextAnswer(CFolderDialog::kChosen, m_dir.filePath(QStringLiteral("Output")));
        QCOMPARE(dialog.DoModal(), CFolderDialog::kChosen);
        ChooserView view;
        const int result = RunChooser(dialog, view, [](QFileDialog* chooser) { chooser->reject(); });
        QVERIFY(view.found);
        QCOMPARE(result, CFolderDialog::kCancelled);
        QCOMPARE(dialog.GetFolderPath(), m_dir.filePath(QStringLiteral("Output")));
    }

    // A missing initial folder or a root restricts nothing it cannot.
    void rootAndMissingInitialFolder()
    {
        const QString music = m_dir.filePath(QStringLiteral("Music"));
        CFolderDialog dialog(QStringLiteral("Add a Folder including sub-folders"),
                             m_dir.filePath(QStringLiteral("gone")), nullptr, 0x51);
        QVERIFY(!dialog.SetRoot(m_dir.filePath(QStringLiteral("gone"))));
        QVERIFY(dialog.SetRoot(music));
        ChooserView view;
        QCOMPARE(RunChooser(dialog, view, [](QFileDialog* chooser) { chooser->reject(); }),
                 CFolderDialog::kCancelled);
        QCOMPARE(view.directory, music);
        QVERIFY(dialog.SetRoot(QString()));
    }

    // The seam used by the callers' tests.
    void nextAnswerSeam()
    {
        CFolderDialog::SetNextAnswer(CFolderDialog::kNoFileSystemPath);
        CFolderDialog::SetNextAnswer(CFolderDialog::kCancelled);
        CFolderDialog dialog(QStringLiteral("Specify the Output Folder"), m_dir.path(), nullptr, 0x51);
        QCOMPARE(dialog.DoModal(), CFolderDialog::kNoFileSystemPath);
        QCOMPARE(dialog.DoModal(), CFolderDialog::kCancelled);
        QCOMPARE(dialog.GetFolderPath(), QString());
        QCOMPARE(CFolderDialog::LastTitle(), QStringLiteral("Specify the Output Folder"));
        QCOMPARE(CFolderDialog::LastInitialFolder(), m_dir.path());
    }

    // A link without text shows its target; one without a target opens its
    // text. The tooltip shows the target, the cursor is a hand.
    void setUp()
    {
        QWidget window;
        auto* site = new CHyperLink(QString(), &window);
        site->SetURL(QStringLiteral("https://www.example.org/tarnwick"));
        auto* mail = new FakeLink(QStringLiteral("mailto:support@example.org"), &window);
        mail->move(0, 40);
        QVERIFY(Show(window));
        QCOMPARE(site->text(), QStringLiteral("https://www.example.org/tarnwick"));
        QCOMPARE(site->toolTip(), QStringLiteral("https://www.example.org/tarnwick"));
        QCOMPARE(site->cursor().shape(), Qt::PointingHandCursor);
        QCOMPARE(site->CurrentColour(), QColor(0, 0, 238));
        QCOMPARE(site->palette().color(QPalette::WindowText), QColor(0, 0, 238));
        QVERIFY(!site->font().underline());
        QCOMPARE(mail->GetURL(), QStringLiteral("mailto:support@example.org"));
        QTest::mouseClick(mail, Qt::LeftButton);
        QCOMPARE(mail->opened, QStringList{QStringLiteral("mailto:support@example.org")});
        // A later target updates tooltip and size.
        site->SetURL(QStringLiteral("https://www.example.org/"));
        QCOMPARE(site->toolTip(), QStringLiteral("https://www.example.org/"));
    }

    // Sized to its text; centred, right-aligned or left-aligned on its old
    // place.
    void autoSize_data()
    {
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("anchorX"); // 0 left edge, 1 middle, 2 right edge kept
        QTest::newRow("left") << int(Qt::AlignLeft | Qt::AlignTop) << 0;
        QTest::newRow("centre") << int(Qt::AlignHCenter | Qt::AlignTop) << 1;
        QTest::newRow("right") << int(Qt::AlignRight | Qt::AlignTop) << 2;
    }
    void autoSize()
    {
        QFETCH(int, alignment);
        QFETCH(int, anchorX);
        QWidget window;
        window.resize(600, 200);
        auto* link = new CHyperLink(QStringLiteral("www.example.org"), &window);
        link->setAlignment(Qt::Alignment(alignment));
        link->setGeometry(100, 50, 300, 40);
        QVERIFY(Show(window));
        const QSize text = link->fontMetrics().size(0, link->text());
        QCOMPARE(link->size(), text);
        QCOMPARE(link->y(), 50); // top kept without vertical centring
        const QRect g = link->geometry();
        if (anchorX == 0)
            QCOMPARE(g.x(), 100);
        else if (anchorX == 1)
            QCOMPARE(g.x(), 100 + (300 - text.width()) / 2);
        else
            QCOMPARE(g.x() + g.width(), 400);
    }

    // Hover: red and underlined until the mouse leaves.
    void hover()
    {
        QWidget window;
        window.resize(300, 100);
        auto* link = new CHyperLink(QStringLiteral("www.example.org"), &window);
        link->move(10, 10);
        QVERIFY(Show(window));
        QTest::mouseMove(link, QPoint(3, 3));
        QVERIFY(link->IsHovered());
        QCOMPARE(link->CurrentColour(), QColor(255, 0, 0));
        QCOMPARE(link->palette().color(QPalette::WindowText), QColor(255, 0, 0));
        QVERIFY(link->font().underline());
        QEvent leave(QEvent::Leave);
        QApplication::sendEvent(link, &leave);
        QVERIFY(!link->IsHovered());
        QVERIFY(!link->font().underline());
        QCOMPARE(link->CurrentColour(), QColor(0, 0, 238));
        // Always underlined, or never.
        link->SetUnderline(CHyperLink::kUnderlineAlways);
        QVERIFY(link->font().underline());
        link->SetUnderline(CHyperLink::kUnderlineNever);
        QTest::mouseMove(link, QPoint(4, 4));
        QVERIFY(link->IsHovered());
        QVERIFY(!link->font().underline());
    }

    // Opened: visited colour, no message.
    void openedLinkIsVisited()
    {
        FakeLink link(QStringLiteral("www.example.org"));
        QVERIFY(Show(link));
        const int shown = MessageBox::ShownCount();
        QTest::mouseClick(&link, Qt::LeftButton);
        QVERIFY(link.IsVisited());
        QCOMPARE(link.CurrentColour(), QColor(85, 26, 139));
        QCOMPARE(MessageBox::ShownCount(), shown);
    }

    // Failures show "Unable to open hyperlink:" with the error's text and
    // the exclamation icon, and leave the link unvisited.
    void failureTexts_data()
    {
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("text");
        QTest::newRow("26") << 26
                            << QStringLiteral("Unable to open hyperlink:\n\nA sharing violation occurred. ");
        QTest::newRow("4") << 4 << QStringLiteral("Unable to open hyperlink:\n\nUnknown Error (4) occurred.");
        QTest::newRow("31") << 31
                            << QStringLiteral(
                                   "Unable to open hyperlink:\n\nThere is no application associated\n"
                                   "with the given filename extension.");
        QTest::newRow("32 is no success") << 32
                                          << QStringLiteral("Unable to open hyperlink:\n\nThe specified "
                                                            "dynamic-link library was not found.");
        QTest::newRow("negative") << -7
                                  << QStringLiteral(
                                         "Unable to open hyperlink:\n\nUnknown Error (-7) occurred.");
    }
    void failureTexts()
    {
        QFETCH(int, result);
        QFETCH(QString, text);
        FakeLink link(QStringLiteral("www.example.org"));
        link.result = result;
        QVERIFY(Show(link));
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QTest::mouseClick(&link, Qt::LeftButton);
        QCOMPARE(MessageBox::PendingAnswers(), 0);
        QCOMPARE(MessageBox::LastText(), text);
        QCOMPARE(MessageBox::LastIcon(), MessageIcon::Warning);
        QCOMPARE(MessageBox::LastCaption(), QStringLiteral("Tarnwick"));
        QVERIFY(!link.IsVisited());
    }

    // The desktop is not asked to open a local file that does not exist.
    void missingLocalFileIsNotFound()
    {
        CHyperLink link(QStringLiteral("Help"));
        link.SetURL(m_dir.filePath(QStringLiteral("Help.html")));
        link.SetUp();
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QVERIFY(!link.Open());
        QCOMPARE(MessageBox::LastText(),
                 QStringLiteral("Unable to open hyperlink:\n\nThe specified file was not found."));
    }

private:
    QTemporaryDir m_dir;
};

TARNWICK_TEST_GUI_MAIN(TestFolderDialogHyperlink)
#include "tst_folderdialog_hyperlink.moc"
