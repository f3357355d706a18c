#include "libraryview/PageMarksController.h"

#include "browser/Browser.h"
#include "library/PagePlace.h"
#include "libraryview/PageMarksDialog.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "window/CommandGuard.h"
#include "window/MainUi.h"

#include <QAction>
#include <QWidget>

PageMarksController::PageMarksController(MainUi &ui, Browser &browser, Dialogs &dialogs, QWidget &window,
                                         QObject *parent)
    : QObject(parent), m_ui(ui), m_browser(browser), m_dialogs(dialogs), m_window(window)
{
}

PageMarksController::~PageMarksController()
{
    delete m_dialog;
}

PageMarksDialog *PageMarksController::dialog() const
{
    return m_dialog;
}

void PageMarksController::connectCommands()
{
    connectCommand(m_ui.PageMarksMI, this, m_dialogs, [this] { PageMarksMIClick(); });
    connect(&m_browser, &Browser::DocumentComplete, this, [this](const QString &, bool topLevel) {
        if (topLevel && m_dialog && m_dialog->isVisible())
            runGuarded(m_dialogs, [this] { readMarks(); });
    });
}

void PageMarksController::readMarks()
{
    m_page = HtmlText::extract(m_browser.documentHtml());
    m_marks = PageMarks::of(m_page);
    m_dialog->setMarks(m_marks);
}

void PageMarksController::PageMarksMIClick()
{
    if (!m_dialog) {
        m_dialog = new PageMarksDialog(&m_window);
        connect(m_dialog, &PageMarksDialog::markChosen, this,
                [this](int row) { runGuarded(m_dialogs, [this, row] { chooseMark(row); }); });
    }
    readMarks();
    m_dialog->show();
    m_dialog->raise();
    m_dialog->activateWindow();
}

void PageMarksController::chooseMark(int row)
{
    if (row < 0 || row >= m_marks.size())
        return;
    const LibraryMark &mark = m_marks.at(row);
    const PagePlace place = PagePlace::at(m_page.text, mark.start, mark.length);
    if (m_browser.selectText(place.text, place.occurrence))
        return;
    // The page changed since the list was read (an edit): the list is read again.
    m_ui.StB1->ShowStatusText(QStringLiteral("The mark is no longer on the page"));
    readMarks();
}
