#include "EnginePage.h"
#include "browser/WebEngineBrowser.h"

#include <QApplication>
#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMimeData>
#include <QPrinterInfo>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineView>

#include <memory>
#include <stdexcept>

// Drives the real engine offscreen. One browser serves every test: starting
// the engine is the slow part, a page load is quick.
class WebEngineBrowserTest : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void opensArchivesUnderTheirOwnPath_data();
    void opensArchivesUnderTheirOwnPath();
    void opensAnArchiveWithItsPicture();
    void readsTheDocumentAsItChanges_data();
    void readsTheDocumentAsItChanges();
    void pastedSelectionCannotRestyleThePage();
    void refreshReloadsTheDocument();
    void refusesWhatItCannotDo();
    void savesThroughTheEngine_data();
    void savesThroughTheEngine();
    void localPagesReadNoOtherFile_data();
    void localPagesReadNoOtherFile();
    void reportsClicksAndMouseOvers();

private:
    QString writeArchive(const QString &name, const QByteArray &lineEnd);
    void open(const QString &path);
    QVariant runScript(const QString &script);
    QPoint elementCentre(const QString &id);

    QTemporaryDir m_dir;
    std::unique_ptr<WebEngineBrowser> m_browser;
    QString m_crlfArchive;
};

QString WebEngineBrowserTest::writeArchive(const QString &name, const QByteArray &lineEnd)
{
    const QByteArrayList lines = {
        "From: <Saved by a test>",
        "Subject: Marked page",
        "MIME-Version: 1.0",
        "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----=_Part_1\"",
        "",
        "------=_Part_1",
        "Content-Type: text/html; charset=\"utf-8\"",
        "Content-Transfer-Encoding: 8bit",
        "Content-Location: http://example.test/page.html",
        "",
        "<!DOCTYPE html><html><head><title>Marked page</title></head><body style=\"font-size:24px\">",
        "<p id=\"para\">Hello marked world</p><p><a id=\"link\" href=\"#next\">next part</a></p>",
        "<p id=\"next\">second paragraph</p></body></html>",
        "------=_Part_1--",
        "",
    };
    const QString path = m_dir.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(lines.join(lineEnd));
    return path;
}

void WebEngineBrowserTest::initTestCase()
{
    QVERIFY(m_dir.isValid());
    m_browser = std::make_unique<WebEngineBrowser>(nullptr, m_dir.path(), m_dir.filePath(QStringLiteral("cache")));
    m_browser->widget()->resize(800, 600);
    m_browser->widget()->show();
    m_crlfArchive = writeArchive(QStringLiteral("page crlf.mht"), "\r\n");
    QVERIFY(!m_crlfArchive.isEmpty());
}

void WebEngineBrowserTest::cleanupTestCase()
{
    m_browser.reset();
}

void WebEngineBrowserTest::open(const QString &path)
{
    QVERIFY(EnginePage::load(*m_browser, path));
}

QVariant WebEngineBrowserTest::runScript(const QString &script)
{
    return EnginePage::runScript(*m_browser, script);
}

QPoint WebEngineBrowserTest::elementCentre(const QString &id)
{
    return EnginePage::centreOf(*m_browser,
                                QStringLiteral("document.getElementById('%1').getBoundingClientRect()").arg(id));
}

void WebEngineBrowserTest::opensArchivesUnderTheirOwnPath_data()
{
    QTest::addColumn<QByteArray>("lineEnd");
    QTest::newRow("CRLF archive") << QByteArray("\r\n");
    // Chromium refuses these; the browser opens a normalised copy instead.
    QTest::newRow("LF-only archive") << QByteArray("\n");
}

void WebEngineBrowserTest::opensArchivesUnderTheirOwnPath()
{
    QFETCH(QByteArray, lineEnd);
    const QString path = writeArchive(QStringLiteral("open %1.mht").arg(lineEnd.size()), lineEnd);
    QSignalSpy before(m_browser.get(), &Browser::BeforeNavigate2);
    QSignalSpy navigated(m_browser.get(), &Browser::NavigateComplete2);
    QSignalSpy complete(m_browser.get(), &Browser::DocumentComplete);
    m_browser->Navigate(path);
    QVERIFY(complete.wait(15000));

    // Every report names the archive itself, never the copy the engine shows.
    const QString url = QUrl::fromLocalFile(path).toString();
    QCOMPARE(complete.size(), 1);
    QCOMPARE(complete.first(), (QVariantList{url, true}));
    QCOMPARE(navigated.last().first().toString(), url);
    QCOMPARE(before.first().first().toString(), url);
    QCOMPARE(m_browser->LocationName(), path);
    QCOMPARE(m_browser->LocationURL(), url);
    const QString html = m_browser->documentHtml();
    QVERIFY2(html.startsWith(QStringLiteral("<!DOCTYPE html>")), qPrintable(html.left(80)));
    QVERIFY(html.contains(QStringLiteral("Hello marked world")));
}

