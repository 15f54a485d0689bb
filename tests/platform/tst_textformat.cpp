// FormatText: printf-style texts in the C locale whatever the process locale.
#include "TestMain.h"
#include "TextFormat.h"

#include <QLocale>

#include <clocale>
#include <string>

class TestTextFormat : public QObject
{
    Q_OBJECT

private slots:
    void formats_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");
        QTest::newRow("%.2f") << FormatText("%.2f", 4.05) << QStringLiteral("4.05");
        QTest::newRow("%3d") << FormatText("CBR %3d kbps;", 96) << QStringLiteral("CBR  96 kbps;");
        QTest::newRow("%5d") << FormatText("%5d Hz", 8000) << QStringLiteral(" 8000 Hz");
        QTest::newRow("large %d, no grouping") << FormatText("%d", 1234567) << QStringLiteral("1234567");
        QTest::newRow("%s is UTF-8") << FormatText("Fail to create folder %s !!", "/tmp/M\xC3\xBCsik")
                                     << QString::fromUtf8("Fail to create folder /tmp/M\xC3\xBCsik !!");
        QTest::newRow("%02d:%02d") << FormatText("%02d:%02d:%02d", 1, 2, 3) << QStringLiteral("01:02:03");
        QTest::newRow("%lld") << FormatText("%lld", -5000000000LL) << QStringLiteral("-5000000000");
        QTest::newRow("%%") << FormatText("100%%") << QStringLiteral("100%");
    }

    void formats()
    {
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(text, expected);
    }

    // Qt's own default locale does not change the texts either.
    void germanQtLocale()
    {
        const QLocale saved;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        const QString text = FormatText("%.2f MB, %d", 4.05, 12345);
        QLocale::setDefault(saved);
        QCOMPARE(text, QStringLiteral("4.05 MB, 12345"));
    }

    void germanCLocale()
    {
        const std::string saved = std::setlocale(LC_ALL, nullptr);
        const char* found = nullptr;
        for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "de_DE", "de_DE@euro"}) {
            if (std::setlocale(LC_ALL, name)) {
                found = name;
                break;
            }
        }
        if (!found) {
            QSKIP("no de_DE locale is installed");
        }
        const QString text = FormatText("%.2f", 4.05);
        std::setlocale(LC_ALL, saved.c_str());
        QCOMPARE(text, QStringLiteral("4.05"));
    }
};

TARNWICK_TEST_MAIN(TestTextFormat)
#include "tst_textformat.moc"
