#include "ControllerFixture.h"
#include "saving/FileManagementController.h"
#include "saving/SaveController.h"

#include <QFile>
#include <QFileInfo>
#include <QScopeGuard>
#include <QtTest>

Q_DECLARE_METATYPE(Dialogs::Answer)

namespace {
using Answer = Dialogs::Answer;

// The file management controller over the fixture, its commands connected,
// with the save controller that makes New, and a folder of archives.
struct Fixture : ControllerFixture
{
    SaveController saving{state, ui, histories, browser, dialogs, modes, *navigator, archives, saveTo, folders, beep};
    FileManagementController files{state,  ui,      histories, browser,    dialogs,
                                   window, folders, saving,    *navigator, archives};
    QString saved = saveFolder();

    Fixture()
    {
        QFile::copy(qEnvironmentVariable("QUILLET_SHIPPED_DATA") + QStringLiteral("/untitled.mht"),
                    path(QStringLiteral("untitled.mht")));
        files.connectCommands();
        showPage(QStringLiteral("/quillet/bestpractice.htm"), QStringLiteral("Best practice"), false);
    }

    QString file(const QString &name) const { return saved + QLatin1Char('/') + name; }

    // An archive listed in the file histories (as after a save), opened in
    // the given mode or not at all.
    QString archive(const QString &name, const QString &open = QStringLiteral("none"))
    {
        const QString target = file(name);
        QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/sample.mht"), target);
        if (open == QStringLiteral("none")) {
            for (TMYcustomhistory *list : fileLists())
                list->AddItem(target);
        } else {
            navigator->startHitemclicked(target);
            for (TMYcustomhistory *list : fileLists())
                list->AddItem(target);
            if (open == QStringLiteral("edit"))
                modes.seteditmode(false);
        }
        dialogs.shown.clear();
        return target;
    }

    QList<TMYcustomhistory *> fileLists() { return {histories.allH, histories.startH, histories.renH, histories.delH}; }

    // The entries of the four file lists.
    QStringList listed()
    {
        QStringList all;
        for (TMYcustomhistory *list : fileLists())
            all << list->histlist();
        return all;
    }

    // Clicks the list's menu entry for text, as the user would.
    void click(TMYcustomhistory *list, const QString &text)
    {
        const int index = int(list->histlist().indexOf(text));
        QVERIFY2(index >= 0, qPrintable(text));
        list->itemEntries().at(index)->trigger();
    }

    QString address() const { return ui.URLs->text(); }
};

bool inTrash(const QString &dataHome, const QString &name)
{
    return QFileInfo::exists(dataHome + QStringLiteral("/Trash/files/") + name);
}
} // namespace

