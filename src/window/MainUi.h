#pragma once

class QAction;
class QLabel;
class QLineEdit;
class QMenu;
class QTimer;
class QToolBar;
class QWidget;
class TBitBtnWithColor;
class TColorGrid;
class TMyStatusBar;

// The main window's controls, named as everywhere else in the program. Each
// control's objectName is its name, so tests can find it. The window builds
// and owns the controls (app/MainUiBuilder); controllers get this table and
// use what they need.
struct MainUi
{
    // Host menus (history lists add their entries to these).
    QMenu *FileMI = nullptr;
    QMenu *OpenMI = nullptr;
    QMenu *RenMI = nullptr;
    QMenu *MoveMI = nullptr;
    QMenu *DeleteMI = nullptr;
    QMenu *BackHDummy = nullptr;
    QMenu *EditMI = nullptr;
    QMenu *FindMI = nullptr;
    QMenu *OptionsMI = nullptr;
    QMenu *HelpMI = nullptr;

    // File
    QAction *NewMI = nullptr;
    QAction *OpenbrowseMI = nullptr;
    QAction *RefreshMI = nullptr;
    QAction *SaveAsIEMI = nullptr;
    QAction *SavewhenIEfailsMI = nullptr;
    QAction *SaveasMI = nullptr;
    QAction *RenAsMI = nullptr;
    QAction *SaveMI = nullptr;
    QAction *RenBrowseMI = nullptr;
    QAction *MoveBrowseMI = nullptr;
    QAction *DelBrowseMI = nullptr;
    QAction *PrintPromptMI = nullptr;
    QAction *PrintNowMI = nullptr;
    // Edit
    QAction *emodeMI = nullptr;
    QAction *MarkMI = nullptr;
    QAction *boldMI = nullptr;
    QAction *ItalicMI = nullptr;
    QAction *UndMI = nullptr;
    QAction *FontMI = nullptr;
    QAction *FormatRemMI = nullptr;
    QAction *PageMarksMI = nullptr;
    // Find
    QAction *FindWebpageMI = nullptr;
    QAction *findtextMI = nullptr;
    QAction *FindLibraryMI = nullptr;
    // Options
    QAction *markcolorMI = nullptr;
    QAction *Defaultsaveto1 = nullptr;
    QAction *LibraryFoldersMI = nullptr;
    QAction *PrependFilenameMI = nullptr;
    QAction *UseSelection4FilenameMI = nullptr;
    QAction *autoemMI = nullptr;
    QAction *MHTonlyeditMI = nullptr;
    QAction *supscriptsMI = nullptr;
    QAction *registerMhtMI = nullptr;
    QAction *launchfromIEMI = nullptr;
    // Help
    QAction *ContentsMI = nullptr;
    QAction *TexthelpMI = nullptr;
    QAction *GotowebsiteMI = nullptr;
    QAction *AboutMI = nullptr;
    // Top level
    QAction *ExitMI = nullptr;

    // Toolbar buttons: actions with their own enabled state that forward to
    // the menu items or run their own handler.
    QToolBar *ToolBar1 = nullptr;
    QAction *BkB = nullptr;
    QAction *FwB = nullptr;
    QAction *stopB = nullptr;
    QAction *refreshB = nullptr;
    QAction *homeB = nullptr;
    QAction *setcolB = nullptr;
    QAction *markB = nullptr;
    QAction *BoldB = nullptr;
    QAction *italicB = nullptr;
    QAction *undB = nullptr;
    QAction *formatremB = nullptr;
    QAction *SearchB = nullptr;
    QAction *findB = nullptr;
    QAction *SaveB = nullptr;
    // Hidden: only the engine's save, without opening what it wrote.
    QAction *SaveasIEB = nullptr;
    QAction *helpB = nullptr;
    QAction *ExitB = nullptr;

    QWidget *Panel1 = nullptr;
    QWidget *EditModeDisabledHintP = nullptr;
    TBitBtnWithColor *EmodeB = nullptr;
    TColorGrid *cg1 = nullptr;
    QLineEdit *URLs = nullptr;
    QLabel *UrlMemL = nullptr;
    TMyStatusBar *StB1 = nullptr;
    QTimer *Timer1 = nullptr;
};
