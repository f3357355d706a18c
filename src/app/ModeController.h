#pragma once

#include "window/EditModes.h"

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Dialogs;

// Surf mode and edit mode: the switch, the user's toggle, the per-mode states
// of the controls, the MHT-only rule, the Save state and the status-line help.
class ModeController : public EditModes
{
    Q_OBJECT
public:
    ModeController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                   QObject *parent = nullptr);

    void seteditmode(bool surf) override;
    void editmodetoggle();
    void MHTonlyeditUpd();
    void MHTonlyeditMIClick();
    void autoemMIClick();
    void SetSaveEnabled(bool enabled) override;
    // Turns a control's hint into the status-line help.
    void HintHandler(const QString &hint);
    void updateCaption(const QString &locationName) override;
    bool mayLeaveEditMode() override;

private:
    void en2mode(bool surf);
    bool addressIsMht() const;

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
};
