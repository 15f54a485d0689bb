// CodePage: choice of the 8-bit code page and conversions that never fail.
#include "CodePage.h"
#include "TestMain.h"

#include <QRandomGenerator>

#include <atomic>
#include <clocale>
#include <langinfo.h>
#include <string>
#include <thread>
#include <vector>

namespace {

QString U(const char* utf8)
{
    return QString::fromUtf8(utf8);
}

// U+FFFD in UTF-8, for the expected texts.
#define BAD "\xEF\xBF\xBD"

void UseCodePage(const QByteArray& name)
{
    if (name.isNull()) {
        qunsetenv("TARNWICK_CODEPAGE");
    } else {
        qputenv("TARNWICK_CODEPAGE", name);
    }
    CodePage::Reset();
}

} // namespace

class TestCodePage : public QObject
{
    Q_OBJECT

private slots:
    void cleanup() { UseCodePage(QByteArray()); }

    void name_data()
    {
        QTest::addColumn<QByteArray>("setting");
        QTest::addColumn<QByteArray>("expected");
        QTest::newRow("CP1251") << QByteArray("CP1251") << QByteArray("CP1251");
        QTest::newRow("blanks around") << QByteArray(" SHIFT_JIS ") << QByteArray("SHIFT_JIS");
        QTest::newRow("unknown name") << QByteArray("NO-SUCH-CHARSET") << QByteArray("WINDOWS-1252");
        QTest::newRow("empty") << QByteArray("") << QByteArray("WINDOWS-1252");
    }

    void name()
    {
        QFETCH(QByteArray, setting);
        QFETCH(QByteArray, expected);
        UseCodePage(setting);
        QCOMPARE(CodePage::Name(), expected);
    }

    // The test processes run in a UTF-8 or the C locale: both give Windows-1252.
    void unicodeAndAsciiLocales()
    {
        UseCodePage(QByteArray());
        const std::string saved = std::setlocale(LC_CTYPE, nullptr);
        for (const char* locale : {"C.UTF-8", "C"}) {
            if (!std::setlocale(LC_CTYPE, locale)) {
                continue;
            }
            CodePage::Reset();
            QCOMPARE(CodePage::Name(), QByteArray("WINDOWS-1252"));
            QCOMPARE(CodePage::ToUnicode("\x80"), U("\xE2\x82\xAC"));
        }
        std::setlocale(LC_CTYPE, saved.c_str());
    }

    void legacyLocale()
    {
        UseCodePage(QByteArray());
        const std::string saved = std::setlocale(LC_CTYPE, nullptr);
        const char* found = nullptr;
        for (const char* locale : {"ru_RU.CP1251", "ru_RU.KOI8-R", "de_DE.ISO-8859-1", "en_US.ISO-8859-1",
                                   "ja_JP.SJIS", "zh_CN.GBK", "zh_CN.GB2312"}) {
            if (std::setlocale(LC_CTYPE, locale)) {
                found = locale;
                break;
            }
        }
        if (!found) {
            QSKIP("no locale with a legacy character set is installed");
        }
        CodePage::Reset();
        const QByteArray codeset(nl_langinfo(CODESET));
        const QByteArray name = CodePage::Name();
        std::setlocale(LC_CTYPE, saved.c_str());
        QCOMPARE(name, codeset);
    }

    void toUnicode_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");

        const QByteArray w1252("WINDOWS-1252");
        QTest::newRow("1252 euro") << w1252 << QByteArray("\x80") << U("\xE2\x82\xAC");
        QTest::newRow("1252 text") << w1252 << QByteArray("Caf\xE9 \x93q\x94 \x9F")
                                   << U("Caf\xC3\xA9 \xE2\x80\x9Cq"
                                        "\xE2\x80\x9D \xC5\xB8");
        QTest::newRow("1252 undefined bytes") << w1252
                                              << QByteArray("a\x81"
                                                            "b\x8D\x8F\x90\x9D"
                                                            "c")
                                              << U("a" BAD "b" BAD BAD BAD BAD "c");
        QTest::newRow("NUL kept") << w1252 << QByteArray("a\0b", 3) << QString::fromUtf16(u"a\0b", 3);
        QTest::newRow("empty") << w1252 << QByteArray() << QString();
        QTest::newRow("unknown name is 1252")
            << QByteArray("NO-SUCH-CHARSET") << QByteArray("\x80\xE9") << U("\xE2\x82\xAC\xC3\xA9");

        const QByteArray cp1251("CP1251");
        QTest::newRow("CP1251") << cp1251 << QByteArray("\xC0\xE9 \x88")
                                << U("\xD0\x90\xD0\xB9 \xE2\x82\xAC");
        QTest::newRow("CP1251 undefined") << cp1251 << QByteArray("x\x98y") << U("x" BAD "y");

