#include "app/TerminalOptions.h"

QString programVersion()
{
    return QStringLiteral(QUILLET_VERSION);
}

std::optional<QString> terminalAnswer(const QStringList &arguments)
{
    if (arguments.size() != 2)
        return std::nullopt;
    const QString option = arguments.at(1);
    if (option == QStringLiteral("--version"))
        return QStringLiteral("Quillet ") + programVersion() + u'\n';
    if (option == QStringLiteral("--help") || option == QStringLiteral("-h"))
        return QStringLiteral("Usage: quillet [FILE]\n"
                              "Keeps and annotates web pages: opens FILE (a web archive, .mht or .mhtml,\n"
                              "or an HTML page) or, without FILE, the home page.\n"
                              "\n"
                              "  -h, --help   show this help and exit\n"
                              "  --version    show the version and exit\n");
    return std::nullopt;
}
