#pragma once

#include <QObject>
#include <QString>
#include <functional>

struct AppState;
struct Histories;
struct MainUi;
class Browser;
class Dialogs;
class QWidget;

// Deleting, renaming and moving saved archives from the history menus, the
// file and folder dialogs and the address box, keeping the histories in step
// with the file system.
class FileManagementController : public QObject
{
    Q_OBJECT
public:
    struct Services
    {
        AppState &state;
        MainUi &ui;
        Histories &histories;
        Browser &browser;
        Dialogs &dialogs;
        // Its caption names the open file.
        QWidget &window;
        // The location chooser: (caption, start folder) -> the chosen folder,
        // empty when cancelled.
        std::function<QString(const QString &, const QString &)> chooseFolder;
        // New and Home, which move the browser off a file about to be deleted.
        std::function<void()> newPage;
        std::function<void()> goHome;
    };

    explicit FileManagementController(Services services, QObject *parent = nullptr);

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

    Services m_s;
};
