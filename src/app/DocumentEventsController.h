#pragma once

#include <QObject>
#include <QString>

struct AppState;
struct MainUi;
class Browser;
class Dialogs;

// The page's own click and mouse-over: hints in the status bar.
class DocumentEventsController : public QObject
{
    Q_OBJECT
public:
    DocumentEventsController(AppState &state, MainUi &ui, Browser &browser, Dialogs &dialogs,
                             QObject *parent = nullptr);

    void connectSignals();

    // In surf mode, tells how to start editing.
    void Document_OnClick();
    // Over a link or an image, shows its href (which may be empty).
    void Document_OnMouseOver(const QString &tagName, const QString &href);

private:
    AppState &m_state;
    MainUi &m_ui;
    Browser &m_browser;
    Dialogs &m_dialogs;
};
