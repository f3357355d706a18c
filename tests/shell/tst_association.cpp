#include "../app/MainWindowFixture.h"
#include "FakeDesktopAssociation.h"
#include "FakeDialogs.h"
#include "shell/AssociationController.h"
#include "support/RegistryRoutines.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"
#include "window/MainUi.h"

#include <QAction>
#include <QTemporaryDir>
#include <QTest>

namespace {

constexpr RegRoot Classes = RegRoot::HKEY_CLASSES_ROOT;
const QString Mime = QStringLiteral("application/x-mimearchive");
const QString Viewer = QStringLiteral("viewer.desktop");
const QString On = QStringLiteral("Success! MHT files should open with Quillet from now on.");
const QString Off = QStringLiteral("Success! Old system data were used for reset");
// A program path with spaces, written unquoted into the registry.
const QString Program = QStringLiteral("/opt/my apps/quillet");

// The controller over a registry store in a temporary folder, clicked
// through its menu item as the user does.
struct Association
{
    QTemporaryDir dir;
    RegistryStore registry;
    AppState state;
    QAction item;
    FakeDialogs dialogs;
    FakeDesktopAssociation desktop;
    AssociationController controller;

    explicit Association(const QString &storePath = QString())
        : registry(storePath.isEmpty() ? dir.filePath(QStringLiteral("registry.ini")) : storePath),
          controller(state, item, registry, dialogs, desktop)
    {
        state.ExeName = Program;
        item.setCheckable(true);
        QObject::connect(&item, &QAction::triggered, &controller, [this] { controller.registerMhtMIClick(); });
    }

    // A desktop and registry as the system left them: the stand-in viewer
    // opens archives.
    void withSystemAssociation()
    {
        RegWriteStr(registry, Classes, QStringLiteral(".mht"), QString(), QStringLiteral("mhtmlfile"), true);
        RegWriteStr(registry, Classes, QStringLiteral(".mht"), QStringLiteral("Content Type"),
                    QStringLiteral("message/rfc822"), true);
        RegWriteStr(registry, Classes, QStringLiteral("mhtmlfile\\DefaultIcon"), QString(), QStringLiteral("viewer,1"),
                    true);
        RegWriteStr(registry, Classes, QStringLiteral("mhtmlfile\\shell\\open\\command"), QString(),
                    QStringLiteral("viewer %1"), true);
        desktop.defaults[Mime] = Viewer;
    }

    QString read(const QString &key, const QString &name = QString())
    {
        QString value;
        const RegResult status = RegReadStr(registry, Classes, key, name, value);
        return status == RegResult::Ok ? value : RegResultText(status, name);
    }

    void click()
    {
        dialogs.shown.clear();
        item.trigger();
    }
};

} // namespace

