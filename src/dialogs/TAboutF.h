#pragma once

#include <QDialog>
#include <QString>

class QAction;
class QLabel;
class QMenu;
class QPlainTextEdit;
class QPushButton;

// The About box: the program's name and version, what a user asking for help
// needs to tell, and a hidden command (Ctrl+Alt+B) that adds the program
// file's path and date to the version line for the rest of the run.
class TAboutF : public QDialog
{
    Q_OBJECT

public:
    struct Facts
    {
        // The program's path as it was started (argument 0).
        QString startedAs;
        // The program file's full path, whose date Showbuild shows.
        QString programFile;
        QString programFolder;
        QString settingsFile;
        // The project's web address; no line for it when empty.
        QString website;
        QString engineVersion;
    };

    explicit TAboutF(Facts facts, QWidget *parent = nullptr);

    void CloseBClick();
    void ShowbuildMIClick();

protected:
    void keyPressEvent(QKeyEvent *event) override;

private:
    void FormCreate();
    void showbuild();

    Facts m_facts;
    QLabel *ProgramL = nullptr;
    QLabel *VersionL = nullptr;
    QPlainTextEdit *aboutM = nullptr;
    QPushButton *CloseB = nullptr;
    QMenu *HiddenMI = nullptr;
    QAction *ShowbuildMI = nullptr;
};
