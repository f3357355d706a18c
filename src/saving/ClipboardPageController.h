#pragma once

#include "support/SystemUtils.h"

#include <QObject>
#include <QString>
#include <QStringList>

struct AppState;
struct Histories;
class Browser;
class Dialogs;
class EditModes;
class Navigator;
class SaveController;
class SaveToChooser;

// The page built from a selection sent by the browser's right-click entry:
// the template copied under the page's title, a paragraph linking to the
// source, the pasted selection, saved at once.
class ClipboardPageController : public QObject
{
    Q_OBJECT
public:
    ClipboardPageController(AppState &state, Histories &histories, Browser &browser, Dialogs &dialogs, EditModes &modes,
                            Navigator &navigator, SaveController &saving, Beeper beep, QObject *parent = nullptr);

    enum class Outcome {
        // Done, whether a page was made or not.
        Finished,
        // The folder was refused or could not be made: a new Save-to dialog
        // takes the place of this one and the flow starts again.
        AskAgain,
    };

    // What the creation of a Save-to dialog runs, with the program's command
    // line (program, marked title, address).
    Outcome FormCreate(SaveToChooser &dialog, const QStringList &arguments);

    // The proposed title for the launcher's first argument; empty when the
    // argument is not the launcher's.
    static QString titleFromArgument(const QString &argument);
    // The paragraph citing the source, the address escaped for its attribute
    // and its text.
    static QString sourceParagraph(const QString &address);

private:
    AppState &m_state;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    EditModes &m_modes;
    Navigator &m_navigator;
    SaveController &m_saving;
    Beeper m_beep;
};
