#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <cstdio>

// The browser side of the launcher: reads native-messaging frames (a 4-byte
// length in native byte order, then that many bytes of UTF-8 JSON), starts
// the program for each {title, address} and answers every frame with a
// framed {"ok": ...} reply.
class NativeMessageHost
{
public:
    // Far above any title and address; an argument must also stay below the
    // system's limit for one command-line argument.
    static constexpr quint32 MaxMessage = 64 * 1024;

    // programPath: the executable to start.
    explicit NativeMessageHost(QString programPath);

    // Serves frames until the input ends. 0 after a clean end; 1 when the
    // framing broke (the rest of the input cannot be trusted).
    int run(std::FILE *in, std::FILE *out);

    // The reply to one frame's payload; starts the program when it is valid.
    QJsonObject handle(const QByteArray &payload);

    // The program's command line for a page: the launcher's marker with the
    // title's spaces turned into "_", then the address.
    static QStringList launchArguments(const QString &title, const QString &address);

private:
    static QJsonObject failure(const QString &message);
    static bool reply(std::FILE *out, const QJsonObject &answer);

    QString m_programPath;
};
