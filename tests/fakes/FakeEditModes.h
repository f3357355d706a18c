#pragma once

#include "browser/Browser.h"
#include "window/AppState.h"
#include "window/EditModes.h"

#include <optional>

// The modes without the window: the switch keeps SurfMode and the page's
// design mode in step and announces edit mode; Save's state is recorded, the
// caption left alone.
class FakeEditModes : public EditModes
{
    Q_OBJECT
public:
    FakeEditModes(AppState &state, Browser &browser) : m_state(state), m_browser(browser) {}

    std::optional<bool> saveEnabled;
    // The unsaved-work question: how often it was asked, and its answer.
    int leaveQuestions = 0;
    bool leaveAnswer = true;

    void seteditmode(bool surf) override
    {
        m_state.SurfMode = surf;
        m_browser.setDesignMode(surf ? QStringLiteral("Off") : QStringLiteral("On"));
        if (!surf)
            Q_EMIT editModeEntered();
    }
    void SetSaveEnabled(bool enabled) override { saveEnabled = enabled; }
    void updateCaption(const QString &) override {}
    bool mayLeaveEditMode() override
    {
        if (m_state.SurfMode || !saveEnabled.value_or(false))
            return true;
        ++leaveQuestions;
        return leaveAnswer;
    }

private:
    AppState &m_state;
    Browser &m_browser;
};
