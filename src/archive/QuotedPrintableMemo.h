#pragma once

#include "MhtmlCodec.h"

#include <QByteArray>
#include <QList>

struct MhtmlPart;

// The quoted-printable encoding of the last text it was given. A page saved
// again differs from its last save in a stretch (a mark, an edit): only the
// lines around that stretch are encoded again, the others are copied from
// the encoding kept. The bytes are those a full encoding gives.
class QuotedPrintableMemo
{
public:
    QByteArray encode(const QByteArray &text);
    // A text part's data as its kept body, encoded, for a writer to copy as
    // it stands.
    void encodePart(MhtmlPart &part);

private:
    QByteArray m_text;
    QByteArray m_encoded;
    QList<MhtmlCodec::LineStart> m_lines;
};
