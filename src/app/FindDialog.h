#pragma once

#include <QDialog>

class Browser;
class QCheckBox;
class QLineEdit;
class QPushButton;

// A small non-modal find box over the current page. A failing search is
// ignored: searching is never worth an error dialog.
class FindDialog : public QDialog
{
    Q_OBJECT
public:
    FindDialog(Browser &browser, QWidget *parent = nullptr);

    QLineEdit *textField() const { return m_text; }
    QCheckBox *matchCase() const { return m_matchCase; }
    QPushButton *findNextButton() const { return m_findNext; }

    // Highlights the next match of the field's text; false when there is none
    // or the search failed.
    bool findNext();

private:
    Browser &m_browser;
    QLineEdit *m_text = nullptr;
    QCheckBox *m_matchCase = nullptr;
    QPushButton *m_findNext = nullptr;
};
