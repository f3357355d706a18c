#include "app/MainUiBuilder.h"

#include "window/MainUi.h"

#include "marking/TBitBtnWithColor.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"

#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMenuBar>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

QIcon toolbarIcon(int index)
{
    const QString prefix = QStringLiteral("%1-").arg(index, 2, 10, QLatin1Char('0'));
    const QDir icons(QStringLiteral(":/icons"));
    for (const QString &name : icons.entryList(QDir::Files)) {
        if (name.startsWith(prefix))
            return QIcon(icons.filePath(name));
    }
    return {};
}

QAction *item(QMenu *menu, const char *name, const QString &caption, const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(QLatin1String(name));
    if (!shortcut.isEmpty())
        action->setShortcut(shortcut);
    return action;
}

QAction *checkItem(QMenu *menu, const char *name, const QString &caption)
{
    QAction *action = item(menu, name, caption);
    action->setCheckable(true);
    return action;
}

QMenu *subMenu(QMenu *parent, const char *name, const QString &caption)
{
    QMenu *menu = parent->addMenu(caption);
    menu->setObjectName(QLatin1String(name));
    menu->menuAction()->setObjectName(QLatin1String(name));
    return menu;
}

QAction *button(QToolBar *bar, const char *name, const QString &hint, int image)
{
    auto *action = new QAction(toolbarIcon(image), hint, bar);
    action->setObjectName(QLatin1String(name));
    action->setToolTip(hint);
    action->setStatusTip(hint);
    bar->addAction(action);
    return action;
}