// A quoted-printable page (with a soft line break and an encoded dash) and a
// base64 PNG it finds by its Content-Location, as archives are usually written.
void WebEngineBrowserTest::opensAnArchiveWithItsPicture()
{
    QImage picture(40, 30, QImage::Format_RGB32);
    picture.fill(QColor(0, 160, 0));
    QByteArray png;
    QBuffer buffer(&png);
    QVERIFY(buffer.open(QIODevice::WriteOnly));
    QVERIFY(picture.save(&buffer, "PNG"));
    const QByteArray base64 = png.toBase64();
    QByteArrayList lines = {
        "From: <Saved by a test>",
        "Subject: Picture page",
        "MIME-Version: 1.0",
        "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----=_Part_2\"",
        "",
        "------=_Part_2",
        "Content-Type: text/html; charset=\"utf-8\"",
        "Content-Transfer-Encoding: quoted-printable",
        "Content-Location: http://example.test/pictured.html",
        "",
        "<!DOCTYPE html><html><head><title>Picture =E2=80=93 page</title></head><body style=3D\"margin:0\">",
        "<img src=3D\"http://example.test/pics/green.png\" style=3D\"position:absolute;=",
        "left:100px;top:80px\"><p id=3D\"para\" style=3D\"margin-top:200px\">Some pictured text</p>",
        "</body></html>",
        "------=_Part_2",
        "Content-Type: image/png",
        "Content-Transfer-Encoding: base64",
        "Content-Location: http://example.test/pics/green.png",
        "",
    };
    for (qsizetype at = 0; at < base64.size(); at += 76)
        lines.append(base64.mid(at, 76));
    lines += QByteArrayList{"", "------=_Part_2--", ""};
    const QString path = m_dir.filePath(QStringLiteral("pictured.mht"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(lines.join("\r\n"));
    file.close();

    open(path);
    QCOMPARE(m_browser->LocationName(), path);
    QCOMPARE(runScript(QStringLiteral("document.title")).toString(), QStringLiteral("Picture \u2013 page"));
    QCOMPARE(runScript(QStringLiteral("document.images[0].complete ? document.images[0].naturalWidth : -1")).toInt(),
             40);
    // The picture is drawn where the page puts it.
    const auto pixelAtPicture = [this] { return m_browser->widget()->grab().toImage().pixel(120, 95); };
    QTRY_VERIFY_WITH_TIMEOUT(qGreen(pixelAtPicture()) > 120 && qRed(pixelAtPicture()) < 60, 5000);
}

void WebEngineBrowserTest::readsTheDocumentAsItChanges_data()
{
    // Scripts run one after another, each in a task of its own.
    QTest::addColumn<QStringList>("scripts");
    QTest::newRow("nothing changed") << QStringList{};
    QTest::newRow("text with markup characters")
        << QStringList{QStringLiteral("document.getElementById('p3').firstChild.data = 'a < b & c > d\u00a0e';")};
    QTest::newRow("mark in design mode") << QStringList{QStringLiteral(
        "document.designMode = 'on'; var t = document.getElementById('p2').firstChild;"
        " var r = document.createRange(); r.setStart(t, 1); r.setEnd(t, 4); getSelection().removeAllRanges();"
        " getSelection().addRange(r); document.execCommand('styleWithCSS', false, true);"
        " document.execCommand('backColor', false, '#ffff00'); document.designMode = 'off';")};
    QTest::newRow("typing, then undo") << QStringList{
        QStringLiteral(
            "document.designMode = 'on'; getSelection().collapse(document.getElementById('p1').firstChild, 2);"
            " document.execCommand('insertText', false, 'typed');"),
        QStringLiteral("document.execCommand('undo'); document.designMode = 'off';")};
    QTest::newRow("attribute of the body")
        << QStringList{QStringLiteral("document.body.setAttribute('data-x', 'a\"b&c<d');")};
    QTest::newRow("style in the head") << QStringList{
        QStringLiteral("document.querySelector('style').textContent = 'p > b { color: red }';")};
    QTest::newRow("changed while out of the document")
        << QStringList{QStringLiteral("window.gone = document.getElementById('s5'); gone.remove();"),
                       QStringLiteral("gone.firstElementChild.textContent = 'changed outside';"),
                       QStringLiteral("document.getElementById('wrap').appendChild(gone);")};
    QTest::newRow("subtree replaced") << QStringList{QStringLiteral(
        "document.getElementById('wrap').innerHTML = '<p>new &amp; one</p>'.repeat(70) + '<!-- c -->';")};
    QTest::newRow("comment, instruction, custom element") << QStringList{
        QStringLiteral("document.body.appendChild(document.createComment(' note '));"
                       " document.body.appendChild(document.createProcessingInstruction('x', 'y'));"
                       " document.body.insertAdjacentHTML('beforeend', '<my-el a=\"1\"><b>x</b></my-el>&nbsp;');")};
    QTest::newRow("template content") << QStringList{
        QStringLiteral("document.querySelector('template').content.appendChild(document.createElement('b'));")};
}

void WebEngineBrowserTest::readsTheDocumentAsItChanges()
{
    QFETCH(QStringList, scripts);
    // Big enough that its containers are kept part by part.
    QString body = QStringLiteral("<div id=\"wrap\">");
    for (int i = 0; i < 80; ++i)
        body +=
            QStringLiteral("<section id=\"s%1\"><p id=\"p%1\">Para %1 &amp; &lt;more&gt;&nbsp;</p>\n</section>").arg(i);
    body += QStringLiteral("</div><pre>\nkept</pre><template><i>t</i></template><!-- end -->");
    const QString path = m_dir.filePath(QStringLiteral("changing.htm"));
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write((QStringLiteral("<!DOCTYPE html><html><head><style>p { margin: 0 }</style><title>t</title></head>"
                               "<body class=\"a&amp;b\">") +
                body + QStringLiteral("</body></html>"))
                   .toUtf8());
    file.close();
    const quint64 before = m_browser->documentChanges();
    open(path);
    // The load counts once, the page's watch once it starts: only a watched
    // page answers with what changed.
    QTRY_VERIFY_WITH_TIMEOUT(m_browser->documentChanges() >= before + 2, 5000);
    const auto whole = [this] {
        return QStringLiteral("<!DOCTYPE html>\n") +
               runScript(QStringLiteral("document.documentElement.outerHTML")).toString();
    };
    QCOMPARE(m_browser->documentHtml(), whole());
    for (const QString &script : scripts)
        runScript(script);
    QCOMPARE(m_browser->documentHtml(), whole());
    // A further change is read against the answer just given.
    runScript(QStringLiteral("document.getElementById('p7').append(' and more');"));
    QCOMPARE(m_browser->documentHtml(), whole());
}

// A selection's style sheet would restyle the whole page, its base
// readdress every link; its inline styles stay with it.
void WebEngineBrowserTest::pastedSelectionCannotRestyleThePage()
{
    open(m_crlfArchive);
    const QString linkTarget = runScript(QStringLiteral("document.getElementById('link').href")).toString();
    auto *copied = new QMimeData;
    copied->setHtml(
        QStringLiteral("<meta charset=\"utf-8\"><title>Other</title><style>p { display: none }</style>"
                       "<link rel=\"stylesheet\" href=\"data:text/css,body%7Bdisplay:none%7D\">"
                       "<base href=\"http://elsewhere.test/\"><p id=\"pasted\" style=\"color: red\">kept</p>"));
    QGuiApplication::clipboard()->setMimeData(copied);
    m_browser->pasteAtBodyEnd();
    const QString pasted = m_browser->bodyOuterHtml();
    QVERIFY2(pasted.contains(QStringLiteral("<p id=\"pasted\" style=\"color: red\">kept</p>")), qPrintable(pasted));
    for (const QString &tag : {QStringLiteral("<style"), QStringLiteral("<link"), QStringLiteral("<base"),
                               QStringLiteral("<meta"), QStringLiteral("<title")})
        QVERIFY2(!pasted.contains(tag), qPrintable(pasted));
    QCOMPARE(runScript(QStringLiteral("getComputedStyle(document.getElementById('para')).display")).toString(),
             QStringLiteral("block"));
    QCOMPARE(runScript(QStringLiteral("document.getElementById('link').href")).toString(), linkTarget);
}

void WebEngineBrowserTest::refreshReloadsTheDocument()
{
    open(m_crlfArchive);
    m_browser->insertHtmlAtBodyEnd(QStringLiteral("<p>gone after reload</p>"));
    QSignalSpy complete(m_browser.get(), &Browser::DocumentComplete);
    m_browser->Refresh();
    QVERIFY(m_browser->Busy());
    QVERIFY(complete.wait(15000));
    QCOMPARE(m_browser->ReadyState(), 4);
    QCOMPARE(m_browser->LocationName(), m_crlfArchive);
    QVERIFY(!m_browser->documentHtml().contains(QStringLiteral("gone after reload")));
}

void WebEngineBrowserTest::refusesWhatItCannotDo()
{
    open(m_crlfArchive);
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_browser->execCommand(QStringLiteral("NoSuchCommand")));
    // The engine would copy the original archive (losing the marks) or write nothing.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_browser->saveAs(m_dir.filePath(QStringLiteral("again.mht")),
                                                                   Browser::SaveFormat::SingleFileArchive));
    QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_browser->saveAs(m_dir.filePath(QStringLiteral("again.htm")),
                                                                   Browser::SaveFormat::CompletePage));
    // Printing straight away needs a default printer; without one the user is told so.
    if (QPrinterInfo::defaultPrinter().isNull())
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, m_browser->print(false));
}

