#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The quoted-printable encoding of the UTF-8 of the last text it was given.
// A page saved again differs from its last save in a stretch (a mark, an
// edit): only the lines around that stretch are converted and encoded again,
// the others are copied from what it kept. The bytes are those of encoding
// the whole text afresh.
class QuotedPrintableMemo
{
public:
    struct Encoding
    {
        QByteArray encoded;
        // The size of the UTF-8 it decodes to.
        qsizetype size = 0;
    };
    Encoding encode(const QString &text);

private:
    // Where a line starts (after a line feed): in the text, in its UTF-8
    // and in the encoding; the encoding of what follows depends on nothing
    // before it.
    struct LineStart
    {
        qsizetype text = 0;
        qsizetype bytes = 0;
        qsizetype encoded = 0;
    };

    QString m_text;
    Encoding m_encoding;
    QList<LineStart> m_lines;
};
