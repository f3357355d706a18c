#include "archive/MhtmlCodec.h"
#include "archive/MhtmlReader.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class tst_MhtmlReader : public QObject
{
    Q_OBJECT

private:
    static QByteArray archive(const QByteArray &eol, const QByteArray &htmlHeaders, const QByteArray &htmlBody,
                              const QByteArray &imageHeaders, const QByteArray &imageBody)
    {
        QByteArray a = "MIME-Version: 1.0" + eol + "Content-Type: multipart/related; boundary=\"BND\"" + eol + eol +
                       "--BND" + eol + htmlHeaders + eol + eol + htmlBody + eol + "--BND" + eol + imageHeaders + eol +
                       eol + imageBody + eol + "--BND--" + eol;
        return a;
    }

private Q_SLOTS:
    void tolerance_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<QString>("errorPart"); // empty: reading succeeds
        QTest::addColumn<int>("parts");
        QTest::addColumn<QByteArray>("rootData");
        QTest::addColumn<QByteArray>("lastData");

        const QByteArray html = "<p>a=b</p>";
        const QByteArray qpHeaders = "Content-Type: text/html; charset=utf-8\r\nContent-Transfer-Encoding: "
                                     "quoted-printable\r\nContent-Location: https://x.test/";
        const QByteArray imgHeaders =
            "Content-Type: image/png\r\nContent-Transfer-Encoding: base64\r\nContent-Location: https://x.test/i.png";
        QTest::newRow("crlf") << archive("\r\n", qpHeaders, "<p>a=3Db</p>", imgHeaders, "AAEC") << QString() << 2
                              << html << QByteArray("\x00\x01\x02", 3);
        QByteArray lfQp = qpHeaders;
        lfQp.replace("\r\n", "\n");
        QByteArray lfImg = imgHeaders;
        lfImg.replace("\r\n", "\n");
        QTest::newRow("lf only") << archive("\n", lfQp, "<p>a=3Db</p>", lfImg, "AAEC") << QString() << 2 << html
                                 << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("qp soft breaks crlf") << archive("\r\n", qpHeaders, "<p>a=\r\n=3Db</=\r\np>", imgHeaders, "AAEC")
                                             << QString() << 2 << html << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("qp soft breaks lf, padding, lower-case hex")
            << archive("\n", lfQp, "<p>a=  \n=3db</=\np>", lfImg, "AAEC") << QString() << 2 << html
            << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("qp stray equals kept") << archive("\r\n", qpHeaders, "a=b=\r\n", imgHeaders, "AAEC") << QString()
                                              << 2 << QByteArray("a=b") << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("base64 junk whitespace") << archive("\r\n", qpHeaders, "x", imgHeaders, " AA \t\r\n E\r\nC \r\n")
                                                << QString() << 2 << QByteArray("x") << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("base64 padded chunks joined")
            << archive("\r\n", qpHeaders, "x", imgHeaders, "AA==\r\nAQ==\r\nAgM=") << QString() << 2 << QByteArray("x")
            << QByteArray("\x00\x01\x02\x03", 4);
        QTest::newRow("header names in other cases")
            << archive("\r\n", "content-type: text/html\r\nCONTENT-TRANSFER-ENCODING: quoted-printable", "<p>a=3Db</p>",
                       "Content-type: image/png\r\ncontent-Transfer-encoding: Base64", "AAEC")
            << QString() << 2 << html << QByteArray("\x00\x01\x02", 3);
        QTest::newRow("missing transfer encoding is binary")
            << archive("\r\n", "Content-Type: text/html", "<p>a=3Db</p>", "Content-Type: image/png", "raw\x01")
            << QString() << 2 << QByteArray("<p>a=3Db</p>") << QByteArray("raw\x01");
        QTest::newRow("boundary text inside a line is body")
            << archive("\r\n", "Content-Type: text/html", "x --BND y\r\n--BNDx", "Content-Type: image/png", "z")
            << QString() << 2 << QByteArray("x --BND y\r\n--BNDx") << QByteArray("z");

        const QByteArray nested =
            "Content-Type: multipart/related; type=\"multipart/alternative\"; boundary=\"outer\"\r\n"
            "\r\npreamble\r\n--outer\r\n"
            "Content-Type: multipart/alternative; boundary=\"inner\"\r\n\r\n"
            "--inner\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
            "--inner\r\nContent-Type: text/html; charset=\"us-ascii\"\r\n\r\n<b>rich</b>\r\n"
            "--inner--\r\n"
            "--outer\r\nContent-Type: image/gif\r\nContent-Transfer-Encoding: base64\r\n\r\nR0lG\r\n"
            "--outer--\r\nepilogue";
        QTest::newRow("nested alternative: the html is the root, the stand-in stays")
            << nested << QString() << 3 << QByteArray("<b>rich</b>") << QByteArray("GIF");
        const QByteArray startParam = "Content-Type: multipart/related; start=\"<r@x>\"; boundary=b\n\n"
                                      "--b\nContent-Type: image/gif\n\nG\n"
                                      "--b\nContent-Type: text/html\nContent-ID: <r@x>\n\nroot\n--b--\n";
        QTest::newRow("start parameter names the root")
            << startParam << QString() << 2 << QByteArray("root") << QByteArray("root");
        QTest::newRow("alternative inside related: every part stays")
            << QByteArray("Content-Type: multipart/related; boundary=o\r\n\r\n--o\r\n"
                          "Content-Type: multipart/alternative; boundary=i\r\n\r\n"
                          "--i\r\nContent-Type: text/plain\r\n\r\nplain\r\n"
                          "--i\r\nContent-Type: text/html\r\n\r\nframeset\r\n--i--\r\n"
                          "--o\r\nContent-Type: text/html\r\n\r\nframe\r\n"
                          "--o\r\nContent-Type: image/png\r\n\r\nPNG\r\n--o--\r\n")
            << QString() << 4 << QByteArray("frameset") << QByteArray("PNG");
        // Chromium takes the first part it shows as a page; the ones before it stay.
        const QByteArray rootLast = "Content-Type: multipart/related; boundary=b\r\n\r\n"
                                    "--b\r\nContent-Type: image/x-made-up\r\n\r\nICON\r\n"
                                    "--b\r\nContent-Type: image/css\r\n\r\np{}\r\n"
                                    "--b\r\nContent-Type: text/css\r\n\r\nb{}\r\n"
                                    "--b\r\nContent-Type: application/javascript\r\n\r\nx()\r\n"
                                    "--b\r\nContent-Type: text/html\r\n\r\n<p>page</p>\r\n--b--\r\n";
        QTest::newRow("parts no browser shows as a page come before the root")
            << rootLast << QString() << 5 << QByteArray("<p>page</p>") << QByteArray("<p>page</p>");
        // start may name only a page; otherwise the rule above holds.
        QTest::newRow("start naming a picture")
            << QByteArray("Content-Type: multipart/related; start=\"<p@x>\"; boundary=b\r\n\r\n"
                          "--b\r\nContent-Type: image/png\r\nContent-ID: <p@x>\r\n\r\nPNG\r\n"
                          "--b\r\nContent-Type: text/html\r\n\r\npage\r\n--b--\r\n")
            << QString() << 2 << QByteArray("page") << QByteArray("page");
        QTest::newRow("a base64 line that begins like a delimiter is body")
            << archive("\r\n", qpHeaders, "x", imgHeaders, "--BNE-\r\nAA==") << QString() << 2 << QByteArray("x")
            << QByteArray("\xfb\xe0\x4d\x13\xe0\x00", 6);
        QTest::newRow("a part whose headers run into the next delimiter is empty")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n\r\n"
                          "page\r\n--b\r\nContent-Type: image/png\r\n--b--\r\n")
            << QString() << 2 << QByteArray("page") << QByteArray();
        QTest::newRow("a picture first is no page when more follows")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: image/png\r\n\r\n"
                          "PNG\r\n--b\r\nContent-Type: text/plain\r\n\r\nnote\r\n--b--\r\n")
            << QString() << 2 << QByteArray("note") << QByteArray("note");
        QTest::newRow("a picture as the root")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: image/png\r\n"
                          "Content-Transfer-Encoding: base64\r\n\r\niVBO\r\n--b--\r\n")
            << QString() << 1 << QByteArray("\x89PN") << QByteArray("\x89PN");
        QTest::newRow("a root no browser shows")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\n"
                          "Content-Type: application/octet-stream\r\n\r\nx\r\n--b--\r\n")
            << QStringLiteral("a browser shows as a document") << 0 << QByteArray() << QByteArray();
        QTest::newRow("wrapped subject without indentation")
            << QByteArray(
                   "Subject: a long\nsubject, wrapped\nMIME-Version: 1.0\n"
                   "Content-Type: multipart/related; boundary=b\n\n--b\nContent-Type: text/html\n\nroot\n--b--\n")
            << QString() << 1 << QByteArray("root") << QByteArray("root");
        QTest::newRow("no blank line: the body begins at the first stray line")
            << QByteArray("Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: text/html\r\n"
                          "<p>a</p>\r\n<p>b: c</p>\r\n--b--\r\n")
            << QString() << 1 << QByteArray("<p>a</p>\r\n<p>b: c</p>") << QByteArray("<p>a</p>\r\n<p>b: c</p>");
        QTest::newRow("single html message")
            << QByteArray("Content-Type: text/html\r\nContent-Transfer-Encoding: base64\r\n\r\nPGI+\r\n") << QString()
            << 1 << QByteArray("<b>") << QByteArray("<b>");

        QByteArray truncated = archive("\r\n", qpHeaders, "<p>", imgHeaders, "AAEC");
        truncated.chop(12);
        QTest::newRow("truncated") << truncated << QStringLiteral("truncated") << 0 << QByteArray() << QByteArray();
        QTest::newRow("garbage") << QByteArray("\x89PNG\r\n\x1a\n\0\0binary", 14) << QStringLiteral("MIME headers") << 0
                                 << QByteArray() << QByteArray();
        QTest::newRow("empty") << QByteArray("  \r\n") << QStringLiteral("empty") << 0 << QByteArray() << QByteArray();
        QTest::newRow("no content type") << QByteArray("Subject: x\r\n\r\nbody") << QStringLiteral("Content-Type") << 0
                                         << QByteArray() << QByteArray();
        QTest::newRow("multipart without boundary") << QByteArray("Content-Type: multipart/related\r\n\r\n--x\r\n")
                                                    << QStringLiteral("boundary") << 0 << QByteArray() << QByteArray();
        QTest::newRow("boundary never occurs")
            << QByteArray("Content-Type: multipart/related; boundary=zz\r\n\r\nhello")
            << QStringLiteral("does not occur") << 0 << QByteArray() << QByteArray();
        QTest::newRow("no parts") << QByteArray("Content-Type: multipart/related; boundary=zz\r\n\r\n--zz--\r\n")
                                  << QStringLiteral("no parts") << 0 << QByteArray() << QByteArray();
        QByteArray deep = "Content-Type: text/html\r\n\r\ndeep";
        for (int i = 0; i < 20; ++i)
            deep = "Content-Type: multipart/mixed; boundary=\"d" + QByteArray::number(i) + "\"\r\n\r\n--d" +
                   QByteArray::number(i) + "\r\n" + deep + "\r\n--d" + QByteArray::number(i) + "--\r\n";
        QTest::newRow("absurd nesting") << deep << QStringLiteral("nested too deeply") << 0 << QByteArray()
                                        << QByteArray();
    }

    void tolerance()
    {
        QFETCH(QByteArray, input);
        QFETCH(QString, errorPart);
        QFETCH(int, parts);
        QFETCH(QByteArray, rootData);
        QFETCH(QByteArray, lastData);

        // Decoding at once and keeping parts encoded give the same archive,
        // and keeping fewer headers the same verdict, with what was asked for.
        using Kept = MhtmlReader::PartHeaders;
        const MhtmlReadResult whole = MhtmlReader().read(input);
        for (const auto &[keepEncoded, kept] :
             {std::pair{false, Kept::All}, {true, Kept::All}, {true, Kept::Location}, {true, Kept::None}}) {
            MhtmlReader reader;
            reader.setKeepEncoded(keepEncoded);
            reader.setPartHeaders(kept);
            const MhtmlReadResult result = reader.read(input);
            if (!errorPart.isEmpty()) {
                QVERIFY(!result.ok());
                QVERIFY2(result.error.contains(errorPart), qPrintable(result.error));
                continue;
            }
            QVERIFY2(result.ok(), qPrintable(result.error));
            QCOMPARE(result.archive.parts.size(), parts);
            QVERIFY(result.archive.root());
            QCOMPARE(result.archive.root()->decoded(), rootData);
            QCOMPARE(result.archive.parts.last().decoded(), lastData);
            QCOMPARE(result.archive.parts.last().decodedSize(), lastData.size());
            const MhtmlPart &last = result.archive.parts.last();
            QCOMPARE(last.contentLocation, kept == Kept::None ? QString() : whole.archive.parts.last().contentLocation);
            QCOMPARE(last.headers.size(), kept == Kept::All ? whole.archive.parts.last().headers.size() : 0);
        }
        // A check keeps no archive, yet comes to the same verdict over the same parts.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("checked.mht"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly) && file.write(input) == input.size());
        file.close();
        const MhtmlCheckResult checked = MhtmlReader().checkFile(path);
        QCOMPARE(checked.ok(), whole.ok());
        if (!checked.ok())
            QVERIFY2(checked.error.contains(errorPart), qPrintable(checked.error));
        QCOMPARE(checked.parts, checked.ok() ? parts : 0);
        QCOMPARE(checked.size, checked.ok() ? whole.archive.totalSize() : 0);
    }

    void base64SizeIsCountedAsDecoded_data()
    {
        QTest::addColumn<QByteArray>("encoded");
        QByteArray everyByte;
        for (int c = 0; c < 256; ++c)
            everyByte += char(c);
        // Long enough that the counters per lane would wrap if never summed.
        const QByteArray clean = QByteArray(70000, 'x').toBase64();
        QByteArray lines;
        for (qsizetype i = 0; i < clean.size(); i += 76)
            lines += clean.mid(i, 76) + "\r\n";
        QTest::newRow("every byte value") << everyByte.repeated(3);
        QTest::newRow("76-column lines") << lines;
        QTest::newRow("stray bytes between lines") << QByteArray(lines).replace("\r\n", "\r\n\x80@[`{ \t");
        QTest::newRow("padding mid-body") << QByteArray(lines).insert(4000, "Zg==").insert(9001, "=");
        QTest::newRow("url-safe alphabet") << QByteArray(lines).replace('+', '-').replace('/', '_');
    }

    void base64SizeIsCountedAsDecoded()
    {
        QFETCH(QByteArray, encoded);
        QCOMPARE(MhtmlCodec::decodedSize(encoded, "base64"), MhtmlCodec::decodeBody(encoded, "base64").size());
    }

    // The writer copies a kept body only when it is tidy. Each fault sits
    // deep in a tidy body, past the first blocks a sweep takes at once.
    void keptBodyIsCopyableOnlyWhenTidy_data()
    {
        QTest::addColumn<QByteArray>("transferEncoding");
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<bool>("copyable");
        const QByteArray base64 = QByteArray(30000, 'x').toBase64();
        const auto lines = [&](int width) {
            QByteArray out;
            for (qsizetype i = 0; i < base64.size(); i += width)
                out += base64.mid(i, width) + "\r\n";
            out.chop(2);
            return out;
        };
        const QByteArray tidy = lines(76);
        const qsizetype deep = 78 * 200;
        QTest::newRow("base64, 76 columns") << QByteArray("base64") << tidy << true;
        QTest::newRow("base64, 64 columns") << QByteArray("base64") << lines(64) << true;
        QTest::newRow("base64, 20 columns") << QByteArray("base64") << lines(20) << true;
        QTest::newRow("base64, a line of 77")
            << QByteArray("base64") << QByteArray(tidy).insert(deep + 5, 'A') << false;
        QTest::newRow("base64, a bare LF") << QByteArray("base64") << QByteArray(tidy).remove(deep + 76, 1) << false;
        QTest::newRow("base64, an empty line")
            << QByteArray("base64") << QByteArray(tidy).insert(deep, "\r\n") << false;
        QTest::newRow("base64, padding mid-body")
            << QByteArray("base64") << QByteArray(tidy).insert(deep, "Zg==") << false;
        QTest::newRow("base64, url-safe line")
            << QByteArray("base64") << QByteArray(tidy).replace(deep, 76, QByteArray(76, '-')) << true;
        QTest::newRow("base64, a stray byte")
            << QByteArray("base64") << QByteArray(tidy).replace(deep + 9, 1, "@") << true;
        QTest::newRow("base64, a line of dashes first")
            << QByteArray("base64") << QByteArray("--" + QByteArray(74, 'A') + "\r\n" + tidy) << true;

        QByteArray html;
        while (html.size() < 40000)
            html += "<p class=\"x\">Caf\xc3\xa9 a=b, the quick brown fox\tjumps over the lazy dog</p>\n";
        const QByteArray qp = MhtmlCodec::encodeQuotedPrintable(html);
        // A hard break after a short line: a byte or two more keep it short.
        const qsizetype at = qp.indexOf("</p>\r\n", 20000) + 4;
        QTest::newRow("quoted-printable, as written") << QByteArray("quoted-printable") << qp << true;
        QTest::newRow("quoted-printable, soft break at the end")
            << QByteArray("quoted-printable") << QByteArray(qp + "\r\nab=") << true;
        QTest::newRow("quoted-printable, small escapes")
            << QByteArray("quoted-printable") << QByteArray(qp).replace("=3D", "=3d") << true;
        QTest::newRow("quoted-printable, a line of 77")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, QByteArray(77, 'a').prepend("\r\n"))
            << false;
        QTest::newRow("quoted-printable, a blank before the break")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, ' ') << false;
        QTest::newRow("quoted-printable, a bare LF")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, "\nab") << false;
        QTest::newRow("quoted-printable, padding after a soft break")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, "ab= ") << false;
        QTest::newRow("quoted-printable, = before no escape")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, "a=zz") << false;
        QTest::newRow("quoted-printable, a control byte")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, '\x01') << false;
        QTest::newRow("quoted-printable, a raw 8-bit byte")
            << QByteArray("quoted-printable") << QByteArray(qp).insert(at, '\xe9') << false;
    }

    void keptBodyIsCopyableOnlyWhenTidy()
    {
        QFETCH(QByteArray, transferEncoding);
        QFETCH(QByteArray, body);
        QFETCH(bool, copyable);
        const QByteArray input =
            archive("\r\n", "Content-Type: text/html", "<p>x</p>",
                    "Content-Type: image/png\r\nContent-Transfer-Encoding: " + transferEncoding, body);
        MhtmlReader reader;
        reader.setKeepEncoded(true);
        const MhtmlReadResult result = reader.read(input);
        QVERIFY2(result.ok(), qPrintable(result.error));
        const MhtmlPart &kept = result.archive.parts.last();
        QCOMPARE(kept.encoded, body);
        QCOMPARE(kept.encodedCopyable, copyable);
        QCOMPARE(kept.decodedSize(), MhtmlCodec::decodeBody(body, transferEncoding).size());
        // A body met on its own is judged as the reader judged it in its archive.
        const MhtmlCodec::Stats alone = MhtmlCodec::bodyStats(body.cbegin(), body.cend(), transferEncoding);
        QCOMPARE(alone.clean, copyable);
        QCOMPARE(alone.size, kept.decodedSize());
    }

    void headersOfSampleArchive()
    {
        const MhtmlReadResult result =
            MhtmlReader().readFile(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"));
        QVERIFY2(result.ok(), qPrintable(result.error));
        const MhtmlArchive &a = result.archive;
        QCOMPARE(a.subject, QStringLiteral("Caf\u00e9 sample"));
        QCOMPARE(a.snapshotLocation, QStringLiteral("https://example.com/page.html"));
        QCOMPARE(a.parts.size(), 2);
        QCOMPARE(a.root()->contentType, QByteArray("text/html"));
        QCOMPARE(a.root()->charset, QByteArray("windows-1252"));
        QCOMPARE(a.root()->transferEncoding, QByteArray("quoted-printable"));
        QVERIFY(a.rootHtml().contains(QStringLiteral("<title>Caf\u00e9 sample</title>")));
        const MhtmlPart *gif = a.findByLocation(QStringLiteral("https://example.com/pics/dot.gif"));
        QVERIFY(gif);
        QVERIFY(gif->data.startsWith("GIF89a"));
    }

    void foldedLocationAndHeaderWords_data()
    {
        QTest::addColumn<QByteArray>("subject");
        QTest::addColumn<QString>("decoded");
        QTest::newRow("plain") << QByteArray("Hello") << QStringLiteral("Hello");
        QTest::newRow("two b words") << QByteArray("=?utf-8?B?w6k=?=\r\n =?UTF-8?b?w6g=?= end")
                                     << QStringLiteral("\u00e9\u00e8 end");
        QTest::newRow("q word latin1") << QByteArray("=?iso-8859-1?Q?Gr=FC=DFe_dich?=")
                                       << QStringLiteral("Gr\u00fc\u00dfe dich");
        // Writers split a character across two words; its bytes are joined first.
        QTest::newRow("utf-8 split across q words")
            << QByteArray("=?utf-8?Q?A=20=D0=91=D0=B8=D0?=\r\n =?utf-8?Q?=B1=D0=BB?=")
            << QStringLiteral("A \u0411\u0438\u0431\u043b");
        QTest::newRow("utf-8 split across b words")
            << QByteArray("=?UTF-8?B?0JHQ?= =?utf-8?B?uA==?=") << QStringLiteral("\u0411\u0438");
        QTest::newRow("koi8-r adjacent b words")
            << QByteArray("=?koi8-r?B?8tXT08vB0SA=?=\r\n =?KOI8-R?B?09TSwc7Jw8E=?=")
            << QStringLiteral(
                   "\u0420\u0443\u0441\u0441\u043a\u0430\u044f \u0441\u0442\u0440\u0430\u043d\u0438\u0446\u0430");
        QTest::newRow("utf-8 q word folded inside itself")
            << QByteArray("=?utf-8?Q?=D0=91=D0=B8\r\n =D0=B1=D0=BB?=") << QStringLiteral("\u0411\u0438\u0431\u043b");
        QTest::newRow("koi8-r q word folded inside itself") << QByteArray("=?koi8-r?Q?=F0=D2\r\n\t=C9=D7=C5=D4?= !")
                                                            << QStringLiteral("\u041f\u0440\u0438\u0432\u0435\u0442 !");
        QTest::newRow("words of two charsets are decoded apart")
            << QByteArray("=?iso-8859-1?Q?caf=E9?= =?utf-8?Q?_=E2=82=AC?=") << QStringLiteral("caf\u00e9 \u20ac");
    }

    void foldedLocationAndHeaderWords()
    {
        QFETCH(QByteArray, subject);
        QFETCH(QString, decoded);
        const QByteArray input = "Subject: " + subject +
                                 "\r\nContent-Type: text/html\r\nContent-Location: https://x.test/a/\r\n very/long.html"
                                 "\r\n\r\nbody";
        const MhtmlReadResult result = MhtmlReader().read(input);
        QVERIFY2(result.ok(), qPrintable(result.error));
        QCOMPARE(result.archive.subject, decoded);
        QCOMPARE(result.archive.root()->contentLocation, QStringLiteral("https://x.test/a/very/long.html"));
    }

    // Labels decode as browsers map them, not as strictly as they claim.
    void charsetLabelsAsBrowsersMapThem_data()
    {
        QTest::addColumn<QByteArray>("label");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("gb2312 is gbk") << QByteArray("gb2312") << QByteArray("\xa8\x43") << QStringLiteral("\u2013");
        QTest::newRow("iso-8859-1 is windows-1252")
            << QByteArray("ISO-8859-1") << QByteArray("\x80") << QStringLiteral("\u20ac");
        QTest::newRow("us-ascii is windows-1252")
            << QByteArray("us-ascii") << QByteArray("\x93x\x94") << QStringLiteral("\u201cx\u201d");
        QTest::newRow("blanks and case") << QByteArray(" Latin1 ") << QByteArray("\x85") << QStringLiteral("\u2026");
        QTest::newRow("ks_c_5601-1987 is euc-kr")
            << QByteArray("ks_c_5601-1987") << QByteArray("\xb0\xa1") << QStringLiteral("\uac00");
        QTest::newRow("unknown label is utf-8")
            << QByteArray("x-nonsense") << QByteArray("\xc3\xa9") << QStringLiteral("\u00e9");
    }

    void charsetLabelsAsBrowsersMapThem()
    {
        QFETCH(QByteArray, label);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QCOMPARE(MhtmlArchive::decodeText(bytes, label), text);
    }

    void sizeCapRefusesWithoutReading()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("big.mht"));
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QVERIFY(file.resize(4096));
        file.close();
        const MhtmlReadResult result = MhtmlReader(1024).readFile(path);
        QVERIFY(!result.ok());
        QVERIFY2(result.error.contains(QStringLiteral("too large")), qPrintable(result.error));

        const MhtmlReadResult missing = MhtmlReader().readFile(dir.filePath(QStringLiteral("none.mht")));
        QVERIFY(missing.error.startsWith(QStringLiteral("Cannot open")));
    }
};

QTEST_GUILESS_MAIN(tst_MhtmlReader)
#include "tst_MhtmlReader.moc"
