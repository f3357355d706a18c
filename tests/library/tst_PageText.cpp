#include "library/HtmlText.h"
#include "library/MarkColour.h"
#include "library/PageMarks.h"
#include "library/PagePlace.h"

#include <QTest>

using namespace Qt::StringLiterals;

// What the library takes from a page: its text, title and source line, and
// its marks in every form pages carry them.
class tst_PageText : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void text_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("text");
        const auto row = [](const char *name, const char *html, const char *text) {
            QTest::newRow(name) << QString::fromUtf8(html) << QString::fromUtf8(text);
        };
        row("tags go, blocks become lines", "<p>One <b>two</b></p><div>three</div>", "One two\nthree");
        row("white space collapses", "  a \r\n\t b  <br>  c ", "a b\nc");
        row("script and style contents go", "a<script>if (a < b) x = '</p>';</script>b<style>p{}</style>c", "abc");
        row("script closed in another case", "a<SCRIPT>x</ScRiPt >b", "ab");
        row("comments go", "a<!-- <p>hidden</p> -->b<!DOCTYPE html>c", "abc");
        row("named and numeric references", "&lt;&amp;&gt; &eacute;&#233;&#xE9; &Omega;&apos;", "<&> ééé Ω'");
        row("unknown and broken references stay", "&bogus; &amp &#xZZ; a&b", "&bogus; &amp &#xZZ; a&b");
        row("references out of range", "&#0;&#x110000;&#xD800;", "\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
        row("non-breaking spaces separate words",
            "a&nbsp;b\xC2\xA0"
            "c",
            "a b c");
        row("a stray < is text", "a < b <3 c", "a < b <3 c");
        row("quoted > inside a tag", "<a title=\"x > y\">link</a>", "link");
        row("textarea is text", "<textarea>a <b> c</textarea>d", "a <b> c\nd");
        row("title is not body text", "<title>T</title>body", "body");
        row("pictures separate words", "one<img src=x>two", "one two");
        row("table cells separate words", "<table><tr><td>a</td><td>b</td></tr></table>", "a b");
        row("truncated tag", "text <span style=\"x", "text");
        row("truncated comment", "text <!-- never closed", "text");
        row("astral character", "&#x1F600;", "\xF0\x9F\x98\x80");
    }

    void text()
    {
        QFETCH(QString, html);
        QFETCH(QString, text);
        QCOMPARE(HtmlText::extract(html).text, text);
    }

    void titleAndSource_data()
    {
        QTest::addColumn<QString>("html");
        QTest::addColumn<QString>("title");
        QTest::addColumn<QString>("source");
        QTest::newRow("title decoded") << QStringLiteral("<head><title> A &amp;\n B </title></head>")
                                       << QStringLiteral("A & B") << QString();
        QTest::newRow("first title only")
            << QStringLiteral("<title>one</title><title>two</title>") << QStringLiteral("one") << QString();
        QTest::newRow("svg title is no page title")
            << QStringLiteral("<svg><title>icon</title></svg><title>page</title>") << QStringLiteral("page")
            << QString();
        QTest::newRow("clipboard source line")
            << QStringLiteral("<p>t</p><P><i>This has been copied from </i><A href=\"https://a.example/x?a=1&amp;b=2\">"
                              "https://a.example/x</A></P><p><a href=\"https://other\">o</a></p>")
            << QString() << QStringLiteral("https://a.example/x?a=1&b=2");
        QTest::newRow("the engine's form of the line")
            << QStringLiteral("<p><i>This has been copied from </i><a href='https://b.example/'>b</a></p>") << QString()
            << QStringLiteral("https://b.example/");
        QTest::newRow("a link in a later paragraph is no source")
            << QStringLiteral("<p>This has been copied from</p><p><a href=\"https://c\">c</a></p>") << QString()
            << QString();
    }

    void titleAndSource()
    {
        QFETCH(QString, html);
        QFETCH(QString, title);
        QFETCH(QString, source);
        const HtmlPageText page = HtmlText::extract(html);
        QCOMPARE(page.title, title);
        QCOMPARE(page.copiedFrom, source);
    }

    void marks_data()
    {
        QTest::addColumn<QString>("html");
        // One line per mark: text | #rrggbb | grid name | formats | sentence.
        QTest::addColumn<QStringList>("marks");
        const auto row = [](const char *name, const char *html, const QStringList &marks) {
            QTest::newRow(name) << QString::fromUtf8(html) << marks;
        };
        row("the engine's mark",
            "<p>Before. The <span style=\"background-color: rgb(255, 255, 0);\">marked</span> "
            "word here. After.</p>",
            {QStringLiteral("marked|#ffff00|yellow||The marked word here.")});
        row("an older program's mark", "<P><FONT style=\"BACKGROUND-COLOR: #00FF00\">green</FONT></P>",
            {QStringLiteral("green|#00ff00|green||green")});
        row("short hex, shorthand, rgba",
            "<span style=\"background:#f00\">a</span> x "
            "<span style=\"background: url(a b.png) no-repeat rgba(0,0,255,0.5)\">b</span> "
            "y <span style=\"BACKGROUND-COLOR:orange !important\">c</span>",
            {QStringLiteral("a|#ff0000|red||a x b y c"), QStringLiteral("b|#0000ff|blue||a x b y c"),
             QStringLiteral("c|#ffa500|||a x b y c")});
        row("a colour outside the grid", "<span style=\"background-color: rgb(1, 2, 3)\">odd</span>",
            {QStringLiteral("odd|#010203|||odd")});
        row("transparent is no mark",
            "<span style=\"background-color: transparent\">no</span>"
            "<span style=\"background: rgba(1,1,1,0)\">no</span>"
            "<span style=\"background-color: #ff000000\">no</span>",
            {});
        row("the page background is no mark", "<body style=\"background-color: white\"><p>text</p></body>", {});
        row("a split passage is one mark",
            "<p><span style=\"background-color: rgb(255, 255, 0)\">one </span><b><span style=\"background-color: "
            "rgb(255, 255, 0)\">two</span></b></p><p><span style=\"background-color: rgb(255, 255, 0)\">three</span>"
            "</p>",
            {QStringLiteral("one two three|#ffff00|yellow||one two three")});
        row("unmarked text between makes two",
            "<span style=\"background-color:#ff0\">a</span> b "
            "<span style=\"background-color:#ff0\">c</span>",
            {QStringLiteral("a|#ffff00|yellow||a b c"), QStringLiteral("c|#ffff00|yellow||a b c")});
        row("colours inside colours",
            "<span style=\"background-color:#ff0\">outer <span style=\"background-color:"
            "#0ff\">inner</span> end</span>",
            {QStringLiteral("outer|#ffff00|yellow||outer inner end"),
             QStringLiteral("inner|#00ffff|cyan||outer inner end"),
             QStringLiteral("end|#ffff00|yellow||outer inner end")});
        row("bold, italic, underline",
            "<b><span style=\"background-color:#ff0\">b</span></b> "
            "<span style=\"background-color:#0ff\"><i>i</i> <u>u</u></span> "
            "<span style=\"background-color:#f0f; font-weight: 700; font-style: italic; "
            "text-decoration: underline\">all</span>",
            {QStringLiteral("b|#ffff00|yellow|bold|b i u all"), QStringLiteral("i u|#00ffff|cyan||b i u all"),
             QStringLiteral("all|#ff00ff|magenta|bold italic underline|b i u all")});
        row("a mark inside bold text", "<strong>x <span style=\"background-color:#ff0\">y</span></strong>",
            {QStringLiteral("y|#ffff00|yellow|bold|x y")});
        row("unbold inside bold", "<b><span style=\"background-color:#ff0;font-weight:normal\">y</span></b>",
            {QStringLiteral("y|#ffff00|yellow||y")});
        row("only spaces marked", "a<span style=\"background-color:#ff0\">  </span>b", {});
        row("sentences of several scripts",
            "<p>前文。<span style=\"background-color:#ff0\">标记</span>的句子。后文</p>",
            {QStringLiteral("标记|#ffff00|yellow||标记的句子。")});
    }

    void marks()
    {
        QFETCH(QString, html);
        QFETCH(QStringList, marks);
        QStringList got;
        const QList<LibraryMark> found = PageMarks::of(HtmlText::extract(html));
        for (const LibraryMark &m : found) {
            QStringList formats;
            if (m.bold)
                formats << QStringLiteral("bold");
            if (m.italic)
                formats << QStringLiteral("italic");
            if (m.underline)
                formats << QStringLiteral("underline");
            got << QStringList{m.text, m.colour, m.colourName, formats.join(u' '), m.sentence}.join(u'|');
            QCOMPARE(m.order, got.size() - 1);
        }
        QCOMPARE(got, marks);
    }

    void longSentencesAreCut()
    {
        const QString before = QString(400, u'a').replace(QLatin1String("aaaa"), QLatin1String("aaa "));
        const QString text = before + QStringLiteral("MARK") + before;
        const QString sentence = PageMarks::sentenceAround(text, before.size(), 4);
        QVERIFY(sentence.startsWith(QChar(0x2026)));
        QVERIFY(sentence.endsWith(QChar(0x2026)));
        QVERIFY(sentence.contains(QLatin1String(" MARK")));
        QVERIFY(sentence.size() <= 2 * PageMarks::LongestContext + 6);
        QVERIFY(!sentence.contains(QLatin1String("\u2026a ")));
    }

    void userColours_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("hex");
        QTest::newRow("grid name") << QStringLiteral("yellow") << QStringLiteral("#ffff00");
        QTest::newRow("name with a space") << QStringLiteral("Dark Red") << QStringLiteral("#800000");
        QTest::newRow("name run together") << QStringLiteral("darkgreen") << QStringLiteral("#008000");
        QTest::newRow("name with a hyphen") << QStringLiteral("dark-red") << QStringLiteral("#800000");
        QTest::newRow("gray spelt the other way") << QStringLiteral("gray") << QStringLiteral("#808080");
        QTest::newRow("hex") << QStringLiteral("#FFa500") << QStringLiteral("#ffa500");
        QTest::newRow("short hex is no user colour") << QStringLiteral("#ff0") << QString();
        QTest::newRow("unknown name") << QStringLiteral("chartreuse") << QString();
    }

    void userColours()
    {
        QFETCH(QString, text);
        QFETCH(QString, hex);
        const std::optional<MarkColour> colour = MarkColour::fromUserText(text);
        QCOMPARE(colour ? colour->hex() : QString(), hex);
    }

    // Hostile nesting and sizes: linear, bounded, no crash.
    void hostileMarkup()
    {
        QString deep;
        for (int i = 0; i < 100000; ++i)
            deep += QStringLiteral("<span style=\"background-color:#ff0\">x");
        const HtmlPageText page = HtmlText::extract(deep);
        QCOMPARE(page.text, QString(100000, u'x'));
        QCOMPARE(PageMarks::of(page).size(), 1);
        QCOMPARE(HtmlText::extract(QString(100000, u'<')).text.size(), 100000);
    }

    // Where a hit word is selected in the page: its text as the page writes
    // it and how many places before it read the same, white space left out.
    void placeOfWord_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("word");
        QTest::addColumn<QString>("placed"); // "" for none
        QTest::addColumn<int>("occurrence");
        QTest::newRow("as written before any case") << "Heron on the bank; a heron again."
                                                    << "heron"
                                                    << "heron" << 0;
        QTest::newRow("in any case") << "Heron on the bank."
                                     << "heron"
                                     << "Heron" << 0;
        QTest::newRow("not inside a longer word") << "Many foxes here, then one fox."
                                                  << "fox"
                                                  << "fox" << 1;
        QTest::newRow("white space counts on neither side") << "new york\nand newyork"
                                                            << "newyork"
                                                            << "newyork" << 1;
        QTest::newRow("unspaced script, inside a sentence") << u"我们今天学习中文语法"_s << u"中文"_s << u"中文"_s << 0;
        QTest::newRow("joined to the word before") << "grows aHeliotrope by"
                                                   << "heliotrope"
                                                   << "Heliotrope" << 0;
        QTest::newRow("absent") << "nothing here"
                                << "zebra"
                                << "" << -1;
        QTest::newRow("no word") << "nothing here"
                                 << "  "
                                 << "" << -1;
    }

    void placeOfWord()
    {
        QFETCH(QString, text);
        QFETCH(QString, word);
        QFETCH(QString, placed);
        QFETCH(int, occurrence);
        const std::optional<PagePlace> place = PagePlace::ofWord(text, word);
        QCOMPARE(place ? place->text : QString(), placed);
        QCOMPARE(place ? place->occurrence : -1, occurrence);
    }
};

QTEST_GUILESS_MAIN(tst_PageText)
#include "tst_PageText.moc"
