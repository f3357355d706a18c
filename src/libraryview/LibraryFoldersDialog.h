#pragma once

#include <QDialog>
#include <QStringList>

class FolderChooser;
class QListWidget;
class QPushButton;

// Options > "Library folders...": the folders whose archives (sub-folders
// included) the library keeps. A folder that cannot be reached now (a drive
// that is not mounted) is listed as unavailable, never dropped: its archives
// stay in the library until it is back or the user removes it here.
class LibraryFoldersDialog : public QDialog
{
    Q_OBJECT
public:
    // folders asks for a folder to add.
    explicit LibraryFoldersDialog(FolderChooser &folders, QWidget *parent = nullptr);

    void setFolders(const QStringList &folders);
    QStringList folders() const;

    // "Add...": the chooser's folder joins the list, once.
    void addFolder();
    void removeFolder();

private:
    void addItem(const QString &folder);

    FolderChooser &m_chooser;
    QListWidget *m_list = nullptr;
    QPushButton *m_remove = nullptr;
};
