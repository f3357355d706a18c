#pragma once

#include "support/Dialogs.h"

#include <cstdio>

// Dialogs for command-line programs: every message goes to a stream (stderr
// by default) and is answered with its default button; there is nobody to
// ask, so every other dialog reads as cancelled.
class ConsoleDialogs : public Dialogs
{
public:
    explicit ConsoleDialogs(std::FILE *stream = stderr) : m_stream(stream) {}

    Answer message(Kind kind, const QString &caption, const QString &text, Buttons buttons,
                   Answer defaultAnswer) override;
    std::optional<QString> inputQuery(const QString &, const QString &, const QString &) override { return {}; }
    QString openFileName(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFileName(const QString &, const QString &, const QString &, QString *) override { return {}; }
    std::optional<std::uint32_t> chooseColor(std::uint32_t) override { return {}; }
    std::optional<FontChoice> chooseFont() override { return {}; }

private:
    std::FILE *m_stream;
};
