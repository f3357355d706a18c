#include "app/TMainF.h"

#include "app/DocumentEventsController.h"
#include "app/KeyChordFilter.h"
#include "app/LifecycleController.h"
#include "app/MainUiBuilder.h"
#include "app/ModeController.h"
#include "app/NavigationController.h"
#include "app/SettingsFile.h"
#include "browser/Browser.h"
#include "dialogs/TAboutF.h"
#include "dialogs/TLocxxxF.h"
#include "history/HistorySpec.h"
#include "history/TMYcustomhistory.h"
#include "libraryview/LibraryController.h"
#include "libraryview/LibraryFindController.h"
#include "libraryview/PageMarksController.h"
#include "marking/MarkingController.h"
#include "marking/TBitBtnWithColor.h"
#include "marking/TColorGrid.h"
#include "marking/TMyStatusBar.h"
#include "saving/BrowserSaveController.h"
#include "saving/ClipboardPageController.h"
#include "saving/FileManagementController.h"
#include "saving/SaveController.h"
#include "saving/TSaveToF.h"
#include "shell/AssociationController.h"
#include "shell/LauncherController.h"
#include "shell/NativeHostManifests.h"
#include "support/Desktop.h"
#include "support/Dialogs.h"
#include "support/RegistryStore.h"
#include "window/CommandGuard.h"
#include "window/KeyUtils.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusTipEvent>
#include <QToolBar>

// The icon resources live in a static library; make sure they are registered.
static void initIconResources()
{
    Q_INIT_RESOURCE(icons);
}

