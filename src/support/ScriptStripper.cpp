#include "support/ScriptStripper.h"

#include "support/Dialogs.h"
#include "support/FileUtils.h"
#include "support/Tfseekch.h"

std::optional<int> StripScriptBlocks(const QString &scanned, const QString &pieces, const QString &destination,
                                     Dialogs &dialogs, const Beeper &beep, std::function<void()> afterBlock)
{
    static const QByteArray blockStart("<SCRIPT");
    static const QByteArray blockEnd("</SCRIPT>");
    Tfseekch scanner(scanned, dialogs, std::move(afterBlock));
    int count = 0;
    bool first = true;
    bool last = false;
    do {
        qint64 from = 1;
        if (first) {
            first = false;
        } else {
            const qint64 end = scanner.FindNext(blockEnd, false);
            if (end == -1) {
                dialogs.ShowWarningMsg(QStringLiteral("End of script not found. Probably bad file"));
                return std::nullopt;
            }
            from = end + blockEnd.size();
        }
        const qint64 start = scanner.FindNext(blockStart, false);
        qint64 to = 0;
        if (start == -1) {
            last = true;
            to = scanner.fileSize();
        } else {
            to = start - 1;
            ++count;
        }
        AppendFilePiece(pieces, from, to, destination, dialogs, beep);
    } while (!scanner.atEnd() && !last);
    return count;
}
