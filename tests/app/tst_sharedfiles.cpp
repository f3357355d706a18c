#include "FakeDialogs.h"
#include "app/SettingsFile.h"
#include "history/HistoryList.h"
#include "support/RegistryStore.h"
#include "window/AppState.h"

#include <QFile>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

// One running Quillet's hold on a file that several share. run() makes one
// change the way that Quillet makes it and says whether it was written.
class Writer
{
public:
    virtual ~Writer() = default;
    virtual bool run(const QString &change) = 0;
};

// A history list: "add X", "remove X", "replace X Y", and "forget", which
// empties the list in memory only, as Back's list is emptied.
class HistoryWriter : public Writer
{
public:
    explicit HistoryWriter(const QString &folder) : m_list(m_dialogs, folder)
    {
        m_list.setHistname(u"webfiles.his"_s);
        m_list.setMaxhistname(u"webmax.his"_s);
        m_list.LoadHistory();
    }

    bool run(const QString &change) override
    {
        const QStringList words = change.split(u' ');
        if (words.first() == u"add"_s)
            m_list.AddItem(words.at(1));
        else if (words.first() == u"remove"_s)
            m_list.RemoveItem(words.at(1));
        else if (words.first() == u"replace"_s)
            m_list.ReplaceItem(words.at(1), words.at(2));
        else
            m_list.histlist().clear();
        // A list that could not be written says so in a box.
        return m_dialogs.shown.isEmpty();
    }

private:
    FakeDialogs m_dialogs;
    HistoryList m_list;
};

// The settings of one run: "Red=N", "Blue=N" or "Save=FOLDER" changes the
// state, and the close writes it; the next change is the next run's.
class SettingsWriter : public Writer
{
public:
    explicit SettingsWriter(const QString &folder) : m_file(folder + u"/quillet.ini"_s) { start(); }

    bool run(const QString &change) override
    {
        const QString key = change.section(u'=', 0, 0);
        const QString value = change.section(u'=', 1);
        if (key == u"Save"_s)
            m_state.DefaultSaveFolder = value;
        else if (key == u"Red"_s)
            m_state.MarkColor = RGB(value.toInt(), GreenOf(m_state.MarkColor), BlueOf(m_state.MarkColor));
        else
            m_state.MarkColor = RGB(RedOf(m_state.MarkColor), GreenOf(m_state.MarkColor), value.toInt());
        const bool written = m_file.write(m_state).ok();
        start();
        return written;
    }

private:
    void start() { m_file.read(m_state, u"/documents"_s); }

    AppState m_state;
    SettingsFile m_file;
};

// The registry store: "set KEY NAME=VALUE" under the current user, "delete KEY".
class RegistryWriter : public Writer
{
public:
    explicit RegistryWriter(const QString &folder) : m_store(folder + u"/registry.ini"_s) {}

    bool run(const QString &change) override
    {
        const QStringList words = change.split(u' ');
        if (words.first() == u"set"_s)
            return m_store.setValue(RegRoot::HKEY_CURRENT_USER, words.at(1), words.at(2).section(u'=', 0, 0),
                                    {RegistryStore::Value::Type::String, words.at(2).section(u'=', 1), 0});
        return m_store.deleteKey(RegRoot::HKEY_CURRENT_USER, words.at(1));
    }

private:
    RegistryStore m_store;
};

std::unique_ptr<Writer> open(const QString &kind, const QString &folder)
{
    if (kind == u"history"_s)
        return std::make_unique<HistoryWriter>(folder);
    if (kind == u"settings"_s)
        return std::make_unique<SettingsWriter>(folder);
    return std::make_unique<RegistryWriter>(folder);
}

QString fileOf(const QString &kind)
{
    return kind == u"history"_s ? u"webfiles.his"_s : kind == u"settings"_s ? u"quillet.ini"_s : u"registry.ini"_s;
}

// "a;b" runs a, then b.
bool runAll(Writer &writer, const QString &changes)
{
    bool written = true;
    for (const QString &change : changes.split(u';', Qt::SkipEmptyParts))
        written = writer.run(change) && written;
    return written;
}

// Each of the two runs its changes count times, %1 standing for the round.
class Rounds : public QThread
{
public:
    Rounds(Writer &writer, QString changes, int count) : m_writer(writer), m_changes(std::move(changes)), m_count(count)
    {
    }

protected:
    void run() override
    {
        for (int round = 1; round <= m_count; ++round)
            written = runAll(m_writer, m_changes.arg(round)) && written;
    }

public:
    bool written = true;

private:
    Writer &m_writer;
    QString m_changes;
    int m_count;
};

QStringList linesOf(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines;
    for (const QString &line : QString::fromUtf8(file.readAll()).split(u'\n')) {
        if (!line.trimmed().isEmpty())
            lines << line.trimmed();
    }
    return lines;
}

} // namespace

