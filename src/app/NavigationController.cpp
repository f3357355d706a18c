#include "app/NavigationController.h"

#include "app/FindDialog.h"
#include "app/ModeController.h"
#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "support/Desktop.h"
#include "support/Dialogs.h"
#include "support/PathUtils.h"
#include "support/TextUtils.h"
#include "window/AppState.h"
#include "window/CommandGuard.h"
#include "window/Histories.h"
#include "window/MainUi.h"

#include <QAction>
#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <QFileInfo>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>
#include <QWidget>

NavigationController::NavigationController(AppState &state, MainUi &ui, Histories &histories, Browser &browser,
                                           Dialogs &dialogs, Desktop &desktop, ModeController &modes, QWidget &window,
                                           QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs),
      m_desktop(desktop), m_modes(modes), m_window(window),
      m_shiftDown([] { return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ShiftModifier); })
{
}

NavigationController::~NavigationController()
{
    qApp->removeEventFilter(this);
    delete m_findDialog;
}

QString NavigationController::websiteAddress()
{
    return QStringLiteral(QUILLET_HOMEPAGE);
}

void NavigationController::connectSignals()
{
    Dialogs &dialogs = m_dialogs;
    auto command = [this, &dialogs](QAction *action, void (NavigationController::*handler)()) {
        connectCommand(action, this, dialogs, [this, handler] { (this->*handler)(); });
    };
    auto forward = [this](QAction *button, QAction *menuItem) {
        connect(button, &QAction::triggered, menuItem, [menuItem] { menuItem->trigger(); });
    };

    connect(m_ui.URLs, &QLineEdit::returnPressed, this, [this] { runGuarded(m_dialogs, [this] { URLsKeyDown(); }); });
    connect(m_ui.URLs, &QLineEdit::textChanged, this, [this] { runGuarded(m_dialogs, [this] { URLsChange(); }); });

    command(m_ui.OpenbrowseMI, &NavigationController::OpenbrowseMIClick);
    command(m_ui.BkB, &NavigationController::BkBClick);
    command(m_ui.FwB, &NavigationController::FwBClick);
    command(m_ui.stopB, &NavigationController::stopBClick);
    command(m_ui.RefreshMI, &NavigationController::RefreshMIClick);
    forward(m_ui.refreshB, m_ui.RefreshMI);
    command(m_ui.homeB, &NavigationController::homeBClick);
    command(m_ui.FindWebpageMI, &NavigationController::FindWebpageMIClick);
    forward(m_ui.SearchB, m_ui.FindWebpageMI);
    command(m_ui.findtextMI, &NavigationController::findtextMIClick);
    command(m_ui.findB, &NavigationController::findtextMIClick);
    command(m_ui.PrintPromptMI, &NavigationController::PrintPromptMIClick);
    command(m_ui.PrintNowMI, &NavigationController::PrintNowMIClick);
    command(m_ui.supscriptsMI, &NavigationController::supscriptsMIClick);
    command(m_ui.ContentsMI, &NavigationController::ContentsMIClick);
    forward(m_ui.helpB, m_ui.ContentsMI);
    command(m_ui.TexthelpMI, &NavigationController::TexthelpMIClick);
    command(m_ui.GotowebsiteMI, &NavigationController::GotowebsiteMIClick);
    // A build that names no web site has none to go to.
    m_ui.GotowebsiteMI->setEnabled(!websiteAddress().isEmpty());

    m_histories.startH->setOnitemclicked([this](TMYcustomhistory *, const QString &entry) {
        runGuarded(m_dialogs, [this, entry] { startHitemclicked(entry); });
    });
    m_histories.allH->setOnitemclicked([this](TMYcustomhistory *, const QString &entry) {
        runGuarded(m_dialogs, [this, entry] { allHitemclicked(entry); });
    });

    connect(&m_browser, &Browser::NavigateComplete2, this,
            [this](const QString &url) { runGuarded(m_dialogs, [&] { WebBrowser1NavigateComplete2(url); }); });
    connect(&m_browser, &Browser::DocumentComplete, this, [this](const QString &url, bool topLevel) {
        runGuarded(m_dialogs, [&] { WebBrowser1DocumentComplete(url, topLevel); });
    });
    connect(&m_browser, &Browser::ProgressChange, this, [this](int progress, int progressMax) {
        runGuarded(m_dialogs, [&] { WebBrowser1ProgressChange(progress, progressMax); });
    });

    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { m_terminating = true; });
    qApp->installEventFilter(this);
}