void buildMenus(QMainWindow *window, MainUi &ui)
{
    QMenuBar *bar = window->menuBar();

    ui.FileMI = bar->addMenu(QStringLiteral("&File"));
    ui.FileMI->setObjectName(QStringLiteral("FileMI"));
    QMenu *file = ui.FileMI;
    ui.NewMI = item(file, "NewMI", QStringLiteral("&New mht"));
    ui.OpenMI = subMenu(file, "OpenMI", QStringLiteral("&Open..."));
    ui.OpenbrowseMI = item(ui.OpenMI, "OpenbrowseMI", QStringLiteral("&Browse..."), QKeySequence(Qt::CTRL | Qt::Key_O));
    file->addSeparator();
    ui.RefreshMI = item(file, "RefreshMI", QStringLiteral("Re&fresh"), QKeySequence(Qt::Key_F5));
    file->addSeparator();
    ui.SaveAsIEMI = item(file, "SaveAsIEMI", QStringLiteral("Save As &IE..."));
    file->addSeparator();
    ui.SavewhenIEfailsMI = item(file, "SavewhenIEfailsMI", QStringLiteral("Save when IE could not save..."));
    file->addSeparator();
    ui.SaveasMI = item(file, "SaveasMI", QStringLiteral("S&ave As..."));
    ui.RenAsMI = item(file, "RenAsMI", QStringLiteral("&Rename As..."));
    ui.SaveMI = item(file, "SaveMI", QStringLiteral("&Save"));
    ui.SaveMI->setStatusTip(QStringLiteral("Save"));
    file->addSeparator();
    ui.RenMI = subMenu(file, "RenMI", QStringLiteral("&Rename..."));
    ui.RenMI->menuAction()->setVisible(false);
    // Hidden actions are always disabled; the menu itself carries the state.
    ui.RenMI->setEnabled(false);
    ui.RenBrowseMI = item(ui.RenMI, "RenBrowseMI", QStringLiteral("&Browse..."), QKeySequence(Qt::CTRL | Qt::Key_F2));
    ui.MoveMI = subMenu(file, "MoveMI", QStringLiteral("&Move to..."));
    ui.MoveMI->menuAction()->setVisible(false);
    ui.MoveBrowseMI = item(ui.MoveMI, "MoveBrowseMI", QStringLiteral("&Browse"));
    ui.DeleteMI = subMenu(file, "DeleteMI", QStringLiteral("&Delete..."));
    ui.DelBrowseMI =
        item(ui.DeleteMI, "DelBrowseMI", QStringLiteral("&Browse..."), QKeySequence(Qt::CTRL | Qt::Key_Delete));
    file->addSeparator();
    ui.PrintPromptMI = item(file, "PrintPromptMI", QStringLiteral("&Print..."), QKeySequence(Qt::CTRL | Qt::Key_P));
    ui.PrintNowMI = item(file, "PrintNowMI", QStringLiteral("Print!"));
    file->addSeparator();

    ui.EditMI = bar->addMenu(QStringLiteral("&Edit"));
    ui.EditMI->setObjectName(QStringLiteral("EditMI"));
    QMenu *edit = ui.EditMI;
    ui.emodeMI = checkItem(edit, "emodeMI", QStringLiteral("Edit mo&de"));
    edit->addSeparator();
    ui.MarkMI = item(edit, "MarkMI", QStringLiteral("&Mark!"), QKeySequence(Qt::CTRL | Qt::Key_Space));
    edit->addSeparator();
    ui.boldMI = item(edit, "boldMI", QStringLiteral("&Bold"), QKeySequence(Qt::CTRL | Qt::Key_B));
    ui.ItalicMI = item(edit, "ItalicMI", QStringLiteral("&Italic"), QKeySequence(Qt::CTRL | Qt::Key_I));
    ui.UndMI = item(edit, "UndMI", QStringLiteral("&Underline"), QKeySequence(Qt::CTRL | Qt::Key_U));
    edit->addSeparator();
    ui.FontMI = item(edit, "FontMI", QStringLiteral("&Font..."));
    edit->addSeparator();
    ui.FormatRemMI = item(edit, "FormatRemMI", QStringLiteral("&Remove formatting"));
    edit->addSeparator();
    ui.PageMarksMI = item(edit, "PageMarksMI", QStringLiteral("Marks of this page..."));

    ui.FindMI = bar->addMenu(QStringLiteral("F&ind"));
    ui.FindMI->setObjectName(QStringLiteral("FindMI"));
    ui.FindMI->menuAction()->setStatusTip(QStringLiteral("Find (on this page) ctrl +F"));
    ui.FindWebpageMI = item(ui.FindMI, "FindWebpageMI", QStringLiteral("&Web page"));
    ui.findtextMI =
        item(ui.FindMI, "findtextMI", QStringLiteral("&Text in actual web page"), QKeySequence(Qt::CTRL | Qt::Key_F));
    ui.FindLibraryMI = item(ui.FindMI, "FindLibraryMI", QStringLiteral("Find in &library..."),
                            QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_F));

    ui.OptionsMI = bar->addMenu(QStringLiteral("&Options"));
    ui.OptionsMI->setObjectName(QStringLiteral("OptionsMI"));
    QMenu *options = ui.OptionsMI;
    ui.markcolorMI = item(options, "markcolorMI", QStringLiteral("&Mark color..."));
    ui.Defaultsaveto1 = item(options, "Defaultsaveto1", QStringLiteral("Default &save to..."));
    ui.LibraryFoldersMI = item(options, "LibraryFoldersMI", QStringLiteral("Library folders..."));
    ui.PrependFilenameMI = checkItem(options, "PrependFilenameMI", QStringLiteral("Prepend file name with date"));
    ui.UseSelection4FilenameMI =
        checkItem(options, "UseSelection4FilenameMI", QStringLiteral("&Use selection for file name"));
    ui.UseSelection4FilenameMI->setStatusTip(
        QStringLiteral("Selection of text in Quillet will be used for the filename when saving"));
    ui.autoemMI = checkItem(options, "autoemMI", QStringLiteral("Auto switch edit mode"));
    ui.autoemMI->setVisible(false);
    ui.MHTonlyeditMI = checkItem(options, "MHTonlyeditMI", QStringLiteral("&Only edit MHT files"));
    ui.supscriptsMI = checkItem(options, "supscriptsMI", QStringLiteral("Try to su&ppress script errors"));
    ui.supscriptsMI->setChecked(true);
    ui.registerMhtMI = checkItem(options, "registerMhtMI", QStringLiteral("&Open MHT files with Quillet"));
    ui.launchfromIEMI = checkItem(options, "launchfromIEMI", QStringLiteral("&Launch Quillet by right-clicking"));
    ui.launchfromIEMI->setStatusTip(QStringLiteral(
        "Enabling this option will add an item in the menu which appears when right-clicking on a "
        "selection. Clicking the menu item will copy the selection to the clipboard and start Quillet."));

    ui.HelpMI = bar->addMenu(QStringLiteral("&Help"));
    ui.HelpMI->setObjectName(QStringLiteral("HelpMI"));
    ui.ContentsMI = item(ui.HelpMI, "ContentsMI", QStringLiteral("&Contents"), QKeySequence(Qt::Key_F1));
    ui.TexthelpMI = item(ui.HelpMI, "TexthelpMI", QStringLiteral("&Text help"));
    ui.HelpMI->addSeparator();
    ui.GotowebsiteMI = item(ui.HelpMI, "GotowebsiteMI", QStringLiteral("Go to &website"));
    ui.HelpMI->addSeparator();
    ui.AboutMI = item(ui.HelpMI, "AboutMI", QStringLiteral("&About"));

    ui.ExitMI = bar->addAction(QStringLiteral("E&xit"));
    ui.ExitMI->setObjectName(QStringLiteral("ExitMI"));

    ui.BackHDummy = bar->addMenu(QStringLiteral("InvisbleBackHDummy"));
    ui.BackHDummy->setObjectName(QStringLiteral("BackHDummy"));
    ui.BackHDummy->menuAction()->setVisible(false);

    // Shortcuts of items in hidden menus only work when the window itself
    // carries the actions.
    for (QAction *action :
         {ui.RenBrowseMI, ui.MoveBrowseMI, ui.DelBrowseMI, ui.OpenbrowseMI, ui.MarkMI, ui.boldMI, ui.ItalicMI, ui.UndMI,
          ui.findtextMI, ui.RefreshMI, ui.PrintPromptMI, ui.ContentsMI, ui.ExitMI})
        window->addAction(action);
}

