#include "FakeDialogs.h"
#include "shell/AssociationController.h"
#include "shell/GioDesktopAssociation.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

// The option's controller over a registry store in root, for a stand-in of
// the program there.
struct Switch
{
    Switch(const QString &root, const QString &program, DesktopAssociation &association)
        : registry(root + QStringLiteral("registry.ini")), controller(state, item, registry, dialogs, association)
    {
        state.ExeName = root + program;
    }

    RegistryStore registry;
    FakeDialogs dialogs;
    AppState state;
    QAction item;
    AssociationController controller;
};

// The switch on a real desktop: GIO, xdg-mime and gio open over XDG folders
// in a temporary place, with a stand-in viewer as the opener before.
class TestGioAssociation : public QObject
{
    Q_OBJECT

    QTemporaryDir m_root;

    QString path(const QString &name) const { return m_root.filePath(name); }

    void writeFile(const QString &name, const QByteArray &content, bool executable = false)
    {
        QVERIFY(QDir().mkpath(QFileInfo(path(name)).path()));
        QFile file(path(name));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(content);
        file.close();
        if (executable)
            QVERIFY(file.setPermissions(file.permissions() | QFileDevice::ExeOwner));
    }

    static QString run(const QString &program, const QStringList &arguments, int *exitCode = nullptr)
    {
        QProcess process;
        process.start(program, arguments);
        if (!process.waitForFinished(30000))
            qWarning() << program << "did not finish";
        if (exitCode)
            *exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        return QString::fromUtf8(process.readAllStandardOutput() + process.readAllStandardError()).trimmed();
    }

    static QString contents(const QString &file)
    {
        QFile f(file);
        return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()).trimmed() : QString();
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        // Before GIO's first look: it reads these once per process.
        qputenv("XDG_DATA_HOME", path(QStringLiteral("data")).toUtf8());
        qputenv("XDG_CONFIG_HOME", path(QStringLiteral("config")).toUtf8());
        qputenv("XDG_DATA_DIRS", path(QStringLiteral("system")).toUtf8());
        // xdg-mime asks the running desktop when it knows one; this test is
        // about the freedesktop files themselves.
        for (const char *name : {"XDG_CURRENT_DESKTOP", "DESKTOP_SESSION", "KDE_FULL_SESSION",
                                 "GNOME_DESKTOP_SESSION_ID", "XDG_SESSION_DESKTOP"})
            qunsetenv(name);

        writeFile(QStringLiteral("system/mime/packages/archive.xml"),
                  "<?xml version=\"1.0\"?>\n"
                  "<mime-info xmlns=\"http://www.freedesktop.org/standards/shared-mime-info\">\n"
                  "  <mime-type type=\"application/x-mimearchive\">\n"
                  "    <glob pattern=\"*.mht\"/><glob pattern=\"*.mhtml\"/>\n"
                  "  </mime-type>\n"
                  "</mime-info>\n");
        int code = -1;
        const QString output =
            run(QStringLiteral("update-mime-database"), {path(QStringLiteral("system/mime"))}, &code);
        QVERIFY2(code == 0, qPrintable(output));

