#pragma once

class QMainWindow;
class QWidget;
struct MainUi;

// Builds the menus, toolbar, panel and status bar of window into ui.
// browserView fills the client area below the panel.
void buildMainUi(QMainWindow *window, QWidget *browserView, MainUi &ui);
