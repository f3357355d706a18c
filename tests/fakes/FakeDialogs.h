#pragma once

#include "support/Dialogs.h"

#include <QList>
#include <QQueue>

// Records every box shown and answers from queues; an empty queue answers
// like a user pressing Escape.
class FakeDialogs : public Dialogs
{
public:
    struct Shown
    {
        Kind kind;
        QString caption;
        QString text;
        Buttons buttons;
    };

    QList<Shown> shown;
    QQueue<Answer> answers;
    QQueue<std::optional<QString>> inputs;
    QQueue<QString> fileNames;
    // The filter each save dialog answers with; none leaves the caller's choice.
    QQueue<QString> selectedFilters;
    QQueue<std::optional<std::uint32_t>> colors;
    QQueue<std::optional<FontChoice>> fonts;
    // Captions and initial values of the input and file dialogs asked for.
    QStringList asked;

    Answer message(Kind kind, const QString &caption, const QString &text, Buttons buttons,
                   Answer defaultAnswer) override;
    std::optional<QString> inputQuery(const QString &caption, const QString &prompt, const QString &value) override;
    QString openFileName(const QString &caption, const QString &folder, const QString &filter) override;
    QString saveFileName(const QString &caption, const QString &path, const QString &filter,
                         QString *selectedFilter = nullptr) override;
    std::optional<std::uint32_t> chooseColor(std::uint32_t initial) override;
    std::optional<FontChoice> chooseFont() override;

    QStringList texts() const;
    QString lastText() const { return shown.isEmpty() ? QString() : shown.last().text; }
};
