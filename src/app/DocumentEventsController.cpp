#include "app/DocumentEventsController.h"

#include "browser/Browser.h"
#include "marking/TBitBtnWithColor.h"
#include "marking/TMyStatusBar.h"
#include "support/Dialogs.h"
#include "window/AppState.h"
#include "window/CommandGuard.h"
#include "window/MainUi.h"

DocumentEventsController::DocumentEventsController(AppState &state, MainUi &ui, Browser &browser, Dialogs &dialogs,
                                                   QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_browser(browser), m_dialogs(dialogs)
{
}

void DocumentEventsController::connectSignals()
{
    connect(&m_browser, &Browser::DocumentClick, this,
            [this](const QString &, const QString &) { runGuarded(m_dialogs, [this] { Document_OnClick(); }); });
    connect(&m_browser, &Browser::DocumentMouseOver, this, [this](const QString &tagName, const QString &href) {
        runGuarded(m_dialogs, [&] { Document_OnMouseOver(tagName, href); });
    });
}

void DocumentEventsController::Document_OnClick()
{
    if (!m_state.SurfMode)
        return;
    if (m_ui.EmodeB->isEnabled())
        m_ui.StB1->ShowStatusText(
            QStringLiteral("Editing mode = OFF (hit red \"edit mode\" button in order to edit)."));
    else
        m_ui.StB1->ShowStatusText(QStringLiteral("Editing mode = DISABLED (make a new mht file or load one and hit "
                                                 "red \"edit mode\" button in order to edit)."));
}

void DocumentEventsController::Document_OnMouseOver(const QString &tagName, const QString &href)
{
    if (!m_browser.HasDocument()) {
        m_dialogs.ShowWarningMsg(QStringLiteral("htmldoc = nil"));
        return;
    }
    const QString tag = tagName.toLower();
    if (tag == QStringLiteral("a") || tag == QStringLiteral("img"))
        m_ui.StB1->ShowStatusText(href);
}
