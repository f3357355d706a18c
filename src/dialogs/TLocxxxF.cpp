#include "dialogs/TLocxxxF.h"

#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"

#include <QComboBox>
#include <QDir>
#include <QFileSystemModel>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QStorageInfo>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>

TLocxxxF::TLocxxxF(Dialogs &dialogs, QWidget *parent) : QDialog(parent), m_dialogs(dialogs)
{
    setObjectName(QStringLiteral("TLocxxxF"));
    setWindowTitle(QStringLiteral("Search Location "));
    resize(489, 334);

    m_folders = new QFileSystemModel(this);
    m_folders->setFilter(QDir::AllDirs | QDir::Drives | QDir::NoDotAndDotDot);
    m_folders->setReadOnly(true);
    // Setting the root path starts the model's file-system watcher, which
    // keeps the tree current when folders come and go.
    m_folders->setRootPath(QStringLiteral("/"));

    ST1 = new QTreeView(this);
    ST1->setObjectName(QStringLiteral("ST1"));
    ST1->setModel(m_folders);
    ST1->setHeaderHidden(true);
    for (int column = 1; column < m_folders->columnCount(); ++column)
        ST1->hideColumn(column);
    ST1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ST1->setSelectionMode(QAbstractItemView::SingleSelection);

    // Never seen: it follows the tree and turns its folder into the text of
    // the location field.
    DirectoryListBox1 = new QListWidget(this);
    DirectoryListBox1->setObjectName(QStringLiteral("DirectoryListBox1"));
    DirectoryListBox1->hide();

    driCB = new QComboBox(this);
    driCB->setObjectName(QStringLiteral("driCB"));
    QList<QStorageInfo> volumes = QStorageInfo::mountedVolumes();
    std::sort(volumes.begin(), volumes.end(),
              [](const QStorageInfo &a, const QStorageInfo &b) { return a.rootPath() < b.rootPath(); });
    for (const QStorageInfo &volume : volumes) {
        if (!volume.isValid() || !volume.isReady() || !IsDirectory(volume.rootPath()))
            continue;
        const QString root = volume.rootPath();
        const QString name = volume.displayName();
        driCB->addItem(name == root ? root : name + QStringLiteral("  (") + root + QLatin1Char(')'), root);
    }
    if (driCB->findData(QStringLiteral("/")) < 0)
        driCB->insertItem(0, QStringLiteral("/"), QStringLiteral("/"));

    Label2 = new QLabel(QStringLiteral("Resulting location:"), this);
    Label2->setObjectName(QStringLiteral("Label2"));
    QFont bold = Label2->font();
    bold.setBold(true);
    Label2->setFont(bold);

    locxxxE = new QLineEdit(this);
    locxxxE->setObjectName(QStringLiteral("locxxxE"));
    Label2->setBuddy(locxxxE);

    resultL = new QLabel(this);
    resultL->setObjectName(QStringLiteral("resultL"));
    resultL->hide();

    SavelocB = new QPushButton(QStringLiteral("&Ok"), this);
    SavelocB->setObjectName(QStringLiteral("SavelocB"));
    CancelB = new QPushButton(QStringLiteral("&Cancel"), this);
    CancelB->setObjectName(QStringLiteral("CancelB"));
    CancelB->setAutoDefault(false);
    SavelocB->setDefault(true);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(SavelocB);
    buttons->addWidget(CancelB);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(driCB);
    layout->addWidget(ST1, 1);
    layout->addWidget(DirectoryListBox1);
    layout->addWidget(Label2);
    layout->addWidget(locxxxE);
    layout->addWidget(resultL);
    layout->addLayout(buttons);

    connect(ST1->selectionModel(), &QItemSelectionModel::currentChanged, this,
            [this](const QModelIndex &current) { ST1Change(current); });
    connect(driCB, &QComboBox::currentIndexChanged, this, &TLocxxxF::driCBChange);
    connect(SavelocB, &QPushButton::clicked, this, &TLocxxxF::SavelocBClick);
    connect(CancelB, &QPushButton::clicked, this, &TLocxxxF::CancelBClick);
}

