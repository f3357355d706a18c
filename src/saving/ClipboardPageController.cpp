#include "saving/ClipboardPageController.h"

#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "saving/SaveController.h"
#include "saving/SaveToChooser.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "window/AppState.h"
#include "window/EditModes.h"
#include "window/Histories.h"
#include "window/Navigator.h"

#include <QFileInfo>

namespace {
const QString Marker = QStringLiteral("HEADER_IE2Quillet");
}

ClipboardPageController::ClipboardPageController(AppState &state, Histories &histories, Browser &browser,
                                                 Dialogs &dialogs, EditModes &modes, Navigator &navigator,
                                                 SaveController &saving, Beeper beep, QObject *parent)
    : QObject(parent), m_state(state), m_histories(histories), m_browser(browser), m_dialogs(dialogs), m_modes(modes),
      m_navigator(navigator), m_saving(saving), m_beep(std::move(beep))
{
}

QString ClipboardPageController::titleFromArgument(const QString &argument)
{
    if (!argument.contains(Marker))
        return QString();
    return QString(argument).remove(Marker).replace(QLatin1Char('_'), QLatin1Char(' '));
}

QString ClipboardPageController::sourceParagraph(const QString &address)
{
    // Escaped, a quote or "<" in the address can neither end the attribute
    // nor start markup; the entities still name the same address.
    const QString escaped = address.toHtmlEscaped();
    return QStringLiteral("<P><i>This has been copied from </i><A href=\"") + escaped + QStringLiteral("\">") +
           escaped + QStringLiteral("</A></P>");
}

ClipboardPageController::Outcome ClipboardPageController::FormCreate(SaveToChooser &dialog,
                                                                     const QStringList &arguments)
{
    const QString marked = arguments.value(1);
    if (!marked.contains(Marker))
        return Outcome::Finished;
    const QString address = arguments.value(2);
    AppState &state = m_state;

    SaveToChooser::Request request;
    request.caption = QStringLiteral("Save to...");
    request.title = titleFromArgument(marked);
    request.folders = m_histories.MoveH->histlist();
    request.startFolder = state.DefaultSaveFolder;
    if (!dialog.choose(request, state.SaveToFolder, state.SaveToName))
        return Outcome::Finished;

    const QString path = SaveController::archivePath(state.SaveToFolder, state.SaveToName);
    if (!m_saving.makeFolder(ExtractDir(path)))
        return Outcome::AskAgain;
    if (QFileInfo::exists(path) && !m_saving.confirmOverwrite(path))
        return Outcome::Finished;

    // A failed copy has been reported; there is no page to fill.
    if (!CopyFileKeepDate(state.ExeFolder + QStringLiteral("/untitled.mht"), path, m_dialogs, m_beep))
        return Outcome::Finished;
    m_navigator.startHitemclicked(path);
    m_navigator.wait_till_complete();
    m_modes.seteditmode(false);

    dialog.startTimer1();
    m_dialogs.ShowMsg(SaveToChooser::AutoSavingText);

    m_browser.insertHtmlAtBodyEnd(sourceParagraph(address));
    m_browser.pasteAtBodyEnd();
    // The page is new and wanted: it is saved even though Save is not enabled yet.
    m_saving.SaveMIClick();
    return Outcome::Finished;
}