void WebEngineBrowserTest::savesThroughTheEngine_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<Browser::SaveFormat>("format");
    QTest::addColumn<QByteArray>("expected");
    QTest::addColumn<bool>("showsItsPicture"); // reopened from where it was saved
    QTest::newRow("complete page") << QStringLiteral("saved.htm") << Browser::SaveFormat::CompletePage
                                   << QByteArray("Plain page body") << true;
    QTest::newRow("HTML only") << QStringLiteral("only.htm") << Browser::SaveFormat::HtmlOnly
                               << QByteArray("Plain page body") << false;
    QTest::newRow("archive") << QStringLiteral("saved.mht") << Browser::SaveFormat::SingleFileArchive
                             << QByteArray("multipart/related") << true;
}

void WebEngineBrowserTest::savesThroughTheEngine()
{
    QFETCH(QString, name);
    QFETCH(Browser::SaveFormat, format);
    QFETCH(QByteArray, expected);
    QFETCH(bool, showsItsPicture);
    const QString page = m_dir.filePath(QStringLiteral("plain.htm"));
    QFile source(page);
    QVERIFY(source.open(QIODevice::WriteOnly));
    source.write("<html><head><title>Plain</title></head><body><p>Plain page body</p>"
                 "<img id=\"pic\" src=\"pages/red.png\"></body></html>");
    source.close();
    QVERIFY(QDir(m_dir.path()).mkpath(QStringLiteral("pages")));
    QFile::copy(qEnvironmentVariable("QUILLET_TEST_DATA") + QStringLiteral("/pages/red.png"),
                m_dir.filePath(QStringLiteral("pages/red.png")));
    open(page);
    QCOMPARE(m_browser->LocationName(), page);

    // Writing into a missing folder crashes the engine's archive writer.
    QVERIFY_THROWS_EXCEPTION(std::runtime_error,
                             m_browser->saveAs(m_dir.filePath(QStringLiteral("no/") + name), format));
    const QString target = m_dir.filePath(name);
    m_browser->saveAs(target, format);
    QFile saved(target);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(saved.readAll().contains(expected));

    // Its pictures are the page's own parts, not reads of other files: a
    // complete page shows them from its folder. The page must not fall back
    // on the original, which goes first.
    if (!showsItsPicture)
        return;
    QVERIFY(QFile::remove(m_dir.filePath(QStringLiteral("pages/red.png"))));
    open(target);
    const QString shown = QStringLiteral("(function () { var p = document.querySelector('img');"
                                         " return p && p.complete ? p.naturalWidth : -1; })()");
    QTRY_VERIFY_WITH_TIMEOUT(runScript(shown).toInt() >= 0, 10000);
    QVERIFY(runScript(shown).toInt() > 0);
}

