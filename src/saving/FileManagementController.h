#pragma once

#include <QObject>
#include <QString>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Dialogs;
class FolderChooser;
class Navigator;
class ArchiveChanges;
class QWidget;
class SaveController;

// Deleting, renaming and moving saved archives from the history menus, the
// file and folder dialogs and the address box, keeping the histories in step
// with the file system.
class FileManagementController : public QObject
{
    Q_OBJECT
public:
    // window: its caption names the open file. saving and navigator give New
    // and Home, which move the browser off a file about to be deleted;
    // archives hears of every archive moved or deleted.
    FileManagementController(AppState &state, MainUi &ui, Histories &histories, Browser &browser, Dialogs &dialogs,
                             QWidget &window, FolderChooser &folders, SaveController &saving, Navigator &navigator,
                             ArchiveChanges &archives, QObject *parent = nullptr);

    // Connects the menu items, the three history lists and the address box.
    void connectCommands();

    void delHitemclicked(const QString &path);
    void DelBrowseMIClick();
    void renHitemclicked(const QString &path);
    void RenBrowseMIClick();
    void MoveHitemclicked(const QString &folder);
    void MoveBrowseMIClick();
    void URLsDblClick();

    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // The rename/move flow; false only when the file move itself failed.
    bool renameOrMove(const QString &path);
    bool moveFile(const QString &from, const QString &to);
    enum class Deletion { ToTrash, Permanently, Declined, Failed };
    // Into the trash; where the trash cannot take the file, removed outright
    // only once the user agrees.
    Deletion deleteFile(const QString &file);
    void status(const QString &text);

    AppState &m_state;
    MainUi &m_ui;
    Histories &m_histories;
    Browser &m_browser;
    Dialogs &m_dialogs;
    QWidget &m_window;
    FolderChooser &m_folders;
    SaveController &m_saving;
    Navigator &m_navigator;
    ArchiveChanges &m_archives;
};
