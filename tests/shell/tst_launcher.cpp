#include "MainWindowFixture.h"
#include "marking/TMyStatusBar.h"
#include "shell/LauncherController.h"
#include "shell/NativeHostManifests.h"
#include "support/RegistryRoutines.h"
#include "support/RegistryStore.h"
#include "window/MainUi.h"

#include <QAction>
#include <QCryptographicHash>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTest>

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QJsonObject readJson(const QString &path)
{
    return QJsonDocument::fromJson(readBytes(path)).object();
}

// The script as documented, for the program at programPath.
QByteArray expectedScript(const QByteArray &programPath)
{
    return "<html>\r\n<head>\r\n</head>\r\n<body>\r\n<script>\r\n"
           "var ttl = external.menuArguments.document.title;\r\n"
           "var lnk = external.menuArguments.document.URL;\r\n"
           "ttl = ttl.replace(/ /g,\"_\");\r\n"
           "ttl = \"HEADER_IE2Quillet\" + ttl;\r\n"
           "external.menuArguments.document.execCommand(\"Copy\");\r\n"
           "var shell = new ActiveXObject(\"WScript.Shell\");\r\n"
           "shell.run(\"" +
           programPath +
           " \" + ttl + \" \" + lnk);\r\n"
           "</script>\r\n</body>\r\n</html>\r\n";
}

struct LauncherFixture : MainWindowFixture
{
    QString hostPath() const { return path(QStringLiteral("quillet-clip-host")); }
    QStringList manifestPaths() const
    {
        return NativeHostManifests(desktop.config, desktop.home, hostPath()).manifestPaths();
    }
    QString registryPath() const { return path(QStringLiteral("registry.ini")); }
    bool keyExists() const
    {
        return RegistryStore(registryPath()).keyExists(RegRoot::HKEY_CURRENT_USER, LauncherController::MenuExtKey);
    }
    QString status() const { return window->ui().StB1->statusText(); }
    QAction *menuItem() const { return window->ui().launchfromIEMI; }
};

} // namespace

