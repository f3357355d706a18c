#include "support/PathUtils.h"

#include <QByteArray>
#include <QFileInfo>
#include <QStringDecoder>
#include <QUrl>

void StripBackslash(QString &path)
{
    if (path.size() > 1 && path.endsWith(QLatin1Char('/')))
        path.chop(1);
}

QString ExtractDir(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QString();
    if (slash == 0)
        return QStringLiteral("/");
    return path.left(slash);
}

QString FileNameNoExt(const QString &path)
{
    const QString name = path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    return dot < 0 ? name : name.left(dot);
}

QString SafeFileName(const QString &text, bool keepPath)
{
    QString safe = text;
    for (QChar &c : safe) {
        switch (c.unicode()) {
        case '\\':
            if (!keepPath)
                c = QLatin1Char(')');
            break;
        case ':':
            if (!keepPath)
                c = QLatin1Char('=');
            break;
        case '/':
            if (!keepPath)
                c = QLatin1Char('(');
            break;
        case '*':
            c = QLatin1Char('+');
            break;
        case '?':
            c = QChar(0x00E7);
            break;
        case '"':
            c = QChar(0x00A8);
            break;
        case '<':
            c = QLatin1Char('{');
            break;
        case '>':
            c = QLatin1Char('}');
            break;
        case '|':
            c = QLatin1Char('!');
            break;
        default:
            break;
        }
    }
    return safe;
}

QString UrlToPath(const QString &address)
{
    const QLatin1String scheme("file:///");
    if (!address.startsWith(scheme, Qt::CaseSensitive))
        return address;
    // A form-style decoding ("+" as a space) would name another file.
    const QUrl url(address);
    // Keep the leading "/" of the absolute path.
    return url.isValid() ? url.toLocalFile() : address.mid(scheme.size() - 1);
}

Result<QString> UrlDecode(const QString &text)
{
    // Escaped bytes are collected with the plain characters (as UTF-8) so that
    // multi-byte escapes such as "%C3%A9" come out as one character.
    QByteArray bytes;
    QString latin; // the same text with every escaped byte taken as Latin-1
    bool escapedNonAscii = false;
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text.at(i);
        if (c.unicode() == 0)
            break;
        if (c == QLatin1Char('%') && i + 1 < n && text.at(i + 1) == QLatin1Char('%')) {
            bytes += '%';
            latin += QLatin1Char('%');
            ++i;
        } else if (c == QLatin1Char('%') && i + 2 < n) {
            const QString pair = text.mid(i + 1, 2);
            bool ok = pair.at(0).isLetterOrNumber() && pair.at(1).isLetterOrNumber();
            const uint value = ok ? pair.toUInt(&ok, 16) : 0;
            if (!ok)
                return Result<QString>::failure(QStringLiteral("'$%1' is not a valid integer value").arg(pair));
            const char byte = char(value & 0xFF);
            bytes += byte;
            latin += QChar(char16_t(uchar(byte)));
            escapedNonAscii = escapedNonAscii || (value & 0x80);
            i += 2;
        } else if (c == QLatin1Char('+')) {
            bytes += ' ';
            latin += QLatin1Char(' ');
        } else {
            bytes += QString(c).toUtf8();
            latin += c;
        }
    }
    if (!escapedNonAscii)
        return {latin, QString()};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString decoded = utf8(bytes);
    // Escapes of single-byte code pages ("%E7") are no UTF-8.
    return {utf8.hasError() ? latin : decoded, QString()};
}

QString ShortPathName(const QString &path)
{
    return path;
}

QString ShortcutMarker()
{
    return QStringLiteral("NOT a shortuct by extension!");
}

QString ResolveShortcut(const QString &file)
{
    const QFileInfo info(file);
    if (info.isSymLink())
        return info.symLinkTarget();
    if (info.suffix().compare(QLatin1String("lnk"), Qt::CaseInsensitive) != 0)
        return ShortcutMarker();
    return QString();
}

bool SameFile(const QString &a, const QString &b)
{
    const QString canonicalA = QFileInfo(a).canonicalFilePath();
    return !canonicalA.isEmpty() && canonicalA == QFileInfo(b).canonicalFilePath();
}
