#include "shell/NativeMessageHost.h"

#include <QJsonDocument>
#include <QJsonParseError>
#include <QProcess>

#include <cstring>

NativeMessageHost::NativeMessageHost(QString programPath) : m_programPath(std::move(programPath))
{
}

QStringList NativeMessageHost::launchArguments(const QString &title, const QString &address)
{
    return {QStringLiteral("HEADER_IE2Quillet") + QString(title).replace(QLatin1Char(' '), QLatin1Char('_')), address};
}

QJsonObject NativeMessageHost::failure(const QString &message)
{
    return {{QStringLiteral("ok"), false}, {QStringLiteral("error"), message}};
}

QJsonObject NativeMessageHost::handle(const QByteArray &payload)
{
    QJsonParseError error;
    const QJsonDocument document = QJsonDocument::fromJson(payload, &error);
    if (error.error != QJsonParseError::NoError || !document.isObject())
        return failure(QStringLiteral("The message is not a JSON object."));
    const QJsonObject message = document.object();
    const QJsonValue title = message.value(QStringLiteral("title"));
    const QJsonValue address = message.value(QStringLiteral("address"));
    if (!title.isString() || !address.isString() || address.toString().isEmpty())
        return failure(QStringLiteral("The message needs a title and an address."));
    // An argument ends at a NUL: the program would get another title or address.
    if (title.toString().contains(QChar(0)) || address.toString().contains(QChar(0)))
        return failure(QStringLiteral("The title or the address holds a NUL character."));
    // The program would take it for one of its options.
    if (address.toString().startsWith(QLatin1Char('-')))
        return failure(QStringLiteral("The address is not a web address."));
    QProcess program;
    program.setProgram(m_programPath);
    program.setArguments(launchArguments(title.toString(), address.toString()));
    // The program must not write into the browser's message pipe, nor die
    // of a broken pipe once the browser has closed it.
    program.setStandardInputFile(QProcess::nullDevice());
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    if (!program.startDetached())
        return failure(QStringLiteral("Quillet could not be started: ") + m_programPath);
    return {{QStringLiteral("ok"), true}};
}

bool NativeMessageHost::reply(std::FILE *out, const QJsonObject &answer)
{
    const QByteArray bytes = QJsonDocument(answer).toJson(QJsonDocument::Compact);
    const quint32 length = quint32(bytes.size());
    char header[sizeof length];
    std::memcpy(header, &length, sizeof length);
    return std::fwrite(header, 1, sizeof header, out) == sizeof header &&
           std::fwrite(bytes.constData(), 1, bytes.size(), out) == size_t(bytes.size()) && std::fflush(out) == 0;
}

int NativeMessageHost::run(std::FILE *in, std::FILE *out)
{
    for (;;) {
        char header[sizeof(quint32)];
        const size_t got = std::fread(header, 1, sizeof header, in);
        if (got == 0)
            return 0;
        if (got < sizeof header) {
            reply(out, failure(QStringLiteral("The message length is incomplete.")));
            return 1;
        }
        quint32 length = 0;
        std::memcpy(&length, header, sizeof length);
        if (length > MaxMessage) {
            // Reading on would mean taking in whatever the sender claims.
            reply(out, failure(QStringLiteral("The message is larger than %1 bytes.").arg(MaxMessage)));
            return 1;
        }
        QByteArray payload(qsizetype(length), Qt::Uninitialized);
        if (std::fread(payload.data(), 1, length, in) != length) {
            reply(out, failure(QStringLiteral("The message is shorter than its length says.")));
            return 1;
        }
        if (!reply(out, handle(payload)))
            return 1;
    }
}
