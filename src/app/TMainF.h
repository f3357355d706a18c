#pragma once

#include "window/AppState.h"
#include "window/Histories.h"
#include "window/MainUi.h"

#include <QMainWindow>
#include <QStringList>
#include <memory>
#include <vector>

class AssociationController;
class Browser;
class Desktop;
class DesktopAssociation;
class Dialogs;
class DocumentEventsController;
class ClipboardPageController;
class FileManagementController;
class KeyChordFilter;
class LibraryController;
class LibraryFindController;
class PageMarksController;
class LauncherController;
class LifecycleController;
class MarkingController;
class ModeController;
class NativeHostManifests;
class NavigationController;
class RegistryStore;
class BrowserSaveController;
class SaveController;
class SettingsFile;
class TAboutF;
class TLocxxxF;
class TMYcustomhistory;
class TSaveToF;

// The main window: builds the controls, owns the program-wide state and the
// history lists, and assembles one controller per concern.
class TMainF : public QMainWindow
{
    Q_OBJECT
public:
    struct Services
    {
        Dialogs &dialogs;
        Desktop &desktop;
        Browser &browser;
        // Holds the settings file, the history files and the shipped pages.
        QString programFolder;
        // The program file's full path.
        QString exeName;
        RegistryStore &registry;
        DesktopAssociation &association;
    };

    explicit TMainF(Services services, QWidget *parent = nullptr);
    ~TMainF() override;

    // The first activation, after the window has been shown: the start-up
    // navigation given by the command line.
    void FormActivate(const QStringList &arguments);

    AppState &state() { return m_state; }
    MainUi &ui() { return m_ui; }
    Histories &histories() { return m_histories; }
    ModeController &modes() { return *m_modes; }
    NavigationController &navigation() { return *m_navigation; }
    MarkingController &marking() { return *m_marking; }
    SaveController &saving() { return *m_saving; }
    FileManagementController &fileManagement() { return *m_fileManagement; }
    LibraryController &library() { return *m_library; }
    LibraryFindController &libraryFind() { return *m_libraryFind; }
    PageMarksController &pageMarks() { return *m_pageMarks; }

protected:
    void closeEvent(QCloseEvent *event) override;
    bool event(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void createHistories();
    void connectCommands();
    void forward(QAction *button, QAction *menuItem);
    // The Save-to dialog's creation step: the clipboard page for a selection
    // sent from a browser; a refused folder asks again.
    void createSaveTo(const QStringList &arguments);

    Services m_services;
    AppState m_state;
    MainUi m_ui;
    Histories m_histories;
    std::vector<std::unique_ptr<TMYcustomhistory>> m_historyLists;
    std::unique_ptr<SettingsFile> m_settings;
    std::unique_ptr<ModeController> m_modes;
    std::unique_ptr<LifecycleController> m_lifecycle;
    std::unique_ptr<NavigationController> m_navigation;
    std::unique_ptr<DocumentEventsController> m_documentEvents;
    std::unique_ptr<MarkingController> m_marking;
    // The location chooser, the About box and the Save-to dialog live as long
    // as the window.
    TLocxxxF *m_locxxx = nullptr;
    TAboutF *m_about = nullptr;
    TSaveToF *m_saveTo = nullptr;
    std::unique_ptr<LibraryController> m_library;
    std::unique_ptr<LibraryFindController> m_libraryFind;
    std::unique_ptr<PageMarksController> m_pageMarks;
    std::unique_ptr<SaveController> m_saving;
    std::unique_ptr<AssociationController> m_association;
    std::unique_ptr<BrowserSaveController> m_browserSaving;
    std::unique_ptr<ClipboardPageController> m_clipboardPage;
    std::unique_ptr<NativeHostManifests> m_hostManifests;
    std::unique_ptr<LauncherController> m_launcher;
    std::unique_ptr<FileManagementController> m_fileManagement;
    std::unique_ptr<KeyChordFilter> m_keyChords;
    // The Save command itself, which the Ctrl then S chord runs whatever the
    // state of its menu item.
    QAction *m_saveCommand = nullptr;
    // Right margin of the address box, fixed when the window is first shown.
    int m_urlsRightMargin = 12;
};
