#include "dialogs/QtDialogs.h"

#include <QAbstractButton>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDialog>
#include <QInputDialog>
#include <QMap>
#include <QMessageBox>
#include <QPushButton>

QWidget *QtDialogs::owner() const
{
    if (QWidget *modal = QApplication::activeModalWidget())
        return modal;
    return m_parent;
}

QtDialogs::QtDialogs(QWidget *parent) : m_parent(parent)
{
}

Dialogs::Answer QtDialogs::message(Kind kind, const QString &caption, const QString &text, Buttons buttons,
                                   Answer defaultAnswer)
{
    QMessageBox box(owner());
    box.setWindowTitle(caption);
    box.setText(text);
    box.setTextFormat(Qt::PlainText);
    switch (kind) {
    case Kind::Plain:
        box.setIcon(QMessageBox::NoIcon);
        break;
    case Kind::Error:
        box.setIcon(QMessageBox::Critical);
        break;
    case Kind::Warning:
    case Kind::Confirm:
        box.setIcon(QMessageBox::Warning);
        break;
    case Kind::Information:
        box.setIcon(QMessageBox::Information);
        break;
    }

    QMap<QAbstractButton *, Answer> answers;
    auto add = [&](const QString &label, QMessageBox::ButtonRole role, Answer answer) {
        QPushButton *button = box.addButton(label, role);
        answers.insert(button, answer);
        return button;
    };
    QPushButton *escapeButton = nullptr;
    switch (buttons) {
    case Buttons::Ok:
        escapeButton = add(QStringLiteral("OK"), QMessageBox::AcceptRole, Answer::Ok);
        break;
    case Buttons::YesNo:
        add(QStringLiteral("&Yes"), QMessageBox::YesRole, Answer::Yes);
        escapeButton = add(QStringLiteral("&No"), QMessageBox::NoRole, Answer::No);
        break;
    case Buttons::YesNoCancel:
        add(QStringLiteral("&Yes"), QMessageBox::YesRole, Answer::Yes);
        add(QStringLiteral("&No"), QMessageBox::NoRole, Answer::No);
        escapeButton = add(QStringLiteral("Cancel"), QMessageBox::RejectRole, Answer::Cancel);
        break;
    case Buttons::OkCancel:
        add(QStringLiteral("OK"), QMessageBox::AcceptRole, Answer::Ok);
        escapeButton = add(QStringLiteral("Cancel"), QMessageBox::RejectRole, Answer::Cancel);
        break;
    }
    // A confirmation never defaults to going ahead.
    if (kind == Kind::Confirm && answers.values().contains(Answer::No))
        defaultAnswer = Answer::No;
    for (auto it = answers.cbegin(); it != answers.cend(); ++it) {
        if (it.value() == defaultAnswer)
            box.setDefaultButton(static_cast<QPushButton *>(it.key()));
    }
    box.setEscapeButton(escapeButton);
    box.exec();
    // Closing the box any other way counts as its escape button.
    return answers.value(box.clickedButton(), answers.value(escapeButton));
}

std::optional<QString> QtDialogs::inputQuery(const QString &caption, const QString &prompt, const QString &value)
{
    bool ok = false;
    const QString text = QInputDialog::getText(owner(), caption, prompt, QLineEdit::Normal, value, &ok);
    if (!ok)
        return std::nullopt;
    return text;
}

namespace {
// A folder that is not there would start the dialog in the working folder,
// or put the folder's name into the file name box: the home folder instead.
QString existingFolder(const QString &folder)
{
    return folder.isEmpty() || QFileInfo(folder).isDir() ? folder : QDir::homePath();
}
} // namespace

QString QtDialogs::openFileName(const QString &caption, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(owner(), caption, existingFolder(folder), filter);
}

QString QtDialogs::saveFileName(const QString &caption, const QString &path, const QString &filter,
                                QString *selectedFilter)
{
    const QFileInfo proposal(path);
    const QString start = path.isEmpty() || proposal.isDir()
                              ? path
                              : existingFolder(proposal.path()) + QLatin1Char('/') + proposal.fileName();
    return QFileDialog::getSaveFileName(owner(), caption, start, filter, selectedFilter);
}

std::optional<std::uint32_t> QtDialogs::chooseColor(std::uint32_t initial)
{
    Q_UNUSED(initial)
    const QColor color = QColorDialog::getColor(m_lastColor, owner());
    if (!color.isValid())
        return std::nullopt;
    m_lastColor = color;
    return std::uint32_t(color.red()) | std::uint32_t(color.green()) << 8 | std::uint32_t(color.blue()) << 16;
}

std::optional<Dialogs::FontChoice> QtDialogs::chooseFont()
{
    bool ok = false;
    const QFont font = QFontDialog::getFont(&ok, owner());
    if (!ok)
        return std::nullopt;
    FontChoice choice;
    choice.family = font.family();
    choice.pointSize = font.pointSize();
    choice.bold = font.bold();
    choice.italic = font.italic();
    choice.underline = font.underline();
    choice.strikeOut = font.strikeOut();
    return choice;
}
