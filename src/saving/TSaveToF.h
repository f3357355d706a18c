#pragma once

#include "saving/SaveToChooser.h"
#include "support/SystemUtils.h"

#include <QDialog>
#include <QString>

class QGroupBox;
class QKeyEvent;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QShowEvent;
class QStatusBar;
class QTimer;
class FolderChooser;

// The Save-to dialog: the user picks the folder (from the folder history, by
// browsing or by typing) and the title of an archive. It only chooses; the
// caller builds SaveToFolder + "/" + SaveToName + ".mht" and writes.
class TSaveToF : public QDialog, public SaveToChooser
{
    Q_OBJECT

public:
    TSaveToF(FolderChooser &locationChooser, const Beeper &beep, QWidget *parent = nullptr);

    // Fills the folder list and the title, shows the dialog modally starting
    // at the request's folder, and on Save hands back SaveToFolder and
    // SaveToName.
    bool choose(const Request &request, QString &folder, QString &name) override;
    void startTimer1() override;

    // The folder the dialog starts in when shown.
    void setDefaultSaveFolder(const QString &folder) { m_defaultSaveFolder = folder; }
    void setFolders(const QStringList &folders);

    // Both keep their last values between uses.
    QString SaveToFolder;
    QString SaveToName;

public Q_SLOTS:
    void browseBClick();
    void SaveBClick();
    void CancelBClick();
    void Timer1Timer();

protected:
    void showEvent(QShowEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormShow();
    void hisfolderLSTClick();
    void dirEChange();
    void NameEChange();
    void updateFullPath();

    FolderChooser &m_locationChooser;
    Beeper m_beep;
    QString m_defaultSaveFolder;

    QGroupBox *GroupBox1 = nullptr;
    QLabel *Label2 = nullptr;
    QPushButton *browseB = nullptr;
    QListWidget *hisfolderLST = nullptr;
    QLineEdit *dirE = nullptr;
    QGroupBox *GroupBox2 = nullptr;
    QLineEdit *NameE = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *ffnL = nullptr;
    QPushButton *SaveB = nullptr;
    QPushButton *CancelB = nullptr;
    QStatusBar *stb = nullptr;
    QTimer *Timer1 = nullptr;
};
