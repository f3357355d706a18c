#include "app/TerminalOptions.h"

#include <QFileInfo>

namespace {

const QString Usage = QStringLiteral("Usage: quillet [FILE]\n"
                                     "Keeps and annotates web pages: opens FILE (a web archive, .mht or .mhtml,\n"
                                     "or an HTML page) or, without FILE, the home page.\n"
                                     "\n"
                                     "  -h, --help   show this help and exit\n"
                                     "  --version    show the version and exit\n");

// The launcher's command line: its title marker, then the page's address,
// which may look like anything.
bool fromLauncher(const QStringList &arguments)
{
    return arguments.value(1).contains(QStringLiteral("HEADER_IE2Quillet"));
}

} // namespace

QString programVersion()
{
    return QStringLiteral(QUILLET_VERSION);
}

std::optional<TerminalAnswer> terminalAnswer(const QStringList &arguments)
{
    if (fromLauncher(arguments))
        return std::nullopt;
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString &argument = arguments.at(i);
        if (argument == QStringLiteral("--version"))
            return TerminalAnswer{QStringLiteral("Quillet ") + programVersion() + u'\n'};
        if (argument == QStringLiteral("--help") || argument == QStringLiteral("-h"))
            return TerminalAnswer{Usage};
        if (argument.startsWith(QStringLiteral("--")) && !QFileInfo::exists(argument))
            return TerminalAnswer{QStringLiteral("quillet: unknown option ") + argument + u'\n' + Usage, 2};
    }
    return std::nullopt;
}
