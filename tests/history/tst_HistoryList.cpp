#include "FakeDialogs.h"
#include "FileSizeLimit.h"
#include "history/HistoryList.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace Qt::StringLiterals;

namespace {

QByteArray readBytes(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "<missing>";
    return file.readAll();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

QByteArray crlfLines(const QStringList &items)
{
    QByteArray bytes;
    for (const QString &item : items)
        bytes += item.toLatin1() + "\r\n";
    return bytes;
}

} // namespace

class tst_HistoryList : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> m_dir;
    FakeDialogs m_dialogs;

    std::unique_ptr<HistoryList> makeList()
    {
        auto list = std::make_unique<HistoryList>(m_dialogs, m_dir->path());
        list->setHistname(u"webfiles.his"_s);
        list->setMaxhistname(u"webmax.his"_s);
        list->setMaxitemlenname(u"webmaxlen.his"_s);
        return list;
    }

private Q_SLOTS:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        QVERIFY(m_dir->isValid());
        m_dialogs = FakeDialogs();
    }

    void addItem_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<int>("maxhist");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("maxhist 0 keeps nothing") << QStringList{} << 0 << u"/new.mht"_s << QStringList{};
        // An over-long list loses one item per add; here that is the added text.
        QTest::newRow("maxhist 0 over-long list")
            << QStringList{u"/old.mht"_s} << 0 << u"/new.mht"_s << QStringList{u"/old.mht"_s};
        QTest::newRow("new text on top") << QStringList{u"/a"_s} << 10 << u"/b"_s << QStringList{u"/b"_s, u"/a"_s};
        QTest::newRow("ASCII case folded: added text replaces")
            << QStringList{u"/b.mht"_s, u"/A.mht"_s} << 10 << u"/a.mht"_s << QStringList{u"/a.mht"_s, u"/b.mht"_s};
        QTest::newRow("listed text moves up")
            << QStringList{u"/a"_s, u"/b"_s, u"/c"_s} << 3 << u"/c"_s << QStringList{u"/c"_s, u"/a"_s, u"/b"_s};
        QTest::newRow("non-ASCII letters are not folded") << QStringList{u"/\u00C9.mht"_s} << 10 << u"/\u00E9.mht"_s
                                                          << QStringList{u"/\u00E9.mht"_s, u"/\u00C9.mht"_s};
        QTest::newRow("last equal item is the one replaced")
            << QStringList{u"/x"_s, u"/a"_s, u"/X"_s} << 10 << u"/x"_s << QStringList{u"/x"_s, u"/x"_s, u"/a"_s};
        QTest::newRow("full list drops the oldest")
            << QStringList{u"/a"_s, u"/b"_s} << 2 << u"/c"_s << QStringList{u"/c"_s, u"/a"_s};
        QTest::newRow("over-long list drops only one") << QStringList{u"/a"_s, u"/b"_s, u"/c"_s, u"/d"_s} << 2
                                                       << u"/e"_s << QStringList{u"/e"_s, u"/a"_s, u"/c"_s, u"/d"_s};
        // An item is one line of the file.
        QTest::newRow("line break refused")
            << QStringList{u"/a"_s} << 10 << u"http://h/x?d=a\nb"_s << QStringList{u"/a"_s};
    }

    void addItem()
    {
        QFETCH(QStringList, items);
        QFETCH(int, maxhist);
        QFETCH(QString, text);
        QFETCH(QStringList, expected);

        auto list = makeList();
        list->setMaxhist(maxhist);
        list->histlist() = items;
        list->AddItem(text);

        QCOMPARE(list->histlist(), expected);
        QCOMPARE(readBytes(list->historyPath()), crlfLines(expected));
    }

    void removeAndReplace_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QString>("oldText");
        QTest::addColumn<QString>("newText"); // null: RemoveItem(oldText)
        QTest::addColumn<QStringList>("expected");

        const QStringList abc{u"/a"_s, u"/b"_s, u"/c"_s};
        QTest::newRow("remove ignores case, first only")
            << QStringList{u"/A"_s, u"/b"_s, u"/a"_s} << u"/a"_s << QString() << QStringList{u"/b"_s, u"/a"_s};
        QTest::newRow("remove ignores case beyond ASCII")
            << QStringList{u"/\u00C9"_s} << u"/\u00E9"_s << QString() << QStringList{};
        QTest::newRow("remove absent") << abc << u"/x"_s << QString() << abc;
        QTest::newRow("replace, new absent") << abc << u"/B"_s << u"/n"_s << QStringList{u"/a"_s, u"/n"_s, u"/c"_s};
        QTest::newRow("replace, new after old") << abc << u"/a"_s << u"/C"_s << QStringList{u"/C"_s, u"/b"_s};
        QTest::newRow("replace, new before old") << abc << u"/c"_s << u"/a"_s << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("replace, case only: item goes") << abc << u"/b"_s << u"/B"_s << QStringList{u"/a"_s, u"/c"_s};
        QTest::newRow("replace, old absent") << abc << u"/x"_s << u"/n"_s << abc;
        QTest::newRow("replace by a line break: item goes")
            << abc << u"/b"_s << u"/n\r"_s << QStringList{u"/a"_s, u"/c"_s};
    }

    void removeAndReplace()
    {
        QFETCH(QStringList, items);
        QFETCH(QString, oldText);
        QFETCH(QString, newText);
        QFETCH(QStringList, expected);

        auto list = makeList();
        list->histlist() = items;
        if (newText.isNull())
            list->RemoveItem(oldText);
        else
            list->ReplaceItem(oldText, newText);

        QCOMPARE(list->histlist(), expected);
        // Rewritten in every case, also when nothing changed.
        QCOMPARE(readBytes(list->historyPath()), crlfLines(expected));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void loadLineEnds_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QStringList>("expected");

        QTest::newRow("CR LF") << QByteArray("/a\r\n/b\r\n") << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("LF, last line open") << QByteArray("/a\n/b") << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("CR") << QByteArray("/a\r/b\r") << QStringList{u"/a"_s, u"/b"_s};
        QTest::newRow("mixed, empty line kept")
            << QByteArray("/a\r\n\n/b\r/c") << QStringList{u"/a"_s, u""_s, u"/b"_s, u"/c"_s};
        QTest::newRow("empty file") << QByteArray() << QStringList{};
        QTest::newRow("Latin-1 byte") << QByteArray("/caf\xe9.mht\r\n") << QStringList{u"/caf\u00E9.mht"_s};
    }

    void loadLineEnds()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QStringList, expected);

        auto list = makeList();
        writeBytes(list->historyPath(), bytes);
        list->LoadHistory();

        QCOMPARE(list->histlist(), expected);
        QCOMPARE(readBytes(list->historyPath()), crlfLines(expected));
        QVERIFY(m_dialogs.shown.isEmpty());
    }

    void missingFilesGiveDefaults()
    {
        auto list = makeList();
        list->setMaxhist(20);
        list->LoadHistory();
        QCOMPARE(list->maxhist(), 10);
        QCOMPARE(list->maxitemlen(), 2000);
        QVERIFY(list->histlist().isEmpty());
        QVERIFY(m_dialogs.shown.isEmpty());
        // The items file exists from the first rebuild on, empty; the max files do not.
        QCOMPARE(readBytes(list->historyPath()), QByteArray());
        QVERIFY(!QFile::exists(list->maxhistPath()));
        QVERIFY(!QFile::exists(list->maxitemlenPath()));
    }

    void maxFiles_data()
    {
        QTest::addColumn<bool>("lengthFile");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("warning");

        QTest::newRow("max items") << false << QByteArray("5\r\n") << 5 << QString();
        QTest::newRow("further lines ignored") << false << QByteArray("7\nxyz\n") << 7 << QString();
        QTest::newRow("above the menu's range is cut to it") << false << QByteArray("150") << 100 << QString();
        QTest::newRow("huge") << false << QByteArray("2000000000") << 100 << QString();
        QTest::newRow("negative is no maximum")
            << false << QByteArray("-3\r\n") << 10 << u"Invalid number in webmax.his"_s;
        QTest::newRow("empty max items") << false << QByteArray() << 10 << u"Invalid number in webmax.his"_s;
        QTest::newRow("text max items") << false << QByteArray("ten\r\n") << 10 << u"Invalid number in webmax.his"_s;
        QTest::newRow("max length") << true << QByteArray("40\r\n") << 40 << QString();
        QTest::newRow("max length above the range") << true << QByteArray("60000") << 10000 << QString();
        QTest::newRow("negative max length")
            << true << QByteArray("-1") << 2000 << u"Invalid number in webmaxlen.his"_s;
        QTest::newRow("bad max length") << true << QByteArray("\r\n40") << 2000 << u"Invalid number in webmaxlen.his"_s;
    }

    void maxFiles()
    {
        QFETCH(bool, lengthFile);
        QFETCH(QByteArray, bytes);
        QFETCH(int, expected);
        QFETCH(QString, warning);

        auto list = makeList();
        writeBytes(lengthFile ? list->maxitemlenPath() : list->maxhistPath(), bytes);
        list->LoadHistory();

        QCOMPARE(lengthFile ? list->maxitemlen() : list->maxhist(), expected);
        if (warning.isEmpty()) {
            QVERIFY(m_dialogs.shown.isEmpty());
        } else {
            QCOMPARE(m_dialogs.texts(), QStringList{warning});
            QCOMPARE(m_dialogs.shown.first().kind, Dialogs::Kind::Warning);
            // The bad file is left for the user to fix.
            QCOMPARE(readBytes(lengthFile ? list->maxitemlenPath() : list->maxhistPath()), bytes);
        }
    }

    void overLongItemsFile()
    {
        auto list = makeList();
        QStringList lines;
        for (int i = 0; i < 15; ++i)
            lines << u"/f%1.mht"_s.arg(i);
        writeBytes(list->historyPath(), crlfLines(lines));
        int shownAtRebuild = -1;
        list->setRebuildHandler([&shownAtRebuild](int shown) { shownAtRebuild = shown; });

        list->LoadHistory();
        QCOMPARE(list->histlist(), lines);
        QCOMPARE(shownAtRebuild, 10);
        QCOMPARE(m_dialogs.texts(), QStringList{u"count > maxhist??"_s});
        QCOMPARE(m_dialogs.shown.first().kind, Dialogs::Kind::Plain);

        list->AddItem(u"/new.mht"_s);
        QCOMPARE(list->histlist().size(), 15);
        QCOMPARE(list->histlist().first(), u"/new.mht"_s);
        QVERIFY(!list->histlist().contains(u"/f9.mht"_s));
        QCOMPARE(m_dialogs.texts().size(), 2);
        QCOMPARE(readBytes(list->historyPath()), crlfLines(list->histlist()));
    }

    void fileBytes()
    {
        auto list = makeList();
        list->LoadHistory();
        list->AddItem(u"/home/u/caf\u00E9.mht"_s);
        list->AddItem(u"/tmp"_s);
        QCOMPARE(readBytes(list->historyPath()), QByteArray("/tmp\r\n/home/u/caf\xe9.mht\r\n"));

        m_dialogs.answers.enqueue(Dialogs::Answer::Yes);
        list->RemoveAll();
        QVERIFY(list->histlist().isEmpty());
        QVERIFY(QFile::exists(list->historyPath()));
        QCOMPARE(readBytes(list->historyPath()), QByteArray());
    }

    void encodingRoundTrip_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<QByteArray>("bytes");

        QTest::newRow("ASCII") << QStringList{u"/a.mht"_s} << QByteArray("/a.mht\r\n");
        QTest::newRow("Latin-1 stays 8-bit")
            << QStringList{u"/na\u00EFve \u00A8.mht"_s} << QByteArray("/na\xefve \xa8.mht\r\n");
        QTest::newRow("beyond Latin-1 is UTF-8") << QStringList{u"/\u00E9"_s, u"/\u0434\u043E\u043C"_s}
                                                 << QByteArray("/\xc3\xa9\r\n/\xd0\xb4\xd0\xbe\xd0\xbc\r\n");
        QTest::newRow("Latin-1 that looks like UTF-8")
            << QStringList{u"/\u00C3\u00A9"_s} << QByteArray("/\xc3\x83\xc2\xa9\r\n");
    }

    void encodingRoundTrip()
    {
        QFETCH(QStringList, items);
        QFETCH(QByteArray, bytes);

        auto list = makeList();
        list->histlist() = items;
        list->Rebuild();
        QCOMPARE(readBytes(list->historyPath()), bytes);

        auto reloaded = makeList();
        reloaded->LoadHistory();
        QCOMPARE(reloaded->histlist(), items);
    }

    void removeAll_data()
    {
        QTest::addColumn<QStringList>("items");
        QTest::addColumn<Dialogs::Answer>("answer");
        QTest::addColumn<QStringList>("expected");
        QTest::addColumn<QString>("text");

        const QStringList two{u"/a"_s, u"/b"_s};
        QTest::newRow("empty") << QStringList{} << Dialogs::Answer::Yes << QStringList{}
                               << u"History is already empty!"_s;
        QTest::newRow("no") << two << Dialogs::Answer::No << two << u"Really want to remove all history items??"_s;
        QTest::newRow("yes") << two << Dialogs::Answer::Yes << QStringList{}
                             << u"Really want to remove all history items??"_s;
    }

    void removeAll()
    {
        QFETCH(QStringList, items);
        QFETCH(Dialogs::Answer, answer);
        QFETCH(QStringList, expected);
        QFETCH(QString, text);

        auto list = makeList();
        list->histlist() = items;
        list->Rebuild();
        m_dialogs.answers.enqueue(answer);
        list->RemoveAll();

        QCOMPARE(list->histlist(), expected);
        QCOMPARE(m_dialogs.texts(), QStringList{text});
        QCOMPARE(m_dialogs.shown.first().buttons, items.isEmpty() ? Dialogs::Buttons::Ok : Dialogs::Buttons::YesNo);
        QCOMPARE(readBytes(list->historyPath()), crlfLines(expected));
    }

    void setMaximum_data()
    {
        QTest::addColumn<bool>("length");
        QTest::addColumn<std::optional<QString>>("input");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QStringList>("messages");
        QTest::addColumn<QByteArray>("maxFile");
        QTest::addColumn<int>("itemCount");

        const QByteArray none("<missing>");
        QTest::newRow("cancel") << false << std::optional<QString>() << 10 << QStringList{} << none << 12;
        QTest::newRow("not a number") << false << std::optional<QString>(u"x"_s) << 10
                                      << QStringList{u"Invalid number!!"_s} << none << 12;
        QTest::newRow("above 100") << false << std::optional<QString>(u"101"_s) << 10
                                   << QStringList{u"Number must be between 0 and 100"_s} << none << 12;
        QTest::newRow("below 0") << false << std::optional<QString>(u"-1"_s) << 10
                                 << QStringList{u"Number must be between 0 and 100"_s} << none << 12;
        QTest::newRow("cuts the list") << false << std::optional<QString>(u"3"_s) << 3 << QStringList{}
                                       << QByteArray("3\r\n") << 3;
        QTest::newRow("raise shows all") << false << std::optional<QString>(u"100"_s) << 100 << QStringList{}
                                         << QByteArray("100\r\n") << 12;
        QTest::newRow("zero") << false << std::optional<QString>(u"0"_s) << 0 << QStringList{} << QByteArray("0\r\n")
                              << 0;
        QTest::newRow("length above 10000") << true << std::optional<QString>(u"10001"_s) << 2000
                                            << QStringList{u"Number must be between 0 and 10000"_s} << none << 12;
        // The list of 12 stays over the maximum of 10, which the rebuild reports.
        QTest::newRow("length") << true << std::optional<QString>(u" 40"_s) << 40 << QStringList{u"count > maxhist??"_s}
                                << QByteArray("40\r\n") << 12;
    }

    void setMaximum()
    {
        QFETCH(bool, length);
        QFETCH(std::optional<QString>, input);
        QFETCH(int, expected);
        QFETCH(QStringList, messages);
        QFETCH(QByteArray, maxFile);
        QFETCH(int, itemCount);

        auto list = makeList();
        for (int i = 0; i < 12; ++i)
            list->histlist() << u"/f%1"_s.arg(i);
        int rebuilds = 0;
        list->setRebuildHandler([&rebuilds](int) { ++rebuilds; });
        m_dialogs.inputs.enqueue(input);
        if (length)
            list->SetMaxItemLen();
        else
            list->SetMaxHistItems();

        QCOMPARE(m_dialogs.asked,
                 QStringList{length ? u"Set maximum length of one history item|Give maximum length of one history "
                                      u"item (max. 10000)|2000"_s
                                    : u"Set maximum history items|Give maximum history items (max. 100)|10"_s});
        QCOMPARE(length ? list->maxitemlen() : list->maxhist(), expected);
        QCOMPARE(list->histlist().size(), itemCount);
        QCOMPARE(readBytes(length ? list->maxitemlenPath() : list->maxhistPath()), maxFile);
        const bool accepted = maxFile != "<missing>";
        QCOMPARE(rebuilds, accepted ? 1 : 0);
        if (accepted && !length && expected < 12)
            QCOMPARE(readBytes(list->historyPath()), crlfLines(list->histlist()));
        QCOMPARE(m_dialogs.texts(), messages);
        for (const FakeDialogs::Shown &box : std::as_const(m_dialogs.shown))
            QCOMPARE(box.kind, box.text.startsWith(u"count"_s) ? Dialogs::Kind::Plain : Dialogs::Kind::Error);
    }

    void fullDiskKeepsItemsFile()
    {
        auto list = makeList();
        const QByteArray stored = crlfLines({u"/a.mht"_s, u"/b.mht"_s});
        writeBytes(list->historyPath(), stored);
        FileSizeLimit full(8);
        if (!full.active())
            QSKIP("no file size limit on this system");
        // Loading an unchanged list writes nothing, so it cannot fail.
        list->LoadHistory();
        QVERIFY(m_dialogs.shown.isEmpty());

        list->AddItem(u"/c.mht"_s);
        QCOMPARE(list->histlist().first(), u"/c.mht"_s);
        QCOMPARE(m_dialogs.shown.size(), 1);
        QVERIFY2(m_dialogs.lastText().startsWith(u"Unable to save history file "_s + list->historyPath() + u"!!\n"_s),
                 qPrintable(m_dialogs.lastText()));
        QCOMPARE(readBytes(list->historyPath()), stored);
    }

    void unwritableFolder()
    {
        // A program folder that cannot be written: the user is told, nothing is lost in memory.
        HistoryList list(m_dialogs, m_dir->filePath(u"missing"_s));
        list.AddItem(u"/a"_s);
        QCOMPARE(list.histlist(), QStringList{u"/a"_s});
        QCOMPARE(m_dialogs.shown.size(), 1);
        QCOMPARE(m_dialogs.shown.first().kind, Dialogs::Kind::Error);

        m_dialogs.inputs.enqueue(u"5"_s);
        list.SetMaxHistItems();
        QCOMPARE(list.maxhist(), 5);
        // The documented text, then the reason.
        QVERIFY2(m_dialogs.lastText().startsWith(u"Unable to save max history file "_s +
                                                 m_dir->filePath(u"missing/max.his"_s) + u"!!\n"_s),
                 qPrintable(m_dialogs.lastText()));
    }
};

QTEST_GUILESS_MAIN(tst_HistoryList)
#include "tst_HistoryList.moc"
