#pragma once

#include "history/HistoryList.h"

#include <QFileSystemWatcher>
#include <QList>
#include <QMenu>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <functional>

class Dialogs;
struct HistorySpec;
class QAction;

// Shows a HistoryList as entries of a host menu and lets the user use it.
//
// LoadHistory() appends to the host, after the host's own children:
//   ">>>"  submenu: "HISTORY MENU:", "-", "Set &max. history items", "-",
//          "Set ma&x. length per item", "-", "Remove ALL history", "-",
//          then one "remove <item>" entry per shown item;
//   one entry per shown item (at most maxhist), newest first.
// Clicking an item entry moves the item to the top and calls Onitemclicked
// with the item's full text. Every change of the list rebuilds the entries and
// rewrites the items file in the program folder; when another Quillet writes
// that file, the entries are rebuilt from it.
//
// Entries that a rebuild takes out of the menu are deleted later, never while
// their own click is still being handled, since that click may itself rebuild.
class TMYcustomhistory : public QObject
{
    Q_OBJECT

public:
    using ItemClickedHandler = std::function<void(TMYcustomhistory *Sender, const QString &str)>;

    // Menuitem: the host menu (must outlive LoadHistory's use of it; a host
    // destroyed first is tolerated). programFolder: where the three files live.
    // Defaults: maxhist 10, maxitemlen 2000, "files.his", "max.his",
    // "maxlen.his", Enabled true, no click handler.
    TMYcustomhistory(QMenu *Menuitem, Dialogs &dialogs, const QString &programFolder, QObject *parent = nullptr);
    // Takes file names, maxhist and Enabled from spec (see HistorySpecs).
    TMYcustomhistory(const HistorySpec &spec, QMenu *Menuitem, Dialogs &dialogs, const QString &programFolder,
                     QObject *parent = nullptr);
    ~TMYcustomhistory() override;

    QMenu *Menuitem() const { return m_host; }
    // The ">>>" submenu; null before LoadHistory.
    QMenu *settingsMenu() const { return m_settingsMenu; }

    int maxhist() const { return m_list.maxhist(); }
    void setMaxhist(int value) { m_list.setMaxhist(value); }
    int maxitemlen() const { return m_list.maxitemlen(); }
    void setMaxitemlen(int value) { m_list.setMaxitemlen(value); }
    QString histname() const { return m_list.histname(); }
    void setHistname(const QString &name) { m_list.setHistname(name); }
    QString maxhistname() const { return m_list.maxhistname(); }
    void setMaxhistname(const QString &name) { m_list.setMaxhistname(name); }
    QString maxitemlenname() const { return m_list.maxitemlenname(); }
    void setMaxitemlenname(const QString &name) { m_list.setMaxitemlenname(name); }

    // Whether the item entries can be clicked; ">>>" always can.
    bool Enabled() const { return m_enabled; }
    void setEnabled(bool enabled);

    // Without a handler a click shows "onitemclicked not assigned yet".
    void setOnitemclicked(ItemClickedHandler handler) { m_onitemclicked = std::move(handler); }

    // Index 0 is the newest. A direct change shows in the menu and the file at
    // the next rebuild.
    QStringList &histlist() { return m_list.histlist(); }
    const QStringList &histlist() const { return m_list.histlist(); }
    HistoryList &list() { return m_list; }

    // Builds ">>>", reads the three files and shows the entries. Call once.
    void LoadHistory();
    void AddItem(const QString &text) { m_list.AddItem(text); }
    void RemoveItem(const QString &text) { m_list.RemoveItem(text); }
    void ReplaceItem(const QString &oldText, const QString &newText) { m_list.ReplaceItem(oldText, newText); }
    void RebuildMenu() { m_list.Rebuild(); }

    // The host's entries after ">>>" and the "remove " entries, in menu order.
    QList<QAction *> itemEntries() const;
    QList<QAction *> removeEntries() const;

private:
    void buildEntries(int shownCount);
    void detach(QMenu *menu, QAction *after);
    void applyEnabled();
    void itemClick(int tag);
    void removeEntryClick(int tag);
    // Watches the items file again: replacing a file ends the watch on it.
    void watchItemsFile();

    QPointer<QMenu> m_host;
    Dialogs &m_dialogs;
    HistoryList m_list;
    QPointer<QMenu> m_settingsMenu;
    QAction *m_setMaxMI = nullptr;
    QAction *m_setLenMI = nullptr;
    QAction *m_removeAllMI = nullptr;
    QAction *m_lastSeparator = nullptr;
    bool m_enabled = true;
    ItemClickedHandler m_onitemclicked;
    QFileSystemWatcher m_watcher;
};
