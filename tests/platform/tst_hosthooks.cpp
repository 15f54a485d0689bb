// Tests of the message-box hook: the default lines on stderr, an installed
// hook reached from a worker thread, and restoring the default.
#include "HostHooks.h"
#include "TestMain.h"
#include "WorkerThread.h"

#include <QTemporaryFile>
#include <atomic>
#include <cstdio>
#include <unistd.h>

namespace {

// Runs action with stderr sent into a temporary file and returns what it
// wrote.
template <typename Action> QByteArray CaptureStderr(Action action)
{
    QTemporaryFile file;
    if (!file.open())
        return "<no temporary file>";
    std::fflush(stderr);
    const int saved = ::dup(STDERR_FILENO);
    ::dup2(file.handle(), STDERR_FILENO);
    action();
    std::fflush(stderr);
    ::dup2(saved, STDERR_FILENO);
    ::close(saved);
    file.seek(0);
    return file.readAll();
}

} // namespace

class TestHostHooks : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { SetMessageBoxHook({}); }

    void defaultPrintsLine_data()
    {
        QTest::addColumn<int>("icon");
        QTest::addColumn<QByteArray>("line");
        QTest::newRow("error") << int(MessageIcon::Error)
                               << QByteArray("error: Fail to create folder /x/\xc3\xa4 !!\n");
        QTest::newRow("warning") << int(MessageIcon::Warning)
                                 << QByteArray("warning: Fail to create folder /x/\xc3\xa4 !!\n");
        QTest::newRow("information") << int(MessageIcon::Information)
                                     << QByteArray("Fail to create folder /x/\xc3\xa4 !!\n");
        QTest::newRow("no icon") << int(MessageIcon::None)
                                 << QByteArray("Fail to create folder /x/\xc3\xa4 !!\n");
    }
    void defaultPrintsLine()
    {
        QFETCH(int, icon);
        QFETCH(QByteArray, line);
        int answer = 0;
        const QByteArray printed = CaptureStderr([&] {
            answer = ShowHostMessage(QString::fromUtf8("Fail to create folder /x/\xc3\xa4 !!"),
                                     static_cast<MessageIcon>(icon));
        });
        QCOMPARE(printed, line);
        QCOMPARE(answer, kAnswerOk);
    }

    void installedHookIsUsedFromWorkers()
    {
        std::atomic<int> calls{0};
        SetMessageBoxHook([&](const QString& text, MessageIcon icon) {
            calls.fetch_add(1, std::memory_order_acq_rel);
            return text == QLatin1String("Overwrite?") && icon == MessageIcon::Question ? 6 : -1;
        });
        std::atomic<int> answers[2] = {0, 0};
        WorkerThread first(
            [&] { answers[0] = ShowHostMessage(QStringLiteral("Overwrite?"), MessageIcon::Question); });
        WorkerThread second(
            [&] { answers[1] = ShowHostMessage(QStringLiteral("Overwrite?"), MessageIcon::Question); });
        first.Resume();
        second.Resume();
        QVERIFY(first.Wait(-1));
        QVERIFY(second.Wait(-1));
        QCOMPARE(answers[0].load(), 6);
        QCOMPARE(answers[1].load(), 6);
        QCOMPARE(calls.load(), 2);

        SetMessageBoxHook({});
        const QByteArray printed = CaptureStderr(
            [] { QCOMPARE(ShowHostMessage(QStringLiteral("done"), MessageIcon::None), kAnswerOk); });
        QCOMPARE(printed, QByteArray("done\n"));
        QCOMPARE(calls.load(), 2);
    }
};

TARNWICK_TEST_MAIN(TestHostHooks)
#include "tst_hosthooks.moc"
