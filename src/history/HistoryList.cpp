#include "history/HistoryList.h"

#include "support/Dialogs.h"

#include "support/AtomicFile.h"
#include "support/FileLock.h"
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
    m_onDiskItems = m_items;
    Rebuild();
}

QStringList HistoryList::readItems(const QString &path)
{
    return splitLines(readBytes(path).value_or(QByteArray()));
}

void HistoryList::takeUp(const QByteArray &bytes)
{
    const QStringList written = splitLines(bytes);
    // What this list lost by a direct change since it last looked (Back's
    // list is emptied that way) stays lost.
    QStringList lost = m_onDiskItems;
    for (const QString &item : std::as_const(m_items))
        lost.removeOne(item);
    m_items = written;
    for (const QString &item : std::as_const(lost))
        m_items.removeOne(item);
    m_onDisk = bytes;
    m_onDiskItems = written;
}

bool HistoryList::change(const std::function<void(QStringList &)> &apply)
{
    QString error;
    {
        const FileLock lock(historyPath());
        if (lock.locked()) {
            const std::optional<QByteArray> now = readBytes(historyPath());
            if (now && now != m_onDisk)
                takeUp(*now);
        }
        if (apply)
            apply(m_items);
        error = lock.locked() ? writeItems() : lock.errorString();
    }
    // Shown once the lock is given back: a message box must not keep other
    // Quillets waiting.
    if (showView())
        m_dialogs.ShowMsg(QStringLiteral("count > maxhist??"));
    if (error.isEmpty())
        return true;
    m_dialogs.ShowErrorMsg(QStringLiteral("Unable to save history file ") + historyPath() + QStringLiteral("!!\n") +
                           error);
    return false;
}

bool HistoryList::Rebuild()
{
    return change({});
}

bool HistoryList::Refresh()
{
    const std::optional<QByteArray> now = readBytes(historyPath());
    if (!now || now == m_onDisk)
        return false;
    takeUp(*now);
    // No message box here: nothing the user did caused this rebuild.
    showView();
    return true;
}

bool HistoryList::showView()
{
    const bool overLong = m_items.size() > m_maxhist;
    if (m_rebuildHandler)
        m_rebuildHandler(overLong ? m_maxhist : int(m_items.size()));
    return overLong;
}

void HistoryList::AddItem(const QString &text)
{
    // An item is one line of its file.
    if (HasControlCharacter(text)) {
        Rebuild();
        return;
    }
    const QString key = asciiLower(text);
    change([&](QStringList &items) {
        qsizetype found = -1;
        for (qsizetype i = 0; i < items.size(); ++i) {
            if (asciiLower(items.at(i)) == key)
                found = i;
        }
        if (found >= 0) {
            items.removeAt(found);
            items.prepend(text);
        } else {
            items.prepend(text);
            // Only one item goes: an over-long list loaded from the file stays
            // over-long until the user sets the maximum again.
            if (items.size() > m_maxhist)
                items.removeAt(m_maxhist);
        }
    });
}

void HistoryList::RemoveItem(const QString &text)
{
    change([&](QStringList &items) {
        const qsizetype index = indexOfIgnoringCase(items, text);
        if (index >= 0)
            items.removeAt(index);
    });
}

void HistoryList::ReplaceItem(const QString &oldText, const QString &newText)
{
    if (HasControlCharacter(newText)) {
        RemoveItem(oldText);
        return;
    }
    change([&](QStringList &items) {
        const qsizetype a = indexOfIgnoringCase(items, oldText);
        if (a < 0)
            return;
        const qsizetype b = indexOfIgnoringCase(items, newText);
        if (b < 0) {
            items[a] = newText;
        } else if (a < b) {
            items.removeAt(b);
            items[a] = newText;
        } else {
            items.removeAt(a);
        }
    });
}

void HistoryList::RemoveAt(int index)
{
    // An entry can outlive a direct change of the list until the next
    // rebuild; and another Quillet may have moved the item since, so it is
    // the entry's item that goes, wherever it stands now.
    const QString text = m_items.value(index);
    const bool listed = index >= 0 && index < m_items.size();
    change([&](QStringList &items) {
        if (!listed)
            return;
        if (index < items.size() && items.at(index) == text)
            items.removeAt(index);
        else
            items.removeOne(text);
    });
}

void HistoryList::RemoveAll()
{
    if (m_items.isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("History is already empty!"));
        return;
    }
    if (!m_dialogs.AskYesNo(QStringLiteral("Really want to remove all history items??")))
        return;
    change([](QStringList &items) { items.clear(); });
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
    // Also when nothing was cut: a list that was over-long before must show
    // all its items under a raised maximum at once.
    change([this](QStringList &items) {
        if (items.size() > m_maxhist)
            items.resize(m_maxhist);
    });
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
    if (m_onDisk == bytes) {
        m_onDiskItems = m_items;
        return {};
    }
    const QString error = WriteFileAtomically(historyPath(), bytes).error;
    if (error.isEmpty()) {
        m_onDisk = bytes;
        m_onDiskItems = m_items;
    }
    return error;
}
