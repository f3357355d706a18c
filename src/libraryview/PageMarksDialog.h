#pragma once

#include "library/PageMarks.h"

#include <QDialog>
#include <QList>

class QLabel;
class QListWidget;

// Edit > "Marks of this page...": the marks of the open page in their order,
// each with its colour; choosing one (a click, Enter) asks for it in the page.
// It stays open beside the window, so the user can go from mark to mark.
class PageMarksDialog : public QDialog
{
    Q_OBJECT
public:
    explicit PageMarksDialog(QWidget *parent = nullptr);

    void setMarks(const QList<LibraryMark> &marks);

Q_SIGNALS:
    void markChosen(int row);

private:
    QListWidget *m_list = nullptr;
    QLabel *m_none = nullptr;
};
