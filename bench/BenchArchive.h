#pragma once

#include "archive/MhtmlArchive.h"
#include "archive/MhtmlWriter.h"
#include "support/AtomicFile.h"

#include <QRandomGenerator>

// Writes archive to path as the program does, through the atomic writer.
inline bool writeArchiveFile(const MhtmlArchive &archive, const QString &path)
{
    return WriteFileAtomically(path, [&](QIODevice &device) { return MhtmlWriter().write(archive, device).error; })
        .ok();
}

// The benchmarks' page: htmlBytes of paragraphs that each show a picture,
// and images incompressible pictures whose sizes imageSize(i) gives.
template <typename ImageSize> MhtmlArchive makeBenchPage(qint64 htmlBytes, int images, ImageSize imageSize)
{
    MhtmlArchive archive;
    MhtmlPart root;
    root.contentType = "text/html";
    root.charset = "utf-8";
    root.contentLocation = QStringLiteral("https://bench.test/page.html");
    const QByteArray paragraph = "<p class=\"x\">Caf\xc3\xa9 cr\xc3\xa8me &amp; a=b, the quick brown fox jumps over "
                                 "the lazy dog <img src=\"img/0.jpg\"></p>\n";
    root.data.reserve(htmlBytes);
    while (root.data.size() < htmlBytes)
        root.data += paragraph;
    root.data.truncate(htmlBytes);
    archive.parts.append(root);
    QRandomGenerator random(42);
    for (int i = 0; i < images; ++i) {
        MhtmlPart image;
        image.contentType = "image/jpeg";
        image.contentLocation = QStringLiteral("https://bench.test/img/%1.jpg").arg(i);
        image.data.resize(imageSize(i, random));
        random.fillRange(reinterpret_cast<quint32 *>(image.data.data()), image.data.size() / 4);
        archive.parts.append(image);
    }
    return archive;
}

// imageBytes spread evenly over images pictures.
inline MhtmlArchive makeBenchArchive(qint64 htmlBytes, qint64 imageBytes, int images)
{
    return makeBenchPage(htmlBytes, images, [&](int, QRandomGenerator &) { return imageBytes / images; });
}
