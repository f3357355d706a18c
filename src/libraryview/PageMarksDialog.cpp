#include "libraryview/PageMarksDialog.h"

#include "libraryview/MarkSwatch.h"

#include <QLabel>
#include <QListWidget>
#include <QVBoxLayout>

PageMarksDialog::PageMarksDialog(QWidget *parent) : QDialog(parent, Qt::Tool)
{
    setObjectName(QStringLiteral("PageMarksF"));
    setWindowTitle(QStringLiteral("Marks of this page"));
    auto *layout = new QVBoxLayout(this);
    m_none = new QLabel(QStringLiteral("This page has no marks."), this);
    layout->addWidget(m_none);
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("PageMarksLST"));
    m_list->setWordWrap(true);
    m_list->setTextElideMode(Qt::ElideNone);
    layout->addWidget(m_list, 1);
    connect(m_list, &QListWidget::itemClicked, this,
            [this](QListWidgetItem *item) { Q_EMIT markChosen(m_list->row(item)); });
    connect(m_list, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { Q_EMIT markChosen(m_list->row(item)); });
    resize(420, 480);
}

void PageMarksDialog::setMarks(const QList<LibraryMark> &marks)
{
    m_list->clear();
    for (const LibraryMark &mark : marks) {
        auto *item = new QListWidgetItem(MarkSwatch(mark.colour), mark.text, m_list);
        QFont font = m_list->font();
        font.setBold(mark.bold);
        font.setItalic(mark.italic);
        font.setUnderline(mark.underline);
        item->setFont(font);
        item->setToolTip(mark.colourName.isEmpty() ? mark.colour : mark.colourName);
    }
    m_none->setVisible(marks.isEmpty());
    m_list->setVisible(!marks.isEmpty());
}