void NavigationController::navigate(const QString &address)
{
    m_browser.Navigate(address);
}

void NavigationController::status(const QString &text)
{
    m_ui.StB1->ShowStatusText(text);
}

void NavigationController::wait_till_complete()
{
    do {
        QEventLoop step;
        QTimer::singleShot(50, &step, &QEventLoop::quit);
        // Ends as the page completes, not up to a step later.
        connect(&m_browser, &Browser::DocumentComplete, &step, &QEventLoop::quit);
        step.exec();
    } while (m_browser.ReadyState() != 4 && !m_terminating && !QCoreApplication::closingDown());
}

void NavigationController::startHitemclicked(const QString &file)
{
    if (!QFileInfo::exists(file)) {
        m_dialogs.ShowWarningMsg(QStringLiteral("File does not exist: ") + file);
        for (TMYcustomhistory *list : {m_histories.startH, m_histories.renH, m_histories.delH})
            list->RemoveItem(file);
        status(QStringLiteral("Not existing file cleaned from mht history"));
        return;
    }
    const QString shown = m_ui.URLs->text();
    m_ui.URLs->setText(file);
    m_state.UserNavigation = true;
    // Only end this instance once the new one has really been started.
    if (m_shiftDown && m_shiftDown() && m_desktop.restartWithFile(file)) {
        // The rest of the steps still run; the wait below ends at once.
        m_terminating = m_window.close();
    }
    try {
        navigate(file);
    } catch (...) {
        // A refused archive leaves the page as it was, so the box says so too.
        m_ui.URLs->setText(shown);
        throw;
    }
    wait_till_complete();
    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(file);
    m_histories.MoveH->AddItem(ExtractDir(file));
    m_modes.seteditmode(true);
}

void NavigationController::allHitemclicked(const QString &entry)
{
    m_ui.URLs->setText(entry);
    m_state.UserNavigation = true;
    navigate(entry);
}

void NavigationController::URLsKeyDown()
{
    m_state.UserNavigation = true;
    navigate(m_ui.URLs->text());
}

void NavigationController::URLsChange()
{
    if (!m_state.HomePending)
        return;
    // Cleared first: the navigation below may change the box again.
    m_state.HomePending = false;
    navigate(m_ui.URLs->text());
}

void NavigationController::OpenbrowseMIClick()
{
    const QString file = m_dialogs.openFileName(QStringLiteral("Select file to open"), m_state.DefaultSaveFolder,
                                                QStringLiteral("MHT files (*.mht)"));
    if (!file.isEmpty())
        startHitemclicked(file);
}

void NavigationController::BkBClick()
{
    m_state.NavDirection = 0;
    const int count = int(m_histories.allH->histlist().size());
    ++m_state.BackPosition;
    m_histories.backH->AddItem(m_ui.URLs->text());
    if (m_state.BackPosition >= count - 1)
        m_ui.BkB->setEnabled(false);
    if (m_state.BackPosition > 0)
        m_ui.FwB->setEnabled(true);
    if (count <= 1)
        return;
    m_ui.URLs->setText(m_histories.allH->histlist().value(m_state.BackPosition));
    m_state.HistoryStep = true;
    navigate(m_ui.URLs->text());
}

void NavigationController::FwBClick()
{
    m_state.NavDirection = 1;
    if (m_state.BackPosition-- == 1)
        m_ui.FwB->setEnabled(false);
    const QString next = m_histories.backH->histlist().value(0);
    m_ui.URLs->setText(next);
    m_histories.backH->RemoveItem(next);
    if (m_histories.backH->histlist().isEmpty())
        m_ui.FwB->setEnabled(false);
    m_state.HistoryStep = true;
    navigate(m_ui.URLs->text());
}

void NavigationController::stopBClick()
{
    m_browser.Stop();
}

void NavigationController::RefreshMIClick()
{
    if (!m_browser.Busy())
        m_browser.Refresh();
}

void NavigationController::homeBClick()
{
    m_browser.GoHome();
    m_state.HomePending = true;
}

void NavigationController::FindWebpageMIClick()
{
    m_browser.GoSearch();
}

