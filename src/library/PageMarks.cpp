#include "library/PageMarks.h"

#include "library/MarkColour.h"

namespace {

bool endsSentence(const QString &text, qsizetype i)
{
    const char16_t c = text[i].unicode();
    if (c == u'\n' || c == u'\u3002' || c == u'\uFF01' || c == u'\uFF1F')
        return true;
    // "3.5" and "e.g.x" go on; a stop before a space or the end does not.
    return (c == u'.' || c == u'!' || c == u'?') && (i + 1 >= text.size() || text[i + 1].isSpace());
}

bool isBlank(QStringView text)
{
    for (const QChar c : text) {
        if (!c.isSpace())
            return false;
    }
    return true;
}

} // namespace

QString PageMarks::sentenceAround(const QString &text, qsizetype start, qsizetype length)
{
    qsizetype from = start;
    const qsizetype earliest = qMax<qsizetype>(0, start - LongestContext);
    while (from > earliest && !endsSentence(text, from - 1))
        --from;
    bool cutBefore = from == earliest && from > 0 && !endsSentence(text, from - 1);
    if (cutBefore) {
        // A cut sentence starts at a word.
        const qsizetype space = text.indexOf(u' ', from);
        if (space >= 0 && space < start)
            from = space + 1;
    }
    qsizetype to = start + length;
    const qsizetype latest = qMin(text.size(), to + LongestContext);
    while (to < latest && !endsSentence(text, to))
        ++to;
    const bool cutAfter = to == latest && to < text.size();
    if (to < text.size() && !cutAfter && text[to] != u'\n')
        ++to; // the stop belongs to the sentence
    if (cutAfter) {
        const qsizetype space = text.lastIndexOf(u' ', to - 1);
        if (space > start + length)
            to = space;
    }
    QString sentence = text.mid(from, to - from).simplified();
    if (cutBefore)
        sentence.prepend(QChar(0x2026));
    if (cutAfter)
        sentence.append(QChar(0x2026));
    return sentence;
}

QList<LibraryMark> PageMarks::of(const HtmlPageText &page)
{
    QList<LibraryMark> marks;
    const QList<HtmlTextRun> &runs = page.marked;
    for (qsizetype i = 0; i < runs.size();) {
        // Runs of one colour go together while only white space lies between them.
        const quint32 colour = runs[i].background;
        qsizetype start = runs[i].start;
        qsizetype end = start + runs[i].length;
        bool bold = true, italic = true, underline = true;
        bool anyText = false;
        qsizetype j = i;
        for (; j < runs.size() && runs[j].background == colour; ++j) {
            if (j > i && !isBlank(QStringView(page.text).mid(end, runs[j].start - end)))
                break;
            const QStringView piece = QStringView(page.text).mid(runs[j].start, runs[j].length);
            if (!isBlank(piece)) {
                anyText = true;
                bold = bold && runs[j].bold;
                italic = italic && runs[j].italic;
                underline = underline && runs[j].underline;
            }
            end = runs[j].start + runs[j].length;
        }
        i = j;
        if (!anyText)
            continue;
        // The passage without the white space at its edges.
        while (page.text[start].isSpace())
            ++start;
        while (page.text[end - 1].isSpace())
            --end;
        const MarkColour markColour(colour);
        LibraryMark mark;
        mark.order = int(marks.size());
        mark.text = page.text.mid(start, end - start).simplified();
        mark.colour = markColour.hex();
        mark.colourName = markColour.gridName();
        mark.bold = bold;
        mark.italic = italic;
        mark.underline = underline;
        mark.sentence = sentenceAround(page.text, start, end - start);
        mark.start = start;
        mark.length = end - start;
        marks.append(mark);
    }
    return marks;
}
