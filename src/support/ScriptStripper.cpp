#include "support/ScriptStripper.h"

#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/Tfseekch.h"

#include <QFile>
#include <QFileInfo>
#include <stdexcept>

std::optional<int> StripScriptBlocks(const QString &source, QIODevice &destination, Dialogs &dialogs,
                                     std::function<void()> afterBlock)
{
    static const QByteArray blockStart("<SCRIPT");
    static const QByteArray blockEnd("</SCRIPT>");
    Tfseekch scanner(source, dialogs, std::move(afterBlock));
    // The scanner has said why it cannot read a missing source; nothing is
    // written for it.
    if (PathKind(source) != 'f')
        return std::nullopt;
    // Copying each kept piece with AppendFilePiece read the file a second
    // time and opened both files once per piece, five times as slow as
    // reading the file; the pieces are written from the scanner's block.
    const Tfseekch::Passed keep = [&destination](const char *data, qsizetype size) {
        if (destination.write(data, size) != size) {
            const auto *file = qobject_cast<const QFileDevice *>(&destination);
            throw std::runtime_error((QStringLiteral("Could not write to ") + (file ? file->fileName() : QString()) +
                                      QStringLiteral(": ") + destination.errorString())
                                         .toStdString());
        }
    };
    int count = 0;
    bool first = true;
    bool last = false;
    do {
        if (first) {
            first = false;
        } else if (scanner.FindNext(blockEnd, false) == -1) {
            dialogs.ShowWarningMsg(QStringLiteral("End of script not found. Probably bad file"));
            return std::nullopt;
        }
        if (scanner.FindNext(blockStart, false, keep) == -1)
            last = true;
        else
            ++count;
    } while (!scanner.atEnd() && !last);
    return count;
}

std::optional<int> StripScriptBlocks(const QString &source, const QString &destination, Dialogs &dialogs,
                                     std::function<void()> afterBlock)
{
    if (PathKind(source) != 'f') {
        // The scanner says why.
        Tfseekch scanner(source, dialogs);
        return 0;
    }
    QFile out(destination);
    // A device such as /dev/null has no end to append at.
    const QFileInfo target(destination);
    const QIODevice::OpenMode append = !target.exists() || target.isFile() ? QIODevice::Append : QIODevice::NotOpen;
    if (!out.open(QIODevice::WriteOnly | append | QIODevice::Unbuffered)) {
        dialogs.ShowErrorMsg(QStringLiteral("Fatal error! Could not open file for writing: ") + destination +
                             QStringLiteral(". Possibly bad section on destination. Try renaming, moving or "
                                            "removing the source or change destination media. Exiting procedure!"));
        return std::nullopt;
    }
    return StripScriptBlocks(source, out, dialogs, std::move(afterBlock));
}
