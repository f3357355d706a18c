#include "DocumentWriter.h"

#include "archive/MhtmlComposer.h"
#include "archive/MhtmlReader.h"
#include "archive/MhtmlWriter.h"
#include "browser/Browser.h"
#include "support/AtomicFile.h"
#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/PathUtils.h"

#include <QDateTime>
#include <QFileInfo>

#include <exception>

FileWriteResult DocumentWriter::SaveDocAsMht(const QString &fileName, const QString &sourceArchive, bool pageChanged)
{
    MhtmlReadResult source;
    bool haveSource = false;
    const bool readSource = !sourceArchive.isEmpty() && QFileInfo::exists(sourceArchive);
    // The engine serialises a big page about as long as reading its archive
    // takes here; the two run side by side.
    const Result<QString> html = GetDocHtml([&] {
        if (!readSource)
            return;
        // Unchanged parts are copied as they stand in the archive, not
        // decoded and encoded again.
        MhtmlReader reader;
        reader.setKeepEncoded(true);
        source = reader.readFile(sourceArchive);
    });
    if (!html.ok())
        return {html.error};
    if (readSource) {
        haveSource = source.ok();
        // Overwriting an archive we cannot read would throw away its
        // pictures for good; saving under another name loses nothing.
        if (!haveSource && SameFile(sourceArchive, fileName))
            return {QStringLiteral("%1\n%2 was left as it was.").arg(source.error, fileName)};
    }
    return write(fileName,
                 MhtmlComposer::compose(html.value, haveSource ? &source.archive : nullptr, m_browser.LocationURL(),
                                        m_rootEncoding),
                 pageChanged);
}

FileWriteResult DocumentWriter::SaveDocAsMhtOf(const QString &fileName, const QString &location,
                                               const QString &resourceArchive)
{
    const Result<QString> html = GetDocHtml();
    if (!html.ok())
        return {html.error};
    MhtmlReader reader;
    reader.setKeepEncoded(true);
    const MhtmlReadResult resources = reader.readFile(resourceArchive);
    if (!resources.ok())
        return {QStringLiteral("The pictures and styles of the page could not be read: %1").arg(resources.error)};
    MhtmlArchive archive = MhtmlComposer::compose(html.value, nullptr, location);
    for (const MhtmlPart &part : resources.archive.parts) {
        if (&part != resources.archive.root())
            archive.parts.append(part);
    }
    archive.snapshotLocation = location;
    return write(fileName, archive, true);
}

FileWriteResult DocumentWriter::write(const QString &fileName, const MhtmlArchive &archive, bool pageChanged) const
{
    MhtmlWriter writer;
    // An archive saved unchanged keeps the date it was made.
    if (pageChanged)
        writer.setDate(QDateTime::currentDateTime());
    const FileWriteResult written =
        WriteFileAtomically(fileName, [&](QIODevice &device) { return writer.write(archive, device).error; });
    if (!written.ok())
        return {QStringLiteral("Cannot write %1: %2").arg(fileName, written.error)};
    return {};
}

bool DocumentWriter::SaveDocAsHtml(const QString &fileName)
{
    if (!m_browser.HasDocument()) {
        m_dialogs.ShowMsg(QStringLiteral("Document not loaded!"));
        return false;
    }
    QString html;
    try {
        html = m_browser.documentHtml();
    } catch (const std::exception &) {
        m_dialogs.ShowMsg(QStringLiteral("SaveAs HTML fail!"));
        return false;
    }
    const QString error = WriteFileAtomically(fileName, MhtmlComposer::utf8Html(html)).error;
    if (!error.isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("SaveAs HTML fail!\n") + fileName + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

Result<QString> DocumentWriter::GetDocHtml(const std::function<void()> &meanwhile) const
{
    if (!m_browser.HasDocument())
        return Result<QString>::failure(QStringLiteral("Document not loaded!"));
    try {
        return {m_browser.documentHtml(meanwhile), QString()};
    } catch (const std::exception &error) {
        return Result<QString>::failure(QString::fromStdString(error.what()));
    }
}

void DocumentWriter::confsavedsize(const QString &fileName, const StatusSink &statusSink) const
{
    statusSink(QStringLiteral("File saved: ") + QString::number(PathSize(fileName)) + QStringLiteral(" bytes (") +
               fileName + u')');
}
