#pragma once

#include "support/Dialogs.h"

#include <QColor>
#include <QPointer>
#include <QWidget>

// The real dialogs: Qt message boxes, input box, file, colour and font
// dialogs, all modal.
class QtDialogs : public Dialogs
{
public:
    // parent may be null; the boxes then centre on the screen.
    explicit QtDialogs(QWidget *parent = nullptr);

    // The window the boxes belong to when no dialog is open; set once the main
    // window exists, so the window manager keeps every box above it.
    void setParentWidget(QWidget *parent) { m_parent = parent; }

    Answer message(Kind kind, const QString &caption, const QString &text, Buttons buttons,
                   Answer defaultAnswer) override;
    std::optional<QString> inputQuery(const QString &caption, const QString &prompt, const QString &value) override;
    QString openFileName(const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &path, const QString &filter,
                         QString *selectedFilter = nullptr) override;
    // The dialog opens on the colour last chosen in it during this run
    // (black at first), not on initial: that is how the marking colour
    // dialog behaves.
    std::optional<std::uint32_t> chooseColor(std::uint32_t initial) override;
    std::optional<FontChoice> chooseFont() override;

private:
    // The open modal dialog, else the parent window.
    QWidget *owner() const;

    QPointer<QWidget> m_parent;
    QColor m_lastColor = Qt::black;
};