class TestSharedFiles : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    // Two Quillets hold one file: both start (read it), then each makes its
    // change; with rounds > 0 they make theirs that often at the same time.
    // Neither may drop what the other wrote.
    void twoWritersKeepEachOthersChanges_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QByteArray>("before");
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("second");
        QTest::addColumn<int>("rounds");
        QTest::addColumn<QStringList>("expected"); // lines of the file, in this order
        QTest::addColumn<QStringList>("absent");

        QTest::newRow("history: both additions") << u"history"_s << QByteArray() << u"add /a"_s << u"add /b"_s << 0
                                                 << QStringList{u"/b"_s, u"/a"_s} << QStringList();
        QTest::newRow("history: a removal keeps the other's addition")
            << u"history"_s << QByteArray("/x\r\n") << u"add /a"_s << u"remove /x"_s << 0 << QStringList{u"/a"_s}
            << QStringList{u"/x"_s};
        QTest::newRow("history: a rename keeps the other's addition")
            << u"history"_s << QByteArray("/old\r\n") << u"add /a"_s << u"replace /old /new"_s << 0
            << QStringList{u"/a"_s, u"/new"_s} << QStringList{u"/old"_s};
        QTest::newRow("history: a list emptied in memory keeps the other's addition")
            << u"history"_s << QByteArray("/x\r\n") << u"add /a"_s << u"forget;add /b"_s << 0
            << QStringList{u"/b"_s, u"/a"_s} << QStringList{u"/x"_s};
        QTest::newRow("settings: each keeps the other's change")
            << u"settings"_s << QByteArray() << u"Red=10"_s << u"Blue=20"_s << 0
            << QStringList{u"Save=/documents"_s, u"Red=10"_s, u"Blue=20"_s, u"Prepend filename=0"_s}
            << QStringList{u"Red=255"_s, u"Blue=0"_s};
        QTest::newRow("settings: one key changed by both, the last close wins")
            << u"settings"_s << QByteArray("[Edit]\r\nRed=300\r\n") << u"Red=10"_s << u"Red=20;Save=/x"_s << 0
            << QStringList{u"Red=20"_s, u"Save=/x"_s} << QStringList{u"Red=10"_s, u"Red=300"_s};
        QTest::newRow("registry: each keeps the other's value")
            << u"registry"_s << QByteArray() << u"set Software\\A one=1"_s << u"set Software\\B two=2"_s << 0
            << QStringList{u"[HKEY_CURRENT_USER\\Software\\A]"_s, u"\"one\"=\"1\""_s,
                           u"[HKEY_CURRENT_USER\\Software\\B]"_s, u"\"two\"=\"2\""_s}
            << QStringList();
        QTest::newRow("registry: a deletion keeps the other's value")
            << u"registry"_s << QByteArray("QUILLET REGISTRY 1\n\n[HKEY_CURRENT_USER\\Software\\Old]\n@=\"x\"\n")
            << u"set Software\\A one=1"_s << u"delete Software\\Old"_s << 0 << QStringList{u"\"one\"=\"1\""_s}
            << QStringList{u"[HKEY_CURRENT_USER\\Software\\Old]"_s};

        // At the same time: only the lock keeps one from writing over what
        // the other wrote between its reading and its writing.
        const int rounds = 30;
        QStringList items;
        QStringList values;
        for (int round = rounds; round >= 1; --round) {
            items << u"/a%1"_s.arg(round) << u"/b%1"_s.arg(round);
            values << u"\"a%1\"=\"1\""_s.arg(round) << u"\"b%1\"=\"1\""_s.arg(round);
        }
        items.sort();
        values.sort();
        QTest::newRow("history: at the same time")
            << u"history"_s << QByteArray() << u"add /a%1"_s << u"add /b%1"_s << rounds << items << QStringList();
        QTest::newRow("settings: at the same time")
            << u"settings"_s << QByteArray() << u"Red=%1"_s << u"Blue=%1"_s << rounds
            << QStringList{u"Red=%1"_s.arg(rounds), u"Blue=%1"_s.arg(rounds)} << QStringList();
        QTest::newRow("registry: at the same time") << u"registry"_s << QByteArray() << u"set Software\\Q a%1=1"_s
                                                    << u"set Software\\Q b%1=1"_s << rounds << values << QStringList();
    }

    void twoWritersKeepEachOthersChanges()
    {
        QFETCH(QString, kind);
        QFETCH(QByteArray, before);
        QFETCH(QString, first);
        QFETCH(QString, second);
        QFETCH(int, rounds);
        QFETCH(QStringList, expected);
        QFETCH(QStringList, absent);

        QTemporaryDir folder;
        const QString path = folder.filePath(fileOf(kind));
        if (!before.isEmpty()) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(before);
        }
        {
            // Room for every item of both.
            QFile max(folder.filePath(u"webmax.his"_s));
            QVERIFY(max.open(QIODevice::WriteOnly));
            max.write("100\r\n");
        }
        const std::unique_ptr<Writer> one = open(kind, folder.path());
        const std::unique_ptr<Writer> other = open(kind, folder.path());
        if (rounds == 0) {
            QVERIFY(runAll(*one, first));
            QVERIFY(runAll(*other, second));
        } else {
            Rounds a(*one, first, rounds);
            Rounds b(*other, second, rounds);
            a.start();
            b.start();
            QVERIFY(a.wait(60000) && b.wait(60000));
            QVERIFY(a.written && b.written);
        }

        QStringList lines = linesOf(path);
        // Who was first each round is chance; what both wrote is not.
        if (rounds > 0 && kind != u"settings"_s) {
            lines = lines.filter(QRegularExpression(u"^(/|\")"_s));
            lines.sort();
            QCOMPARE(lines, expected);
            return;
        }
        qsizetype at = 0;
        for (const QString &line : std::as_const(expected)) {
            const qsizetype found = lines.indexOf(line, at);
            QVERIFY2(found >= 0, qPrintable(line + u" missing or out of order in\n"_s + lines.join(u'\n')));
            at = found + 1;
        }
        for (const QString &line : std::as_const(absent))
            QVERIFY2(!lines.contains(line), qPrintable(line + u" still in\n"_s + lines.join(u'\n')));
        if (kind == u"history"_s)
            QCOMPARE(lines, expected);
    }
};

QTEST_GUILESS_MAIN(TestSharedFiles)
#include "tst_sharedfiles.moc"
