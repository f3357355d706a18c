#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringEncoder>

// A small library of archives written byte for byte as browsers and older
// programs write them: every charset and transfer encoding the library must
// read, marks in the engine's and in older forms, and archives it must refuse.
namespace LibraryFixture {

inline QByteArray encoded(const QString &text, const char *charset)
{
    QStringEncoder encoder(charset);
    return encoder.encode(text);
}

// One page as a multipart/related archive with a picture beside it.
inline QByteArray archive(const QByteArray &subject, const QByteArray &charset, const QByteArray &transfer,
                          const QByteArray &body, const QByteArray &extraHeaders = {})
{
    QByteArray out = "From: <Saved by Blink>\r\n";
    if (!subject.isEmpty())
        out += "Subject: " + subject + "\r\n";
    out += "Date: Tue, 14 May 2024 09:30:00 +0200\r\n" + extraHeaders +
           "MIME-Version: 1.0\r\n"
           "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----b\"\r\n\r\n"
           "------b\r\nContent-Type: text/html; charset=" +
           charset + "\r\nContent-Transfer-Encoding: " + transfer +
           "\r\nContent-Location: https://example.org/page\r\n\r\n" + body +
           "\r\n------b\r\nContent-Type: image/png\r\nContent-Transfer-Encoding: base64\r\n"
           "Content-Location: https://example.org/dot.png\r\n\r\niVBORw0KGgo=\r\n------b--\r\n";
    return out;
}

inline QByteArray utf8Page(const QString &title, const QString &body)
{
    return archive(
        {}, "utf-8", "8bit",
        (QStringLiteral("<html><head><title>%1</title></head><body>%2</body></html>").arg(title, body)).toUtf8());
}

inline bool write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}

// The library the query table runs over.
inline bool writeLibrary(const QString &folder)
{
    const auto at = [&](const char *name) { return QDir(folder).filePath(QString::fromLatin1(name)); };
    const QString russian = QStringLiteral("<p>Съешь же ещё этих мягких французских булок.</p>");
    const QString chinese = QStringLiteral("<p>我们今天学习中文语法很有意思。</p>");
    const QString japanese = QStringLiteral("<html><body><p>東京の天気は晴れです。</p></body></html>");
    return write(at("utf8.mht"),
                 utf8Page(QStringLiteral("Café notes"),
                          QStringLiteral("<p>Die Straßenbahn fährt &amp; hält. καλημέρα κόσμε.</p>"
                                         "<p>The <span style=\"background-color: rgb(255, 255, 0);\">quick brown "
                                         "fox</span> jumps over the lazy dog.</p><script>var hidden = 'scriptword';"
                                         "</script><style>.stylerule{}</style>"))) &&
           write(at("cp1251.mht"),
                 archive("=?windows-1251?B?" + encoded(QStringLiteral("Булки"), "windows-1251").toBase64() + "?=",
                         "windows-1251", "8bit", encoded(russian, "windows-1251"))) &&
           write(at("gb2312.mht"), archive({}, "gb2312", "8bit", encoded(chinese, "GB18030"))) &&
           write(at("shiftjis.mht"), archive({}, "shift_jis", "base64", encoded(japanese, "Shift_JIS").toBase64())) &&
           // The word is split by a soft line break of quoted-printable.
           write(at("qp.mht"), archive("Soft breaks", "us-ascii", "quoted-printable",
                                       "<html><body><p class=3D\"x\">An extra=\r\nordinary fox sighting.</p></body>"
                                       "</html>")) &&
           // An older program's marks: upper-case markup, a font element, hex colours.
           write(at("old/marks.mht"),
                 archive("Old marks", "windows-1252", "8bit",
                         "<HTML><BODY><P>First <FONT style=\"BACKGROUND-COLOR: #ffff00\">yellow passage</FONT> here. "
                         "Then <SPAN style=\"BACKGROUND-COLOR: #00ffff\"><B>cyan passage</B></SPAN>.</P>"
                         "</BODY></HTML>")) &&
           write(at("notes.mht"),
                 utf8Page(QStringLiteral("Travel"),
                          QStringLiteral("<p>Notes on the passage, notes on notes, more notes.</p>"))) &&
           write(at("title.mht"), utf8Page(QStringLiteral("Notes"), QStringLiteral("<p>Nothing else here.</p>"))) &&
           write(at("clip.mht"),
                 utf8Page(QString(), QStringLiteral("<P><i>This has been copied from </i><A "
                                                    "href=\"https://news.example/story\">https://news.example/story</A>"
                                                    "</P><p>Pasted lazy fox.</p>"))) &&
           write(at("broken.mht"), "Content-Type: multipart/related; boundary=b\r\n\r\n--b\r\nContent-Type: "
                                   "text/html\r\n\r\n<p>truncated") &&
           write(at("readme.txt"), "fox fox fox");
}

} // namespace LibraryFixture
