#pragma once

#include <QObject>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Dialogs;

// Surf mode and edit mode: the switch, the user's toggle, the per-mode states
// of the controls, the MHT-only rule, the Save state and the status-line help.
class ModeController : public QObject
{
    Q_OBJECT
public:
    ModeController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                   QObject *parent = nullptr);

    // The one way to change mode; refuses when the browser holds no document.
    void seteditmode(bool surf);
    void editmodetoggle();
    void MHTonlyeditUpd();
    void MHTonlyeditMIClick();
    void autoemMIClick();
    // Save and its button follow enabled; "Rename As..." the opposite.
    void SetSaveEnabled(bool enabled);
    // Turns a control's hint into the status-line help.
    void HintHandler(const QString &hint);
    // The window caption and application title for the current mode.
    void updateCaption(const QString &locationName);

Q_SIGNALS:
    // Edit mode has begun and the page is about to become editable; what it
    // holds now is what the user has not changed yet.
    void editModeEntered();

private:
    void en2mode(bool surf);
    bool addressIsMht() const;

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
};
