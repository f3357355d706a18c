#pragma once

#include "library/HtmlText.h"
#include "library/PageMarks.h"

#include <QObject>
#include <QPointer>

struct MainUi;
class Browser;
class Dialogs;
class PageMarksDialog;
class QWidget;

// Edit > "Marks of this page...": lists the marks of the page the browser
// shows, as it is now (marks not saved yet included), and selects the one
// the user chooses, scrolled into view. The list follows the page: a new
// page shows its own marks.
class PageMarksController : public QObject
{
    Q_OBJECT
public:
    // window is the dialog's parent.
    PageMarksController(MainUi &ui, Browser &browser, Dialogs &dialogs, QWidget &window, QObject *parent = nullptr);
    ~PageMarksController() override;

    void connectCommands();
    void PageMarksMIClick();
    // Selects the mark of row in the page.
    void chooseMark(int row);

    // Created by the first PageMarksMIClick.
    PageMarksDialog *dialog() const;
    const QList<LibraryMark> &marks() const { return m_marks; }

private:
    // Reads the page's marks into the dialog.
    void readMarks();

    MainUi &m_ui;
    Browser &m_browser;
    Dialogs &m_dialogs;
    QWidget &m_window;
    QPointer<PageMarksDialog> m_dialog;
    HtmlPageText m_page;
    QList<LibraryMark> m_marks;
};
