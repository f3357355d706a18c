// Feeds arbitrary bytes to the archive reader; whatever it accepts must be
// accepted again once written, with every part kept: text/* parts up to their
// line breaks, all others byte for byte. Both ways of reading are checked:
// decoding every part, and keeping parts encoded for the writer to copy.
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

QByteArray comparable(const MhtmlPart &part)
{
    const QByteArray bytes = part.decoded();
    return part.hasTextLineBreaks() ? QByteArray(bytes).replace("\r\n", "\n") : bytes;
}

void roundTrip(const QByteArray &bytes, bool keepEncoded)
{
    // A small cap keeps each run fast; the limit path is exercised as well.
    MhtmlReader reader(1 << 20);
    reader.setKeepEncoded(keepEncoded);
    const MhtmlReadResult first = reader.read(bytes);
    if (!first.ok())
        return;
    for (const MhtmlPart &part : first.archive.parts) {
        if (part.decodedSize() != part.decoded().size())
            std::abort();
    }
    MhtmlWriter writer;
    writer.setDate(QDateTime::fromSecsSinceEpoch(0));
    QByteArray written;
    QBuffer buffer(&written);
    buffer.open(QIODevice::WriteOnly);
    if (!writer.write(first.archive, buffer).ok())
        std::abort();
    const MhtmlReadResult second = MhtmlReader(qsizetype(1) << 30).read(written);
    if (!second.ok() || second.archive.parts.size() != first.archive.parts.size() || second.archive.rootIndex != 0)
        std::abort();
    // The writer puts the root first.
    QList<const MhtmlPart *> order{first.archive.root()};
    for (const MhtmlPart &part : first.archive.parts) {
        if (&part != first.archive.root())
            order.append(&part);
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (comparable(second.archive.parts[i]) != comparable(*order[i]))
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    roundTrip(bytes, false);
    roundTrip(bytes, true);
    return 0;
}
