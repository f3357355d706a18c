#pragma once

#include "library/LibrarySearch.h"

#include <QObject>
#include <QPointer>

#include <memory>

struct AppState;
struct MainUi;
class Browser;
class Dialogs;
class EditModes;
class LibraryController;
class LibraryFindWindow;
class LibraryIndex;
class Navigator;
class QWidget;

// Find > "Find in library...": the search window, its searches as the user
// types, and opening a hit: the archive opens the way the file-open history
// opens it (after the unsaved-work question of edit mode), and the hit is
// selected and scrolled into view.
class LibraryFindController : public QObject
{
    Q_OBJECT
public:
    // The most hits a search shows.
    static constexpr int Limit = 100;

    // library names the index and tells when it changed; window is the
    // main window, brought back to the front with the hit.
    LibraryFindController(MainUi &ui, Browser &browser, Dialogs &dialogs, EditModes &modes, Navigator &navigator,
                          LibraryController &library, QWidget &window, QObject *parent = nullptr);
    ~LibraryFindController() override;

    void connectCommands();
    // Shows the search window, its query ready for typing.
    void FindLibraryMIClick();
    // Runs the window's query now.
    void search();
    // Opens the hit of row; -1 the window's current one, once its search has run.
    void openHit(int row);

    // Created by the first FindLibraryMIClick.
    LibraryFindWindow *findWindow() const;
    const QList<LibraryHit> &hits() const { return m_hits; }

private:
    // Selects the hit in the page the browser now shows; false when the page has no such place.
    bool selectHit(const LibraryHit &hit);
    // The index, opened on first use; nullptr when it cannot be (the reason is shown).
    LibrarySearch *searcher();

    MainUi &m_ui;
    Browser &m_browser;
    Dialogs &m_dialogs;
    EditModes &m_modes;
    Navigator &m_navigator;
    LibraryController &m_library;
    QWidget &m_window;
    QPointer<LibraryFindWindow> m_findWindow;
    std::unique_ptr<LibraryIndex> m_index;
    std::unique_ptr<LibrarySearch> m_search;
    QList<LibraryHit> m_hits;
};
