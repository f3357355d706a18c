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

#include <stdexcept>

void DocumentWriter::SaveDocAsMht(const QString &fileName, const QString &sourceArchive, bool pageChanged)
{
    MhtmlReadResult source;
    bool haveSource = false;
    const bool readSource = !sourceArchive.isEmpty() && QFileInfo::exists(sourceArchive);
    // The engine serialises a big page about as long as reading its archive
    // takes here; the two run side by side.
    const QString html = GetDocHtml([&] {
        if (!readSource)
            return;
        // Unchanged parts are copied as they stand in the archive, not
        // decoded and encoded again.
        MhtmlReader reader;
        reader.setKeepEncoded(true);
        source = reader.readFile(sourceArchive);
    });
    if (readSource) {
        haveSource = source.ok();
        // Overwriting an archive we cannot read would throw away its
        // pictures for good; saving under another name loses nothing.
        if (!haveSource && SameFile(sourceArchive, fileName))
            throw std::runtime_error(
                QStringLiteral("%1\n%2 was left as it was.").arg(source.error, fileName).toStdString());
    }
    const MhtmlArchive archive =
        MhtmlComposer::compose(html, haveSource ? &source.archive : nullptr, m_browser.LocationURL());
    MhtmlWriter writer;
    // An archive saved unchanged keeps the date it was made.
    if (pageChanged)
        writer.setDate(QDateTime::currentDateTime());
    const QString error =
        WriteFileAtomically(fileName, [&](QIODevice &device) { return writer.write(archive, device).error; });
    if (!error.isEmpty())
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(fileName, error).toStdString());
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
    const QString error = WriteFileAtomically(fileName, MhtmlComposer::utf8Html(html));
    if (!error.isEmpty()) {
        m_dialogs.ShowMsg(QStringLiteral("SaveAs HTML fail!\n") + fileName + QStringLiteral(": ") + error);
        return false;
    }
    return true;
}

QString DocumentWriter::GetDocHtml(const std::function<void()> &meanwhile) const
{
    if (!m_browser.HasDocument())
        throw std::runtime_error("Document not loaded!");
    return m_browser.documentHtml(meanwhile);
}

void DocumentWriter::confsavedsize(const QString &fileName, const StatusSink &statusSink) const
{
    statusSink(QStringLiteral("File saved: ") + QString::number(PathSize(fileName)) + QStringLiteral(" bytes (") +
               fileName + u')');
}
