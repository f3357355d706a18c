#include "app/ModeController.h"

#include "browser/Browser.h"
#include "history/TMYcustomhistory.h"
#include "marking/TBitBtnWithColor.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"
#include "support/DateUtils.h"
#include "support/Dialogs.h"
#include "window/AppState.h"
#include "window/Histories.h"
#include "window/MainUi.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenu>
#include <QTimer>

namespace {
const QColor Red(255, 0, 0);
const QColor Green(0, 255, 0);
} // namespace

ModeController::ModeController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                               QObject *parent)
    : EditModes(parent), m_state(state), m_ui(ui), m_histories(histories), m_browser(browser), m_dialogs(dialogs)
{
}

void ModeController::seteditmode(bool surf)
{
    if (!m_browser.HasDocument()) {
        m_dialogs.ShowErrorMsg(QStringLiteral("First go to a site or open an existing document."));
        return;
    }
    m_state.SurfMode = surf;
    en2mode(surf);
    QLineEdit *urls = m_ui.URLs;
    if (surf) {
        m_ui.emodeMI->setChecked(false);
        m_ui.EmodeB->setColor(Red);
        m_ui.cg1->hide();
        urls->setGeometry(m_ui.cg1->x(), urls->y(), urls->width() + urls->x() - m_ui.cg1->x(), urls->height());
        m_ui.StB1->ShowStatusText(QStringLiteral("Surfing mode ON. Edit mode OFF"));
        Delay(100);
    } else {
        m_ui.emodeMI->setChecked(true);
        m_ui.EmodeB->setColor(Green);
        m_ui.cg1->show();
        const int left = m_ui.cg1->x() + m_ui.cg1->width() + 6;
        urls->setGeometry(left, urls->y(), urls->width() - m_ui.cg1->width() - 6, urls->height());
        m_ui.StB1->ShowStatusText(QStringLiteral("Edit mode ON, Surfing mode OFF"));
        Delay(100);
        m_ui.UrlMemL->setText(urls->text());
    }
    if (surf) {
        m_browser.setDesignMode(QStringLiteral("Off"));
        m_ui.Timer1->stop();
    } else {
        // Before design mode: switching it makes the engine lay the whole
        // page out again, and whatever asks the page for something after
        // that waits for it.
        Q_EMIT editModeEntered();
        m_browser.setDesignMode(QStringLiteral("On"));
        m_browser.execCommand(QStringLiteral("MultipleSelection"), 1);
        m_ui.Timer1->start();
    }
}

void ModeController::editmodetoggle()
{
    if (m_state.SurfMode) {
        m_state.SurfMode = false;
    } else {
        if (!mayLeaveEditMode())
            return;
        m_state.SurfMode = true;
    }
    seteditmode(m_state.SurfMode);
}

bool ModeController::mayLeaveEditMode()
{
    return m_state.SurfMode || !m_ui.SaveB->isEnabled() ||
           m_dialogs.AskYesNo(QStringLiteral("You did not save. Really proceed without saving?"));
}

void ModeController::updateCaption(const QString &name)
{
    const QString caption = name + (m_state.SurfMode ? QStringLiteral(" - Browsing with Quillet")
                                                     : QStringLiteral(" - Editing with Quillet"));
    if (auto *window = qobject_cast<QMainWindow *>(m_ui.StB1->window()))
        window->setWindowTitle(caption);
    m_dialogs.setApplicationTitle(caption);
}

void ModeController::en2mode(bool surf)
{
    const int count = int(m_histories.allH->histlist().size());

    const QString address = m_ui.URLs->text();
    const qsizetype cut = std::max(address.lastIndexOf(QLatin1Char('/')), address.lastIndexOf(QLatin1Char(':')));
    updateCaption(address.mid(cut + 1));

    const bool edit = !surf;
    m_ui.NewMI->setEnabled(surf);
    m_ui.OpenMI->menuAction()->setEnabled(surf);
    m_histories.startH->setEnabled(surf);
    m_histories.allH->setEnabled(surf);

    const bool untitled = address.contains(QStringLiteral("untitled"));
    m_ui.SaveMI->setEnabled(untitled);
    m_ui.SaveB->setEnabled(untitled);

    m_ui.BkB->setEnabled(surf && count > 1);
    m_ui.FwB->setEnabled(surf && m_state.BackPosition > 0);
    for (QAction *action : {m_ui.stopB, m_ui.refreshB, m_ui.homeB, m_ui.SearchB, m_ui.FindWebpageMI})
        action->setEnabled(surf);
    m_ui.URLs->setEnabled(surf);
    for (QAction *action : {m_ui.boldMI, m_ui.ItalicMI, m_ui.UndMI, m_ui.MarkMI, m_ui.FontMI, m_ui.FormatRemMI,
                            m_ui.BoldB, m_ui.italicB, m_ui.undB, m_ui.setcolB, m_ui.formatremB, m_ui.markB})
        action->setEnabled(edit);
    m_ui.cg1->setEnabled(edit);
}

