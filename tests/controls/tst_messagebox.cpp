// Tests of the application's message boxes: icons, buttons, captions and
// answers of real boxes, the queued answers for tests, and the host hook
// that brings a worker's box onto the UI thread.
#include "HostHooks.h"
#include "MessageBox.h"
#include "TestGuiMain.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <functional>
#include <thread>

namespace {

// What a shown box looked like.
struct BoxView
{
    bool found = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    QMessageBox::StandardButtons buttons;
    bool onUiThread = false;
};

// Once a box is up, records it and lets answer close it; a box still open
// afterwards is closed so the test never hangs. Looks for the box until one
// comes (a worker's box comes later than the call that expects it).
void AnswerNextBox(BoxView& view, std::function<void(QMessageBox*)> answer)
{
    auto* poll = new QTimer(qApp);
    poll->setInterval(5);
    QObject::connect(poll, &QTimer::timeout, poll, [&view, answer, poll] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        poll->stop();
        poll->deleteLater();
        view.found = true;
        view.title = box->windowTitle();
        view.text = box->text();
        view.icon = box->icon();
        view.buttons = box->standardButtons();
        view.onUiThread = QThread::currentThread() == qApp->thread();
        answer(box);
        if (box->isVisible())
            box->done(QMessageBox::Cancel);
    });
    poll->start();
}

} // namespace

class TestMessageBox : public QObject
{
    Q_OBJECT

private slots:
    void cleanup()
    {
        MessageBox::ClearNextAnswers();
        SetMessageBoxHook({});
    }