void NavigationController::findtextMIClick()
{
    if (!m_browser.HasDocument())
        return;
    if (!m_findDialog)
        m_findDialog = new FindDialog(m_browser, &m_window);
    m_findDialog->show();
    m_findDialog->raise();
    m_findDialog->activateWindow();
}

void NavigationController::PrintPromptMIClick()
{
    m_browser.print(true);
}

void NavigationController::PrintNowMIClick()
{
    m_browser.print(false);
}

void NavigationController::supscriptsMIClick()
{
    m_state.SuppressScripts = !m_state.SuppressScripts;
    m_ui.supscriptsMI->setChecked(m_state.SuppressScripts);
    m_browser.setSilent(m_state.SuppressScripts);
}

void NavigationController::ContentsMIClick()
{
    m_desktop.runDocument(m_state.ExeFolder + QStringLiteral("/Quillet.htm"));
}

void NavigationController::TexthelpMIClick()
{
    m_dialogs.ShowMsg(QStringLiteral("All the basic info is also available in txt-files (included in zip-package) "
                                     "which you can open with simple programs like Notepad."));
}

void NavigationController::GotowebsiteMIClick()
{
    m_desktop.runDocument(websiteAddress());
}

QString NavigationController::shownAddress(const QString &address)
{
    // A local file is named by its path, decoded as the engine encoded it.
    if (address.startsWith(QStringLiteral("file:///")))
        return UrlToPath(address);
    // A stray "%" in an address is shown as it stands rather than failing the page.
    const Result<QString> decoded = UrlDecode(address);
    // An escaped line break (or any control character) stays escaped: the
    // box, and the history lists it feeds, hold an address on one line.
    return !decoded.ok() || HasControlCharacter(decoded.value) ? address : decoded.value;
}

void NavigationController::WebBrowser1NavigateComplete2(const QString &)
{
    status(QStringLiteral("Ready"));
    m_window.activateWindow();

    m_ui.URLs->setText(shownAddress(m_browser.LocationURL()));
    m_modes.updateCaption(m_browser.LocationName());

    if (m_state.NavDirection != 2) {
        m_state.NavDirection = 2;
        return;
    }
    m_histories.allH->AddItem(m_ui.URLs->text());
    if (m_state.SurfMode && m_histories.allH->histlist().size() > 1)
        m_ui.BkB->setEnabled(true);
    if (m_state.UserNavigation) {
        m_histories.startH->AddItem(m_ui.URLs->text());
        status(m_ui.URLs->text());
        m_state.BackPosition = 0;
        m_ui.FwB->setEnabled(false);
        m_state.UserNavigation = false;
    }
}

void NavigationController::WebBrowser1DocumentComplete(const QString &, bool topLevel)
{
    if (!topLevel)
        return;
    status(QStringLiteral("Document Complete"));
    m_window.activateWindow();
    if (m_state.HistoryStep) {
        m_state.HistoryStep = false;
    } else {
        m_ui.FwB->setEnabled(false);
        // In memory only: the file follows at the list's next change.
        m_histories.backH->histlist().clear();
        m_state.BackPosition = 0;
    }
}

void NavigationController::WebBrowser1ProgressChange(int progress, int progressMax)
{
    if (progress == 0 || progressMax == 0)
        return;
    status(QStringLiteral("Loading..."));
    m_window.activateWindow();
    if (progress == progressMax) {
        status(QStringLiteral("Ready"));
        m_window.activateWindow();
    }
}

bool NavigationController::insideBrowser(QObject *object) const
{
    auto *widget = qobject_cast<QWidget *>(object);
    QWidget *view = m_browser.widget();
    return widget && view && (widget == view || view->isAncestorOf(widget));
}

bool NavigationController::eventFilter(QObject *watched, QEvent *event)
{
    // Escape inside the page runs Exit, with its unsaved-work question. The
    // page is kept from claiming the key, and the key press itself (not the
    // window shortcut) runs the command, so it runs exactly once.
    const QEvent::Type type = event->type();
    if ((type == QEvent::ShortcutOverride || type == QEvent::KeyPress) && insideBrowser(watched)) {
        auto *key = static_cast<QKeyEvent *>(event);
        if (key->key() == Qt::Key_Escape && key->modifiers() == Qt::NoModifier) {
            key->accept();
            if (type == QEvent::KeyPress)
                m_ui.ExitMI->trigger();
            return true;
        }
    }
    return QObject::eventFilter(watched, event);
}
