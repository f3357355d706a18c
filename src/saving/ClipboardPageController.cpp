#include "saving/ClipboardPageController.h"

#include "app/AppState.h"
#include "app/Histories.h"
#include "app/ModeController.h"
#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "saving/SaveController.h"
#include "saving/SaveToChooser.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"

#include <QFileInfo>

#include <stdexcept>

namespace {
const QString Marker = QStringLiteral("HEADER_IE2Quillet");
}

ClipboardPageController::ClipboardPageController(Services services, QObject *parent)
    : QObject(parent), m_s(std::move(services))
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
    AppState &state = m_s.state;

    SaveToChooser::Request request;
    request.caption = QStringLiteral("Save to...");
    request.title = titleFromArgument(marked);
    request.folders = m_s.histories.MoveH->histlist();
    request.startFolder = state.DefaultSaveFolder;
    if (!dialog.choose(request, state.SaveToFolder, state.SaveToName))
        return Outcome::Finished;

    const QString path = SaveController::archivePath(state.SaveToFolder, state.SaveToName);
    if (!m_s.saving.makeFolder(ExtractDir(path)))
        return Outcome::AskAgain;
    if (QFileInfo::exists(path) && !m_s.saving.confirmOverwrite(path))
        return Outcome::Finished;

    // A failed copy has been reported; there is no page to fill.
    if (!CopyFileKeepDate(state.ExeFolder + QStringLiteral("/untitled.mht"), path, m_s.dialogs, m_s.beep))
        return Outcome::Finished;
    if (!m_s.openFile || !m_s.waitTillComplete)
        throw std::runtime_error("Opening files is not available.");
    m_s.openFile(path);
    m_s.waitTillComplete();
    m_s.modes.seteditmode(false);

    dialog.startTimer1();
    m_s.dialogs.ShowMsg(SaveToChooser::AutoSavingText);

    m_s.browser.insertHtmlAtBodyEnd(sourceParagraph(address));
    m_s.browser.pasteAtBodyEnd();
    // The page is new and wanted: it is saved even though Save is not enabled yet.
    m_s.saving.SaveMIClick();
    return Outcome::Finished;
}