QString TLocxxxF::chooseFolder(const QString &caption, const QString &startFolder)
{
    setWindowTitle(caption);
    return chooseFolder(startFolder);
}

QString TLocxxxF::chooseFolder(const QString &startFolder)
{
    resultL->clear();
    if (IsDirectory(startFolder))
        setTreePath(startFolder);
    locxxxE->setText(startFolder);
    locxxxE->setFocus();
    if (exec() != QDialog::Accepted)
        return QString();
    return resultL->text();
}

QString TLocxxxF::treePath() const
{
    const QModelIndex current = ST1->currentIndex();
    return current.isValid() ? m_folders->filePath(current) : QString();
}

void TLocxxxF::setTreePath(const QString &path)
{
    const QModelIndex index = m_folders->index(path);
    if (!index.isValid())
        return;
    ST1->setCurrentIndex(index);
    ST1->scrollTo(index);
}

void TLocxxxF::setListDirectory(const QString &path)
{
    const QString directory = QDir::cleanPath(QDir(path).absolutePath());
    if (directory == m_listDirectory)
        return;
    m_listDirectory = directory;
    DirectoryListBox1->clear();
    DirectoryListBox1->addItems(QDir(directory).entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name));
    DirectoryListBox1Change();
}

QString TLocxxxF::resultText() const
{
    return resultL->text();
}

void TLocxxxF::SavelocBClick()
{
    const QString location = locxxxE->text();
    if (location.isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("No directory selected!"));
        resultL->clear();
        accept();
        return;
    }
    // The root is the one complete location shorter than two characters.
    if (location.size() < 2 && location != QStringLiteral("/")) {
        m_dialogs.ShowMsg(QStringLiteral("Invalid, need at least 2 characters!"));
        return;
    }
    // There are no drive names to cut the text down to: every character counts.
    const QString candidate = location;
    resultL->setText(candidate);
    // A relative path would name a folder of whatever the working directory
    // happens to be, so only an absolute one counts as an existing folder.
    const bool isFolder = QDir::isAbsolutePath(candidate) && PathKind(candidate) == 'd';
    if (!isFolder) {
        if (m_dialogs.AskYesNo(QStringLiteral("Chosen location is invalid or does not exist. I try to create it??"))) {
            if (ForceDir(candidate))
                m_dialogs.ShowMsg(QStringLiteral("Creation succesfull"));
            else
                m_dialogs.ShowErrorMsg(QStringLiteral("Unable to create ") + candidate +
                                       QStringLiteral(". Probably invalid drive or not writable!") +
                                       QStringLiteral(" accept it anyway??"));
        } else if (!m_dialogs.AskYesNo(QStringLiteral("Accept the path anyway??"))) {
            return;
        }
    }
    QString accepted = resultL->text();
    StripBackslash(accepted);
    resultL->setText(accepted);
    accept();
}

void TLocxxxF::CancelBClick()
{
    reject();
}

void TLocxxxF::ST1Change(const QModelIndex &current)
{
    const QString path = current.isValid() ? m_folders->filePath(current) : QString();
    if (path.isEmpty())
        return;
    setListDirectory(path);
    showVolumeOf(path);
}

void TLocxxxF::DirectoryListBox1Change()
{
    locxxxE->setText(m_listDirectory);
}

void TLocxxxF::driCBChange(int index)
{
    setTreePath(driCB->itemData(index).toString());
}

void TLocxxxF::showVolumeOf(const QString &path)
{
    const int index = driCB->findData(QStorageInfo(path).rootPath());
    if (index < 0)
        return;
    // Following the tree must not move the tree back to the volume's root.
    const QSignalBlocker blocker(driCB);
    driCB->setCurrentIndex(index);
}
