#include "history/HistoryList.h"

#include "support/Dialogs.h"

#include "support/AtomicFile.h"
#include "support/TextUtils.h"

#include <QFile>
#include <QStringDecoder>
#include <algorithm>
#include <limits>

namespace {

bool hasHighByte(const QByteArray &bytes)
{
    return std::any_of(bytes.begin(), bytes.end(), [](char c) { return uchar(c) >= 0x80; });
}

bool isUtf8(const QByteArray &bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8, QStringConverter::Flag::Stateless);
    const QString decoded = decoder.decode(bytes);
    Q_UNUSED(decoded);
    return !decoder.hasError();
}

// History files are Latin-1. Items that Latin-1 cannot hold (most non-Western
// path names) would come back as "?" and point nowhere, so such a list is
// written as UTF-8 instead; encode() picks UTF-8 whenever Latin-1 bytes could
// be mistaken for it, so the choice can be read back from the bytes alone.
QString decode(const QByteArray &bytes)
{
    if (hasHighByte(bytes) && isUtf8(bytes))
        return QString::fromUtf8(bytes);
    return QString::fromLatin1(bytes);
}

QByteArray encode(const QString &text)
{
    const QByteArray latin1 = text.toLatin1();
    if (QString::fromLatin1(latin1) == text && !(hasHighByte(latin1) && isUtf8(latin1)))
        return latin1;
    return text.toUtf8();
}

std::optional<QByteArray> readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

// Lines end at CR LF, CR or LF; a final line end does not start another line,
// so a file written by writeItems() reads back as the same list.
QStringList splitLines(const QByteArray &bytes)
{
    const QString text = decode(bytes);
    QStringList lines;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < text.size()) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') || c == QLatin1Char('\n')) {
            lines << text.mid(start, i - start);
            if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
                ++i;
            start = i + 1;
        }
        ++i;
    }
    if (start < text.size())
        lines << text.mid(start);
    return lines;
}

// Lowers A-Z only: other letters must match exactly, as the stored lists expect.
QString asciiLower(const QString &text)
{
    QString lowered = text;
    for (QChar &c : lowered) {
        if (c >= QLatin1Char('A') && c <= QLatin1Char('Z'))
            c = QChar(c.unicode() + ('a' - 'A'));
    }
    return lowered;
}

qsizetype indexOfIgnoringCase(const QStringList &list, const QString &text)
{
    for (qsizetype i = 0; i < list.size(); ++i) {
        if (list.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    }
    return -1;
}

} // namespace

HistoryList::HistoryList(Dialogs &dialogs, const QString &programFolder)
    : m_dialogs(dialogs), m_programFolder(programFolder)
{
}

void HistoryList::setMaxhist(int value)
{
    m_maxhist = std::max(value, 0);
}

void HistoryList::setMaxitemlen(int value)
{
    // Captions are shortened with a 16-bit length.
    m_maxitemlen = std::clamp(value, 0, int(std::numeric_limits<quint16>::max()));
}

QString HistoryList::filePath(const QString &name) const
{
    if (m_programFolder.endsWith(QLatin1Char('/')))
        return m_programFolder + name;
    return m_programFolder + QLatin1Char('/') + name;
}

int HistoryList::readNumber(const QString &name, int fallback, int limit)
{
    const QString path = filePath(name);
    if (!QFile::exists(path))
        return fallback;
    const QStringList lines = splitLines(readBytes(path).value_or(QByteArray()));
    bool ok = false;
    const int value = lines.isEmpty() ? 0 : lines.first().trimmed().toInt(&ok);
    // A negative maximum would silently stop the list from recording: it is
    // as unusable as no number at all.
    if (!ok || value < 0) {
        m_dialogs.ShowWarningMsg(QStringLiteral("Invalid number in ") + name);
        return fallback;
    }
    // Beyond what the menu lets the user set, a long list would be shown in
    // full and could stall start-up.
    return std::min(value, limit);
}

void HistoryList::LoadHistory()
{
    setMaxhist(readNumber(m_maxhistname, DefaultMaxhist, MaxhistLimit));
    setMaxitemlen(readNumber(m_maxitemlenname, DefaultMaxitemlen, MaxitemlenLimit));
    m_onDisk = readBytes(historyPath());
    m_items = splitLines(m_onDisk.value_or(QByteArray()));
    Rebuild();
}

QStringList HistoryList::readItems(const QString &path)
{
    return splitLines(readBytes(path).value_or(QByteArray()));
}

void HistoryList::AddItem(const QString &text)
{
    // An item is one line of its file.
    if (HasControlCharacter(text)) {
        Rebuild();
        return;
    }
    const QString key = asciiLower(text);
    qsizetype found = -1;
    for (qsizetype i = 0; i < m_items.size(); ++i) {
        if (asciiLower(m_items.at(i)) == key)
            found = i;
    }
    if (found >= 0) {
        m_items.removeAt(found);
        m_items.prepend(text);
    } else {
        m_items.prepend(text);
        // Only one item goes: an over-long list loaded from the file stays
        // over-long until the user sets the maximum again.
        if (m_items.size() > m_maxhist)
            m_items.removeAt(m_maxhist);
    }
    Rebuild();
}

