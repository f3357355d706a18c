#include "FakeFolderChooser.h"
#include "LibraryViewFixture.h"
#include "libraryview/LibraryFoldersDialog.h"
#include "support/ProfileFile.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {

// The library of the fixture is its Save-to folder: nothing listed yet.
struct Fixture : LibraryViewFixture
{
    Fixture() { state.DefaultSaveFolder = libraryFolder(); }
};

} // namespace

class TestLibraryController : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    // Whatever the program writes, renames, moves or deletes is in the index
    // at once, without a run over the folders.
    void followsWhatTheProgramChanged()
    {
        Fixture f;
        const QString first =
            f.page(QStringLiteral("first.mht"), QStringLiteral("First"), QStringLiteral("<p>heron</p>"));
        QVERIFY(f.indexAll());
        QSignalSpy changed(&f.library, &LibraryController::indexChanged);

        const QString saved =
            f.page(QStringLiteral("saved.mht"), QStringLiteral("Saved"), QStringLiteral("<p>walrus</p>"));
        f.library.archivesChanged(
            {saved, QStringLiteral("https://example.org/page.mht"), f.path(QStringLiteral("a.htm"))});
        QTRY_COMPARE_WITH_TIMEOUT(f.found(QStringLiteral("walrus")), QStringList{QStringLiteral("saved.mht")}, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.library.busy(), 10000);
        QCOMPARE(changed.size(), 1);

        const QString renamed = f.libraryFolder() + QStringLiteral("/renamed.mht");
        QVERIFY(QFile::rename(first, renamed));
        f.library.archivesChanged({first, renamed});
        QTRY_COMPARE_WITH_TIMEOUT(f.found(QStringLiteral("heron")), QStringList{QStringLiteral("renamed.mht")}, 10000);

        QVERIFY(QFile::remove(saved));
        f.library.archivesChanged({saved});
        QTRY_COMPARE_WITH_TIMEOUT(f.found(QStringLiteral("walrus")), QStringList(), 10000);
    }

    // A run goes over the library folders and the histories' archives; a
    // file added to a folder later is found without being told.
    void runsOverTheFoldersAndFollowsThem()
    {
        Fixture f;
        f.page(QStringLiteral("a.mht"), QStringLiteral("A"), QStringLiteral("<p>heron</p>"));
        const QString elsewhere = f.path(QStringLiteral("elsewhere/opened.mht"));
        LibraryFixture::write(elsewhere, LibraryFixture::utf8Page(QStringLiteral("Opened"), QStringLiteral("heron")));
        f.histories.allH->AddItem(elsewhere);

        f.library.start(0);
        QTRY_COMPARE_WITH_TIMEOUT(f.found(QStringLiteral("heron")),
                                  (QStringList{QStringLiteral("a.mht"), QStringLiteral("opened.mht")}), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!f.library.busy(), 10000);
        QVERIFY(!f.ui.StB1->findChild<QLabel *>(QStringLiteral("LibraryProgressL"))->isVisible());

        f.page(QStringLiteral("sub/later.mht"), QStringLiteral("Later"), QStringLiteral("<p>heron</p>"));
        QTRY_COMPARE_WITH_TIMEOUT(
            f.found(QStringLiteral("heron")),
            (QStringList{QStringLiteral("a.mht"), QStringLiteral("later.mht"), QStringLiteral("opened.mht")}), 20000);
    }

    // A damaged index is rebuilt from the archives in the background, with
    // one message in the status bar.
    void aDamagedIndexIsRebuiltWithOneMessage()
    {
        Fixture f;
        f.page(QStringLiteral("a.mht"), QStringLiteral("A"), QStringLiteral("<p>heron</p>"));
        QFile damaged(f.library.indexPath());
        QVERIFY(damaged.open(QIODevice::WriteOnly));
        damaged.write(QByteArray(8192, 'x'));
        damaged.close();
        QSignalSpy messages(f.ui.StB1, &QStatusBar::messageChanged);
        QSignalSpy changed(&f.library, &LibraryController::indexChanged);

        // The worker is the first to open the index; nothing here looks at it before.
        f.library.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(!changed.isEmpty() && !f.library.busy(), 10000);
        QCOMPARE(f.found(QStringLiteral("heron")), QStringList{QStringLiteral("a.mht")});
        const QString notice = QStringLiteral("The library index was damaged; it is rebuilt from the archives (the "
                                              "old file is kept as library.sqlite.damaged)");
        QCOMPARE(f.status(), notice);
        int shown = 0;
        for (const QList<QVariant> &message : std::as_const(messages))
            shown += message.value(0).toString() == notice;
        QCOMPARE(shown, 1);
        QVERIFY(QFileInfo::exists(f.library.indexPath() + QStringLiteral(".damaged")));
    }

    // The index file made anew between two runs (removed, or moved aside by
    // another program) is the one the next run fills, not the old one.
    void aRunFillsTheIndexMadeAnew()
    {
        Fixture f;
        f.page(QStringLiteral("a.mht"), QStringLiteral("A"), QStringLiteral("<p>heron</p>"));
        QSignalSpy changed(&f.library, &LibraryController::indexChanged);
        f.library.start(0);
        QTRY_VERIFY_WITH_TIMEOUT(changed.size() == 1 && !f.library.busy(), 10000);

        for (const QString &suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
            QFile::remove(f.library.indexPath() + suffix);
        f.library.indexNow();
        QTRY_VERIFY_WITH_TIMEOUT(changed.size() == 2 && !f.library.busy(), 10000);
        QCOMPARE(f.found(QStringLiteral("heron")), QStringList{QStringLiteral("a.mht")});
    }

    // The folders are the Save-to folder until the user lists others; an
    // absent one is shown unavailable and stays listed.
    void foldersDialogKeepsAnAbsentFolder()
    {
        Fixture f;
        QDir().mkpath(f.libraryFolder());
        QCOMPARE(f.library.folders(), QStringList{f.libraryFolder()});
        const QString absent = QStringLiteral("/media/quillet-test-absent/archives");
        f.folders.chosen = absent;
        QStringList shown;
        QTimer::singleShot(0, &f.window, [&] {
            auto *dialog = qobject_cast<LibraryFoldersDialog *>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QPushButton *>(QStringLiteral("AddB"))->click();
            auto *list = dialog->findChild<QListWidget *>(QStringLiteral("FoldersLST"));
            for (int i = 0; i < list->count(); ++i)
                shown << list->item(i)->text();
            dialog->accept();
        });
        f.ui.LibraryFoldersMI->trigger();
        QCOMPARE(shown, (QStringList{f.libraryFolder(), absent + QStringLiteral(" (unavailable)")}));
        QCOMPARE(f.library.folders(), (QStringList{f.libraryFolder(), absent}));
        QCOMPARE(ProfileFile(f.path(QStringLiteral("quillet.ini")))
                     .ReadInteger(QStringLiteral("Library"), QStringLiteral("Count"), -1),
                 2);
    }
};

QTEST_MAIN(TestLibraryController)
#include "tst_librarycontroller.moc"
