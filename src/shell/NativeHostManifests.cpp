#include "shell/NativeHostManifests.h"

#include "support/AtomicFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

const QString NativeHostManifests::HostName = QStringLiteral("quillet.clip_host");
const QString NativeHostManifests::ChromiumExtensionId = QStringLiteral("kfcabhebpaeidcokbolplcmhkldhhefh");
const QString NativeHostManifests::FirefoxExtensionId = QStringLiteral("copy-to-quillet@quillet");

namespace {
enum Browser { Chromium, Chrome, Firefox };
}

NativeHostManifests::NativeHostManifests(QString configHome, QString home, QString hostPath)
    : m_configHome(std::move(configHome)), m_home(std::move(home)), m_hostPath(std::move(hostPath))
{
}

QStringList NativeHostManifests::manifestPaths() const
{
    const QString file = QLatin1Char('/') + HostName + QStringLiteral(".json");
    return {m_configHome + QStringLiteral("/chromium/NativeMessagingHosts") + file,
            m_configHome + QStringLiteral("/google-chrome/NativeMessagingHosts") + file,
            m_home + QStringLiteral("/.mozilla/native-messaging-hosts") + file};
}

QByteArray NativeHostManifests::manifest(int browser) const
{
    QJsonObject object{
        {QStringLiteral("name"), HostName},
        {QStringLiteral("description"), QStringLiteral("Starts Quillet with a page sent from the browser")},
        {QStringLiteral("path"), m_hostPath},
        {QStringLiteral("type"), QStringLiteral("stdio")}};
    if (browser == Firefox)
        object.insert(QStringLiteral("allowed_extensions"), QJsonArray{FirefoxExtensionId});
    else
        object.insert(QStringLiteral("allowed_origins"),
                      QJsonArray{QStringLiteral("chrome-extension://") + ChromiumExtensionId + QLatin1Char('/')});
    return QJsonDocument(object).toJson();
}

QStringList NativeHostManifests::install() const
{
    QStringList failures;
    const QStringList paths = manifestPaths();
    for (int browser = Chromium; browser <= Firefox; ++browser) {
        const QString &path = paths[browser];
        if (!QDir().mkpath(QFileInfo(path).path())) {
            failures << path + QStringLiteral(": the folder cannot be created");
            continue;
        }
        const QString error = WriteFileAtomically(path, manifest(browser)).error;
        if (!error.isEmpty())
            failures << path + QStringLiteral(": ") + error;
    }
    return failures;
}

QStringList NativeHostManifests::remove() const
{
    QStringList failures;
    for (const QString &path : manifestPaths()) {
        QFile file(path);
        if (file.exists() && !file.remove())
            failures << path + QStringLiteral(": ") + file.errorString();
    }
    return failures;
}
