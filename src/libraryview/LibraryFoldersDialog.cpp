#include "libraryview/LibraryFoldersDialog.h"

#include "window/FolderChooser.h"

#include <QDialogButtonBox>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

LibraryFoldersDialog::LibraryFoldersDialog(FolderChooser &folders, QWidget *parent)
    : QDialog(parent), m_chooser(folders)
{
    setObjectName(QStringLiteral("LibraryFoldersF"));
    setWindowTitle(QStringLiteral("Library folders"));
    auto *layout = new QVBoxLayout(this);
    auto *intro = new QLabel(QStringLiteral("Quillet finds the archives in these folders and their sub-folders, "
                                            "and those in its histories."),
                             this);
    intro->setWordWrap(true);
    layout->addWidget(intro);

    auto *row = new QHBoxLayout;
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("FoldersLST"));
    row->addWidget(m_list, 1);
    auto *buttons = new QVBoxLayout;
    auto *add = new QPushButton(QStringLiteral("&Add..."), this);
    add->setObjectName(QStringLiteral("AddB"));
    m_remove = new QPushButton(QStringLiteral("&Remove"), this);
    m_remove->setObjectName(QStringLiteral("RemoveB"));
    buttons->addWidget(add);
    buttons->addWidget(m_remove);
    buttons->addStretch(1);
    row->addLayout(buttons);
    layout->addLayout(row, 1);

    auto *box = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    layout->addWidget(box);
    connect(box, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(box, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(add, &QPushButton::clicked, this, &LibraryFoldersDialog::addFolder);
    connect(m_remove, &QPushButton::clicked, this, &LibraryFoldersDialog::removeFolder);
    connect(m_list, &QListWidget::currentRowChanged, this, [this](int row) { m_remove->setEnabled(row >= 0); });
    m_remove->setEnabled(false);
    resize(560, 320);
}

void LibraryFoldersDialog::addItem(const QString &folder)
{
    auto *item = new QListWidgetItem(m_list);
    item->setData(Qt::UserRole, folder);
    if (QFileInfo(folder).isDir()) {
        item->setText(QDir::toNativeSeparators(folder));
        return;
    }
    item->setText(QStringLiteral("%1 (unavailable)").arg(QDir::toNativeSeparators(folder)));
    item->setForeground(palette().brush(QPalette::Disabled, QPalette::Text));
    item->setToolTip(QStringLiteral("The folder cannot be reached now; its archives stay in the library until it is "
                                    "back or you remove it"));
}

void LibraryFoldersDialog::setFolders(const QStringList &folders)
{
    m_list->clear();
    for (const QString &folder : folders)
        addItem(folder);
}

QStringList LibraryFoldersDialog::folders() const
{
    QStringList folders;
    for (int i = 0; i < m_list->count(); ++i)
        folders << m_list->item(i)->data(Qt::UserRole).toString();
    return folders;
}

void LibraryFoldersDialog::addFolder()
{
    const QString start = m_list->currentItem() ? m_list->currentItem()->data(Qt::UserRole).toString() : QString();
    QString folder = m_chooser.chooseFolder(QStringLiteral("Add a library folder"), start);
    if (folder.isEmpty())
        return;
    folder = QDir::cleanPath(folder);
    if (!folders().contains(folder))
        addItem(folder);
    m_list->setCurrentRow(int(folders().indexOf(folder)));
}

void LibraryFoldersDialog::removeFolder()
{
    delete m_list->currentItem();
}