        const QByteArray sjis("SHIFT_JIS");
        QTest::newRow("SJIS") << sjis << QByteArray("\x82\xA0\x82\xA2") << U("\xE3\x81\x82\xE3\x81\x84");
        QTest::newRow("SJIS cut at the end") << sjis << QByteArray("a\x82") << U("a" BAD);
        QTest::newRow("SJIS cut after a character")
            << sjis << QByteArray("\x82\xA0\x82") << U("\xE3\x81\x82" BAD);
        QTest::newRow("SJIS bad trail byte") << sjis << QByteArray("\x82\x20x") << U(BAD " x");

        const QByteArray gbk("GBK");
        QTest::newRow("GBK") << gbk << QByteArray("\xC4\xE3\xBA\xC3") << U("\xE4\xBD\xA0\xE5\xA5\xBD");
        QTest::newRow("GBK cut at the end") << gbk << QByteArray("\xC4") << U(BAD);
        QTest::newRow("GBK cut after a character")
            << gbk << QByteArray("\xC4\xE3\xC4") << U("\xE4\xBD\xA0" BAD);
        QTest::newRow("GBK invalid byte, then text") << gbk
                                                     << QByteArray("\xFF"
                                                                   "ab")
                                                     << U(BAD "ab");

        const QByteArray utf8("UTF-8");
        QTest::newRow("UTF-8 cut 3-byte character") << utf8 << QByteArray("ok\xE2\x82") << U("ok" BAD);
        QTest::newRow("UTF-8 stray continuation") << utf8 << QByteArray("\x80z") << U(BAD "z");
    }

    void toUnicode()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        UseCodePage(codePage);
        QCOMPARE(CodePage::ToUnicode(bytes), expected);
    }

    void fromUnicode_data()
    {
        QTest::addColumn<QByteArray>("codePage");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("expected");

        QTest::newRow("1252") << QByteArray("WINDOWS-1252") << U("\xE2\x82\xAC\xC3\xA9x")
                              << QByteArray("\x80\xE9x");
        QTest::newRow("1252 unmapped") << QByteArray("WINDOWS-1252")
                                       << U("a\xD0\x96"
                                            "b\xF0\x9F\x98\x80"
                                            "c")
                                       << QByteArray("a?b?c");
        QTest::newRow("CP1251") << QByteArray("CP1251") << U("\xD0\x96") << QByteArray("\xC6");
        QTest::newRow("SJIS") << QByteArray("SHIFT_JIS") << U("\xE3\x81\x82") << QByteArray("\x82\xA0");
        QTest::newRow("lone surrogate")
            << QByteArray("WINDOWS-1252") << QString(QChar(0xD800)) + u'x' << QByteArray("?x");
        QTest::newRow("empty") << QByteArray("WINDOWS-1252") << QString() << QByteArray();
    }

    void fromUnicode()
    {
        QFETCH(QByteArray, codePage);
        QFETCH(QString, text);
        QFETCH(QByteArray, expected);
        UseCodePage(codePage);
        QCOMPARE(CodePage::FromUnicode(text), expected);
    }

    // Random bytes in single-byte, multi-byte and stateful sets: never a
    // crash, and in Windows-1252 one character for each byte.
    void randomBytes()
    {
        QRandomGenerator random(99);
        for (const QByteArray name :
             {"WINDOWS-1252", "CP1251", "SHIFT_JIS", "GBK", "BIG5", "EUC-JP", "ISO-2022-JP", "UTF-8"}) {
            UseCodePage(name);
            QCOMPARE(CodePage::Name(), name);
            for (int i = 0; i < 300; ++i) {
                QByteArray bytes(static_cast<qsizetype>(random.bounded(1, 64)), Qt::Uninitialized);
                for (char& c : bytes) {
                    c = static_cast<char>(random.bounded(256));
                }
                const QString text = CodePage::ToUnicode(bytes);
                if (name == "WINDOWS-1252") {
                    QCOMPARE(text.size(), bytes.size());
                }
                CodePage::FromUnicode(text);
            }
        }
    }

    // Conversions on worker threads while the code page changes.
    void threads()
    {
        std::atomic<bool> failed{false};
        std::vector<std::thread> workers;
        for (int t = 0; t < 4; ++t) {
            workers.emplace_back([&failed] {
                for (int i = 0; i < 300; ++i) {
                    const QByteArray name = CodePage::Name();
                    if (name != "CP1252" && name != "WINDOWS-1252") {
                        failed.store(true, std::memory_order_release);
                    }
                    if (CodePage::ToUnicode("\x80") != U("\xE2\x82\xAC") ||
                        CodePage::FromUnicode(U("\xE2\x82\xAC")) != "\x80") {
                        failed.store(true, std::memory_order_release);
                    }
                }
            });
        }
        for (int i = 0; i < 200; ++i) {
            UseCodePage(i % 2 ? QByteArray("CP1252") : QByteArray("WINDOWS-1252"));
        }
        for (std::thread& worker : workers) {
            worker.join();
        }
        QVERIFY(!failed.load(std::memory_order_acquire));
    }
};

TARNWICK_TEST_MAIN(TestCodePage)
#include "tst_codepage.moc"
