#include "FakeDialogs.h"
#include "dialogs/TLocxxxF.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QStorageInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <functional>

Q_DECLARE_METATYPE(Dialogs::Answer)
Q_DECLARE_METATYPE(Dialogs::Kind)

class TestLocxxx : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;

    QString tmp(const QString &text) const { return QString(text).replace(QStringLiteral("$T"), m_root.path()); }

    // Runs action on the chooser once it is up as a modal window.
    static void whenModal(QObject *context, const std::function<void(TLocxxxF *)> &action)
    {
        QTimer::singleShot(10, context, [context, action] {
            auto *dialog = qobject_cast<TLocxxxF *>(QApplication::activeModalWidget());
            if (!dialog) {
                whenModal(context, action);
                return;
            }
            action(dialog);
        });
    }

    template <typename T> static T *child(QObject *parent, const char *name)
    {
        T *found = parent->findChild<T *>(QString::fromLatin1(name));
        Q_ASSERT(found);
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(m_root.isValid());
        QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("sub/deeper")));
        QFile file(m_root.filePath(QStringLiteral("file.txt")));
        QVERIFY(file.open(QIODevice::WriteOnly));
    }

    void form()
    {
        FakeDialogs dialogs;
        TLocxxxF dialog(dialogs);
        QCOMPARE(dialog.windowTitle(), QStringLiteral("Search Location "));
        QCOMPARE(child<QPushButton>(&dialog, "SavelocB")->text(), QStringLiteral("&Ok"));
        QCOMPARE(child<QPushButton>(&dialog, "CancelB")->text(), QStringLiteral("&Cancel"));
        QCOMPARE(child<QLabel>(&dialog, "Label2")->text(), QStringLiteral("Resulting location:"));
        QVERIFY(child<QLabel>(&dialog, "Label2")->font().bold());
        QVERIFY(child<QComboBox>(&dialog, "driCB")->findData(QStringLiteral("/")) >= 0);
        dialog.show();
        QVERIFY(!child<QLabel>(&dialog, "resultL")->isVisible());
        QVERIFY(!child<QWidget>(&dialog, "DirectoryListBox1")->isVisible());
    }

    void okRules_data()
    {
        using A = Dialogs::Answer;
        QTest::addColumn<QString>("location");
        QTest::addColumn<QList<A>>("answers");
        QTest::addColumn<QStringList>("texts");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QString>("result");
        QTest::addColumn<bool>("exists");

        const QString question = QStringLiteral("Chosen location is invalid or does not exist. I try to create it??");
        const QString anyway = QStringLiteral("Accept the path anyway??");
        QTest::newRow("empty") << QString() << QList<A>{} << QStringList{QStringLiteral("No directory selected!")}
                               << true << QString() << false;
        QTest::newRow("one character") << QStringLiteral("a") << QList<A>{}
                                       << QStringList{QStringLiteral("Invalid, need at least 2 characters!")} << false
                                       << QStringLiteral("") << false;
        QTest::newRow("root") << QStringLiteral("/") << QList<A>{} << QStringList{} << true << QStringLiteral("/")
                              << true;
        QTest::newRow("existing folder") << QStringLiteral("$T/sub") << QList<A>{} << QStringList{} << true
                                         << QStringLiteral("$T/sub") << true;
        QTest::newRow("existing folder, trailing slash")
            << QStringLiteral("$T/sub/") << QList<A>{} << QStringList{} << true << QStringLiteral("$T/sub") << true;
        QTest::newRow("two missing levels created on Yes")
            << QStringLiteral("$T/new/level/") << QList<A>{A::Yes}
            << QStringList{question, QStringLiteral("Creation succesfull")} << true << QStringLiteral("$T/new/level")
            << true;
        QTest::newRow("missing, No and No stays")
            << QStringLiteral("$T/nope") << QList<A>{A::No, A::No} << QStringList{question, anyway} << false
            << QStringLiteral("$T/nope") << false;
        QTest::newRow("missing, No and Yes accepts uncreated")
            << QStringLiteral("$T/later/") << QList<A>{A::No, A::Yes} << QStringList{question, anyway} << true
            << QStringLiteral("$T/later") << false;
        QTest::newRow("creation fails, accepted after the error")
            << QStringLiteral("$T/file.txt/sub") << QList<A>{A::Yes}
            << QStringList{question, QStringLiteral("Unable to create $T/file.txt/sub. Probably invalid drive or not "
                                                    "writable! accept it anyway??")}
            << true << QStringLiteral("$T/file.txt/sub") << false;
        QTest::newRow("relative name of an existing folder is not taken as one")
            << QStringLiteral("sub") << QList<A>{A::No, A::No} << QStringList{question, anyway} << false
            << QStringLiteral("sub") << false;
    }

    void okRules()
    {
        QFETCH(QString, location);
        QFETCH(QList<Dialogs::Answer>, answers);
        QFETCH(QStringList, texts);
        QFETCH(bool, closes);
        QFETCH(QString, result);
        QFETCH(bool, exists);
        for (QString &text : texts)
            text = tmp(text);

        // The relative row would find "sub" if it looked in the working folder.
        const QString oldCurrent = QDir::currentPath();
        QDir::setCurrent(m_root.path());
        FakeDialogs dialogs;
        for (Dialogs::Answer answer : answers)
            dialogs.answers.enqueue(answer);
        TLocxxxF dialog(dialogs);
        QSignalSpy accepted(&dialog, &QDialog::accepted);
        child<QLineEdit>(&dialog, "locxxxE")->setText(tmp(location));
        dialog.SavelocBClick();
        QDir::setCurrent(oldCurrent);

        QCOMPARE(dialogs.texts(), texts);
        QVERIFY(dialogs.answers.isEmpty());
        QCOMPARE(accepted.count(), closes ? 1 : 0);
        QCOMPARE(dialog.resultText(), tmp(result));
        if (!result.isEmpty())
            QCOMPARE(QFileInfo(tmp(result)).isDir(), exists);
        if (!dialogs.shown.isEmpty() && dialogs.lastText().startsWith(QStringLiteral("Unable")))
            QCOMPARE(dialogs.shown.last().kind, Dialogs::Kind::Error);
    }

    void treeKeepsFieldAndDriveInStep()
    {
        FakeDialogs dialogs;
        TLocxxxF dialog(dialogs);
        auto *field = child<QLineEdit>(&dialog, "locxxxE");
        auto *drives = child<QComboBox>(&dialog, "driCB");
        const QString folder = m_root.filePath(QStringLiteral("sub/deeper"));

        dialog.setTreePath(folder);
        QCOMPARE(dialog.treePath(), folder);
        QCOMPARE(dialog.listDirectory(), folder);
        QCOMPARE(field->text(), folder);
        QCOMPARE(drives->currentData().toString(), QStorageInfo(folder).rootPath());

        // Typing into the field is not undone by anything but a new pick.
        field->setText(QStringLiteral("/typed"));
        dialog.setTreePath(m_root.path());
        QCOMPARE(field->text(), m_root.path());

        // A path the tree cannot show changes nothing.
        dialog.setTreePath(m_root.filePath(QStringLiteral("missing")));
        QCOMPARE(dialog.treePath(), m_root.path());
        QCOMPARE(field->text(), m_root.path());
    }

    void driveBoxMovesTreeToItsRoot()
    {
        FakeDialogs dialogs;
        TLocxxxF dialog(dialogs);
        auto *drives = child<QComboBox>(&dialog, "driCB");
        dialog.setTreePath(m_root.path());
        const int rootVolume = drives->findData(QStringLiteral("/"));
        const int other = drives->currentIndex() == rootVolume ? (rootVolume + 1) % drives->count() : rootVolume;
        if (other == drives->currentIndex())
            QSKIP("only one volume is mounted");
        drives->setCurrentIndex(other);
        const QString volumeRoot = drives->itemData(other).toString();
        QCOMPARE(dialog.treePath(), volumeRoot);
        QCOMPARE(child<QLineEdit>(&dialog, "locxxxE")->text(), volumeRoot);
    }

    void modalRun_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("how");
        QTest::addColumn<QString>("chosen");
        QTest::newRow("Ok on the start folder") << QString() << QStringLiteral("ok") << QStringLiteral("$T/sub");
        QTest::newRow("Ok on a typed folder")
            << QStringLiteral("$T/sub/deeper/") << QStringLiteral("ok") << QStringLiteral("$T/sub/deeper");
        QTest::newRow("Cancel") << QStringLiteral("$T") << QStringLiteral("cancel") << QString();
        QTest::newRow("Escape in the field") << QStringLiteral("$T") << QStringLiteral("escape field") << QString();
        QTest::newRow("Escape in the tree") << QStringLiteral("$T") << QStringLiteral("escape tree") << QString();
        QTest::newRow("Ok on an empty field") << QStringLiteral("") << QStringLiteral("ok") << QString();
    }

    void modalRun()
    {
        QFETCH(QString, typed);
        QFETCH(QString, how);
        QFETCH(QString, chosen);
        FakeDialogs dialogs;
        TLocxxxF dialog(dialogs);
        QString startShown;
        whenModal(this, [&](TLocxxxF *shown) {
            auto *field = child<QLineEdit>(shown, "locxxxE");
            startShown = field->text();
            if (!typed.isNull())
                field->setText(tmp(typed));
            if (how == QStringLiteral("ok"))
                QTest::mouseClick(child<QPushButton>(shown, "SavelocB"), Qt::LeftButton);
            else if (how == QStringLiteral("cancel"))
                QTest::mouseClick(child<QPushButton>(shown, "CancelB"), Qt::LeftButton);
            else if (how == QStringLiteral("escape field"))
                QTest::keyClick(field, Qt::Key_Escape);
            else
                QTest::keyClick(child<QTreeView>(shown, "ST1"), Qt::Key_Escape);
        });
        const QString result = dialog.chooseFolder(m_root.filePath(QStringLiteral("sub")));
        QCOMPARE(startShown, m_root.filePath(QStringLiteral("sub")));
        QCOMPARE(dialog.treePath(), m_root.filePath(QStringLiteral("sub")));
        QCOMPARE(result, tmp(chosen));
    }

    void screenshot()
    {
        const QString target = qEnvironmentVariable("QUILLET_SCREENSHOTS");
        if (target.isEmpty())
            QSKIP("set QUILLET_SCREENSHOTS to a folder to save a picture of the dialog");
        FakeDialogs dialogs;
        TLocxxxF dialog(dialogs);
        dialog.setWindowTitle(QStringLiteral("Give destination to save to."));
        dialog.show();
        dialog.setTreePath(m_root.filePath(QStringLiteral("sub/deeper")));
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.grab().save(target + QStringLiteral("/quillet-locxxx.png")));
    }
};

QTEST_MAIN(TestLocxxx)
#include "tst_locxxx.moc"
