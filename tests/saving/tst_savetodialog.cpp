#include "FakeDialogs.h"
#include "FakeFolderChooser.h"
#include "dialogs/QtDialogs.h"
#include "saving/TSaveToF.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

const QString forbiddenNote = QStringLiteral("A forbidden character was entered. We chose a better alternative.");

} // namespace

class TestSaveToDialog : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_root;
    FakeDialogs m_dialogs;
    int m_beeps = 0;

    struct Fixture
    {
        FakeFolderChooser chooser;
        TSaveToF dialog;
        Fixture(Dialogs &, int &beeps) : dialog(chooser, [&beeps] { ++beeps; }) {}
        template <typename T> T *child(const char *name)
        {
            T *found = dialog.findChild<T *>(QString::fromLatin1(name));
            Q_ASSERT(found);
            return found;
        }
    };

    // Runs action once a modal window of type T is up.
    template <typename T> static void whenModal(QObject *context, const std::function<void(T *)> &action)
    {
        QTimer::singleShot(10, context, [context, action] {
            auto *window = qobject_cast<T *>(QApplication::activeModalWidget());
            if (!window) {
                whenModal<T>(context, action);
                return;
            }
            action(window);
        });
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(QDir(m_root.path()).mkpath(QStringLiteral("a/b"))); }
    void init() { m_beeps = 0; }

    void form()
    {
        Fixture f(m_dialogs, m_beeps);
        QCOMPARE(f.dialog.windowTitle(), QStringLiteral("Save to..."));
        QVERIFY(f.dialog.windowFlags() & Qt::WindowStaysOnTopHint);
        QCOMPARE(f.dialog.size(), QSize(792, 566));
        QCOMPARE(f.child<QLabel>("Label2")->text(), QStringLiteral("Click folder from history:"));
        QCOMPARE(f.child<QPushButton>("browseB")->text(), QStringLiteral("or Browse..."));
        QCOMPARE(f.child<QLabel>("Label1")->text(), QStringLiteral("Complete file path:"));
        QCOMPARE(f.child<QLabel>("ffnL")->text(), QStringLiteral("<Chosen folder and file path...>"));
        QCOMPARE(f.child<QPushButton>("SaveB")->text(), QStringLiteral("Save"));
        QCOMPARE(f.child<QPushButton>("CancelB")->text(), QStringLiteral("Cancel"));
    }

    void titleCheck_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("typed");
        QTest::addColumn<QString>("field");
        QTest::addColumn<int>("beeps");
        QTest::newRow("drive path typed") << QStringLiteral("C:\\a") << true << QStringLiteral("C=)a") << 2;
        QTest::newRow("drive path set at once") << QStringLiteral("C:\\a") << false << QStringLiteral("C=)a") << 1;
        QTest::newRow("every forbidden character")
            << QStringLiteral("/\\:*?\"<>|") << false << QStringLiteral("()=+\u00e7\u00a8{}!") << 1;
        QTest::newRow("unix path typed") << QStringLiteral("/home/x") << true << QStringLiteral("(home(x") << 2;
        QTest::newRow("clean title") << QStringLiteral("Notes & more") << true << QStringLiteral("Notes & more") << 0;
    }

    void titleCheck()
    {
        QFETCH(QString, text);
        QFETCH(bool, typed);
        QFETCH(QString, field);
        QFETCH(int, beeps);
        Fixture f(m_dialogs, m_beeps);
        auto *name = f.child<QLineEdit>("NameE");
        if (typed)
            QTest::keyClicks(name, text);
        else
            name->setText(text);
        QCOMPARE(name->text(), field);
        QCOMPARE(f.dialog.SaveToName, field);
        QCOMPARE(m_beeps, beeps);
        QCOMPARE(f.child<QStatusBar>("stb")->currentMessage(), beeps ? forbiddenNote : QString());
    }

    void titleCheckKeepsCaret()
    {
        Fixture f(m_dialogs, m_beeps);
        auto *name = f.child<QLineEdit>("NameE");
        QTest::keyClicks(name, QStringLiteral("ab"));
        name->setCursorPosition(1);
        QTest::keyClicks(name, QStringLiteral("?x"));
        QCOMPARE(name->text(), QStringLiteral("a\u00e7xb"));
        QCOMPARE(name->cursorPosition(), 3);
    }

    void folderCheckIsSilent_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("field");
        QTest::newRow("separators kept") << QStringLiteral("C:\\a/b/") << QStringLiteral("C:\\a/b/");
        QTest::newRow("others mapped") << QStringLiteral("/x*y?") << QStringLiteral("/x+y\u00e7");
    }

    void folderCheckIsSilent()
    {
        QFETCH(QString, text);
        QFETCH(QString, field);
        Fixture f(m_dialogs, m_beeps);
        auto *dir = f.child<QLineEdit>("dirE");
        QTest::keyClicks(dir, text);
        QCOMPARE(dir->text(), field);
        QCOMPARE(f.dialog.SaveToFolder, field);
        QCOMPARE(m_beeps, 0);
        QCOMPARE(f.child<QStatusBar>("stb")->currentMessage(), QString());
    }

    void fullPathLabel_data()
    {
        QTest::addColumn<QString>("folder");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("label");
        QTest::newRow("plain") << QStringLiteral("/home/a") << QStringLiteral("t") << QStringLiteral("/home/a/t.mht");
        QTest::newRow("trailing slash dropped once")
            << QStringLiteral("/home/a/") << QStringLiteral("t") << QStringLiteral("/home/a/t.mht");
        QTest::newRow("root") << QStringLiteral("/") << QStringLiteral("t") << QStringLiteral("/t.mht");
        QTest::newRow("ampersands doubled")
            << QStringLiteral("/R&D") << QStringLiteral("A & B") << QStringLiteral("/R&&D/A && B.mht");
        // Rich text would turn "&lt;" into "<".
        QTest::newRow("entity shown as text")
            << QStringLiteral("/&lt;") << QStringLiteral("x") << QStringLiteral("/&&lt;/x.mht");
    }

    void fullPathLabel()
    {
        QFETCH(QString, folder);
        QFETCH(QString, title);
        QFETCH(QString, label);
        Fixture f(m_dialogs, m_beeps);
        f.child<QLineEdit>("dirE")->setText(folder);
        f.child<QLineEdit>("NameE")->setText(title);
        auto *ffnL = f.child<QLabel>("ffnL");
        QCOMPARE(ffnL->text(), label);
        QCOMPARE(ffnL->textFormat(), Qt::PlainText);
        QCOMPARE(f.dialog.SaveToName, title);
    }

    void run_data()
    {
        QTest::addColumn<QString>("pick");
        QTest::addColumn<QString>("end");
        QTest::addColumn<bool>("saved");
        QTest::addColumn<QString>("folder");
        QTest::newRow("Save on the start folder")
            << QString() << QStringLiteral("save") << true << QStringLiteral("/start");
        QTest::newRow("history folder clicked")
            << QStringLiteral("/second") << QStringLiteral("save") << true << QStringLiteral("/second");
        QTest::newRow("Cancel") << QStringLiteral("/second") << QStringLiteral("cancel") << false << QString();
        QTest::newRow("Escape in the title") << QString() << QStringLiteral("escape NameE") << false << QString();
        QTest::newRow("Escape in the folder") << QString() << QStringLiteral("escape dirE") << false << QString();
        QTest::newRow("Escape in the list") << QString() << QStringLiteral("escape hisfolderLST") << false << QString();
        QTest::newRow("Enter saves") << QString() << QStringLiteral("enter") << true << QStringLiteral("/start");
    }

    void run()
    {
        QFETCH(QString, pick);
        QFETCH(QString, end);
        QFETCH(bool, saved);
        QFETCH(QString, folder);
        Fixture f(m_dialogs, m_beeps);
        QString shownFolder, shownCaption;
        int shownSelected = -1;
        whenModal<TSaveToF>(this, [&](TSaveToF *dialog) {
            shownCaption = dialog->windowTitle();
            shownFolder = f.child<QLineEdit>("dirE")->text();
            auto *list = f.child<QListWidget>("hisfolderLST");
            shownSelected = int(list->selectedItems().size());
            if (!pick.isEmpty()) {
                QListWidgetItem *item = list->findItems(pick, Qt::MatchExactly).value(0);
                QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(item).center());
            }
            if (end == QStringLiteral("save"))
                QTest::mouseClick(f.child<QPushButton>("SaveB"), Qt::LeftButton);
            else if (end == QStringLiteral("cancel"))
                QTest::mouseClick(f.child<QPushButton>("CancelB"), Qt::LeftButton);
            else if (end == QStringLiteral("enter"))
                QTest::keyClick(f.child<QLineEdit>("NameE"), Qt::Key_Return);
            else
                QTest::keyClick(f.child<QWidget>(qPrintable(end.section(QLatin1Char(' '), 1))), Qt::Key_Escape);
        });
        QString chosenFolder = QStringLiteral("unchanged");
        QString chosenName = QStringLiteral("unchanged");
        const SaveToChooser::Request request{QStringLiteral("Rename to..."),
                                             QStringLiteral("My: page"),
                                             {QStringLiteral("/first"), QStringLiteral("/second")},
                                             QStringLiteral("/start")};
        SaveToChooser &chooser = f.dialog;
        QCOMPARE(chooser.choose(request, chosenFolder, chosenName), saved);
        QCOMPARE(shownCaption, QStringLiteral("Rename to..."));
        QCOMPARE(shownFolder, QStringLiteral("/start"));
        QCOMPARE(shownSelected, 0);
        QCOMPARE(m_beeps, 1);
        QCOMPARE(chosenFolder, saved ? folder : QStringLiteral("unchanged"));
        QCOMPARE(chosenName, saved ? QStringLiteral("My= page") : QStringLiteral("unchanged"));
    }

    void emptyTitleIsRefused_data()
    {
        QTest::addColumn<QString>("title");
        QTest::newRow("empty") << QString();
        QTest::newRow("only spaces") << QStringLiteral("   ");
    }

    void emptyTitleIsRefused()
    {
        QFETCH(QString, title);
        Fixture f(m_dialogs, m_beeps);
        bool stayedOpen = false;
        QString note, noteAfterTyping = QStringLiteral("unset");
        whenModal<TSaveToF>(this, [&](TSaveToF *dialog) {
            auto *name = f.child<QLineEdit>("NameE");
            name->setText(title);
            QTest::mouseClick(f.child<QPushButton>("SaveB"), Qt::LeftButton);
            QTest::keyClick(name, Qt::Key_Return);
            stayedOpen = dialog->isVisible();
            note = f.child<QStatusBar>("stb")->currentMessage();
            QTest::keyClicks(name, QStringLiteral("given"));
            noteAfterTyping = f.child<QStatusBar>("stb")->currentMessage();
            QTest::keyClick(name, Qt::Key_Return);
        });
        QString folder, name;
        const SaveToChooser::Request request{
            QStringLiteral("Save to..."), QStringLiteral("proposed"), {}, QStringLiteral("/start")};
        QVERIFY(static_cast<SaveToChooser &>(f.dialog).choose(request, folder, name));
        QVERIFY(stayedOpen);
        QCOMPARE(note, QStringLiteral("Please enter a title."));
        QCOMPARE(noteAfterTyping, QString());
        QCOMPARE(name, title + QStringLiteral("given"));
    }

    void browseTakesChosenFolder_data()
    {
        QTest::addColumn<QString>("typedFolder");
        QTest::addColumn<QString>("start");
        QTest::addColumn<QString>("chosen"); // "" cancels
        QTest::addColumn<QString>("result");
        QTest::newRow("existing folder field") << QStringLiteral("$T/a/") << QStringLiteral("$T/a")
                                               << QStringLiteral("$T/a/b/") << QStringLiteral("$T/a/b");
        QTest::newRow("missing folder field starts at the default")
            << QStringLiteral("/no/such") << QStringLiteral("$T") << QStringLiteral("$T") << QStringLiteral("$T");
        QTest::newRow("cancelled leaves the field")
            << QStringLiteral("$T/a") << QStringLiteral("$T/a") << QString() << QStringLiteral("$T/a");
    }

    void browseTakesChosenFolder()
    {
        QFETCH(QString, typedFolder);
        QFETCH(QString, start);
        QFETCH(QString, chosen);
        QFETCH(QString, result);
        const auto tmp = [this](QString text) { return text.replace(QStringLiteral("$T"), m_root.path()); };
        Fixture f(m_dialogs, m_beeps);
        f.dialog.setDefaultSaveFolder(m_root.path());
        f.child<QLineEdit>("dirE")->setText(tmp(typedFolder));
        f.chooser.chosen = tmp(chosen);
        f.dialog.browseBClick();
        QCOMPARE(f.chooser.requests, QStringList{QStringLiteral("Give destination to save to.|") + tmp(start)});
        QCOMPARE(f.child<QLineEdit>("dirE")->text(), tmp(result));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    // The timer closes the "Auto saving..." message itself; the window that
    // has the keyboard focus gets no key.
    void timerClosesAutoSavingMessage()
    {
        Fixture f(m_dialogs, m_beeps);
        QLineEdit focused;
        focused.show();
        focused.activateWindow();
        focused.setFocus();
        int keys = 0;
        struct KeyCounter : QObject
        {
            int &count;
            explicit KeyCounter(int &c) : count(c) {}
            bool eventFilter(QObject *, QEvent *event) override
            {
                if (event->type() == QEvent::KeyPress || event->type() == QEvent::ShortcutOverride)
                    ++count;
                return false;
            }
        } counter(keys);
        focused.installEventFilter(&counter);

        QtDialogs dialogs(&focused);
        // Should the timer not close the box, this does, and the test fails.
        bool rescued = false;
        QTimer rescue;
        rescue.setSingleShot(true);
        connect(&rescue, &QTimer::timeout, &focused, [&rescued] {
            if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
                rescued = true;
                box->buttons().first()->click();
            }
        });
        rescue.start(20000);
        // The user turns to another window while the message is up.
        whenModal<QMessageBox>(&focused, [&focused](QMessageBox *) {
            QApplication::setActiveWindow(&focused);
            focused.setFocus();
        });
        f.dialog.startTimer1();
        dialogs.ShowMsg(QStringLiteral("Auto saving..."));
        QVERIFY(!rescued);
        QCOMPARE(keys, 0);
        QCOMPARE(focused.text(), QString());
    }

    void screenshot()
    {
        const QString target = qEnvironmentVariable("QUILLET_SCREENSHOTS");
        if (target.isEmpty())
            QSKIP("set QUILLET_SCREENSHOTS to a folder to save a picture of the dialog");
        Fixture f(m_dialogs, m_beeps);
        f.dialog.setFolders({QStringLiteral("/home/me/Documents/web"), QStringLiteral("/home/me/R&D notes")});
        f.dialog.setDefaultSaveFolder(QStringLiteral("/home/me/R&D notes"));
        f.dialog.show();
        QTest::keyClicks(f.child<QLineEdit>("NameE"), QStringLiteral("Tips & tricks: part 1"));
        QVERIFY(QTest::qWaitForWindowExposed(&f.dialog));
        QVERIFY(f.dialog.grab().save(target + QStringLiteral("/quillet-saveto.png")));
    }
};

QTEST_MAIN(TestSaveToDialog)
#include "tst_savetodialog.moc"
