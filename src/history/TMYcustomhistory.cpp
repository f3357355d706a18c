#include "history/TMYcustomhistory.h"

#include "history/HistorySpec.h"
#include "support/Dialogs.h"
#include "support/TextUtils.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>

TMYcustomhistory::TMYcustomhistory(QMenu *Menuitem, Dialogs &dialogs, const QString &programFolder, QObject *parent)
    : QObject(parent), m_host(Menuitem), m_dialogs(dialogs), m_list(dialogs, programFolder)
{
    m_list.setRebuildHandler([this](int shownCount) { buildEntries(shownCount); });
    setEnabled(true);
    connect(&m_watcher, &QFileSystemWatcher::fileChanged, this, [this] {
        watchItemsFile();
        m_list.Refresh();
    });
}

TMYcustomhistory::TMYcustomhistory(const HistorySpec &spec, QMenu *Menuitem, Dialogs &dialogs,
                                   const QString &programFolder, QObject *parent)
    : TMYcustomhistory(Menuitem, dialogs, programFolder, parent)
{
    setObjectName(spec.name);
    m_list.setHistname(spec.histname);
    m_list.setMaxhistname(spec.maxhistname);
    m_list.setMaxitemlenname(spec.maxitemlenname);
    m_list.setMaxhist(spec.maxhist);
    setEnabled(spec.enabled);
}

TMYcustomhistory::~TMYcustomhistory()
{
    // The submenu is a child of the host so that it pops up from it; it is
    // still ours.
    delete m_settingsMenu.data();
}

void TMYcustomhistory::LoadHistory()
{
    if (m_host && !m_settingsMenu) {
        m_settingsMenu = new QMenu(QStringLiteral(">>>"), m_host);
        m_host->addMenu(m_settingsMenu);
        // The title entry is only a label; it is left clickable and does nothing.
        m_settingsMenu->addAction(new QAction(QStringLiteral("HISTORY MENU:"), m_settingsMenu));
        m_settingsMenu->addSeparator();
        m_setMaxMI = m_settingsMenu->addAction(QStringLiteral("Set &max. history items"));
        connect(m_setMaxMI, &QAction::triggered, this, [this] { m_list.SetMaxHistItems(); });
        m_settingsMenu->addSeparator();
        m_setLenMI = m_settingsMenu->addAction(QStringLiteral("Set ma&x. length per item"));
        connect(m_setLenMI, &QAction::triggered, this, [this] { m_list.SetMaxItemLen(); });
        m_settingsMenu->addSeparator();
        m_removeAllMI = m_settingsMenu->addAction(QStringLiteral("Remove ALL history"));
        connect(m_removeAllMI, &QAction::triggered, this, [this] { m_list.RemoveAll(); });
        m_lastSeparator = m_settingsMenu->addSeparator();
    }
    m_list.LoadHistory();
    watchItemsFile();
}

void TMYcustomhistory::watchItemsFile()
{
    const QString path = m_list.historyPath();
    if (!m_watcher.files().contains(path) && QFileInfo::exists(path))
        m_watcher.addPath(path);
}

void TMYcustomhistory::detach(QMenu *menu, QAction *after)
{
    const QList<QAction *> actions = menu->actions();
    const qsizetype start = actions.indexOf(after);
    if (start < 0)
        return;
    for (qsizetype i = start + 1; i < actions.size(); ++i) {
        QAction *action = actions.at(i);
        menu->removeAction(action);
        // The entry being clicked may be among these: it must survive until
        // its click handler has returned.
        if (action->parent() == this)
            action->deleteLater();
    }
}

void TMYcustomhistory::buildEntries(int shownCount)
{
    if (!m_host || !m_settingsMenu)
        return;
    detach(m_host, m_settingsMenu->menuAction());
    detach(m_settingsMenu, m_lastSeparator);

    const QStringList &items = m_list.histlist();
    const auto maxLen = quint16(m_list.maxitemlen());
    // Deliberately 16-bit: below 7 the length wraps and the item is shown whole.
    const auto removeLen = quint16(m_list.maxitemlen() - 7);
    for (int i = 0; i < shownCount; ++i) {
        const QString caption = ShortenLeft(MenuText(items.at(i)), maxLen);
        auto *entry = new QAction(caption, this);
        entry->setData(i);
        // A menu shows an entry captioned "-" as a separator line.
        entry->setSeparator(caption == QLatin1String("-"));
        connect(entry, &QAction::triggered, this, [this, i] { itemClick(i); });
        m_host->addAction(entry);

        auto *removeEntry =
            new QAction(QStringLiteral("remove ") + ShortenLeft(MenuText(items.at(i)), removeLen), this);
        removeEntry->setData(i);
        connect(removeEntry, &QAction::triggered, this, [this, i] { removeEntryClick(i); });
        m_settingsMenu->addAction(removeEntry);
    }
    applyEnabled();
}

void TMYcustomhistory::setEnabled(bool enabled)
{
    m_enabled = enabled;
    applyEnabled();
}

void TMYcustomhistory::applyEnabled()
{
    if (!m_host || m_list.histlist().isEmpty())
        return;
    for (QAction *entry : itemEntries())
        entry->setEnabled(m_enabled);
}

QList<QAction *> TMYcustomhistory::itemEntries() const
{
    if (!m_host || !m_settingsMenu)
        return {};
    const QList<QAction *> actions = m_host->actions();
    const qsizetype start = actions.indexOf(m_settingsMenu->menuAction());
    return start < 0 ? QList<QAction *>() : actions.mid(start + 1);
}

QList<QAction *> TMYcustomhistory::removeEntries() const
{
    if (!m_settingsMenu)
        return {};
    const QList<QAction *> actions = m_settingsMenu->actions();
    const qsizetype start = actions.indexOf(m_lastSeparator);
    return start < 0 ? QList<QAction *>() : actions.mid(start + 1);
}

void TMYcustomhistory::itemClick(int tag)
{
    QStringList &items = m_list.histlist();
    // The list may have been changed directly since this entry was built.
    if (tag < 0 || tag >= items.size()) {
        RebuildMenu();
        return;
    }
    const QString text = items.at(tag);
    m_list.AddItem(text);
    if (m_onitemclicked)
        m_onitemclicked(this, text);
    else
        m_dialogs.ShowMsg(QStringLiteral("onitemclicked not assigned yet"));
}

void TMYcustomhistory::removeEntryClick(int tag)
{
    m_list.RemoveAt(tag);
}
