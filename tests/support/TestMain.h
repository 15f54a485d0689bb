// main() for test executables: runs the QtTest class inside an isolated
// environment (private HOME, XDG folders and runtime folder in a temporary
// folder), so tests never touch the real user's files.
#pragma once

#include <QCoreApplication>
#include <QtTest/QtTest>

namespace TestEnv {
// Creates the temporary home and points HOME, XDG_CONFIG_HOME,
// XDG_DATA_HOME, XDG_CACHE_HOME and XDG_RUNTIME_DIR into it. Call before the
// application object exists. Returns the home folder.
QString Isolate();
// Removes the temporary home again.
void Cleanup();
// Folder of the built programs and lame_enc.so.
QString BinDir();
// Folder of the third-party MP3 corpus; empty when absent.
QString CorpusDir();
} // namespace TestEnv

#define TARNWICK_TEST_MAIN_IMPL(AppClass, TestClass)                                                        \
    int main(int argc, char** argv)                                                                         \
    {                                                                                                       \
        TestEnv::Isolate();                                                                                 \
        int status = 0;                                                                                     \
        {                                                                                                   \
            AppClass app(argc, argv);                                                                       \
            TestClass tc;                                                                                   \
            QTEST_SET_MAIN_SOURCE_PATH                                                                      \
            status = QTest::qExec(&tc, argc, argv);                                                         \
        }                                                                                                   \
        TestEnv::Cleanup();                                                                                 \
        return status;                                                                                      \
    }

// For tests of the layers without widgets.
#define TARNWICK_TEST_MAIN(TestClass) TARNWICK_TEST_MAIN_IMPL(QCoreApplication, TestClass)