TMainF::TMainF(Services services, QWidget *parent) : QMainWindow(parent), m_services(services)
{
    initIconResources();
    setObjectName(QStringLiteral("TMainF"));
    resize(1013, 530 + 38 + 41 + 19 + menuBar()->sizeHint().height());
    buildMainUi(this, m_services.browser.widget(), m_ui);

    // Creation, in its fixed order.
    m_services.dialogs.setApplicationTitle(QStringLiteral("Quillet"));
    m_state.ExeName = m_services.exeName;
    m_state.ExeFolder = m_services.programFolder;
    m_settings = std::make_unique<SettingsFile>(m_state.ExeFolder + QStringLiteral("/quillet.ini"));

    createHistories();
    m_modes = std::make_unique<ModeController>(m_state, m_ui, m_histories, m_services.browser, m_services.dialogs);
    m_navigation = std::make_unique<NavigationController>(m_state, m_ui, m_histories, m_services.browser,
                                                          m_services.dialogs, m_services.desktop, *m_modes, *this);
    m_documentEvents =
        std::make_unique<DocumentEventsController>(m_state, m_ui, m_services.browser, m_services.dialogs);
    m_marking = std::make_unique<MarkingController>(m_state, m_ui, m_services.browser, m_services.dialogs, *m_modes);
    m_locxxx = new TLocxxxF(m_services.dialogs, this);
    m_about =
        new TAboutF({QCoreApplication::arguments().value(0, m_services.exeName), m_services.exeName, m_state.ExeFolder,
                     m_settings->path(), NavigationController::websiteAddress(), m_services.browser.engineVersion()},
                    this);
    m_saveTo = new TSaveToF(*m_locxxx, SystemBeeper(), this);
    m_library = std::make_unique<LibraryController>(m_state, m_ui, m_services.dialogs, *m_locxxx, *this);
    m_libraryFind = std::make_unique<LibraryFindController>(m_ui, m_services.browser, m_services.dialogs, *m_modes,
                                                            *m_navigation, *m_library, *this);
    m_pageMarks = std::make_unique<PageMarksController>(m_ui, m_services.browser, m_services.dialogs, *this);
    m_saving =
        std::make_unique<SaveController>(m_state, m_ui, m_histories, m_services.browser, m_services.dialogs, *m_modes,
                                         *m_navigation, *m_library, *m_saveTo, *m_locxxx, SystemBeeper());
    m_browserSaving = std::make_unique<BrowserSaveController>(m_state, m_ui, m_histories, m_services.browser,
                                                              m_services.dialogs, m_services.desktop, *m_modes,
                                                              *m_navigation, *m_library, SystemBeeper());
    m_clipboardPage =
        std::make_unique<ClipboardPageController>(m_state, m_histories, m_services.browser, m_services.dialogs,
                                                  *m_modes, *m_navigation, *m_saving, SystemBeeper());
    const Desktop &desktop = m_services.desktop;
    m_hostManifests = std::make_unique<NativeHostManifests>(desktop.configHome(), desktop.homeFolder(),
                                                            QFileInfo(m_services.exeName).absolutePath() +
                                                                QStringLiteral("/quillet-clip-host"));
    m_launcher =
        std::make_unique<LauncherController>(m_state, m_ui, m_services.dialogs, m_services.registry, *m_hostManifests);
    m_fileManagement =
        std::make_unique<FileManagementController>(m_state, m_ui, m_histories, m_services.browser, m_services.dialogs,
                                                   *this, *m_locxxx, *m_saving, *m_navigation, *m_library);
    m_lifecycle = std::make_unique<LifecycleController>(m_state, m_ui, m_histories, m_services.browser,
                                                        m_services.dialogs, m_services.desktop, *m_modes, *m_settings,
                                                        *m_marking, *m_navigation, *this);

    m_association = std::make_unique<AssociationController>(m_state, *m_ui.registerMhtMI, m_services.registry,
                                                            m_services.dialogs, m_services.association);

    m_lifecycle->createSettings();
    for (auto &list : m_historyLists)
        list->LoadHistory();
    m_state.BackPosition = 0;
    m_state.NavDirection = 2;
    m_ui.EmodeB->setColor(QColor(255, 0, 0));
    runGuarded(m_services.dialogs, [this] { m_lifecycle->readSettings(); });
    m_state.UserNavigation = false;
    m_ui.ExitMI->setShortcut(QKeySequence(Qt::Key_Escape));
    m_state.EditableExtensions = {QStringLiteral(".mht"), QStringLiteral(".htm"), QStringLiteral(".html"),
                                  QStringLiteral(".eml")};
    m_ui.cg1->setForegroundEnabled(false);
    m_state.ScriptHtmlPath = m_state.ExeFolder + QStringLiteral("/script.html");
    runGuarded(m_services.dialogs, [this] { m_launcher->createLauncher(); });

    connectCommands();
    m_navigation->connectSignals();
    m_documentEvents->connectSignals();
    m_marking->connectCommands();
    m_saving->connectCommands();
    m_browserSaving->connectCommands();
    m_launcher->connectCommands();
    m_fileManagement->connectCommands();
    m_library->connectCommands();
    m_libraryFind->connectCommands();
    m_pageMarks->connectCommands();
    m_ui.Panel1->installEventFilter(this);

    // The chord's Save runs even while the Save menu item is disabled.
    m_saveCommand = new QAction(this);
    connectCommand(m_saveCommand, this, m_services.dialogs, [this] { m_saving->SaveMIClick(); });
    m_keyChords = std::make_unique<KeyChordFilter>(m_state, *m_ui.MarkMI, *m_ui.findtextMI, *m_saveCommand);
    qApp->installEventFilter(m_keyChords.get());
}

TMainF::~TMainF()
{
    if (m_keyChords)
        qApp->removeEventFilter(m_keyChords.get());
}

void TMainF::createHistories()
{
    TMYcustomhistory **targets[] = {&m_histories.startH, &m_histories.allH,  &m_histories.renH,
                                    &m_histories.delH,   &m_histories.backH, &m_histories.MoveH};
    int index = 0;
    for (const HistorySpec &spec : HistorySpecs) {
        auto *host = findChild<QMenu *>(QString(spec.hostObjectName));
        auto list = std::make_unique<TMYcustomhistory>(spec, host, m_services.dialogs, m_state.ExeFolder);
        list->setObjectName(QString(spec.name));
        *targets[index++] = list.get();
        m_historyLists.push_back(std::move(list));
    }
}