void buildToolbar(QMainWindow *window, MainUi &ui)
{
    ui.ToolBar1 = new QToolBar(QStringLiteral("ToolBar1"), window);
    ui.ToolBar1->setObjectName(QStringLiteral("ToolBar1"));
    ui.ToolBar1->setMovable(false);
    ui.ToolBar1->setFloatable(false);
    ui.ToolBar1->setIconSize(QSize(32, 32));
    ui.ToolBar1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    ui.ToolBar1->toggleViewAction()->setVisible(false);
    window->addToolBar(Qt::TopToolBarArea, ui.ToolBar1);

    QToolBar *bar = ui.ToolBar1;
    ui.BkB = button(bar, "BkB", QStringLiteral("Back"), 0);
    ui.FwB = button(bar, "FwB", QStringLiteral("Forward"), 1);
    ui.stopB = button(bar, "stopB", QStringLiteral("Stop"), 2);
    ui.refreshB = button(bar, "refreshB", QStringLiteral("Refresh"), 3);
    ui.homeB = button(bar, "homeB", QStringLiteral("Home"), 4);
    bar->addSeparator();
    ui.setcolB = button(bar, "setcolB", QStringLiteral("Choose default marking color"), 10);
    bar->addSeparator();
    ui.markB = button(bar, "markB", QStringLiteral("Mark!"), 15);
    bar->addSeparator();
    ui.BoldB = button(bar, "BoldB", QStringLiteral("Bold"), 7);
    ui.italicB = button(bar, "italicB", QStringLiteral("Italic"), 8);
    ui.undB = button(bar, "undB", QStringLiteral("Underline"), 9);
    bar->addSeparator();
    ui.formatremB = button(bar, "formatremB", QStringLiteral("Remove formatting"), 11);
    bar->addSeparator();
    ui.SearchB = button(bar, "SearchB", QStringLiteral("Search a web page"), 5);
    ui.findB = button(bar, "findB", QStringLiteral("Search in web page"), 6);
    bar->addSeparator();
    ui.SaveB = button(bar, "SaveB", QStringLiteral("Save"), 12);
    ui.SaveB->setEnabled(false);
    ui.SaveasIEB = button(bar, "SaveasIEB", QStringLiteral("Save as IE"), -1);
    ui.SaveasIEB->setVisible(false);
    bar->addSeparator();
    bar->addSeparator();
    ui.helpB = button(bar, "helpB", QStringLiteral("Help"), 13);
    bar->addSeparator();
    bar->addSeparator();
    ui.ExitB = button(bar, "ExitB", QStringLiteral("Exit"), 14);
    ui.ExitB->setText(QStringLiteral("E&xit"));
}

