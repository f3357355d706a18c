#include "FakeBrowser.h"
#include "FakeDialogs.h"
#include "archive/MhtmlReader.h"
#include "archive/QuotedPrintableMemo.h"
#include "saving/DocumentWriter.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <stdexcept>

class tst_DocumentWriter : public QObject
{
    Q_OBJECT

private:
    static QByteArray bytesOf(const QString &path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    static void writeBytes(const QString &path, const QByteArray &bytes)
    {
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }

    QTemporaryDir m_dir;
    FakeBrowser m_browser;
    FakeDialogs m_dialogs;
    // As the Save command writes: each save reuses the last one's encoding.
    QuotedPrintableMemo m_rootEncoding;
    DocumentWriter m_writer{m_browser, m_dialogs, &m_rootEncoding};

private Q_SLOTS:
    void init()
    {
        m_browser.hasDocument = true;
        m_dialogs.shown.clear();
    }

    void repeatedSavesKeepPictures()
    {
        const QString path = m_dir.filePath(QStringLiteral("page.mht"));
        QVERIFY(QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), path));
        const MhtmlReadResult original = MhtmlReader().readFile(path);
        QVERIFY(original.ok());
        const MhtmlPart gif = original.archive.parts[1];
        for (int cycle = 1; cycle <= 4; ++cycle) {
            // As the engine would give it back, with one more mark each time.
            m_browser.html = original.archive.rootHtml().replace(
                QStringLiteral("Sample"), QStringLiteral("<span style=\"background-color: yellow\">Sample</span>"));
            m_browser.html += QStringLiteral("<!-- cycle %1 \u00e9 -->").arg(cycle);
            // The first save is one with nothing changed: the page keeps its date.
            const bool changed = cycle > 1;
            QVERIFY(m_writer.SaveDocAsMht(path, path, changed).ok());
            const MhtmlReadResult saved = MhtmlReader().readFile(path);
            QVERIFY2(saved.ok(), qPrintable(saved.error));
            const QList<QPair<QByteArray, QByteArray>> &headers = saved.archive.headers;
            const auto date =
                std::find_if(headers.cbegin(), headers.cend(), [](const auto &h) { return h.first == "Date"; });
            QVERIFY(date != headers.cend());
            QCOMPARE(date->second == "Mon, 01 Jan 2024 10:00:00 +0000", !changed);
            QVERIFY(headers.contains(qMakePair(QByteArray("From"), QByteArray("<Saved by hand>"))));
            QCOMPARE(saved.archive.parts.size(), 2);
            // The page said windows-1252; the saved bytes are UTF-8 and say so.
            QCOMPARE(saved.archive.rootHtml(),
                     QString(m_browser.html).replace(QStringLiteral("windows-1252"), QStringLiteral("utf-8")));
            QCOMPARE(saved.archive.root()->charset, QByteArray("utf-8"));
            QCOMPARE(saved.archive.root()->contentLocation, original.archive.root()->contentLocation);
            QCOMPARE(saved.archive.parts[1].contentLocation, gif.contentLocation);
            QCOMPARE(saved.archive.parts[1].data, gif.data);
            QCOMPARE(saved.archive.subject, QStringLiteral("Caf\u00e9 sample"));
        }
    }

    void metaCharsetIsRewritten_data()
    {
        QTest::addColumn<QString>("head");
        QTest::addColumn<QString>("expected");
        QTest::newRow("meta charset") << QStringLiteral("<meta charset=\"windows-1252\">")
                                      << QStringLiteral("<meta charset=\"utf-8\">");
        QTest::newRow("unquoted upper case")
            << QStringLiteral("<META CHARSET=ISO-8859-1>") << QStringLiteral("<META CHARSET=utf-8>");
        QTest::newRow("http-equiv")
            << QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=iso-8859-15\">")
            << QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=utf-8\">");
        QTest::newRow("already utf-8") << QStringLiteral("<meta charset=UTF-8>")
                                       << QStringLiteral("<meta charset=UTF-8>");
        QTest::newRow("other meta untouched") << QStringLiteral("<meta name=\"charset-notes\" content=\"x\">")
                                              << QStringLiteral("<meta name=\"charset-notes\" content=\"x\">");
        QTest::newRow("longer tag name untouched")
            << QStringLiteral("<metadata charset=\"latin1\">") << QStringLiteral("<metadata charset=\"latin1\">");
        QTest::newRow("tab after the name")
            << QStringLiteral("<link><Meta\tcharset=latin1><meta charset=koi8-r>")
            << QStringLiteral("<link><Meta\tcharset=utf-8><meta charset=utf-8>");
    }

    void metaCharsetIsRewritten()
    {
        QFETCH(QString, head);
        QFETCH(QString, expected);
        m_browser.html =
            QStringLiteral("<html><head>%1<title>T\u00e9</title></head><body>\u00e7a \u20ac</body></html>").arg(head);
        const QString mht = m_dir.filePath(QStringLiteral("meta.eml"));
        QVERIFY(m_writer.SaveDocAsMht(mht).ok());
        const MhtmlReadResult saved = MhtmlReader().readFile(mht);
        QVERIFY2(saved.ok(), qPrintable(saved.error));
        const QString html = saved.archive.rootHtml();
        QVERIFY2(html.contains(expected), qPrintable(html));
        QVERIFY(html.contains(QStringLiteral("\u00e7a \u20ac")));
        QCOMPARE(saved.archive.subject, QStringLiteral("T\u00e9"));

        const QString htm = m_dir.filePath(QStringLiteral("meta.htm"));
        m_writer.SaveDocAsHtml(htm);
        QCOMPARE(QString::fromUtf8(bytesOf(htm)), html);
    }

    void pageWithoutArchiveGetsItsAddress()
    {
        m_browser.html = QStringLiteral("<html><body>web</body></html>");
        m_browser.locationUrl = QStringLiteral("https://example.com/a/page.html");
        const QString path = m_dir.filePath(QStringLiteral("web.mht"));
        QVERIFY(m_writer.SaveDocAsMht(path, QString()).ok());
        const MhtmlReadResult saved = MhtmlReader().readFile(path);
        QVERIFY(saved.ok());
        QCOMPARE(saved.archive.parts.size(), 1);
        QCOMPARE(saved.archive.root()->contentLocation, m_browser.locationUrl);
        QCOMPARE(saved.archive.snapshotLocation, m_browser.locationUrl);
    }

    void failuresLeaveFilesAlone()
    {
        // An unreadable archive is not overwritten: its pictures would be lost.
        const QString broken = m_dir.filePath(QStringLiteral("broken.mht"));
        writeBytes(broken,
                   "Content-Type: multipart/related; boundary=q\r\n\r\n--q\r\nContent-Type: text/html\r\n\r\nx");
        QVERIFY(m_writer.SaveDocAsMht(broken, broken).error.endsWith(broken + QStringLiteral(" was left as it was.")));
        QVERIFY(bytesOf(broken).endsWith("\r\nx"));
        // Saved elsewhere, the marks are kept; the HTML is all there is.
        const QString other = m_dir.filePath(QStringLiteral("other.mht"));
        QVERIFY(m_writer.SaveDocAsMht(other, broken).ok());
        QVERIFY(MhtmlReader().readFile(other).ok());

        const QString missingFolder = m_dir.filePath(QStringLiteral("no/such/page.mht"));
        QVERIFY(!m_writer.SaveDocAsMht(missingFolder).ok());
        QVERIFY(!QFile::exists(missingFolder));

        m_browser.failures.insert(QStringLiteral("documentHtml"), QStringLiteral("script timed out"));
        QCOMPARE(m_writer.SaveDocAsMht(other, broken).error, QStringLiteral("script timed out"));
        QVERIFY(MhtmlReader().readFile(other).ok());
        m_browser.failures.clear();
    }

    void htmlWriterMessages_data()
    {
        QTest::addColumn<bool>("document");
        QTest::addColumn<QString>("target");
        QTest::addColumn<QString>("message");
        QTest::newRow("no document") << false << QStringLiteral("a.htm") << QStringLiteral("Document not loaded!");
        QTest::newRow("missing folder") << true << QStringLiteral("none/a.htm") << QStringLiteral("SaveAs HTML fail!");
        QTest::newRow("written") << true << QStringLiteral("ok.htm") << QString();
    }

    void htmlWriterMessages()
    {
        QFETCH(bool, document);
        QFETCH(QString, target);
        QFETCH(QString, message);
        m_browser.hasDocument = document;
        m_browser.html = QStringLiteral("<p>x</p>");
        const QString path = m_dir.filePath(target);
        m_writer.SaveDocAsHtml(path);
        // The documented text, then the reason on the lines below.
        QCOMPARE(m_dialogs.lastText().section(QLatin1Char('\n'), 0, 0), message);
        if (!message.isEmpty()) {
            QCOMPARE(m_dialogs.shown.last().kind, Dialogs::Kind::Plain);
            QVERIFY(!QFile::exists(path));
        } else {
            QCOMPARE(bytesOf(path), QByteArray("<p>x</p>"));
        }
    }

    void confsavedsizeReportsBytes()
    {
        const QString path = m_dir.filePath(QStringLiteral("sized.mht"));
        writeBytes(path, QByteArray(2048, 'z'));
        QStringList status;
        m_writer.confsavedsize(path, [&](const QString &text) { status << text; });
        m_writer.confsavedsize(m_dir.filePath(QStringLiteral("gone.mht")),
                               [&](const QString &text) { status << text; });
        QCOMPARE(status, QStringList({QStringLiteral("File saved: 2048 bytes (") + path + u')',
                                      QStringLiteral("File saved: 0 bytes (") +
                                          m_dir.filePath(QStringLiteral("gone.mht")) + u')'}));
    }
};

QTEST_MAIN(tst_DocumentWriter)
#include "tst_DocumentWriter.moc"
