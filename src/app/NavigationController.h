#pragma once

#include "window/Navigator.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <functional>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Desktop;
class Dialogs;
class FindDialog;
class ModeController;
class QWidget;

// Browsing: the address box, opening files, Back and Forward over the
// all-pages history, waiting for a page, the browser's events, find, print,
// help, and Escape inside the page.
class NavigationController : public QObject, public Navigator
{
    Q_OBJECT
public:
    // Whether Shift is held right now; opening a history entry with Shift
    // held restarts the program on that file.
    using ShiftQuery = std::function<bool()>;

    NavigationController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                         Desktop &desktop, ModeController &modes, QWidget &window, QObject *parent = nullptr);
    ~NavigationController() override;

    // Connects the commands, the address box, the history clicks and the
    // browser's events. Call after the address box's own change handler is
    // connected: the pending Home navigation runs after it.
    void connectSignals();

    void setShiftQuery(ShiftQuery query) { m_shiftDown = std::move(query); }

    // Pumps events in 50 ms steps until the page is complete or the program
    // is ending. User input is let through: Stop and Escape work during a load.
    void wait_till_complete() override;
    // The main window has closed: the program is ending, and no wait for a
    // page may hold it up.
    void windowClosed() { m_terminating = true; }
    void startHitemclicked(const QString &file) override;
    void allHitemclicked(const QString &entry);

    void URLsKeyDown();
    void URLsChange();
    void OpenbrowseMIClick();
    void BkBClick();
    void FwBClick();
    void stopBClick();
    void RefreshMIClick();
    void homeBClick() override;
    void FindWebpageMIClick();
    void findtextMIClick();
    void PrintPromptMIClick();
    void PrintNowMIClick();
    void supscriptsMIClick();
    void ContentsMIClick();
    void TexthelpMIClick();
    void GotowebsiteMIClick();

    void WebBrowser1NavigateComplete2(const QString &url);
    void WebBrowser1DocumentComplete(const QString &url, bool topLevel);
    void WebBrowser1ProgressChange(int progress, int progressMax);

    // The project's web site, opened by "Go to website".
    static QString websiteAddress();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void navigate(const QString &address);
    // What the address box shows for the engine's address.
    static QString shownAddress(const QString &address);
    void status(const QString &text);
    bool insideBrowser(QObject *object) const;

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    Desktop &m_desktop;
    ModeController &m_modes;
    QWidget &m_window;
    ShiftQuery m_shiftDown;
    QPointer<FindDialog> m_findDialog;
    // Set once the program is ending, so a pending wait stops at once.
    bool m_terminating = false;
};
