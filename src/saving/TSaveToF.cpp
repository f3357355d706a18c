#include "saving/TSaveToF.h"

#include "support/FileUtils.h"
#include "support/PathUtils.h"
#include "support/TextUtils.h"
#include "window/FolderChooser.h"

#include <QApplication>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QVBoxLayout>

namespace {

const QColor navy(0x00, 0x00, 0x80);
const QString titleMissing = QStringLiteral("Please enter a title.");

void paintNavy(QWidget *widget, QPalette::ColorRole role)
{
    QPalette palette = widget->palette();
    palette.setColor(role, navy);
    widget->setPalette(palette);
}

// The folder as it goes into a full path: without one trailing "/", so the
// root gives "" and the path still starts with a single "/".
QString folderForPath(QString folder)
{
    if (folder.endsWith(QLatin1Char('/')))
        folder.chop(1);
    return folder;
}

} // namespace

TSaveToF::TSaveToF(FolderChooser &locationChooser, const Beeper &beep, QWidget *parent)
    : QDialog(parent), m_locationChooser(locationChooser), m_beep(beep)
{
    setObjectName(QStringLiteral("TSaveToF"));
    setWindowTitle(QStringLiteral("Save to..."));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    resize(792, 566);

    GroupBox1 = new QGroupBox(QStringLiteral("Folder"), this);
    GroupBox1->setObjectName(QStringLiteral("GroupBox1"));
    Label2 = new QLabel(QStringLiteral("Click folder from history:"), GroupBox1);
    Label2->setObjectName(QStringLiteral("Label2"));
    browseB = new QPushButton(QStringLiteral("or Browse..."), GroupBox1);
    browseB->setObjectName(QStringLiteral("browseB"));
    browseB->setAutoDefault(false);
    hisfolderLST = new QListWidget(GroupBox1);
    hisfolderLST->setObjectName(QStringLiteral("hisfolderLST"));
    hisfolderLST->setSelectionMode(QAbstractItemView::SingleSelection);
    dirE = new QLineEdit(GroupBox1);
    dirE->setObjectName(QStringLiteral("dirE"));
    paintNavy(dirE, QPalette::Text);

    auto *historyRow = new QHBoxLayout;
    historyRow->addWidget(Label2);
    historyRow->addStretch();
    historyRow->addWidget(browseB);
    auto *folderLayout = new QVBoxLayout(GroupBox1);
    folderLayout->addLayout(historyRow);
    folderLayout->addWidget(hisfolderLST, 1);
    folderLayout->addWidget(dirE);

    GroupBox2 = new QGroupBox(QStringLiteral("Title"), this);
    GroupBox2->setObjectName(QStringLiteral("GroupBox2"));
    NameE = new QLineEdit(GroupBox2);
    NameE->setObjectName(QStringLiteral("NameE"));
    paintNavy(NameE, QPalette::Text);
    auto *titleLayout = new QVBoxLayout(GroupBox2);
    titleLayout->addWidget(NameE);

    Label1 = new QLabel(QStringLiteral("Complete file path:"), this);
    Label1->setObjectName(QStringLiteral("Label1"));

    ffnL = new QLabel(QStringLiteral("<Chosen folder and file path...>"), this);
    ffnL->setObjectName(QStringLiteral("ffnL"));
    // Folder and file names are shown as they are, never as markup.
    ffnL->setTextFormat(Qt::PlainText);
    ffnL->setWordWrap(true);
    // A long path must not widen the dialog.
    ffnL->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    // A buddy makes the label read "&&" as one "&", which is why the path is
    // shown through MenuText.
    ffnL->setBuddy(NameE);
    QFont bold = ffnL->font();
    bold.setBold(true);
    ffnL->setFont(bold);
    paintNavy(ffnL, QPalette::WindowText);

    SaveB = new QPushButton(QStringLiteral("Save"), this);
    SaveB->setObjectName(QStringLiteral("SaveB"));
    SaveB->setDefault(true);
    CancelB = new QPushButton(QStringLiteral("Cancel"), this);
    CancelB->setObjectName(QStringLiteral("CancelB"));
    CancelB->setAutoDefault(false);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SaveB);
    buttons->addWidget(CancelB);

    stb = new QStatusBar(this);
    stb->setObjectName(QStringLiteral("stb"));
    stb->setSizeGripEnabled(false);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);

    // The layout keeps the 16-pixel side margins and lets the folder box take
    // every change of height, with the buttons staying near the bottom edge.
    auto *content = new QVBoxLayout;
    content->setContentsMargins(16, 8, 16, 8);
    content->addWidget(GroupBox1, 1);
    content->addWidget(GroupBox2);
    content->addWidget(Label1);
    content->addWidget(ffnL);
    content->addSpacing(8);
    content->addLayout(buttons);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(content, 1);
    layout->addWidget(stb);

    connect(hisfolderLST, &QListWidget::itemSelectionChanged, this, &TSaveToF::hisfolderLSTClick);
    connect(hisfolderLST, &QListWidget::itemClicked, this, &TSaveToF::hisfolderLSTClick);
    connect(browseB, &QPushButton::clicked, this, &TSaveToF::browseBClick);
    connect(dirE, &QLineEdit::textChanged, this, &TSaveToF::dirEChange);
    connect(NameE, &QLineEdit::textChanged, this, &TSaveToF::NameEChange);
    connect(SaveB, &QPushButton::clicked, this, &TSaveToF::SaveBClick);
    connect(CancelB, &QPushButton::clicked, this, &TSaveToF::CancelBClick);
    connect(Timer1, &QTimer::timeout, this, &TSaveToF::Timer1Timer);
}