void WebEngineBrowserTest::localPagesReadNoOtherFile_data()
{
    QTest::addColumn<QString>("read"); // a script that calls report() with what it got
    QTest::newRow("fetch of a system file")
        << QStringLiteral("fetch('%1').then(function (r) { return r.text(); })"
                          ".then(function (t) { report('read ' + t.length); }, function () { report('refused'); });")
               .arg(QUrl::fromLocalFile(QStringLiteral("/etc/hostname")).toString());
    // Shown, a frame or a picture from elsewhere could be read through the page.
    const QString data = qEnvironmentVariable("QUILLET_TEST_DATA");
    QTest::newRow("frame of a page elsewhere")
        << QStringLiteral("var f = document.createElement('iframe'); f.onload = function () {"
                          " try { report('read ' + f.contentDocument.body.innerHTML.length); }"
                          " catch (e) { report('refused'); } }; f.src = '%1'; document.body.appendChild(f);")
               .arg(QUrl::fromLocalFile(data + QStringLiteral("/pages/frame.html")).toString());
    QTest::newRow("picture from elsewhere")
        << QStringLiteral("var i = new Image(); i.onload = function () { report('read ' + i.naturalWidth); };"
                          " i.onerror = function () { report('refused'); }; i.src = '%1';")
               .arg(QUrl::fromLocalFile(data + QStringLiteral("/pages/red.png")).toString());
}