bool ModeController::addressIsMht() const
{
    // The extension is the text after the last "." of the last path element.
    const QString address = m_ui.URLs->text();
    const QString last = address.mid(address.lastIndexOf(QLatin1Char('/')) + 1);
    const qsizetype dot = last.lastIndexOf(QLatin1Char('.'));
    return dot >= 0 && last.mid(dot).toLower() == QStringLiteral(".mht");
}

void ModeController::MHTonlyeditUpd()
{
    if (m_state.MhtOnlyEdit) {
        const bool isMht = addressIsMht();
        if (!isMht)
            seteditmode(true);
        m_ui.SaveAsIEMI->setEnabled(!isMht);
        m_ui.SavewhenIEfailsMI->setEnabled(!isMht);
        for (QAction *action : {m_ui.SaveMI, m_ui.SaveasMI, m_ui.SaveB, m_ui.emodeMI})
            action->setEnabled(isMht);
        // The menu carries the state: its Browse entry and the move
        // history's entries follow it.
        m_ui.MoveMI->setEnabled(isMht);
        m_ui.EmodeB->setEnabled(isMht);
    } else {
        for (QAction *action :
             {m_ui.SaveAsIEMI, m_ui.SavewhenIEfailsMI, m_ui.SaveMI, m_ui.SaveasMI, m_ui.SaveB, m_ui.emodeMI})
            action->setEnabled(true);
        m_ui.EmodeB->setEnabled(true);
    }
    // A disabled mode button lets the mouse through to its panel, whose hint
    // explains why it is off.
    m_ui.EmodeB->setAttribute(Qt::WA_TransparentForMouseEvents, !m_ui.EmodeB->isEnabled());
}

void ModeController::MHTonlyeditMIClick()
{
    if (!m_state.MhtOnlyEdit) {
        m_state.MhtOnlyEdit = true;
    } else {
        const auto answer = m_dialogs.message(
            Dialogs::Kind::Confirm, QStringLiteral("Confirm"),
            QStringLiteral("Quillet is meant for editing mht-files. You are not recommended to try editing other "
                           "file types. Proceed anyway??"),
            Dialogs::Buttons::YesNo, Dialogs::Answer::No);
        if (answer == Dialogs::Answer::Yes)
            m_state.MhtOnlyEdit = false;
    }
    m_ui.MHTonlyeditMI->setChecked(m_state.MhtOnlyEdit);
    m_ui.StB1->ShowStatusText(m_state.MhtOnlyEdit ? QStringLiteral("Editing only possible on MHT files")
                                                  : QStringLiteral("Advanced mode (see help file)"));
    MHTonlyeditUpd();
}

void ModeController::autoemMIClick()
{
    m_state.AutoEditMode = !m_state.AutoEditMode;
    m_ui.autoemMI->setChecked(m_state.AutoEditMode);
}

void ModeController::SetSaveEnabled(bool enabled)
{
    m_ui.SaveMI->setEnabled(enabled);
    m_ui.SaveB->setEnabled(enabled);
    m_ui.RenAsMI->setEnabled(!enabled);
}

void ModeController::HintHandler(const QString &hint)
{
    QString text;
    if (hint == QStringLiteral("Save")) {
        text = m_ui.SaveMI->isEnabled()
                   ? QStringLiteral("This will be saved as ") + m_ui.URLs->text()
                   : QStringLiteral("First load a MHT file to edit and go to edit mode. Then you can save.");
    } else if (hint == QStringLiteral("First open a mht file!")) {
        text = QStringLiteral(
            "First open a mht file, then you can use this button to go to edit mode! Or choose file - new mht.");
    } else if (hint == QStringLiteral("Choose default marking color")) {
        if (m_ui.setcolB->isEnabled())
            return;
        text = QStringLiteral(
            "First open a MHT file in edit mode, then you can use this button to choose a default marking color!");
    } else if (hint == QStringLiteral("Mark!")) {
        text =
            m_ui.markB->isEnabled()
                ? QStringLiteral("First make a selection, then hit this button to highlight with this default color.")
                : QStringLiteral("First open a MHT file in edit mode, then you can use this button to highlight.");
    }
    m_ui.StB1->ShowStatusText(text);
}
