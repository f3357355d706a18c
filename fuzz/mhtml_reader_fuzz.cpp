// Feeds arbitrary bytes to the archive reader; whatever it accepts must also
// survive being written and read again.
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"

#include <QBuffer>

#include <cstddef>
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    // A small cap keeps each run fast; the limit path is exercised as well.
    const MhtmlReader reader(1 << 20);
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), qsizetype(size));
    const MhtmlReadResult first = reader.read(bytes);
    if (!first.ok())
        return 0;
    MhtmlWriter writer;
    writer.setDate(QDateTime::fromSecsSinceEpoch(0));
    QByteArray written;
    QBuffer buffer(&written);
    buffer.open(QIODevice::WriteOnly);
    if (!writer.write(first.archive, buffer).ok())
        return 0;
    const MhtmlReadResult second = MhtmlReader(qsizetype(1) << 30).read(written);
    if (!second.ok() || second.archive.parts.size() != first.archive.parts.size())
        std::abort();
    // The writer puts the root first and turns text line breaks into CRLF.
    const auto normalized = [](const MhtmlPart &part) {
        return part.isText() ? QByteArray(part.data).replace("\r\n", "\n") : part.data;
    };
    QList<const MhtmlPart *> order{first.archive.root()};
    for (const MhtmlPart &part : first.archive.parts) {
        if (&part != first.archive.root())
            order.append(&part);
    }
    for (qsizetype i = 0; i < order.size(); ++i) {
        if (normalized(second.archive.parts[i]) != normalized(*order[i]))
            std::abort();
    }
    return 0;
}
