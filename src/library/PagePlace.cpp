#include "library/PagePlace.h"

#include "library/LibraryTokenizer.h"

namespace {

// White space as the engine's scripts take it.
bool isSpace(QChar c)
{
    return c.isSpace() || c == u'\uFEFF';
}

QString withoutSpace(QStringView text)
{
    QString packed;
    packed.reserve(text.size());
    for (const QChar c : text) {
        if (!isSpace(c))
            packed += c;
    }
    return packed;
}

bool wordCharacter(QStringView text, qsizetype i)
{
    return i >= 0 && i < text.size() && text[i].isLetterOrNumber() && !LibraryTokenizer::isUnspaced(text[i].unicode());
}

} // namespace

PagePlace PagePlace::at(const QString &pageText, qsizetype start, qsizetype length)
{
    PagePlace place{pageText.mid(start, length)};
    const QString wanted = withoutSpace(place.text);
    const QString before = withoutSpace(QStringView(pageText).left(start));
    // The page's text up to the passage's end holds every place that starts before it.
    const QString packed = before + withoutSpace(QStringView(pageText).mid(start, length));
    for (qsizetype found = packed.indexOf(wanted); found >= 0 && found < before.size();
         found = packed.indexOf(wanted, found + 1))
        ++place.occurrence;
    return place;
}

std::optional<PagePlace> PagePlace::ofWord(const QString &pageText, const QString &word)
{
    if (word.trimmed().isEmpty())
        return std::nullopt;
    for (const Qt::CaseSensitivity cs : {Qt::CaseSensitive, Qt::CaseInsensitive}) {
        for (qsizetype pos = pageText.indexOf(word, 0, cs); pos >= 0; pos = pageText.indexOf(word, pos + 1, cs)) {
            const bool startsWord = !wordCharacter(pageText, pos) || !wordCharacter(pageText, pos - 1);
            const qsizetype end = pos + word.size();
            const bool endsWord = !wordCharacter(pageText, end - 1) || !wordCharacter(pageText, end);
            if (startsWord && endsWord)
                return PagePlace::at(pageText, pos, word.size());
        }
    }
    // The engine joins the lines of an 8bit part that the archive's text keeps apart.
    if (const qsizetype pos = pageText.indexOf(word, 0, Qt::CaseInsensitive); pos >= 0)
        return PagePlace::at(pageText, pos, word.size());
    return std::nullopt;
}
