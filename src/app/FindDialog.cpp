#include "app/FindDialog.h"

#include "browser/Browser.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <exception>

FindDialog::FindDialog(Browser &browser, QWidget *parent) : QDialog(parent), m_browser(browser)
{
    setObjectName(QStringLiteral("FindDialog"));
    setWindowTitle(QStringLiteral("Find"));
    setModal(false);

    m_text = new QLineEdit(this);
    m_text->setObjectName(QStringLiteral("FindTextE"));
    m_matchCase = new QCheckBox(QStringLiteral("Match &case"), this);
    m_matchCase->setObjectName(QStringLiteral("MatchCaseCB"));
    m_findNext = new QPushButton(QStringLiteral("&Find next"), this);
    m_findNext->setObjectName(QStringLiteral("FindNextB"));
    m_findNext->setDefault(true);
    auto *close = new QPushButton(QStringLiteral("Close"), this);
    close->setObjectName(QStringLiteral("CloseB"));

    auto *row = new QHBoxLayout;
    row->addWidget(new QLabel(QStringLiteral("Fi&nd what:"), this));
    row->addWidget(m_text, 1);
    row->addWidget(m_findNext);
    auto *lower = new QHBoxLayout;
    lower->addWidget(m_matchCase);
    lower->addStretch(1);
    lower->addWidget(close);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addLayout(lower);

    connect(m_findNext, &QPushButton::clicked, this, [this] { findNext(); });
    connect(m_text, &QLineEdit::returnPressed, this, [this] { findNext(); });
    connect(close, &QPushButton::clicked, this, &QDialog::hide);
}

bool FindDialog::findNext()
{
    if (m_text->text().isEmpty())
        return false;
    try {
        return m_browser.findText(m_text->text(), false, m_matchCase->isChecked());
    } catch (const std::exception &) {
        return false;
    }
}
