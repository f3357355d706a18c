#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <cstring>

namespace {

QByteArray frame(const QByteArray &payload, quint32 length)
{
    char header[sizeof length];
    std::memcpy(header, &length, sizeof length);
    return QByteArray(header, sizeof header) + payload;
}

QByteArray frame(const QByteArray &payload)
{
    return frame(payload, quint32(payload.size()));
}

// The framed replies in the host's output.
QList<QJsonObject> replies(QByteArray output)
{
    QList<QJsonObject> objects;
    while (output.size() >= 4) {
        quint32 length = 0;
        std::memcpy(&length, output.constData(), sizeof length);
        objects << QJsonDocument::fromJson(output.mid(4, length)).object();
        output.remove(0, 4 + length);
    }
    return objects;
}

} // namespace

// The native-messaging host run as a browser runs it: copied into a folder
// beside a stand-in "quillet" that records the arguments it was started with.
class TestClipHost : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;

    int m_case = 0;

    // One file per run of the stand-in, so runs started together cannot mix;
    // a folder per test case, so a late run of an earlier one cannot count.
    QString runsPath() const { return m_dir.filePath(QStringLiteral("runs%1").arg(m_case)); }

    QByteArray runHost(const QByteArray &input)
    {
        QProcess host;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("STAND_IN_RUNS"), runsPath());
        host.setProcessEnvironment(environment);
        host.start(m_dir.filePath(QStringLiteral("quillet-clip-host")), {QStringLiteral("chrome-extension://x/")});
        if (!host.waitForStarted(10000))
            return "not started";
        host.write(input);
        host.closeWriteChannel();
        if (!host.waitForFinished(10000))
            return "not finished";
        return host.readAllStandardOutput();
    }

    // The finished runs of the stand-in, each its arguments and where its
    // output went, in a fixed order.
    QStringList runs() const
    {
        QStringList found;
        const QDir dir(runsPath());
        for (const QString &name : dir.entryList({QStringLiteral("[0-9]*")}, QDir::Files)
                                       .filter(QRegularExpression(QStringLiteral("^[0-9]+$")))) {
            QFile file(dir.filePath(name));
            if (file.open(QIODevice::ReadOnly))
                found << QString::fromUtf8(file.readAll());
        }
        found.sort();
        return found;
    }

private Q_SLOTS:
    void initTestCase()
    {
        QVERIFY(QFile::copy(QStringLiteral(QUILLET_CLIP_HOST), m_dir.filePath(QStringLiteral("quillet-clip-host"))));
        QFile standIn(m_dir.filePath(QStringLiteral("quillet")));
        QVERIFY(standIn.open(QIODevice::WriteOnly));
        const QByteArray run = "$STAND_IN_RUNS/$$";
        standIn.write("#!/bin/sh\n"
                      // Where its output goes: never into the browser's pipe.
                      "out=$(readlink /proc/$$/fd/1)\n"
                      "printf '%s\\n' \"$@\" \"out=$out\" > \"" +
                      run + ".tmp\"\nmv \"" + run + ".tmp\" \"" + run + "\"\n");
        standIn.close();
        QVERIFY(standIn.setPermissions(standIn.permissions() | QFileDevice::ExeOwner));
    }

    void init()
    {
        ++m_case;
        QVERIFY(QDir().mkpath(runsPath()));
    }

    void startsQuilletWithTheTwoArguments()
    {
        const QByteArray message = R"({"title":"My page title","address":"https://example.org/a?b=1&c=\"q\""})";
        const QList<QJsonObject> answers = replies(runHost(frame(message) + frame(R"({"title":"","address":"x:"})")));
        QCOMPARE(answers.size(), 2);
        QCOMPARE(answers[0], QJsonObject({{QStringLiteral("ok"), true}}));
        QCOMPARE(answers[1], QJsonObject({{QStringLiteral("ok"), true}}));
        QTRY_COMPARE_WITH_TIMEOUT(runs().size(), 2, 10000);
        QCOMPARE(runs(), QStringList({QStringLiteral("HEADER_IE2Quillet\nx:\nout=/dev/null\n"),
                                      QStringLiteral("HEADER_IE2QuilletMy_page_title\n"
                                                     "https://example.org/a?b=1&c=\"q\"\nout=/dev/null\n")}));
    }

    void malformedFramesStartNothing_data()
    {
        QTest::addColumn<QByteArray>("input");
        QTest::addColumn<int>("errors");
        const QByteArray valid = R"({"title":"t","address":"https://example.org/"})";
        QTest::newRow("not JSON") << frame("title=t") << 1;
        QTest::newRow("JSON but no object") << frame("[1,2]") << 1;
        QTest::newRow("no address") << frame(R"({"title":"t"})") << 1;
        QTest::newRow("address not a text") << frame(R"({"title":"t","address":7})") << 1;
        QTest::newRow("empty frame") << frame("") << 1;
        // A NUL would cut the argument short.
        QTest::newRow("NUL in the title")
            << frame("{\"title\":\"a\\u0000b\",\"address\":\"https://example.org/\"}") << 1;
        QTest::newRow("NUL in the address") << frame("{\"title\":\"t\",\"address\":\"https://a/\\u0000b\"}") << 1;
        QTest::newRow("address read as an option") << frame(R"({"title":"t","address":"-reverse"})") << 1;
        QTest::newRow("length cut short") << QByteArray("\x05\x00", 2) << 1;
        QTest::newRow("body shorter than its length") << frame(valid, quint32(valid.size() + 10)) << 1;
        QTest::newRow("oversized") << frame(valid, 64 * 1024 + 1) + QByteArray(64 * 1024 + 1, ' ') << 1;
        // After a frame that broke the framing nothing further is read.
        QTest::newRow("valid frame after a broken length") << frame(valid, 0xFFFFFFFFu) + frame(valid) << 1;
    }
    void malformedFramesStartNothing()
    {
        QFETCH(QByteArray, input);
        QFETCH(int, errors);
        const QList<QJsonObject> answers = replies(runHost(input));
        QCOMPARE(answers.size(), errors);
        for (const QJsonObject &answer : answers) {
            QCOMPARE(answer.value(QStringLiteral("ok")), QJsonValue(false));
            QVERIFY(!answer.value(QStringLiteral("error")).toString().isEmpty());
        }
        // Had a broken frame started the program, there would be two runs once
        // the one for a valid frame is there.
        const QByteArray valid = R"({"title":"t","address":"https://example.org/"})";
        QCOMPARE(replies(runHost(frame(valid))).size(), 1);
        QTRY_COMPARE_WITH_TIMEOUT(runs().size(), 1, 10000);
        QCOMPARE(runs(), QStringList{QStringLiteral("HEADER_IE2Quillett\nhttps://example.org/\nout=/dev/null\n")});
    }
};

QTEST_GUILESS_MAIN(TestClipHost)
#include "tst_cliphost.moc"
