#include "FakeDialogs.h"
#include "history/HistorySpec.h"
#include "history/TMYcustomhistory.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QPointer>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QStringList texts(const QList<QAction *> &actions)
{
    QStringList list;
    for (const QAction *action : actions)
        list << (action->isSeparator() ? u"-"_s : action->text());
    return list;
}

void flushDeferredDeletes()
{
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

} // namespace

class tst_TMYcustomhistory : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeDialogs m_dialogs;
    std::unique_ptr<QMenu> m_host;

    // An "&Open..."-like host with its own designed child ahead of the history.
    std::unique_ptr<TMYcustomhistory> makeHistory(const QByteArray &items, const QByteArray &maxFile = {})
    {
        m_host = std::make_unique<QMenu>(u"&Open..."_s);
        m_host->addAction(u"&Browse..."_s);
        auto history = std::make_unique<TMYcustomhistory>(m_host.get(), m_dialogs, m_dir->path());
        writeBytes(m_dir->filePath(u"files.his"_s), items);
        if (!maxFile.isEmpty())
            writeBytes(m_dir->filePath(u"max.his"_s), maxFile);
        history->LoadHistory();
        return history;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dialogs = FakeDialogs();
    }

    void cleanup()
    {
        m_host.reset();
        flushDeferredDeletes();
    }

    void menuLayout()
    {
        auto history = makeHistory("/a.mht\r\n/b.mht\r\n");

        QCOMPARE(texts(m_host->actions()), (QStringList{u"&Browse..."_s, u">>>"_s, u"/a.mht"_s, u"/b.mht"_s}));
        QCOMPARE(m_host->actions().at(1)->menu(), history->settingsMenu());
        QCOMPARE(texts(history->settingsMenu()->actions()),
                 (QStringList{u"HISTORY MENU:"_s, u"-"_s, u"Set &max. history items"_s, u"-"_s,
                              u"Set ma&x. length per item"_s, u"-"_s, u"Remove ALL history"_s, u"-"_s,
                              u"remove /a.mht"_s, u"remove /b.mht"_s}));
        QCOMPARE(history->itemEntries().at(1)->data().toInt(), 1);
        QCOMPARE(history->removeEntries().at(1)->data().toInt(), 1);

        history->AddItem(u"/c.mht"_s);
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/c.mht"_s, u"/a.mht"_s, u"/b.mht"_s}));
        QCOMPARE(texts(history->removeEntries()),
                 (QStringList{u"remove /c.mht"_s, u"remove /a.mht"_s, u"remove /b.mht"_s}));
        QCOMPARE(m_host->actions().first()->text(), u"&Browse..."_s);
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void captions_data()
    {
        QTest::addColumn<QString>("item");
        QTest::addColumn<int>("maxitemlen");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<QString>("removeCaption");

        QTest::newRow("ampersand shown literally")
            << u"/R&D/a.mht"_s << 2000 << u"/R&&D/a.mht"_s << u"remove /R&&D/a.mht"_s;
        QTest::newRow("long text cut from the left")
            << u"/home/user/archive.mht"_s << 15 << u".../archive.mht"_s << u"remove ...e.mht"_s;
        QTest::newRow("ampersands counted after doubling") << u"/a&b&c"_s << 7 << u"...b&&c"_s << u"remove ..."_s;
        QTest::newRow("length 3 shows dots, remove entry whole") << u"/x.mht"_s << 3 << u"..."_s << u"remove /x.mht"_s;
        QTest::newRow("length 0") << u"/x.mht"_s << 0 << u"..."_s << u"remove /x.mht"_s;
    }

    void captions()
    {
        QFETCH(QString, item);
        QFETCH(int, maxitemlen);
        QFETCH(QString, caption);
        QFETCH(QString, removeCaption);

        auto history = makeHistory(item.toLatin1() + "\r\n");
        history->setMaxitemlen(maxitemlen);
        history->RebuildMenu();

        QCOMPARE(texts(history->itemEntries()), QStringList{caption});
        QCOMPARE(texts(history->removeEntries()), QStringList{removeCaption});
    }

    void dashItemIsSeparator()
    {
        auto history = makeHistory("-\r\n/a\r\n");
        QVERIFY(history->itemEntries().at(0)->isSeparator());
        QCOMPARE(history->removeEntries().at(0)->text(), u"remove -"_s);
    }

    void enabled()
    {
        auto history = makeHistory("/a\r\n/b\r\n");
        history->setEnabled(false);
        for (QAction *entry : history->itemEntries())
            QVERIFY(!entry->isEnabled());
        QVERIFY(history->settingsMenu()->menuAction()->isEnabled());

        // Entries made by a later rebuild follow the flag too.
        history->AddItem(u"/c"_s);
        QCOMPARE(history->itemEntries().size(), 3);
        for (QAction *entry : history->itemEntries())
            QVERIFY(!entry->isEnabled());

        history->setEnabled(true);
        for (QAction *entry : history->itemEntries())
            QVERIFY(entry->isEnabled());
    }

    void itemClickKeepsEntryAlive()
    {
        auto history = makeHistory("/a\r\n/b\r\n/c\r\n");
        QPointer<QAction> clicked = history->itemEntries().at(2);
        QString seenText;
        TMYcustomhistory *seenSender = nullptr;
        QString captionDuringCall;
        history->setOnitemclicked([&](TMYcustomhistory *Sender, const QString &str) {
            seenSender = Sender;
            seenText = str;
            // The click rebuilt the menu; the entry being handled is still intact.
            QVERIFY(clicked);
            captionDuringCall = clicked->text();
        });

        clicked->trigger();

        QCOMPARE(seenSender, history.get());
        QCOMPARE(seenText, u"/c"_s);
        QCOMPARE(captionDuringCall, u"/c"_s);
        QCOMPARE(history->histlist(), (QStringList{u"/c"_s, u"/a"_s, u"/b"_s}));
        QCOMPARE(readBytes(m_dir->filePath(u"files.his"_s)), QByteArray("/c\r\n/a\r\n/b\r\n"));
        QVERIFY(!m_host->actions().contains(clicked.data()));
        flushDeferredDeletes();
        QVERIFY(!clicked);
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void itemClickThroughMenu()
    {
        // A real click in the popped-up menu: the menu itself touches the entry after the click.
        auto history = makeHistory("/a\r\n/b\r\n");
        QStringList seen;
        history->setOnitemclicked([&seen](TMYcustomhistory *, const QString &str) { seen << str; });
        m_host->popup(QPoint(0, 0));
        QVERIFY(QTest::qWaitForWindowExposed(m_host.get()));
        QAction *entry = history->itemEntries().at(1);
        QSignalSpy triggered(entry, &QAction::triggered);
        QTest::mouseClick(m_host.get(), Qt::LeftButton, {}, m_host->actionGeometry(entry).center());
        QCOMPARE(triggered.size(), 1);
        QCOMPARE(seen, QStringList{u"/b"_s});
        QCOMPARE(history->histlist(), (QStringList{u"/b"_s, u"/a"_s}));
    }

    void itemClickWithoutHandler()
    {
        auto history = makeHistory("/a\r\n/b\r\n");
        history->itemEntries().at(1)->trigger();
        QCOMPARE(m_dialogs.texts(), QStringList{u"onitemclicked not assigned yet"_s});
        QCOMPARE(history->histlist(), (QStringList{u"/b"_s, u"/a"_s}));
    }

    void staleEntryAfterDirectChange()
    {
        // The owner empties a list directly (Forward's list after a navigation).
        auto history = makeHistory("/a\r\n/b\r\n");
        QAction *entry = history->itemEntries().at(1);
        QAction *removeEntry = history->removeEntries().at(1);
        history->histlist().clear();
        entry->trigger();
        removeEntry->trigger();
        QVERIFY(history->histlist().isEmpty());
        QVERIFY(history->itemEntries().isEmpty());
        QCOMPARE(readBytes(m_dir->filePath(u"files.his"_s)), QByteArray());
    }

    void removeEntryClick()
    {
        auto history = makeHistory("/a\r\n/b\r\n/c\r\n");
        bool called = false;
        history->setOnitemclicked([&called](TMYcustomhistory *, const QString &) { called = true; });
        QPointer<QAction> removeEntry = history->removeEntries().at(1);
        QCOMPARE(removeEntry->text(), u"remove /b"_s);

        removeEntry->trigger();

        QCOMPARE(history->histlist(), (QStringList{u"/a"_s, u"/c"_s}));
        QCOMPARE(texts(history->removeEntries()), (QStringList{u"remove /a"_s, u"remove /c"_s}));
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/a"_s, u"/c"_s}));
        QCOMPARE(readBytes(m_dir->filePath(u"files.his"_s)), QByteArray("/a\r\n/c\r\n"));
        QVERIFY(!called);
        QVERIFY(m_dialogs.shown.isEmpty());
        QVERIFY(removeEntry);
        flushDeferredDeletes();
        QVERIFY(!removeEntry);
    }

    void settingsCommands()
    {
        auto history = makeHistory("/a\r\n/b\r\n/c\r\n");
        const QList<QAction *> settings = history->settingsMenu()->actions();

        m_dialogs.answers.enqueue(Dialogs::Answer::No);
        settings.at(6)->trigger(); // "Remove ALL history"
        QCOMPARE(m_dialogs.lastText(), u"Really want to remove all history items??"_s);
        QCOMPARE(history->histlist().size(), 3);

        m_dialogs.inputs.enqueue(u"2"_s);
        settings.at(2)->trigger(); // "Set &max. history items"
        QCOMPARE(history->maxhist(), 2);
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/a"_s, u"/b"_s}));
        QCOMPARE(readBytes(m_dir->filePath(u"max.his"_s)), QByteArray("2\r\n"));

        m_dialogs.inputs.enqueue(u"5"_s);
        settings.at(4)->trigger(); // "Set ma&x. length per item"
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/a"_s, u"/b"_s}));
        QCOMPARE(history->maxitemlen(), 5);
        QCOMPARE(readBytes(m_dir->filePath(u"maxlen.his"_s)), QByteArray("5\r\n"));

        m_dialogs.answers.enqueue(Dialogs::Answer::Yes);
        settings.at(6)->trigger();
        QVERIFY(history->histlist().isEmpty());
        QVERIFY(history->itemEntries().isEmpty());
        QVERIFY(history->removeEntries().isEmpty());
        QCOMPARE(readBytes(m_dir->filePath(u"files.his"_s)), QByteArray());
    }

    void overLongListShowsMaxhistEntries()
    {
        auto history = makeHistory("/1\r\n/2\r\n/3\r\n/4\r\n", "2\r\n");
        QCOMPARE(history->histlist().size(), 4);
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/1"_s, u"/2"_s}));
        QCOMPARE(history->removeEntries().size(), 2);
        QCOMPARE(m_dialogs.texts(), QStringList{u"count > maxhist??"_s});
        history->AddItem(u"/5"_s);
        QCOMPARE(texts(history->itemEntries()), (QStringList{u"/5"_s, u"/1"_s}));
        QCOMPARE(m_dialogs.texts().size(), 2);
    }

    void anotherQuilletsChangeRebuildsTheMenu()
    {
        auto history = makeHistory("/a\r\n");
        QMenu otherHost;
        TMYcustomhistory other(&otherHost, m_dialogs, m_dir->path());
        other.LoadHistory();
        other.AddItem(u"/b"_s);
        QTRY_COMPARE(texts(history->itemEntries()), (QStringList{u"/b"_s, u"/a"_s}));
        // Replacing the file ends a watch; the next change is seen all the same.
        other.AddItem(u"/c"_s);
        QTRY_COMPARE(texts(history->itemEntries()), (QStringList{u"/c"_s, u"/b"_s, u"/a"_s}));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void mainWindowTable()
    {
        QStringList names;
        for (const HistorySpec &spec : HistorySpecs)
            names << spec.name;
        QCOMPARE(names, (QStringList{u"startH"_s, u"allH"_s, u"renH"_s, u"delH"_s, u"backH"_s, u"MoveH"_s}));

        QMenu host;
        const HistorySpec &move = HistorySpecs.back();
        TMYcustomhistory history(move, &host, m_dialogs, m_dir->path());
        QCOMPARE(history.objectName(), u"MoveH"_s);
        QCOMPARE(history.histname(), u"saveinfiles.his"_s);
        QCOMPARE(history.maxhistname(), u"saveinmax.his"_s);
        QCOMPARE(history.maxitemlenname(), u"saveinmaxlen.his"_s);
        QCOMPARE(history.maxhist(), 20);
        QVERIFY(history.Enabled());
        // Without a max-items file the form's 20 becomes 10.
        history.LoadHistory();
        QCOMPARE(history.maxhist(), 10);
        history.AddItem(u"/home/u"_s);
        QCOMPARE(readBytes(m_dir->filePath(u"saveinfiles.his"_s)), QByteArray("/home/u\r\n"));
        QVERIFY(!HistorySpecs.front().enabled);
    }
};

QTEST_MAIN(tst_TMYcustomhistory)
#include "tst_TMYcustomhistory.moc"