// A local page must not read another local file (and then hand it on, say
// in a navigation to a server).
void WebEngineBrowserTest::localPagesReadNoOtherFile()
{
    QFETCH(QString, read);
    const QString page = m_dir.filePath(QStringLiteral("reader.htm"));
    QFile file(page);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("<html><head><title>waiting</title></head><body><p>Reader</p><script>"
               "function report(text) { document.title = text; }" +
               read.toUtf8() + "</script></body></html>");
    file.close();
    open(page);
    QTRY_VERIFY_WITH_TIMEOUT(runScript(QStringLiteral("document.title")).toString() != QStringLiteral("waiting"),
                             10000);
    QCOMPARE(runScript(QStringLiteral("document.title")).toString(), QStringLiteral("refused"));
}

void WebEngineBrowserTest::reportsClicksAndMouseOvers()
{
    open(m_crlfArchive);
    QSignalSpy clicks(m_browser.get(), &Browser::DocumentClick);
    QSignalSpy overs(m_browser.get(), &Browser::DocumentMouseOver);
    QWidget *input = m_browser->widget()->focusProxy();
    QVERIFY(input);

    const QPoint paragraph = elementCentre(QStringLiteral("para"));
    QVERIFY(!paragraph.isNull());
    QTest::mouseClick(input, Qt::LeftButton, {}, paragraph);
    QVERIFY(clicks.wait(5000));
    QCOMPARE(clicks.last(), (QVariantList{QStringLiteral("P"), QString()}));

    const QPoint link = elementCentre(QStringLiteral("link"));
    QTest::mouseMove(input, link);
    QTest::mouseClick(input, Qt::LeftButton, {}, link);
    QTRY_VERIFY_WITH_TIMEOUT(clicks.size() >= 2, 5000);
    QCOMPARE(clicks.last(), (QVariantList{QStringLiteral("A"), QStringLiteral("#next")}));
    QTRY_VERIFY_WITH_TIMEOUT(overs.contains(QVariantList{QStringLiteral("A"), QStringLiteral("#next")}), 5000);

    // The page is drawn, not blank: its pixels are not all one colour. Right
    // after input the compositor may still hand over an empty frame, so the
    // picture is taken again until it shows the page.
    QImage shot;
    const auto colours = [&shot, this] {
        shot = m_browser->widget()->grab().toImage();
        QSet<QRgb> seen;
        for (int y = 0; y < shot.height(); y += 4)
            for (int x = 0; x < shot.width(); x += 4)
                seen.insert(shot.pixel(x, y));
        return seen.size();
    };
    QTRY_VERIFY_WITH_TIMEOUT(colours() > 2, 10000);
    QCOMPARE(shot.size(), QSize(800, 600));
    const QString shotPath = qEnvironmentVariable("QUILLET_SCREENSHOT");
    if (!shotPath.isEmpty())
        shot.save(shotPath);
}

int main(int argc, char **argv)
{
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QApplication app(argc, argv);
    WebEngineBrowserTest test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_webenginebrowser.moc"
