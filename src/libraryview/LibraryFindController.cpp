#include "libraryview/LibraryFindController.h"

#include "browser/Browser.h"
#include "library/HtmlText.h"
#include "library/LibraryIndex.h"
#include "library/PageMarks.h"
#include "library/PagePlace.h"
#include "libraryview/LibraryController.h"
#include "libraryview/LibraryFindWindow.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "window/CommandGuard.h"
#include "window/EditModes.h"
#include "window/MainUi.h"
#include "window/Navigator.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QWidget>

namespace {

// The first hit word of a passage, as the page writes it.
QString firstHitWord(const QString &snippet)
{
    const qsizetype start = snippet.indexOf(LibraryFindWindow::HitStart);
    const qsizetype end = snippet.indexOf(LibraryFindWindow::HitEnd, start + 1);
    return start < 0 || end < 0 ? QString() : snippet.mid(start + 1, end - start - 1);
}

// The first word of a query, for the browser's own find when no hit can be placed.
QString firstQueryWord(const QString &query)
{
    for (QString word : query.split(u' ', Qt::SkipEmptyParts)) {
        word.remove(u'"').remove(u'*').remove(u'(').remove(u')');
        if (!word.isEmpty() && word != QLatin1String("OR") && word != QLatin1String("AND") &&
            word != QLatin1String("NOT"))
            return word;
    }
    return {};
}

} // namespace

LibraryFindController::LibraryFindController(MainUi &ui, Browser &browser, Dialogs &dialogs, EditModes &modes,
                                             Navigator &navigator, LibraryController &library, QWidget &window,
                                             QObject *parent)
    : QObject(parent), m_ui(ui), m_browser(browser), m_dialogs(dialogs), m_modes(modes), m_navigator(navigator),
      m_library(library), m_window(window)
{
}

LibraryFindController::~LibraryFindController()
{
    delete m_findWindow;
}

LibraryFindWindow *LibraryFindController::findWindow() const
{
    return m_findWindow;
}

void LibraryFindController::connectCommands()
{
    connectCommand(m_ui.FindLibraryMI, this, m_dialogs, [this] { FindLibraryMIClick(); });
    // What a run found shows in the hits the user is looking at. The file is
    // opened again: the run may have made it anew, and a connection would
    // go on reading the one moved aside.
    connect(&m_library, &LibraryController::indexChanged, this, [this] {
        m_search.reset();
        m_index.reset();
        if (m_findWindow && m_findWindow->isVisible())
            runGuarded(m_dialogs, [this] { search(); });
    });
}

void LibraryFindController::FindLibraryMIClick()
{
    if (!m_findWindow) {
        // A window of its own, not one kept above the main window: the page
        // of a hit opened must come to the front.
        m_findWindow = new LibraryFindWindow();
        m_findWindow->setAttribute(Qt::WA_QuitOnClose, false);
        connect(m_findWindow, &LibraryFindWindow::searchRequested, this,
                [this] { runGuarded(m_dialogs, [this] { search(); }); });
        connect(m_findWindow, &LibraryFindWindow::hitChosen, this,
                [this](int row) { runGuarded(m_dialogs, [this, row] { openHit(row); }); });
    }
    m_findWindow->show();
    m_findWindow->raise();
    m_findWindow->activateWindow();
    m_findWindow->focusQuery();
}

LibrarySearch *LibraryFindController::searcher()
{
    if (m_search)
        return m_search.get();
    auto index = std::make_unique<LibraryIndex>(m_library.indexPath());
    const LibraryResult opened = index->open();
    if (const QString notice = index->takeNotice(); !notice.isEmpty())
        m_ui.StB1->ShowStatusText(notice);
    if (!opened.ok()) {
        m_findWindow->showResult({{}, opened.message}, Limit);
        return nullptr;
    }
    m_index = std::move(index);
    m_search = std::make_unique<LibrarySearch>(*m_index);
    return m_search.get();
}

void LibraryFindController::search()
{
    if (!m_findWindow)
        return;
    LibrarySearchOptions options = m_findWindow->options();
    options.limit = Limit;
    m_hits.clear();
    const QString query = m_findWindow->query();
    if (query.trimmed().isEmpty() && !options.marksOnly && !options.colour) {
        m_findWindow->showResult({}, Limit);
        return;
    }
    LibrarySearch *searcher = this->searcher();
    if (!searcher)
        return;
    LibrarySearchResult result = searcher->find(query, options);
    if (result.damaged) {
        // Made anew under the lock all programs share, and filled again by the next run.
        const LibraryResult rebuilt = m_index->rebuild(result.error);
        m_ui.StB1->ShowStatusText(rebuilt.ok() ? m_index->takeNotice() : rebuilt.message);
        m_library.indexNow();
    }
    m_hits = result.hits;
    m_findWindow->showResult(result, Limit);
}

void LibraryFindController::openHit(int row)
{
    if (!m_findWindow)
        return;
    if (row < 0) {
        // Enter straight after typing opens what the words find, not the hits of the pause before.
        if (m_findWindow->searchPending())
            search();
        row = m_findWindow->currentRow();
    }
    if (row >= m_hits.size())
        return;
    const LibraryHit hit = m_hits.at(row);
    const QString query = m_findWindow->query();
    if (!m_modes.mayLeaveEditMode())
        return;
    const bool existed = QFileInfo::exists(hit.path);
    m_navigator.startHitemclicked(hit.path);
    if (!existed) {
        // The open flow has said so; the library forgets it too.
        m_library.archivesChanged({hit.path});
        return;
    }
    m_window.raise();
    m_window.activateWindow();
    m_browser.widget()->setFocus();
    if (!selectHit(hit)) {
        const QString word = firstQueryWord(query);
        if (!word.isEmpty())
            m_browser.findText(word, false, false);
    }
}

bool LibraryFindController::selectHit(const LibraryHit &hit)
{
    const HtmlPageText page = HtmlText::extract(m_browser.documentHtml());
    std::optional<PagePlace> place;
    if (hit.isMark) {
        for (const LibraryMark &mark : PageMarks::of(page)) {
            if (mark.order == hit.markOrder)
                place = PagePlace::at(page.text, mark.start, mark.length);
        }
    }
    if (!place)
        place = PagePlace::ofWord(page.text, firstHitWord(hit.snippet));
    return place && m_browser.selectText(place->text, place->occurrence);
}
