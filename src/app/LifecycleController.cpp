#include "app/LifecycleController.h"

#include "app/ModeController.h"
#include "app/SettingsFile.h"
#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/MarkingController.h"
#include "marking/TMyStatusBar.h"
#include "support/Desktop.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "window/AppState.h"
#include "window/Histories.h"
#include "window/MainUi.h"
#include "window/Navigator.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QWidget>
#include <stdexcept>

LifecycleController::LifecycleController(AppState &state, MainUi &ui, Histories &histories, Browser &browser,
                                         Dialogs &dialogs, Desktop &desktop, ModeController &modes,
                                         SettingsFile &settings, MarkingController &marking, Navigator &navigator,
                                         QWidget &window, QObject *parent)
    : QObject(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs),
      m_desktop(desktop), m_modes(modes), m_settings(settings), m_marking(marking), m_navigator(navigator),
      m_window(window)
{
}

void LifecycleController::createSettings()
{
    const QString path = m_settings.path();
    if (QFileInfo::exists(path)) {
        m_state.FirstRun = false;
        return;
    }
    m_state.FirstRun = true;
    if (CreateEmptyFile(path))
        m_dialogs.ShowInfoMsg(QStringLiteral(
            "New configuration file created. In case this is the first time you use this program: please read the "
            "info on installation, best practice and the rest of the documentation."));
    else
        m_dialogs.ShowErrorMsg(QStringLiteral("Unable to create: ") + path +
                               QStringLiteral("?? Probably full disk or other writing problem."));
}

void LifecycleController::readSettings()
{
    m_settings.read(m_state);
    if (m_state.DefaultSaveFolder.isEmpty())
        m_state.DefaultSaveFolder = m_desktop.documentsFolder();
    StripBackslash(m_state.DefaultSaveFolder);

    m_ui.autoemMI->setChecked(m_state.AutoEditMode);
    m_ui.MHTonlyeditMI->setChecked(m_state.MhtOnlyEdit);
    m_ui.registerMhtMI->setChecked(m_state.RegisterMht);
    m_ui.launchfromIEMI->setChecked(m_state.LaunchFromIE);
    m_marking.setmarkglyph(0xC0C0C0, MarkingController::DisabledGlyph);
    m_marking.setmarkglyph(m_state.MarkColor, MarkingController::NormalGlyph);
    m_marking.setmarkglyph(m_state.MarkColor, MarkingController::HotGlyph);
    m_ui.supscriptsMI->setChecked(m_state.SuppressScripts);
    m_browser.setSilent(m_state.SuppressScripts);
    m_ui.PrependFilenameMI->setChecked(m_state.PrependFilename);
    m_ui.UseSelection4FilenameMI->setChecked(m_state.UseSelectionForFilename);
}

bool LifecycleController::openCommandLineFile(const QString &argument)
{
    if (argument.isEmpty() || !QFileInfo(argument).isFile())
        return false;
    // A name relative to the working folder is that folder's file, not a web address.
    const QString file =
        QDir::isAbsolutePath(argument) ? argument : QDir::cleanPath(QDir::current().absoluteFilePath(argument));
    m_state.UserNavigation = true;
    try {
        m_browser.Navigate(file);
    } catch (const std::exception &error) {
        // An archive that cannot be shown is reported; start-up goes on as
        // without a file.
        m_state.UserNavigation = false;
        m_dialogs.ShowErrorMsg(QString::fromStdString(error.what()));
        return false;
    }
    // The load's own address-box update re-applies the MHT-only rule, which
    // enables Save; it has to land before the switch to surf mode clears it,
    // as it does when a file is opened through the Open dialog.
    m_navigator.wait_till_complete();
    for (TMYcustomhistory *list : m_histories.fileLists())
        list->AddItem(file);
    return true;
}

void LifecycleController::FormActivate(const QStringList &arguments)
{
    if (!openCommandLineFile(arguments.value(1))) {
        if (m_state.FirstRun) {
            m_browser.Navigate(m_state.ExeFolder + QStringLiteral("/bestpractice.htm"));
        } else {
            m_browser.GoHome();
            m_state.HomePending = true;
        }
    }
    m_modes.seteditmode(true);
}

FileWriteResult LifecycleController::FormClose()
{
    return m_settings.write(m_state);
}

void LifecycleController::ExitMIClick()
{
    if (m_ui.SaveB->isEnabled()) {
        m_ui.StB1->ShowStatusText(QStringLiteral("You have not saved your work yet"));
        const auto answer = m_dialogs.message(Dialogs::Kind::Warning, QStringLiteral("Warning"),
                                              QStringLiteral("Save your work before exit?"),
                                              Dialogs::Buttons::YesNoCancel, Dialogs::Answer::Yes);
        if (answer == Dialogs::Answer::Yes) {
            m_ui.SaveMI->trigger();
            m_window.close();
        } else if (answer == Dialogs::Answer::No) {
            m_window.close();
        }
        return;
    }
    m_window.close();
}