bool TSaveToF::choose(const Request &request, QString &folder, QString &name)
{
    setWindowTitle(request.caption.isEmpty() ? QStringLiteral("Save to...") : request.caption);
    setFolders(request.folders);
    setDefaultSaveFolder(request.startFolder);
    // A note about an earlier title must not look like one about this one.
    stb->clearMessage();
    NameE->setText(request.title);
    NameE->setFocus();
    if (exec() != QDialog::Accepted)
        return false;
    folder = SaveToFolder;
    name = SaveToName;
    return true;
}

void TSaveToF::setFolders(const QStringList &folders)
{
    const QSignalBlocker blocker(hisfolderLST);
    hisfolderLST->clear();
    hisfolderLST->addItems(folders);
    hisfolderLST->clearSelection();
}

void TSaveToF::showEvent(QShowEvent *event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous())
        FormShow();
}

void TSaveToF::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        event->accept();
        CancelBClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TSaveToF::FormShow()
{
    dirE->setText(m_defaultSaveFolder);
    const QSignalBlocker blocker(hisfolderLST);
    hisfolderLST->clearSelection();
    hisfolderLST->setCurrentRow(-1);
}

void TSaveToF::hisfolderLSTClick()
{
    const QList<QListWidgetItem *> selected = hisfolderLST->selectedItems();
    if (!selected.isEmpty())
        dirE->setText(selected.first()->text());
}

void TSaveToF::browseBClick()
{
    QString start = dirE->text();
    StripBackslash(start);
    if (!IsDirectory(start))
        start = m_defaultSaveFolder;
    QString chosen = m_locationChooser.chooseFolder(QStringLiteral("Give destination to save to."), start);
    if (chosen.isEmpty())
        return;
    StripBackslash(chosen);
    dirE->setText(chosen);
}

void TSaveToF::dirEChange()
{
    // Path separators stay; the field takes the mapping without a word.
    const QString mapped = SafeFileName(dirE->text(), true);
    if (mapped != dirE->text()) {
        const int caret = dirE->cursorPosition();
        dirE->setText(mapped);
        dirE->setCursorPosition(caret);
    }
    SaveToFolder = dirE->text();
    updateFullPath();
}

void TSaveToF::NameEChange()
{
    const int caret = NameE->cursorPosition();
    const QString mapped = SafeFileName(NameE->text(), false);
    if (mapped != NameE->text()) {
        // Re-enters this handler, which then finds nothing left to map.
        NameE->setText(mapped);
        NameE->setCursorPosition(caret);
        if (m_beep)
            m_beep();
        stb->showMessage(QStringLiteral("A forbidden character was entered. We chose a better alternative."));
    } else if (!NameE->text().trimmed().isEmpty() && stb->currentMessage() == titleMissing) {
        // The request for a title is answered.
        stb->clearMessage();
    }
    SaveToName = NameE->text();
    updateFullPath();
}

void TSaveToF::updateFullPath()
{
    ffnL->setText(MenuText(folderForPath(dirE->text())) + QLatin1Char('/') + MenuText(NameE->text()) +
                  QStringLiteral(".mht"));
}

void TSaveToF::SaveBClick()
{
    // An empty title would write a file named only ".mht"; the dialog stays
    // open so the user can give one.
    if (NameE->text().trimmed().isEmpty()) {
        stb->showMessage(titleMissing);
        NameE->setFocus();
        return;
    }
    accept();
}

void TSaveToF::CancelBClick()
{
    reject();
}

void TSaveToF::startTimer1()
{
    Timer1->start();
}

void TSaveToF::Timer1Timer()
{
    Timer1->stop();
    // The message is closed itself: a key press would go to whatever window
    // has the focus by now.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget *window : windows) {
        auto *box = qobject_cast<QMessageBox *>(window);
        if (box && box->isVisible() && box->text() == AutoSavingText && box->buttons().size() == 1) {
            box->buttons().first()->click();
            return;
        }
    }
}