class TestAssociation : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void turningOnAndOff()
    {
        Association a;
        a.withSystemAssociation();

        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{On});
        QVERIFY(a.state.RegisterMht);
        QVERIFY(a.item.isChecked());
        QCOMPARE(a.state.BkpDotMhtDef, QStringLiteral("mhtmlfile"));
        QCOMPARE(a.state.BkpDotMhtCont, QStringLiteral("message/rfc822"));
        QCOMPARE(a.state.BkpIconDef, QStringLiteral("viewer,1"));
        QCOMPARE(a.state.BkpOpenDef, QStringLiteral("viewer %1"));
        QCOMPARE(a.read(QStringLiteral(".mht")), QStringLiteral("Quillet.file"));
        QCOMPARE(a.read(QStringLiteral("Quillet.file\\DefaultIcon")), Program + QStringLiteral(",0"));
        QCOMPARE(a.read(QStringLiteral("Quillet.file\\shell\\Open with Quillet\\command")),
                 Program + QStringLiteral(" \"%1\""));
        // No description, no default verb, and the old type's values as they were.
        QVERIFY(!a.registry.value(Classes, QStringLiteral("Quillet.file"), QString()));
        QVERIFY(!a.registry.value(Classes, QStringLiteral("Quillet.file\\shell"), QString()));
        QCOMPARE(a.read(QStringLiteral(".mht"), QStringLiteral("Content Type")), QStringLiteral("message/rfc822"));
        QCOMPARE(a.read(QStringLiteral("mhtmlfile\\shell\\open\\command")), QStringLiteral("viewer %1"));
        QCOMPARE(a.desktop.defaults.value(Mime), DesktopAssociation::programEntryId());
        QCOMPARE(a.desktop.installedEntry, Program);

        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{Off});
        QVERIFY(!a.state.RegisterMht);
        QVERIFY(!a.item.isChecked());
        QCOMPARE(a.read(QStringLiteral(".mht")), QStringLiteral("mhtmlfile"));
        QVERIFY(!a.registry.keyExists(Classes, QStringLiteral("Quillet.file")));
        QCOMPARE(a.desktop.defaults.value(Mime), Viewer);
        QCOMPARE(a.desktop.installedEntry, QString());
    }

    void onTwiceBacksUpTheProgramsOwnValue()
    {
        Association a;
        a.withSystemAssociation();
        a.click();
        // The settings file was lost: the option reads as off again.
        a.state.RegisterMht = false;
        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{On});
        QCOMPARE(a.state.BkpDotMhtDef, QStringLiteral("Quillet.file"));

        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{Off});
        QCOMPARE(a.read(QStringLiteral(".mht")), QStringLiteral("Quillet.file"));
        // The desktop's previous opener is not lost with the settings file.
        QCOMPARE(a.desktop.defaults.value(Mime), Viewer);
    }

    void missingMhtKeyAndNoOpenerBefore()
    {
        Association a;
        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{On});
        QCOMPARE(a.state.BkpDotMhtDef, QString());
        QCOMPARE(a.read(QStringLiteral(".mht")), QStringLiteral("Quillet.file"));

        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{Off});
        QVERIFY(a.registry.keyExists(Classes, QStringLiteral(".mht")));
        QCOMPARE(a.read(QStringLiteral(".mht")), QString());
        // None before means none after.
        QVERIFY(!a.desktop.defaults.contains(Mime));
    }

    void turningOffAfterQuilletFileWasRemovedByHand()
    {
        Association a;
        a.withSystemAssociation();
        a.click();
        QVERIFY(a.registry.deleteKey(Classes, QStringLiteral("Quillet.file")));
        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{Off});
        QVERIFY(!a.state.RegisterMht);
    }

    void previousOpenerUninstalledMeansNone()
    {
        Association a;
        a.withSystemAssociation();
        a.click();
        a.desktop.applications.clear();
        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{Off});
        QVERIFY(!a.desktop.defaults.contains(Mime));
    }

    void refusedWriteLeavesTheOptionOff()
    {
        QTemporaryDir dir;
        Association a(dir.filePath(QStringLiteral("missing/registry.ini")));
        a.click();
        QCOMPARE(a.dialogs.texts(),
                 QStringList{QStringLiteral("Fatal error: ERegistryException error: Failed to set data for ''")});
        QCOMPARE(a.dialogs.shown.last().kind, Dialogs::Kind::Error);
        QVERIFY(!a.state.RegisterMht);
        QVERIFY(!a.item.isChecked());
        QCOMPARE(a.desktop.installedEntry, QString());
    }

    void backupQuestion_data()
    {
        QTest::addColumn<bool>("stop");
        QTest::newRow("No goes on") << false;
        QTest::newRow("Yes stops") << true;
    }
    void backupQuestion()
    {
        QFETCH(bool, stop);
        Association a;
        a.withSystemAssociation();
        // A number where a string belongs cannot be backed up.
        a.registry.setValue(Classes, QStringLiteral(".mht"), QStringLiteral("Content Type"),
                            RegistryStore::Value{RegistryStore::Value::Type::Number, QString(), 7});
        a.state.BkpIconDef = QStringLiteral("kept");
        a.dialogs.answers.enqueue(stop ? Dialogs::Answer::Yes : Dialogs::Answer::No);
        a.click();

        const QString question = QStringLiteral("An error occurred during the backup of existing system data "
                                                "(ERegistryException error: Invalid data type for 'Content Type'). "
                                                "Exit now?");
        QCOMPARE(a.dialogs.shown.first().text, question);
        QCOMPARE(a.dialogs.shown.first().kind, Dialogs::Kind::Warning);
        QCOMPARE(a.state.RegisterMht, !stop);
        QCOMPARE(a.item.isChecked(), !stop);
        QCOMPARE(a.state.BkpDotMhtDef, QStringLiteral("mhtmlfile"));
        QCOMPARE(a.state.BkpDotMhtCont, QString());
        QCOMPARE(a.state.BkpIconDef, stop ? QStringLiteral("kept") : QStringLiteral("viewer,1"));
        QCOMPARE(a.read(QStringLiteral(".mht")), stop ? QStringLiteral("mhtmlfile") : QStringLiteral("Quillet.file"));
        QCOMPARE(a.dialogs.texts().size(), stop ? 1 : 2);
    }

    void desktopFailures_data()
    {
        QTest::addColumn<bool>("turningOff");
        QTest::addColumn<QString>("call");
        QTest::addColumn<QString>("message");
        QTest::newRow("entry on") << false << "installEntry"
                                  << "Fatal error: installEntry failed";
        QTest::newRow("default on") << false << "setDefaultApplication"
                                    << "Fatal error: setDefaultApplication failed";
        QTest::newRow("default off") << true << "setDefaultApplication"
                                     << "setDefaultApplication failed";
        QTest::newRow("entry off") << true << "removeEntry"
                                   << "removeEntry failed";
    }
    void desktopFailures()
    {
        QFETCH(bool, turningOff);
        QFETCH(QString, call);
        QFETCH(QString, message);
        Association a;
        a.withSystemAssociation();
        if (turningOff)
            a.click();
        a.desktop.failing << call;
        a.click();
        QCOMPARE(a.dialogs.texts(), QStringList{message});
        QCOMPARE(a.state.RegisterMht, turningOff);
        QCOMPARE(a.item.isChecked(), turningOff);
    }

    void mainWindowOffersTheOption()
    {
        MainWindowFixture f;
        TMainF &window = f.create();
        QAction *item = window.ui().registerMhtMI;
        QVERIFY(item->isEnabled());
        item->trigger();
        QCOMPARE(f.dialogs.lastText(), On);
        QVERIFY(item->isChecked());
        QVERIFY(window.state().RegisterMht);
        QCOMPARE(f.association.installedEntry, f.path(QStringLiteral("quillet")));

        // The switch and its backups survive a restart through the settings file.
        window.close();
        f.window.reset();
        TMainF &again = f.create();
        QVERIFY(again.ui().registerMhtMI->isChecked());
        QCOMPARE(again.state().BkpDotMhtDef, QString());
        again.ui().registerMhtMI->trigger();
        QCOMPARE(f.dialogs.lastText(), Off);
        QVERIFY(!again.ui().registerMhtMI->isChecked());
    }
};

QTEST_MAIN(TestAssociation)
#include "tst_association.moc"