void buildPanel(QWidget *panel, MainUi &ui)
{
    ui.Panel1 = panel;
    panel->setObjectName(QStringLiteral("Panel1"));
    panel->setFixedHeight(41);

    ui.EditModeDisabledHintP = new QWidget(panel);
    ui.EditModeDisabledHintP->setObjectName(QStringLiteral("EditModeDisabledHintP"));
    ui.EditModeDisabledHintP->setGeometry(8, 8, 65, 25);
    ui.EditModeDisabledHintP->setStatusTip(QStringLiteral("First open a mht file!"));

    ui.EmodeB = new TBitBtnWithColor(ui.EditModeDisabledHintP);
    ui.EmodeB->setObjectName(QStringLiteral("EmodeB"));
    ui.EmodeB->setGeometry(0, 0, 65, 25);
    ui.EmodeB->setText(QStringLiteral("&Edit mode"));
    // Alt+E belongs to the Edit menu (Alt+E, D toggles the mode); two owners
    // of one key make Qt fire neither.
    ui.EmodeB->setShortcut(QKeySequence());
    ui.EmodeB->setToolTip(QStringLiteral("Toggle surf/edit mode"));
    ui.EmodeB->setStatusTip(QStringLiteral("Toggle surf/edit mode"));
    ui.EmodeB->setFocusPolicy(Qt::NoFocus);

    ui.cg1 = new TColorGrid(panel);
    ui.cg1->setObjectName(QStringLiteral("cg1"));
    ui.cg1->setGridOrdering(TColorGrid::go8x2);
    ui.cg1->setGeometry(82, 0, 176, 40);
    ui.cg1->setClickEnablesColor(true);
    ui.cg1->setForegroundEnabled(false);
    ui.cg1->setBackgroundEnabled(false);
    // A pick must leave the keyboard with the page being marked.
    ui.cg1->setTabStop(false);

    ui.URLs = new QLineEdit(panel);
    ui.URLs->setObjectName(QStringLiteral("URLs"));
    ui.URLs->setGeometry(264, 9, 600, 23);

    ui.UrlMemL = new QLabel(panel);
    ui.UrlMemL->setObjectName(QStringLiteral("UrlMemL"));
    ui.UrlMemL->setVisible(false);
}

} // namespace

void buildMainUi(QMainWindow *window, QWidget *browserView, MainUi &ui)
{
    window->setWindowTitle(QStringLiteral("Quillet"));
    buildMenus(window, ui);
    buildToolbar(window, ui);

    auto *client = new QWidget(window);
    auto *layout = new QVBoxLayout(client);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    buildPanel(new QWidget(client), ui);
    layout->addWidget(ui.Panel1);
    if (browserView) {
        browserView->setParent(client);
        browserView->setObjectName(QStringLiteral("WebBrowser1"));
        layout->addWidget(browserView, 1);
    } else {
        layout->addStretch(1);
    }
    window->setCentralWidget(client);

    ui.StB1 = new TMyStatusBar(window);
    ui.StB1->setObjectName(QStringLiteral("StB1"));
    window->setStatusBar(ui.StB1);

    ui.Timer1 = new QTimer(window);
    ui.Timer1->setObjectName(QStringLiteral("Timer1"));
    ui.Timer1->setInterval(1000);
}
