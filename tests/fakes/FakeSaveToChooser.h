#pragma once

#include "saving/SaveToChooser.h"

#include <QList>
#include <QQueue>

#include <optional>

// Records every request and answers from a queue of choices; an empty queue
// answers like a user pressing Cancel.
class FakeSaveToChooser : public SaveToChooser
{
public:
    struct Choice
    {
        QString folder;
        QString name;
    };

    QList<Request> requests;
    // nullopt answers Cancel.
    QQueue<std::optional<Choice>> choices;

    int timerStarts = 0;

    bool choose(const Request &request, QString &folder, QString &name) override;
    void startTimer1() override { ++timerStarts; }
};