class TestFileManagement : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dataHome;
    int m_deleted = 0;

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_dataHome.isValid());
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_dataHome.path()));
    }

    void deleteFromHistory_data()
    {
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<QString>("open"); // none, surf or edit
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<bool>("trashRefuses"); // and the user keeps the file after all

        QTest::newRow("No") << Answer::No << "surf" << true << false;
        QTest::newRow("Yes, not open") << Answer::Yes << "none" << true << false;
        QTest::newRow("Yes, open in surf mode: Home") << Answer::Yes << "surf" << true << false;
        QTest::newRow("Yes, open in edit mode: New") << Answer::Yes << "edit" << true << false;
        QTest::newRow("Yes, file already gone") << Answer::Yes << "none" << false << false;
        QTest::newRow("Yes, no trash, kept") << Answer::Yes << "none" << true << true;
    }

    void deleteFromHistory()
    {
        QFETCH(Answer, answer);
        QFETCH(QString, open);
        QFETCH(bool, fileThere);
        QFETCH(bool, trashRefuses);

        Fixture f;
        // Each row's file has a name of its own in the shared trash.
        const QString path = f.archive(QStringLiteral("doomed%1.mht").arg(++m_deleted), open);
        if (!fileThere)
            QFile::remove(path);
        const QStringList movesBefore = f.histories.MoveH->histlist();
        const qsizetype navigationsBefore = f.browser.navigations.size();
        f.dialogs.answers.enqueue(answer);
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        if (trashRefuses) {
            // Where a plain file stands, no trash folder can be made.
            qputenv("XDG_DATA_HOME", QFile::encodeName(path + QStringLiteral("/data")));
            f.dialogs.answers.enqueue(Answer::No);
        }

        f.click(f.histories.delH, path);

        QCOMPARE(f.dialogs.shown.value(0).text, QStringLiteral("Really delete file and its history: ") + path);
        if (trashRefuses) {
            QCOMPARE(f.dialogs.texts().value(1),
                     QStringLiteral("The trash cannot take ") + path + QStringLiteral("; delete it permanently?"));
            QCOMPARE(f.dialogs.shown.size(), 2);
            QVERIFY(QFileInfo::exists(path));
            QCOMPARE(f.listed().count(path), 4);
            return;
        }
        if (answer == Answer::No) {
            QVERIFY(QFileInfo::exists(path));
            QCOMPARE(f.listed().count(path), 4);
            QCOMPARE(f.browser.navigations.size(), navigationsBefore);
            QVERIFY(f.archives.reports.isEmpty());
            return;
        }
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(f.archives.reports, QList<QStringList>{{path}});
        QCOMPARE(inTrash(m_dataHome.path(), QFileInfo(path).fileName()), fileThere);
        QVERIFY2(!f.listed().contains(path), qPrintable(f.listed().join(u',')));
        QCOMPARE(f.histories.MoveH->histlist(), movesBefore);
        QCOMPARE(f.dialogs.texts().contains(QStringLiteral("Could not delete file. Probably in use or not existing.")),
                 !fileThere);
        if (open == QStringLiteral("surf")) {
            QCOMPARE(f.browser.navigations.value(navigationsBefore), f.browser.homeAddress);
        } else if (open == QStringLiteral("edit")) {
            QCOMPARE(f.address(), f.file(QStringLiteral("untitled.mht")));
            QVERIFY(!f.state.SurfMode);
        } else {
            QCOMPARE(f.browser.navigations.size(), navigationsBefore);
        }
    }

    void deleteThroughBrowse_data()
    {
        QTest::addColumn<bool>("fileThere");
        QTest::addColumn<bool>("trashRefuses");
        QTest::addColumn<Answer>("permanently"); // the answer to the question that follows a refusal
        QTest::newRow("deleted") << true << false << Answer::No;
        QTest::newRow("cannot be deleted") << false << false << Answer::No;
        QTest::newRow("no trash, deleted permanently") << true << true << Answer::Yes;
        QTest::newRow("no trash, kept") << true << true << Answer::No;
    }

    void deleteThroughBrowse()
    {
        QFETCH(bool, fileThere);
        QFETCH(bool, trashRefuses);
        QFETCH(Answer, permanently);
        Fixture f;
        const QString path = f.archive(QStringLiteral("browsed%1.mht").arg(++m_deleted), QStringLiteral("surf"));
        if (!fileThere)
            QFile::remove(path);
        const QByteArray dataHome = qgetenv("XDG_DATA_HOME");
        const auto restore = qScopeGuard([&] { qputenv("XDG_DATA_HOME", dataHome); });
        if (trashRefuses) {
            // Where a plain file stands, no trash folder can be made.
            const QString plain = f.file(QStringLiteral("plain"));
            QVERIFY(QFile(plain).open(QIODevice::WriteOnly));
            qputenv("XDG_DATA_HOME", QFile::encodeName(plain + QStringLiteral("/data")));
            f.dialogs.answers.enqueue(permanently);
        }
        const QStringList listedBefore = f.listed();
        const qsizetype navigationsBefore = f.browser.navigations.size();
        f.dialogs.fileNames.enqueue(path);
        // The entry of a disabled menu ignores its shortcut, as the rename menu does.
        f.ui.RenMI->setEnabled(false);
        f.ui.RenBrowseMI->trigger();

        f.ui.DelBrowseMI->trigger();
        QCOMPARE(f.dialogs.asked, QStringList{QStringLiteral("Select file to delete|") + f.saved});

        const QString question =
            QStringLiteral("The trash cannot take ") + path + QStringLiteral("; delete it permanently?");
        if (trashRefuses) {
            QCOMPARE(f.dialogs.texts(), QStringList{question});
            QVERIFY(!inTrash(m_dataHome.path(), QFileInfo(path).fileName()));
            QCOMPARE(QFileInfo::exists(path), permanently == Answer::No);
            if (permanently == Answer::Yes)
                QCOMPARE(f.status(), QStringLiteral("Deleted permanently: ") + path);
            else
                QVERIFY(!f.status().contains(path));
        } else if (fileThere) {
            QVERIFY(!QFileInfo::exists(path));
            QCOMPARE(f.status(), QStringLiteral("Deleted: ") + path);
            QVERIFY(f.dialogs.shown.isEmpty());
        } else {
            QCOMPARE(f.dialogs.texts(),
                     QStringList{QStringLiteral("Could not delete: ") + path +
                                 QStringLiteral(". Probably in use. Please try remove it manually")});
            QCOMPARE(f.dialogs.shown.value(0).kind, Dialogs::Kind::Warning);
        }
        QCOMPARE(f.listed(), listedBefore);
        QCOMPARE(f.browser.navigations.size(), navigationsBefore);
        QCOMPARE(f.address(), path);
    }

    void renameThroughInputBox_data()
    {
        QTest::addColumn<QString>("input");    // relative to the folder; "<cancel>"
        QTest::addColumn<QString>("existing"); // a file there beforehand
        QTest::addColumn<Answer>("answer");    // to the folder question
        QTest::addColumn<bool>("moved");
        QTest::addColumn<QString>("message"); // the one box shown besides the input box

        const QString ask = QStringLiteral("The given path does not exist. I try to create it?");
        QTest::newRow("cancelled") << "<cancel>"
                                   << "" << Answer::No << false << "";
        QTest::newRow("unchanged") << "page.mht"
                                   << "" << Answer::No << false << "";
        QTest::newRow("new name") << "renamed.mht"
                                  << "" << Answer::No << true << "";
        QTest::newRow("letter case only") << "Page.mht"
                                          << "" << Answer::No << true << "";
        QTest::newRow("missing folder, created, no move") << "new/deeper/page.mht"
                                                          << "" << Answer::Yes << false << ask;
        QTest::newRow("missing folder, not created") << "new/deeper/page.mht"
                                                     << "" << Answer::No << false << ask;
        QTest::newRow("target exists: refused") << "other.mht"
                                                << "other.mht" << Answer::No << false
                                                << "Could not move $F/page.mht to $F/other.mht: A file "
                                                   "of that name exists already.";
    }

    void renameThroughInputBox()
    {
        QFETCH(QString, input);
        QFETCH(QString, existing);
        QFETCH(Answer, answer);
        QFETCH(bool, moved);
        QFETCH(QString, message);

        Fixture f;
        const QString path = f.archive(QStringLiteral("page.mht"));
        const QString target = f.file(input);
        if (!existing.isEmpty())
            QFile::copy(path, f.file(existing));
        const QStringList listedBefore = f.listed();
        f.dialogs.inputs.enqueue(input == QStringLiteral("<cancel>") ? std::nullopt : std::optional(target));
        f.dialogs.answers.enqueue(answer);

        f.click(f.histories.renH, path);

        QCOMPARE(f.dialogs.asked, QStringList{QStringLiteral("Input Box|Give new name|") + path});
        QCOMPARE(f.dialogs.texts(),
                 message.isEmpty() ? QStringList() : QStringList{QString(message).replace(u"$F"_qs, f.saved)});
        QCOMPARE(QFileInfo::exists(f.file(QStringLiteral("new/deeper"))), answer == Answer::Yes);
        if (!moved) {
            QVERIFY(QFileInfo::exists(path));
            QVERIFY(!f.status().startsWith(QStringLiteral("OK: ")));
            QCOMPARE(f.listed(), listedBefore);
            QVERIFY(f.archives.reports.isEmpty());
            return;
        }
        QCOMPARE(f.archives.reports, (QList<QStringList>{{path, target}}));
        QVERIFY(QFileInfo::exists(target));
        QVERIFY(!QDir(f.saved).entryList().contains(QStringLiteral("page.mht")));
        QCOMPARE(f.status(), QStringLiteral("OK: ") + target);
        QVERIFY(!f.listed().contains(path));
        // The lists match texts ignoring case, so a case-only rename drops the entries.
        QCOMPARE(f.listed().count(target), input == QStringLiteral("Page.mht") ? 0 : 4);
    }

    void moveTheOpenFile_data()
    {
        QTest::addColumn<bool>("throughChooser");
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("from the move history") << false << false;
        QTest::newRow("through the location chooser") << true << false;
        QTest::newRow("from the move history, target exists") << false << true;
        QTest::newRow("through the location chooser, target exists") << true << true;
    }

    void moveTheOpenFile()
    {
        QFETCH(bool, throughChooser);
        QFETCH(bool, targetExists);

        Fixture f;
        const QString folder = f.file(QStringLiteral("other"));
        QVERIFY(QDir().mkpath(folder));
        const QString path = f.archive(QStringLiteral("open.mht"), QStringLiteral("surf"));
        const QString target = folder + QStringLiteral("/open.mht");
        if (targetExists)
            QVERIFY(QFile::copy(path, target));
        Histories &h = f.histories;
        h.MoveH->AddItem(folder);
        const QStringList listedBefore = f.listed();
        const qsizetype navigationsBefore = f.browser.navigations.size();

        if (throughChooser) {
            f.folders.chosen = folder + QLatin1Char('/');
            f.ui.MoveBrowseMI->trigger();
            QCOMPARE(f.folders.requests, QStringList{QStringLiteral("Give destination to move to.|") + f.saved});
        } else {
            f.click(h.MoveH, folder);
        }

        QVERIFY(QFileInfo::exists(target));
        QCOMPARE(f.state.MovePending, false);
        if (targetExists) {
            QVERIFY(QFileInfo::exists(path));
            QCOMPARE(f.dialogs.texts(), QStringList{QStringLiteral("Could not move ") + path + QStringLiteral(" to ") +
                                                    target + QStringLiteral(": A file of that name exists already.")});
            QCOMPARE(f.address(), path);
            QCOMPARE(f.listed(), listedBefore);
            QCOMPARE(f.browser.navigations.size(), navigationsBefore);
            QVERIFY(!f.status().startsWith(QStringLiteral("OK: ")) && !f.status().startsWith(QStringLiteral("Moving")));
            QVERIFY(f.archives.reports.isEmpty());
            return;
        }
        QVERIFY(!QFileInfo::exists(path));
        QCOMPARE(f.archives.reports, (QList<QStringList>{{path, target}}));
        QCOMPARE(f.address(), target);
        QCOMPARE(f.browser.navigations.value(navigationsBefore), target);
        QCOMPARE(f.status(), throughChooser ? QStringLiteral("Moving to: ") + folder : QStringLiteral("OK: ") + target);
        QVERIFY(!f.listed().contains(path));
        QVERIFY(f.histories.delH->histlist().contains(target));
    }

    void renameFromTheAddressBox_data()
    {
        QTest::addColumn<bool>("edit");
        QTest::addColumn<Answer>("answer");
        QTest::addColumn<bool>("targetExists");
        QTest::newRow("surf mode: nothing") << false << Answer::Ok << false;
        QTest::newRow("edit mode, Cancel") << true << Answer::Cancel << false;
        QTest::newRow("edit mode, OK") << true << Answer::Ok << false;
        QTest::newRow("edit mode, OK, target exists") << true << Answer::Ok << true;
    }

    void renameFromTheAddressBox()
    {
        QFETCH(bool, edit);
        QFETCH(Answer, answer);
        QFETCH(bool, targetExists);

        Fixture f;
        const QString path =
            f.archive(QStringLiteral("boxed.mht"), edit ? QStringLiteral("edit") : QStringLiteral("surf"));
        const QString target = f.file(QStringLiteral("named.mht"));
        if (targetExists)
            QVERIFY(QFile::copy(path, target));
        const QStringList listedBefore = f.listed();
        const QString captionBefore = f.window.windowTitle();
        f.ui.UrlMemL->setText(path);
        f.ui.URLs->setText(target);
        f.dialogs.shown.clear();
        f.dialogs.answers.enqueue(answer);

        f.files.URLsDblClick();

        if (!edit) {
            QVERIFY(f.dialogs.shown.isEmpty());
            QVERIFY(QFileInfo::exists(path));
            return;
        }
        QCOMPARE(f.dialogs.shown.value(0).text, QStringLiteral("Renaming file ") + path +
                                                    QStringLiteral("\nActive contents will be saved in file ") +
                                                    target);
        const bool moved = answer == Answer::Ok && !targetExists;
        QCOMPARE(QFileInfo::exists(path), !moved);
        QCOMPARE(f.ui.UrlMemL->text(), moved ? target : path);
        QCOMPARE(f.window.windowTitle(), moved ? QStringLiteral("named.mht - Quillet") : captionBefore);
        if (moved) {
            QCOMPARE(f.listed().count(target), 4);
            QCOMPARE(f.address(), target);
        } else {
            QCOMPARE(f.listed(), listedBefore);
        }
        if (targetExists) {
            QCOMPARE(f.dialogs.shown.size(), 2);
            // The box names the open file again, so Save cannot write over the other one.
            QCOMPARE(f.address(), path);
        }
    }
};

QTEST_MAIN(TestFileManagement)
#include "tst_filemanagementcontroller.moc"