    // The box shows the text, the icon, the buttons and the application
    // name as caption; the pressed button is the answer.
    void shownBoxes_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<int>("buttons");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("press");
        QTest::addColumn<int>("qtIcon");
        QTest::addColumn<int>("qtButtons");
        QTest::addColumn<QString>("title");
        QTest::addColumn<int>("answer");
        QTest::newRow("error, ok") << int(MessageIcon::Error) << int(MessageBox::Ok) << QString()
                                   << int(QMessageBox::Ok) << int(QMessageBox::Critical)
                                   << int(QMessageBox::Ok) << QStringLiteral("Tarnwick") << MessageBox::kOk;
        QTest::newRow("exclamation, yes")
            << int(MessageIcon::Warning) << int(MessageBox::YesNo) << QStringLiteral("Confirmation")
            << int(QMessageBox::Yes) << int(QMessageBox::Warning) << int(QMessageBox::Yes | QMessageBox::No)
            << QStringLiteral("Confirmation") << MessageBox::kYes;
        QTest::newRow("exclamation, no")
            << int(MessageIcon::Warning) << int(MessageBox::YesNo) << QString() << int(QMessageBox::No)
            << int(QMessageBox::Warning) << int(QMessageBox::Yes | QMessageBox::No)
            << QStringLiteral("Tarnwick") << MessageBox::kNo;
        QTest::newRow("no icon, cancel")
            << int(MessageIcon::None) << int(MessageBox::OkCancel) << QString() << int(QMessageBox::Cancel)
            << int(QMessageBox::NoIcon) << int(QMessageBox::Ok | QMessageBox::Cancel)
            << QStringLiteral("Tarnwick") << MessageBox::kCancel;
        QTest::newRow("question, yes/no/cancel")
            << int(MessageIcon::Question) << int(MessageBox::YesNoCancel) << QString()
            << int(QMessageBox::Cancel) << int(QMessageBox::Question)
            << int(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel) << QStringLiteral("Tarnwick")
            << MessageBox::kCancel;
        QTest::newRow("information") << int(MessageIcon::Information) << int(MessageBox::Ok) << QString()
                                     << int(QMessageBox::Ok) << int(QMessageBox::Information)
                                     << int(QMessageBox::Ok) << QStringLiteral("Tarnwick") << MessageBox::kOk;
    }
    void shownBoxes()
    {
        QFETCH(int, icon);
        QFETCH(int, buttons);
        QFETCH(QString, caption);
        QFETCH(int, press);
        QFETCH(int, qtIcon);
        QFETCH(int, qtButtons);
        QFETCH(QString, title);
        QFETCH(int, answer);
        BoxView view;
        AnswerNextBox(
            view, [press](QMessageBox* box) { box->button(QMessageBox::StandardButton(press))->click(); });
        const int result =
            MessageBox::Show(nullptr, QStringLiteral("Permanently Delete the File(s), Are You Sure?"),
                             MessageIcon(icon), MessageBox::Buttons(buttons), caption);
        QVERIFY(view.found);
        QCOMPARE(view.text, QStringLiteral("Permanently Delete the File(s), Are You Sure?"));
        QCOMPARE(view.title, title);
        QCOMPARE(int(view.icon), qtIcon);
        QCOMPARE(int(view.buttons), qtButtons);
        QCOMPARE(result, answer);
        QCOMPARE(MessageBox::LastCaption(), title);
    }

    // Esc on a Yes/No box answers No, on an OK box OK.
    void escapeAnswers()
    {
        BoxView view;
        AnswerNextBox(view, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(MessageBox::Show(nullptr, QStringLiteral("Reset ALL Options, Are You Sure?"),
                                  MessageIcon::Warning, MessageBox::YesNo),
                 MessageBox::kNo);
        QVERIFY(view.found);
        AnswerNextBox(view, [](QMessageBox* box) { QTest::keyClick(box, Qt::Key_Escape); });
        QCOMPARE(MessageBox::Show(nullptr, QStringLiteral("Fail to Save!")), MessageBox::kOk);
    }

    // Queued answers are used in order; each box is still recorded.
    void queuedAnswers()
    {
        const int before = MessageBox::ShownCount();
        MessageBox::SetNextAnswer(MessageBox::kNo);
        MessageBox::SetNextAnswer(MessageBox::kYes);
        QCOMPARE(MessageBox::PendingAnswers(), 2);
        QCOMPARE(MessageBox::Show(nullptr, QStringLiteral("first"), MessageIcon::Question, MessageBox::YesNo),
                 MessageBox::kNo);
        QCOMPARE(MessageBox::LastText(), QStringLiteral("first"));
        QCOMPARE(MessageBox::LastIcon(), MessageIcon::Question);
        QCOMPARE(MessageBox::LastButtons(), MessageBox::YesNo);
        QCOMPARE(MessageBox::Show(nullptr, QStringLiteral("second"), MessageIcon::Error, MessageBox::Ok,
                                  QStringLiteral("Fatal Error")),
                 MessageBox::kYes);
        QCOMPARE(MessageBox::LastCaption(), QStringLiteral("Fatal Error"));
        QCOMPARE(MessageBox::ShownCount(), before + 2);
        QCOMPARE(MessageBox::PendingAnswers(), 0);
    }

    // A worker's box is shown on the UI thread; the worker waits for the
    // answer.
    void workerBoxShownOnUiThread()
    {
        InstallWidgetMessageBoxHook();
        BoxView view;
        AnswerNextBox(view, [](QMessageBox* box) { box->button(QMessageBox::Ok)->click(); });
        std::atomic<int> answer{-1};
        std::atomic<bool> done{false};
        std::thread worker([&] {
            answer.store(ShowHostMessage(QStringLiteral("Error Loading Lame_enc.so"), MessageIcon::Error),
                         std::memory_order_release);
            done.store(true, std::memory_order_release);
        });
        QTRY_VERIFY(done.load(std::memory_order_acquire));
        worker.join();
        QVERIFY(view.found);
        QVERIFY(view.onUiThread);
        QCOMPARE(view.text, QStringLiteral("Error Loading Lame_enc.so"));
        QCOMPARE(int(view.icon), int(QMessageBox::Critical));
        QCOMPARE(view.title, QStringLiteral("Tarnwick"));
        QCOMPARE(answer.load(std::memory_order_acquire), MessageBox::kOk);
        // On the UI thread itself the box comes at once.
        MessageBox::SetNextAnswer(MessageBox::kOk);
        QCOMPARE(ShowHostMessage(QStringLiteral("Trouble with mpg123: x"), MessageIcon::Error),
                 MessageBox::kOk);
        QCOMPARE(MessageBox::LastText(), QStringLiteral("Trouble with mpg123: x"));
    }

    // A worker told to stop while its box waits for the UI thread gets 0,
    // and the box never appears.
    void abandonedWorkerBoxNeverShows()
    {
        std::atomic<bool> stop{false};
        InstallWidgetMessageBoxHook([&stop] { return stop.load(std::memory_order_acquire); });
        const int before = MessageBox::ShownCount();
        std::atomic<int> answer{-1};
        std::thread worker([&] {
            answer.store(ShowHostMessage(QStringLiteral("never"), MessageIcon::Error),
                         std::memory_order_release);
        });
        // The UI thread is busy (not running its loop) when the run stops.
        stop.store(true, std::memory_order_release);
        worker.join();
        QCOMPARE(answer.load(std::memory_order_acquire), 0);
        QCoreApplication::processEvents();
        QCOMPARE(MessageBox::ShownCount(), before);
    }
};

TARNWICK_TEST_GUI_MAIN(TestMessageBox)
#include "tst_messagebox.moc"