class TestLauncher : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void launchScriptIsWrittenOnceAsDocumented()
    {
        QTemporaryDir dir;
        const QString script = dir.filePath(QStringLiteral("script.html"));
        QVERIFY(LauncherController::WriteLaunchScript(script, QStringLiteral("/opt/Quillet 1/quillet")));
        QCOMPARE(readBytes(script), expectedScript("/opt/Quillet 1/quillet"));
        QVERIFY(LauncherController::WriteLaunchScript(script, QStringLiteral("/elsewhere/quillet")));
        QCOMPARE(readBytes(script), expectedScript("/opt/Quillet 1/quillet"));
        QVERIFY(!LauncherController::WriteLaunchScript(dir.filePath(QStringLiteral("missing/script.html")),
                                                       QStringLiteral("/opt/quillet")));
    }

    void firstRunInstallsTheLauncher()
    {
        LauncherFixture f;
        f.create();
        QCOMPARE(readBytes(f.path(QStringLiteral("script.html"))),
                 expectedScript(f.path(QStringLiteral("quillet")).toUtf8()));
        RegistryStore registry(f.registryPath());
        QString value;
        QCOMPARE(RegReadStr(registry, RegRoot::HKEY_CURRENT_USER, LauncherController::MenuExtKey, QString(), value),
                 RegResult::Ok);
        QCOMPARE(value, f.path(QStringLiteral("script.html")));
        QCOMPARE(f.status(), QStringLiteral("Launch from Internet Explorer enabled."));
        QVERIFY(f.menuItem()->isEnabled());
        QVERIFY(f.menuItem()->isChecked());

        const QStringList manifests = f.manifestPaths();
        QCOMPARE(manifests,
                 QStringList(
                     {f.desktop.config + QStringLiteral("/chromium/NativeMessagingHosts/quillet.clip_host.json"),
                      f.desktop.config + QStringLiteral("/google-chrome/NativeMessagingHosts/quillet.clip_host.json"),
                      f.desktop.home + QStringLiteral("/.mozilla/native-messaging-hosts/quillet.clip_host.json")}));
        const QJsonArray chromiumOrigins{QStringLiteral("chrome-extension://kfcabhebpaeidcokbolplcmhkldhhefh/")};
        for (int i = 0; i < 3; ++i) {
            const QJsonObject manifest = readJson(manifests[i]);
            QCOMPARE(manifest.value(QStringLiteral("name")).toString(), QStringLiteral("quillet.clip_host"));
            QCOMPARE(manifest.value(QStringLiteral("path")).toString(), f.hostPath());
            QCOMPARE(manifest.value(QStringLiteral("type")).toString(), QStringLiteral("stdio"));
            if (i < 2)
                QCOMPARE(manifest.value(QStringLiteral("allowed_origins")).toArray(), chromiumOrigins);
            else
                QCOMPARE(manifest.value(QStringLiteral("allowed_extensions")).toArray(),
                         QJsonArray{QStringLiteral("copy-to-quillet@quillet")});
        }
    }

    void laterRunsLeaveTheLauncherAlone()
    {
        LauncherFixture f;
        QFile settings(f.path(QStringLiteral("quillet.ini")));
        QVERIFY(settings.open(QIODevice::WriteOnly));
        settings.close();
        QFile script(f.path(QStringLiteral("script.html")));
        QVERIFY(script.open(QIODevice::WriteOnly));
        script.write("mine");
        script.close();
        f.create();
        QCOMPARE(readBytes(f.path(QStringLiteral("script.html"))), QByteArray("mine"));
        QVERIFY(!f.keyExists());
        for (const QString &manifest : f.manifestPaths())
            QVERIFY(!QFile::exists(manifest));
    }

    void menuEntryTurnsTheLauncherOffAndOn()
    {
        LauncherFixture f;
        f.create();
        f.dialogs.shown.clear();

        f.menuItem()->trigger();
        QCOMPARE(f.status(), QStringLiteral("Launch from Internet Explorer disabled."));
        QVERIFY(!f.keyExists());
        for (const QString &manifest : f.manifestPaths())
            QVERIFY(!QFile::exists(manifest));
        QVERIFY(!f.menuItem()->isChecked());
        QVERIFY(!f.window->state().LaunchFromIE);

        f.menuItem()->trigger();
        QCOMPARE(f.status(), QStringLiteral("Launch from Internet Explorer enabled."));
        QVERIFY(f.keyExists());
        for (const QString &manifest : f.manifestPaths())
            QVERIFY(QFile::exists(manifest));
        QVERIFY(f.menuItem()->isChecked());
        QVERIFY(f.dialogs.shown.isEmpty());

        // The key removed by hand: the bare registry result, and off anyway.
        QVERIFY(RegistryStore(f.registryPath()).deleteKey(RegRoot::HKEY_CURRENT_USER, LauncherController::MenuExtKey));
        f.menuItem()->trigger();
        QCOMPARE(f.dialogs.shown.size(), 1);
        QCOMPARE(f.dialogs.shown[0].kind, Dialogs::Kind::Error);
        QCOMPARE(f.dialogs.shown[0].text, QStringLiteral("keyNotExist"));
        QVERIFY(!f.menuItem()->isChecked());
        QVERIFY(!f.window->state().LaunchFromIE);
        for (const QString &manifest : f.manifestPaths())
            QVERIFY(!QFile::exists(manifest));
    }

    // The shipped extension must ask for the host the manifests name, and
    // carry the identities they allow.
    void shippedExtensionMatchesTheManifests()
    {
        const QString folder = qEnvironmentVariable("QUILLET_SHIPPED_DATA") + QStringLiteral("/browser-extension");
        const QJsonObject manifest = readJson(folder + QStringLiteral("/manifest.json"));
        const QByteArray key = QByteArray::fromBase64(manifest.value(QStringLiteral("key")).toString().toLatin1());
        QVERIFY(!key.isEmpty());
        QByteArray id = QCryptographicHash::hash(key, QCryptographicHash::Sha256).toHex().left(32);
        for (char &c : id)
            c = char('a' + QByteArray(1, c).toInt(nullptr, 16));
        QCOMPARE(QString::fromLatin1(id), NativeHostManifests::ChromiumExtensionId);
        QCOMPARE(manifest.value(QStringLiteral("browser_specific_settings"))
                     .toObject()
                     .value(QStringLiteral("gecko"))
                     .toObject()
                     .value(QStringLiteral("id"))
                     .toString(),
                 NativeHostManifests::FirefoxExtensionId);
        const QString script = QString::fromUtf8(readBytes(folder + QStringLiteral("/background.js")));
        QVERIFY(script.contains(QStringLiteral("const HOST = \"%1\";").arg(NativeHostManifests::HostName)));
        QVERIFY(script.contains(QStringLiteral("title: \"Copy to Quillet...\"")));
    }
};

QTEST_MAIN(TestLauncher)
#include "tst_launcher.moc"
