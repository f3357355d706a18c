#include "dialogs/TAboutF.h"

#include "support/FileUtils.h"

#include <QAction>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtGlobal>

namespace {
const QString Version = QStringLiteral("Version 5.0");

QFont arial(int pixels, bool bold = false)
{
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}
} // namespace

TAboutF::TAboutF(Facts facts, QWidget *parent) : QDialog(parent), m_facts(std::move(facts))
{
    setObjectName(QStringLiteral("TAboutF"));
    setWindowTitle(QStringLiteral("About..."));
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                   Qt::WindowCloseButtonHint);
    setFixedSize(481, 298);
    setFont(arial(11));

    ProgramL = new QLabel(this);
    ProgramL->setObjectName(QStringLiteral("ProgramL"));
    ProgramL->setFont(arial(20, true));
    ProgramL->setGeometry(24, 24, 433, 28);

    VersionL = new QLabel(this);
    VersionL->setObjectName(QStringLiteral("VersionL"));
    VersionL->setGeometry(24, 56, 433, 16);

    aboutM = new QPlainTextEdit(this);
    aboutM->setObjectName(QStringLiteral("aboutM"));
    aboutM->setReadOnly(true);
    aboutM->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    aboutM->setLineWrapMode(QPlainTextEdit::NoWrap);
    QFont courier(QStringLiteral("Courier"));
    courier.setStyleHint(QFont::Monospace);
    courier.setPixelSize(9);
    aboutM->setFont(courier);
    QPalette silver = aboutM->palette();
    silver.setColor(QPalette::Base, QColor(192, 192, 192));
    aboutM->setPalette(silver);
    aboutM->setGeometry(24, 80, 433, 161);

    CloseB = new QPushButton(QStringLiteral("Close"), this);
    CloseB->setObjectName(QStringLiteral("CloseB"));
    CloseB->setGeometry(384, 258, 75, 25);
    connect(CloseB, &QPushButton::clicked, this, &TAboutF::CloseBClick);

    // Never shown: it only carries the shortcut.
    HiddenMI = new QMenu(QStringLiteral("Hidden"), this);
    HiddenMI->setObjectName(QStringLiteral("HiddenMI"));
    ShowbuildMI = HiddenMI->addAction(QStringLiteral("Showbuild"));
    ShowbuildMI->setObjectName(QStringLiteral("ShowbuildMI"));
    ShowbuildMI->setShortcut(QKeySequence(Qt::CTRL | Qt::ALT | Qt::Key_B));
    addAction(ShowbuildMI);
    connect(ShowbuildMI, &QAction::triggered, this, &TAboutF::ShowbuildMIClick);

    FormCreate();
}

void TAboutF::FormCreate()
{
    ProgramL->setText(QStringLiteral("Quillet"));
    VersionL->setText(Version);
    aboutM->setPlainText(
        QStringLiteral("Quillet keeps and annotates web pages: browse,\n"
                       "open web archives (.mht), mark text in edit mode\n"
                       "and save the marks back into the archive.\n\n") +
        (m_facts.website.isEmpty() ? QString() : QStringLiteral("Web site:        ") + m_facts.website + u'\n') +
        QStringLiteral("Licence:         MIT\n\n") + QStringLiteral("Qt:              ") +
        QString::fromLatin1(qVersion()) + QLatin1Char('\n') + QStringLiteral("Browser engine:  ") +
        m_facts.engineVersion + QLatin1Char('\n') + QStringLiteral("Program folder:  ") + m_facts.programFolder +
        QLatin1Char('\n') + QStringLiteral("Settings file:   ") + m_facts.settingsFile + QLatin1Char('\n'));
}

void TAboutF::CloseBClick()
{
    done(QDialog::Accepted);
}

void TAboutF::keyPressEvent(QKeyEvent *event)
{
    // Escape ends the box just as Close does.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        CloseBClick();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TAboutF::ShowbuildMIClick()
{
    showbuild();
}

void TAboutF::showbuild()
{
    VersionL->setText(Version + QStringLiteral(" (") + m_facts.startedAs + QLatin1Char(' ') +
                      PathDateStr(m_facts.programFile) + QLatin1Char(')'));
}
