#pragma once

#include <QString>

#include <optional>

// A passage of a page as Browser::selectText finds it again: its text, and
// how many places of the page's text before it read the same, white space
// left out on both sides (the page's HTML breaks lines where the engine's
// text nodes have none).
struct PagePlace
{
    QString text;
    int occurrence = 0;

    // The passage [start, start + length) of a page's text.
    static PagePlace at(const QString &pageText, qsizetype start, qsizetype length);
    // The first place where word stands as a word of its own, not inside a
    // longer one (in unspaced scripts anywhere): as written, else in any
    // case; failing both, the first place in any case inside other words.
    // None when the text does not hold it.
    static std::optional<PagePlace> ofWord(const QString &pageText, const QString &word);
};