void TMainF::forward(QAction *button, QAction *menuItem)
{
    connect(button, &QAction::triggered, menuItem, [menuItem] { menuItem->trigger(); });
}

void TMainF::connectCommands()
{
    Dialogs &dialogs = m_services.dialogs;
    connectCommand(m_ui.ExitMI, this, dialogs, [this] { m_lifecycle->ExitMIClick(); });
    connectCommand(m_ui.AboutMI, this, dialogs, [this] { m_about->exec(); });
    forward(m_ui.ExitB, m_ui.ExitMI);

    auto toggle = [this] { m_modes->editmodetoggle(); };
    connectCommand(m_ui.emodeMI, this, dialogs, toggle);
    // The check mark follows the mode, not the click.
    connect(m_ui.emodeMI, &QAction::triggered, this, [this] { m_ui.emodeMI->setChecked(!m_state.SurfMode); });
    connect(m_ui.EmodeB, &QAbstractButton::clicked, this, [this, toggle] { runGuarded(m_services.dialogs, toggle); });
    connectCommand(m_ui.MHTonlyeditMI, this, dialogs, [this] { m_modes->MHTonlyeditMIClick(); });
    connectCommand(m_ui.autoemMI, this, dialogs, [this] { m_modes->autoemMIClick(); });
    connectCommand(m_ui.registerMhtMI, this, dialogs, [this] { m_association->registerMhtMIClick(); });
    connect(m_ui.URLs, &QLineEdit::textChanged, this,
            [this] { runGuarded(m_services.dialogs, [this] { m_modes->MHTonlyeditUpd(); }); });
    // Said as when the archive is opened from the menu: the reader's reason.
    connect(&m_services.browser, &Browser::NavigationRefused, this,
            [this](const QString &reason) { m_services.dialogs.ShowErrorMsg(reason); });
}

bool TMainF::event(QEvent *event)
{
    if (event->type() == QEvent::StatusTip) {
        m_modes->HintHandler(static_cast<QStatusTipEvent *>(event)->tip());
        return true;
    }
    return QMainWindow::event(event);
}

void TMainF::showEvent(QShowEvent *event)
{
    QMainWindow::showEvent(event);
    m_urlsRightMargin = m_ui.EditModeDisabledHintP->x() + 12;
    m_ui.URLs->resize(m_ui.Panel1->width() - m_ui.URLs->x() - m_urlsRightMargin, m_ui.URLs->height());
}

void TMainF::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    if (m_state.MaximizePending && isVisible()) {
        m_state.MaximizePending = false;
        showMaximized();
    }
}

bool TMainF::eventFilter(QObject *watched, QEvent *event)
{
    // The address box stretches with the panel.
    if (watched == m_ui.Panel1 && event->type() == QEvent::Resize)
        m_ui.URLs->resize(m_ui.Panel1->width() - m_ui.URLs->x() - m_urlsRightMargin, m_ui.URLs->height());
    return QMainWindow::eventFilter(watched, event);
}

void TMainF::FormActivate(const QStringList &arguments)
{
    runGuarded(m_services.dialogs, [&] { m_lifecycle->FormActivate(arguments); });
    m_library->start();
    // After the start-up navigation, so that the new page is the one shown.
    runGuarded(m_services.dialogs, [&] { createSaveTo(arguments); });
}

void TMainF::createSaveTo(const QStringList &arguments)
{
    // A refused folder asks again; every question sets each field the dialog
    // shows anew, as a new dialog would.
    while (m_clipboardPage->FormCreate(*m_saveTo, arguments) == ClipboardPageController::Outcome::AskAgain) {
    }
}

void TMainF::closeEvent(QCloseEvent *event)
{
    // Said once, then the window closes anyway: refusing would leave a
    // settings file that cannot be written (full disk, read-only file) with
    // no way out but killing the program, which saves nothing either.
    if (const FileWriteResult written = m_lifecycle->FormClose(); !written.ok())
        m_services.dialogs.ShowErrorMsg(written.error);
    m_navigation->windowClosed();
    event->accept();
}