void HistoryList::RemoveItem(const QString &text)
{
    const qsizetype index = indexOfIgnoringCase(m_items, text);
    if (index >= 0)
        m_items.removeAt(index);
    Rebuild();
}

void HistoryList::ReplaceItem(const QString &oldText, const QString &newText)
{
    if (HasControlCharacter(newText)) {
        RemoveItem(oldText);
        return;
    }
    const qsizetype a = indexOfIgnoringCase(m_items, oldText);
    if (a >= 0) {
        const qsizetype b = indexOfIgnoringCase(m_items, newText);
        if (b < 0) {
            m_items[a] = newText;
        } else if (a < b) {
            m_items.removeAt(b);
            m_items[a] = newText;
        } else {
            m_items.removeAt(a);
        }
    }
    Rebuild();
}

void HistoryList::RemoveAt(int index)
{
    // An entry can outlive a direct change of the list until the next rebuild.
    if (index >= 0 && index < m_items.size())
        m_items.removeAt(index);
    Rebuild();
}

void HistoryList::RemoveAll()
{
    if (m_items.isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("History is already empty!"));
        return;
    }
    if (!m_dialogs.AskYesNo(QStringLiteral("Really want to remove all history items??")))
        return;
    m_items.clear();
    Rebuild();
}

bool HistoryList::askNumber(const QString &caption, const QString &prompt, int current, int limit, int &value)
{
    const std::optional<QString> answer = m_dialogs.inputQuery(caption, prompt, QString::number(current));
    if (!answer)
        return false;
    bool ok = false;
    value = answer->trimmed().toInt(&ok);
    if (!ok) {
        m_dialogs.ShowErrorMsg(QStringLiteral("Invalid number!!"));
        return false;
    }
    if (value < 0 || value > limit) {
        m_dialogs.ShowErrorMsg(QStringLiteral("Number must be between 0 and ") + QString::number(limit));
        return false;
    }
    return true;
}

void HistoryList::SetMaxHistItems()
{
    int value = 0;
    if (!askNumber(QStringLiteral("Set maximum history items"),
                   QStringLiteral("Give maximum history items (max. ") + QString::number(MaxhistLimit) +
                       QLatin1Char(')'),
                   m_maxhist, MaxhistLimit, value))
        return;
    setMaxhist(value);
    if (m_items.size() > m_maxhist)
        m_items.resize(m_maxhist);
    // Also when nothing was cut: a list that was over-long before must show
    // all its items under a raised maximum at once.
    Rebuild();
    writeMaxFile(maxhistPath(), m_maxhist);
}

void HistoryList::SetMaxItemLen()
{
    int value = 0;
    if (!askNumber(QStringLiteral("Set maximum length of one history item"),
                   QStringLiteral("Give maximum length of one history item (max. ") + QString::number(MaxitemlenLimit) +
                       QLatin1Char(')'),
                   m_maxitemlen, MaxitemlenLimit, value))
        return;
    setMaxitemlen(value);
    Rebuild();
    writeMaxFile(maxitemlenPath(), m_maxitemlen);
}

bool HistoryList::writeMaxFile(const QString &path, int value)
{
    const QString error = WriteFileAtomically(path, QByteArray::number(value) + "\r\n").error;
    if (!error.isEmpty())
        m_dialogs.ShowErrorMsg(QStringLiteral("Unable to save max history file ") + path + QStringLiteral("!!\n") +
                               error);
    return error.isEmpty();
}

QString HistoryList::writeItems()
{
    QString text;
    for (const QString &item : std::as_const(m_items))
        text += item + QLatin1String("\r\n");
    const QByteArray bytes = encode(text);
    // A file that already holds these bytes is not written again: start-up
    // and unchanged lists then touch nothing, even on a full disk.
    if (m_onDisk == bytes)
        return {};
    const QString error = WriteFileAtomically(historyPath(), bytes).error;
    if (error.isEmpty())
        m_onDisk = bytes;
    return error;
}

bool HistoryList::Rebuild()
{
    const bool overLong = m_items.size() > m_maxhist;
    const int shown = overLong ? m_maxhist : int(m_items.size());
    if (m_rebuildHandler)
        m_rebuildHandler(shown);
    if (overLong)
        m_dialogs.ShowMsg(QStringLiteral("count > maxhist??"));
    const QString error = writeItems();
    if (error.isEmpty())
        return true;
    m_dialogs.ShowErrorMsg(QStringLiteral("Unable to save history file ") + historyPath() + QStringLiteral("!!\n") +
                           error);
    return false;
}
