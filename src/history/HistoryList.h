#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class Dialogs;

// A most-recently-used list of texts (paths, folders, addresses), newest first,
// kept in three small files in the program folder:
//   histname        one item per line, newest first
//   maxhistname     first line: the maximum number of items
//   maxitemlenname  first line: the maximum shown length of an item
// Files are 8-bit text (Latin-1), written with CR LF and read with CR LF, CR or
// LF line ends; a list Latin-1 cannot hold is written, and recognised, as UTF-8. Every change of the list ends in
// Rebuild(), which refreshes the view (through the rebuild handler) and rewrites the items file at once, so there is
// nothing to save at shutdown.
class HistoryList
{
public:
    static constexpr int DefaultMaxhist = 10;
    static constexpr int DefaultMaxitemlen = 2000;
    static constexpr int MaxhistLimit = 100;
    static constexpr int MaxitemlenLimit = 10000;

    // Called at every rebuild with the number of leading items the view shows
    // (never more than maxhist).
    using RebuildHandler = std::function<void(int shownCount)>;

    // programFolder is held without a trailing "/" (the root "/" stays "/").
    HistoryList(Dialogs &dialogs, const QString &programFolder);

    int maxhist() const { return m_maxhist; }
    // Negative values count as 0.
    void setMaxhist(int value);
    int maxitemlen() const { return m_maxitemlen; }
    void setMaxitemlen(int value);

    QString histname() const { return m_histname; }
    void setHistname(const QString &name) { m_histname = name; }
    QString maxhistname() const { return m_maxhistname; }
    void setMaxhistname(const QString &name) { m_maxhistname = name; }
    QString maxitemlenname() const { return m_maxitemlenname; }
    void setMaxitemlenname(const QString &name) { m_maxitemlenname = name; }

    QString historyPath() const { return filePath(m_histname); }
    QString maxhistPath() const { return filePath(m_maxhistname); }
    QString maxitemlenPath() const { return filePath(m_maxitemlenname); }

    // The items, index 0 the newest. Owners may read and change the list
    // directly; such a change reaches the view and the file at the next rebuild.
    QStringList &histlist() { return m_items; }
    const QStringList &histlist() const { return m_items; }

    void setRebuildHandler(RebuildHandler handler) { m_rebuildHandler = std::move(handler); }

    // Reads the max files (a bad or negative number warns and falls back to
    // the default, a missing file silently, a number above the menu's limit
    // gives the limit) and every line of the items file, then rebuilds.
    void LoadHistory();
    // Puts text at the top. An item equal to it when only ASCII letters are
    // lowered is replaced; otherwise the oldest item beyond maxhist is dropped.
    // A text holding a control character (a line break) is not listed: an
    // item is one line of the file.
    void AddItem(const QString &text);
    // Removes the first item equal to text ignoring case.
    void RemoveItem(const QString &text);
    // Replaces oldText in place by newText (case-insensitive matching); when
    // newText is listed too, only one of them remains, at the better position.
    // A newText that cannot be listed (see AddItem) only removes oldText.
    void ReplaceItem(const QString &oldText, const QString &newText);
    // Removes the item at index without asking (the "remove " entries).
    void RemoveAt(int index);

    // The user commands of the settings submenu: they ask through the dialogs.
    void RemoveAll();
    void SetMaxHistItems();
    void SetMaxItemLen();

    // The items of an items file, read only (for readers beside the owner,
    // such as the library); a missing file has none.
    static QStringList readItems(const QString &path);

    // Refreshes the view, warns when the list is longer than maxhist and
    // rewrites the items file. Returns false when the file could not be written
    // (the user has been told).
    bool Rebuild();

private:
    QString filePath(const QString &name) const;
    // A missing file gives fallback; a bad or negative number warns and gives
    // fallback; a larger one than limit gives limit.
    int readNumber(const QString &name, int fallback, int limit);
    // False when the user cancelled or typed a bad or out-of-range number.
    bool askNumber(const QString &caption, const QString &prompt, int current, int limit, int &value);
    bool writeMaxFile(const QString &path, int value);
    // Empty on success, otherwise the reason.
    QString writeItems();

    Dialogs &m_dialogs;
    QString m_programFolder;
    int m_maxhist = DefaultMaxhist;
    int m_maxitemlen = DefaultMaxitemlen;
    QString m_histname = QStringLiteral("files.his");
    QString m_maxhistname = QStringLiteral("max.his");
    QString m_maxitemlenname = QStringLiteral("maxlen.his");
    QStringList m_items;
    // The items file's bytes as last read or written; none when unknown.
    std::optional<QByteArray> m_onDisk;
    RebuildHandler m_rebuildHandler;
};
