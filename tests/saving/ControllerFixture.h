#pragma once

#include "FakeArchiveChanges.h"
#include "FakeBrowser.h"
#include "FakeDesktop.h"
#include "FakeDialogs.h"
#include "FakeEditModes.h"
#include "FakeFolderChooser.h"
#include "FakeNavigator.h"
#include "FakeSaveToChooser.h"
#include "history/HistorySpec.h"
#include "history/TMYcustomhistory.h"
#include "marking/TMyStatusBar.h"
#include "support/SystemUtils.h"
#include "window/AppState.h"
#include "window/Histories.h"
#include "window/MainUi.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTemporaryDir>
#include <QTimer>
#include <QWidget>

#include <memory>
#include <vector>

// What the saving controllers get from the main window, without the window:
// the controls they use, the state and the histories in a fresh program
// folder, and fakes for the browser, the dialogs, the modes and navigation.
struct ControllerFixture
{
    QTemporaryDir folder;
    FakeDialogs dialogs;
    FakeDesktop desktop;
    FakeBrowser browser;
    AppState state;
    FakeEditModes modes{state, browser};
    QWidget window;
    MainUi ui;
    Histories histories;
    std::vector<std::unique_ptr<TMYcustomhistory>> lists;
    std::unique_ptr<FakeNavigator> navigator;
    FakeFolderChooser folders;
    FakeSaveToChooser saveTo;
    FakeArchiveChanges archives;
    int beeps = 0;
    Beeper beep = [this] { ++beeps; };

    ControllerFixture()
    {
        state.ExeFolder = folder.path();
        state.EditableExtensions = {QStringLiteral(".mht"), QStringLiteral(".htm"), QStringLiteral(".html"),
                                    QStringLiteral(".eml")};
        QDir().mkpath(saveFolder());
        state.DefaultSaveFolder = saveFolder();
        for (QAction **action : {&ui.NewMI, &ui.SaveAsIEMI, &ui.SavewhenIEfailsMI, &ui.SaveasMI, &ui.RenAsMI,
                                 &ui.SaveMI, &ui.RenBrowseMI, &ui.MoveBrowseMI, &ui.DelBrowseMI, &ui.Defaultsaveto1,
                                 &ui.PrependFilenameMI, &ui.UseSelection4FilenameMI, &ui.SaveB, &ui.SaveasIEB})
            *action = new QAction(&window);
        ui.PrependFilenameMI->setCheckable(true);
        ui.UseSelection4FilenameMI->setCheckable(true);
        ui.RenMI = new QMenu(&window);
        ui.MoveMI = new QMenu(&window);
        ui.URLs = new QLineEdit(&window);
        ui.UrlMemL = new QLabel(&window);
        ui.StB1 = new TMyStatusBar(&window);
        ui.Timer1 = new QTimer(&window);
        TMYcustomhistory **targets[] = {&histories.startH, &histories.allH,  &histories.renH,
                                        &histories.delH,   &histories.backH, &histories.MoveH};
        int index = 0;
        for (const HistorySpec &spec : HistorySpecs) {
            lists.push_back(std::make_unique<TMYcustomhistory>(spec, new QMenu(&window), dialogs, folder.path()));
            lists.back()->LoadHistory();
            *targets[index++] = lists.back().get();
        }
        navigator = std::make_unique<FakeNavigator>(browser, *ui.URLs, modes);
    }

    QString path(const QString &name) const { return folder.path() + QLatin1Char('/') + name; }
    QString saveFolder() const { return path(QStringLiteral("saved")); }
    QString status() const { return ui.StB1->statusText(); }

    // A page shown as after opening it: a local path's URL is its file: URL.
    void showPage(const QString &address, const QString &locationName, bool edit = true)
    {
        browser.hasDocument = true;
        browser.readyState = 4;
        browser.locationName = locationName;
        browser.locationUrl = address.startsWith(QLatin1Char('/')) ? QStringLiteral("file://") + address : address;
        ui.URLs->setText(address);
        modes.seteditmode(!edit);
        dialogs.shown.clear();
    }

    bool inHistories(const QString &entry) const
    {
        for (TMYcustomhistory *list : histories.fileLists())
            if (!list->histlist().contains(entry))
                return false;
        return true;
    }
};