        writeFile(QStringLiteral("viewer"), "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$(dirname \"$0\")/viewer.txt\"\n",
                  true);
        writeFile(QStringLiteral("system/applications/viewer.desktop"),
                  "[Desktop Entry]\nType=Application\nName=Viewer\nExec=" + path(QStringLiteral("viewer")).toUtf8() +
                      " %f\nMimeType=application/x-mimearchive;\n");
        writeFile(QStringLiteral("config/mimeapps.list"),
                  "[Default Applications]\napplication/x-mimearchive=viewer.desktop\n");
        // Stand-ins of the program, one in a folder with a space and a dollar.
        for (const QString &program : {QStringLiteral("bin/quillet"), QStringLiteral("my $apps/quillet")})
            writeFile(program, "#!/bin/sh\nprintf '%s\\n' \"$1\" > \"$(dirname \"$0\")/opened.txt\"\n", true);
        writeFile(QStringLiteral("page.mht"), "MIME-Version: 1.0\r\n\r\n");
    }

    void desktopOpensArchivesWithQuilletAndThenAgainWithTheViewer()
    {
        GioDesktopAssociation association;
        QCOMPARE(association.entryPath(), path(QStringLiteral("data/applications/quillet.desktop")));
        Switch option(m_root.path() + u'/', QStringLiteral("bin/quillet"), association);
        AssociationController &controller = option.controller;
        FakeDialogs &dialogs = option.dialogs;
        const QString query = QStringLiteral("query default application/x-mimearchive");
        QCOMPARE(run(QStringLiteral("xdg-mime"), query.split(u' ')), QStringLiteral("viewer.desktop"));

        controller.registerMhtMIClick();
        QCOMPARE(dialogs.lastText(), QStringLiteral("Success! MHT files should open with Quillet from now on."));
        QCOMPARE(run(QStringLiteral("xdg-mime"), query.split(u' ')), QStringLiteral("quillet.desktop"));
        int code = -1;
        const QString complaints = run(QStringLiteral("desktop-file-validate"), {association.entryPath()}, &code);
        QVERIFY2(code == 0 && complaints.isEmpty(), qPrintable(complaints));
        QVERIFY(QFile::exists(association.iconPath()));
        run(QStringLiteral("gio"), {QStringLiteral("open"), path(QStringLiteral("page.mht"))}, &code);
        QCOMPARE(code, 0);
        QTRY_COMPARE_WITH_TIMEOUT(contents(path(QStringLiteral("bin/opened.txt"))), path(QStringLiteral("page.mht")),
                                  10000);

        controller.registerMhtMIClick();
        QCOMPARE(dialogs.lastText(), QStringLiteral("Success! Old system data were used for reset"));
        QCOMPARE(run(QStringLiteral("xdg-mime"), query.split(u' ')), QStringLiteral("viewer.desktop"));
        QVERIFY(!QFile::exists(association.entryPath()));
        run(QStringLiteral("gio"), {QStringLiteral("open"), path(QStringLiteral("page.mht"))}, &code);
        QCOMPARE(code, 0);
        QTRY_COMPARE_WITH_TIMEOUT(contents(path(QStringLiteral("viewer.txt"))), path(QStringLiteral("page.mht")),
                                  10000);
    }

    void noOpenerBeforeMeansNoneAfter()
    {
        QVERIFY(QFile::remove(path(QStringLiteral("config/mimeapps.list"))));
        QVERIFY(QFile::remove(path(QStringLiteral("system/applications/viewer.desktop"))));
        GioDesktopAssociation association;
        QTRY_COMPARE_WITH_TIMEOUT(association.defaultApplication(AssociationController::mimeType()), QString(), 5000);
        // A program path that the entry has to quote and escape.
        Switch option(m_root.path() + u'/', QStringLiteral("my $apps/quillet"), association);
        AssociationController &controller = option.controller;

        controller.registerMhtMIClick();
        QCOMPARE(association.defaultApplication(AssociationController::mimeType()), QStringLiteral("quillet.desktop"));
        int code = -1;
        run(QStringLiteral("gio"), {QStringLiteral("open"), path(QStringLiteral("page.mht"))}, &code);
        QCOMPARE(code, 0);
        QTRY_COMPARE_WITH_TIMEOUT(contents(path(QStringLiteral("my $apps/opened.txt"))),
                                  path(QStringLiteral("page.mht")), 10000);
        controller.registerMhtMIClick();
        QCOMPARE(option.dialogs.texts().size(), 2);
        QTRY_COMPARE_WITH_TIMEOUT(association.defaultApplication(AssociationController::mimeType()), QString(), 5000);
    }
};

QTEST_MAIN(TestGioAssociation)
#include "tst_gioassociation.moc"
