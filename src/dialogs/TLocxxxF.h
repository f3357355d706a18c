#pragma once

#include "window/FolderChooser.h"

#include <QDialog>
#include <QString>

class Dialogs;
class QComboBox;
class QFileSystemModel;
class QLabel;
class QLineEdit;
class QListWidget;
class QModelIndex;
class QPushButton;
class QTreeView;

// The location chooser: the user picks a folder in the tree or the drive box,
// or types one; OK checks it, offers to create a missing folder and leaves the
// accepted folder in the hidden result label. One instance is reused for
// every question, so the caller sets the caption each time.
class TLocxxxF : public QDialog, public FolderChooser
{
    Q_OBJECT

public:
    explicit TLocxxxF(Dialogs &dialogs, QWidget *parent = nullptr);

    // Runs the dialog modally, starting at startFolder (the tree opens there
    // when it is a folder; the location field shows it either way). Gives the
    // accepted folder, or "" after Cancel or an empty location.
    QString chooseFolder(const QString &startFolder);
    // The same under the given caption.
    QString chooseFolder(const QString &caption, const QString &startFolder) override;

    // The file-system path of the tree's selected folder; "" when none.
    QString treePath() const;
    void setTreePath(const QString &path);
    // The folder the hidden directory list is on.
    QString listDirectory() const { return m_listDirectory; }
    void setListDirectory(const QString &path);
    // The text handed back to the caller.
    QString resultText() const;

public Q_SLOTS:
    void SavelocBClick();
    void CancelBClick();

private:
    void ST1Change(const QModelIndex &current);
    void DirectoryListBox1Change();
    void driCBChange(int index);
    void showVolumeOf(const QString &path);

    Dialogs &m_dialogs;
    QFileSystemModel *m_folders = nullptr;
    QTreeView *ST1 = nullptr;
    QComboBox *driCB = nullptr;
    QListWidget *DirectoryListBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *locxxxE = nullptr;
    QLabel *resultL = nullptr;
    QPushButton *SavelocB = nullptr;
    QPushButton *CancelB = nullptr;
    QString m_listDirectory;
};
