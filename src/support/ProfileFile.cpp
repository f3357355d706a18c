#include "support/ProfileFile.h"

#include "support/AtomicFile.h"

#include <QFile>
#include <QStringDecoder>

namespace {

bool isSectionHeader(const QString &line, QString *name = nullptr)
{
    const QString trimmed = line.trimmed();
    if (!trimmed.startsWith(QLatin1Char('[')))
        return false;
    const qsizetype close = trimmed.indexOf(QLatin1Char(']'));
    if (close < 0)
        return false;
    if (name)
        *name = trimmed.mid(1, close - 1).trimmed();
    return true;
}

// Splits "key=value"; comment lines (";" or "#") and lines without "=" are not keys.
bool splitKeyLine(const QString &line, QString *key, QString *value)
{
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty() || trimmed.startsWith(QLatin1Char(';')) || trimmed.startsWith(QLatin1Char('#')))
        return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0)
        return false;
    if (key)
        *key = line.left(eq).trimmed();
    if (value)
        *value = line.mid(eq + 1).trimmed();
    return true;
}

bool sameName(const QString &a, const QString &b)
{
    return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A line break inside a value would end the line early and turn the rest of
// the value into lines of their own.
QString singleLine(QString value)
{
    value.replace(QLatin1String("\r\n"), QLatin1String(" "));
    value.replace(QLatin1Char('\r'), QLatin1Char(' '));
    value.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return value;
}

// Settings written by other programs or older systems may be in any 8-bit
// encoding; such a line reads as Latin-1, and its bytes are written back as
// they were unless the program changes it.
QString decodeLine(const QByteArray &raw)
{
    QStringDecoder utf8(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : text;
}

} // namespace

ProfileFile::ProfileFile(QString path) : m_path(std::move(path))
{
    QFile file(m_path);
    if (!file.exists())
        return;
    if (!file.open(QIODevice::ReadOnly)) {
        m_readOk = false;
        m_error = file.errorString();
        return;
    }
    QByteArray bytes = file.readAll();
    // Editors on some systems start the file with a byte-order mark.
    if (bytes.startsWith("\xEF\xBB\xBF")) {
        m_bom = bytes.left(3);
        bytes.remove(0, 3);
    }
    QList<QByteArray> raws = bytes.split('\n');
    // A final line break does not start another line.
    if (!raws.isEmpty() && raws.last().isEmpty())
        raws.removeLast();
    for (QByteArray &raw : raws) {
        QByteArray content = raw;
        if (content.endsWith('\r')) {
            content.chop(1);
            m_lineBreak = "\r\n";
        }
        m_lines.append(Line{decodeLine(content), std::move(raw)});
    }
}

qsizetype ProfileFile::findSection(const QString &section) const
{
    QString name;
    for (qsizetype i = 0; i < m_lines.size(); ++i) {
        if (isSectionHeader(m_lines.at(i).text, &name) && sameName(name, section.trimmed()))
            return i;
    }
    return -1;
}

qsizetype ProfileFile::sectionEnd(qsizetype sectionLine) const
{
    qsizetype i = sectionLine + 1;
    while (i < m_lines.size() && !isSectionHeader(m_lines.at(i).text))
        ++i;
    return i;
}

qsizetype ProfileFile::findKey(qsizetype sectionLine, const QString &key) const
{
    const qsizetype end = sectionEnd(sectionLine);
    QString name;
    for (qsizetype i = sectionLine + 1; i < end; ++i) {
        if (splitKeyLine(m_lines.at(i).text, &name, nullptr) && sameName(name, key.trimmed()))
            return i;
    }
    return -1;
}

QString ProfileFile::ReadString(const QString &section, const QString &key, const QString &defaultValue) const
{
    const qsizetype sectionLine = findSection(section);
    QString value = defaultValue;
    if (sectionLine >= 0) {
        const qsizetype keyLine = findKey(sectionLine, key);
        if (keyLine >= 0)
            splitKeyLine(m_lines.at(keyLine).text, nullptr, &value);
    }
    return value.left(ValueBufferSize - 1);
}

int ProfileFile::parseInteger(const QString &text, bool *ok)
{
    *ok = false;
    const QString t = text.trimmed();
    if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) {
        const QString digits = t.mid(2);
        // Hex values cover the 32 bits, so 0xFFFFFFFF reads as -1.
        if (digits.isEmpty() || digits.size() > 8 || digits.startsWith(QLatin1Char('+')) ||
            digits.startsWith(QLatin1Char('-')))
            return 0;
        const uint value = digits.toUInt(ok, 16);
        return *ok ? int(value) : 0;
    }
    return t.toInt(ok, 10);
}

int ProfileFile::ReadInteger(const QString &section, const QString &key, int defaultValue) const
{
    bool ok = false;
    const int value = parseInteger(ReadString(section, key, QString()), &ok);
    return ok ? value : defaultValue;
}

bool ProfileFile::ReadBool(const QString &section, const QString &key, bool defaultValue) const
{
    return ReadInteger(section, key, defaultValue ? 1 : 0) != 0;
}

void ProfileFile::WriteString(const QString &section, const QString &key, const QString &value)
{
    const QString stored = singleLine(value);
    const qsizetype sectionLine = findSection(section);
    if (sectionLine < 0) {
        m_lines.append(Line{QLatin1Char('[') + section.trimmed() + QLatin1Char(']'), std::nullopt});
        m_lines.append(Line{key.trimmed() + QLatin1Char('=') + stored, std::nullopt});
        return;
    }
    const qsizetype keyLine = findKey(sectionLine, key);
    if (keyLine >= 0) {
        // An unchanged value keeps its line, bytes and spelling included.
        QString existing;
        QString current;
        splitKeyLine(m_lines.at(keyLine).text, &existing, &current);
        if (current != stored)
            m_lines[keyLine] = Line{existing + QLatin1Char('=') + stored, std::nullopt};
        return;
    }
    // New keys go after the section's last non-blank line, before any blank
    // lines that separate it from the next section.
    qsizetype insertAt = sectionEnd(sectionLine);
    while (insertAt > sectionLine + 1 && m_lines.at(insertAt - 1).text.trimmed().isEmpty())
        --insertAt;
    m_lines.insert(insertAt, Line{key.trimmed() + QLatin1Char('=') + stored, std::nullopt});
}

void ProfileFile::WriteInteger(const QString &section, const QString &key, int value)
{
    WriteString(section, key, QString::number(value));
}

void ProfileFile::WriteBool(const QString &section, const QString &key, bool value)
{
    WriteString(section, key, value ? QStringLiteral("1") : QStringLiteral("0"));
}

bool ProfileFile::save()
{
    QByteArray bytes = m_bom;
    for (const Line &line : std::as_const(m_lines)) {
        // A line read keeps its own line break; new lines follow the file's.
        if (line.raw)
            bytes += *line.raw + '\n';
        else
            bytes += line.text.toUtf8() + m_lineBreak;
    }
    m_error = WriteFileAtomically(m_path, bytes).error;
    return m_error.isEmpty();
}
