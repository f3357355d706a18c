#include "library/HtmlText.h"

#include "library/HtmlEntities.h"
#include "library/MarkColour.h"

#include <QLatin1String>

#include <initializer_list>
#include <optional>
#include <vector>

namespace {

struct Format
{
    // 0xRRGGBB, or -1 for none.
    qint64 background = -1;
    bool bold = false;
    bool italic = false;
    bool underline = false;
};

struct Frame
{
    QString name;
    Format format;
};

// Deeper nesting than this only happens in hostile input; the text still
// comes out, only the formats of the deepest elements are not followed.
constexpr std::size_t DeepestNesting = 4096;

bool isSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == ' ' || u == '\t' || u == '\n' || u == '\r' || u == '\f' || u == 0xA0;
}

bool isOneOf(QStringView name, std::initializer_list<const char *> names)
{
    for (const char *n : names) {
        if (name == QLatin1String(n))
            return true;
    }
    return false;
}

bool isVoid(QStringView name)
{
    return isOneOf(name, {"br", "img", "hr", "meta", "link", "input", "area", "base", "col", "embed", "param", "source",
                          "track", "wbr", "basefont", "frame", "keygen"});
}

// Elements a browser lays out on lines of their own.
bool isBlock(QStringView name)
{
    return isOneOf(name, {"p",       "div",        "br",     "li",       "ul",      "ol",         "dl",      "dt",
                          "dd",      "h1",         "h2",     "h3",       "h4",      "h5",         "h6",      "table",
                          "tr",      "thead",      "tbody",  "tfoot",    "caption", "blockquote", "pre",     "hr",
                          "section", "article",    "header", "footer",   "nav",     "aside",      "main",    "address",
                          "figure",  "figcaption", "form",   "fieldset", "legend",  "details",    "summary", "center",
                          "option",  "dialog",     "body",   "title"});
}

// Elements whose start closes an open element of the same kind.
bool closesItsKind(QStringView name)
{
    return isOneOf(name, {"p", "li", "td", "th", "tr", "option", "dd", "dt"});
}

// Splits a CSS value at white space outside parentheses: "url(a b) #fff" has two pieces.
QList<QStringView> cssPieces(QStringView value)
{
    QList<QStringView> pieces;
    int depth = 0;
    qsizetype start = -1;
    for (qsizetype i = 0; i <= value.size(); ++i) {
        const bool end = i == value.size();
        const QChar c = end ? QChar(u' ') : value[i];
        if (c == u'(')
            ++depth;
        else if (c == u')' && depth > 0)
            --depth;
        if ((c.isSpace() && depth == 0) || end) {
            if (start >= 0)
                pieces.append(value.mid(start, i - start));
            start = -1;
        } else if (start < 0) {
            start = i;
        }
    }
    return pieces;
}

// Applies one style attribute to the format an element inherits.
void applyStyle(QStringView style, Format &format, bool mayColour)
{
    for (QStringView declaration : style.split(u';')) {
        const qsizetype colon = declaration.indexOf(u':');
        if (colon <= 0)
            continue;
        const QString property = declaration.left(colon).trimmed().toString().toLower();
        const QStringView value = declaration.mid(colon + 1).trimmed();
        if (property == QLatin1String("background-color") || property == QLatin1String("background")) {
            if (!mayColour)
                continue;
            // The shorthand names its colour among images and positions.
            for (QStringView piece : cssPieces(value)) {
                if (const std::optional<MarkColour> colour = MarkColour::fromCss(piece)) {
                    format.background = colour->rgb();
                    break;
                }
            }
        } else if (property == QLatin1String("font-weight")) {
            bool number = false;
            const int weight = value.toInt(&number);
            format.bold = number ? weight >= 600 : value.startsWith(QLatin1String("bold"), Qt::CaseInsensitive);
        } else if (property == QLatin1String("font-style")) {
            format.italic = value.startsWith(QLatin1String("italic"), Qt::CaseInsensitive) ||
                            value.startsWith(QLatin1String("oblique"), Qt::CaseInsensitive);
        } else if (property == QLatin1String("text-decoration") || property == QLatin1String("text-decoration-line")) {
            format.underline = value.contains(QLatin1String("underline"), Qt::CaseInsensitive);
        }
    }
}

class Walker
{
public:
    explicit Walker(QStringView html) : m_html(html) { m_page.text.reserve(html.size() / 2); }

    HtmlPageText run()
    {
        qsizetype i = 0;
        const qsizetype size = m_html.size();
        while (i < size) {
            const qsizetype lt = m_html.indexOf(u'<', i);
            const qsizetype textEnd = lt < 0 ? size : lt;
            if (textEnd > i)
                text(m_html.mid(i, textEnd - i));
            if (lt < 0)
                break;
            i = markup(lt);
        }
        return std::move(m_page);
    }

private:
    const Format &current() const
    {
        static const Format none;
        return m_stack.empty() ? none : m_stack.back().format;
    }

    void put(QChar c)
    {
        const qsizetype at = m_page.text.size();
        m_page.text += c;
        const Format &f = current();
        if (f.background < 0)
            return;
        if (!m_page.marked.isEmpty()) {
            HtmlTextRun &last = m_page.marked.last();
            if (last.start + last.length == at && last.background == quint32(f.background) && last.bold == f.bold &&
                last.italic == f.italic && last.underline == f.underline) {
                ++last.length;
                return;
            }
        }
        m_page.marked.append({at, 1, quint32(f.background), f.bold, f.italic, f.underline});
    }

    // Visible characters end the separators before them: one line break
    // between blocks, one space between words.
    void putVisible(QChar c)
    {
        if (!m_page.text.isEmpty()) {
            if (m_pendingBreak)
                put(u'\n');
            else if (m_pendingSpace)
                put(u' ');
        }
        m_pendingBreak = m_pendingSpace = false;
        put(c);
    }

    void text(QStringView raw)
    {
        for (qsizetype i = 0; i < raw.size();) {
            const QChar c = raw[i];
            if (c == u'&') {
                qsizetype length = 0;
                if (const char32_t decoded = HtmlEntities::decodeAt(raw, i, length)) {
                    i += length;
                    if (decoded == 0xA0 || decoded == u' ' || decoded == u'\t' || decoded == u'\n') {
                        m_pendingSpace = true;
                        continue;
                    }
                    for (const QChar part : QChar::fromUcs4(decoded))
                        putVisible(part);
                    continue;
                }
            }
            ++i;
            if (isSpace(c))
                m_pendingSpace = true;
            else
                putVisible(c);
        }
        // The source line's text starts its element; looking only there keeps
        // the check off the cost of every other text.
        if (m_expectSource == ExpectSource::No && m_page.copiedFrom.isEmpty() &&
            raw.trimmed().startsWith(QLatin1String("This has been copied from")))
            m_expectSource = ExpectSource::Link;
    }

    void breakLine()
    {
        m_pendingBreak = true;
        // The source line is one paragraph: its link comes before the next block.
        if (m_expectSource == ExpectSource::Link)
            m_expectSource = ExpectSource::No;
    }

    // Where the element name's close tag "</name" starts at or after from; -1 if nowhere.
    qsizetype findClose(qsizetype from, QStringView name) const
    {
        while (true) {
            const qsizetype at = m_html.indexOf(QLatin1String("</"), from);
            if (at < 0)
                return -1;
            const QStringView candidate = m_html.mid(at + 2, name.size());
            const qsizetype after = at + 2 + name.size();
            if (candidate.compare(name, Qt::CaseInsensitive) == 0 &&
                (after >= m_html.size() || !m_html[after].isLetterOrNumber()))
                return at;
            from = at + 2;
        }
    }

    // Past the '>' that ends the tag starting at from, quotes respected; the end when none.
    qsizetype tagEnd(qsizetype from) const
    {
        QChar quote;
        for (qsizetype i = from; i < m_html.size(); ++i) {
            const QChar c = m_html[i];
            if (!quote.isNull()) {
                if (c == quote)
                    quote = QChar();
            } else if (c == u'"' || c == u'\'') {
                quote = c;
            } else if (c == u'>') {
                return i + 1;
            }
        }
        return m_html.size();
    }

    qsizetype skipTo(qsizetype from, QLatin1String end) const
    {
        const qsizetype at = m_html.indexOf(end, from);
        return at < 0 ? m_html.size() : at + end.size();
    }

    // Handles the markup at lt ('<'); returns where the text goes on.
    qsizetype markup(qsizetype lt)
    {
        const qsizetype size = m_html.size();
        const QChar next = lt + 1 < size ? m_html[lt + 1] : QChar();
        if (next == u'!') {
            if (m_html.mid(lt, 4) == QLatin1String("<!--"))
                return skipTo(lt + 4, QLatin1String("-->"));
            return skipTo(lt, QLatin1String(">"));
        }
        if (next == u'?')
            return skipTo(lt, QLatin1String(">"));
        const bool closing = next == u'/';
        const qsizetype nameStart = lt + (closing ? 2 : 1);
        if (nameStart >= size || !m_html[nameStart].isLetter()) {
            // Not a tag: a '<' of the text.
            text(m_html.mid(lt, 1));
            return lt + 1;
        }
        qsizetype i = nameStart;
        while (i < size && !m_html[i].isSpace() && m_html[i] != u'>' && m_html[i] != u'/')
            ++i;
        const QString name = m_html.mid(nameStart, i - nameStart).toString().toLower();
        const qsizetype end = tagEnd(i);
        if (closing) {
            endTag(name);
            return end;
        }
        return startTag(name, m_html.mid(i, end - i), end);
    }

    void endTag(const QString &name)
    {
        if (isBlock(name))
            breakLine();
        else if (name == QLatin1String("td") || name == QLatin1String("th"))
            m_pendingSpace = true;
        for (std::size_t k = m_stack.size(); k > 0; --k) {
            if (m_stack[k - 1].name == name) {
                m_stack.resize(k - 1);
                return;
            }
        }
    }

    // The value of one attribute of a tag's attribute text; none when absent.
    static std::optional<QString> attribute(QStringView attributes, QLatin1String wanted)
    {
        qsizetype i = 0;
        const qsizetype size = attributes.size();
        while (i < size) {
            while (i < size && (attributes[i].isSpace() || attributes[i] == u'/'))
                ++i;
            const qsizetype nameStart = i;
            while (i < size && !attributes[i].isSpace() && attributes[i] != u'=' && attributes[i] != u'>' &&
                   attributes[i] != u'/')
                ++i;
            const QStringView name = attributes.mid(nameStart, i - nameStart);
            while (i < size && attributes[i].isSpace())
                ++i;
            QStringView value;
            if (i < size && attributes[i] == u'=') {
                ++i;
                while (i < size && attributes[i].isSpace())
                    ++i;
                if (i < size && (attributes[i] == u'"' || attributes[i] == u'\'')) {
                    const QChar quote = attributes[i++];
                    qsizetype close = attributes.indexOf(quote, i);
                    if (close < 0)
                        close = size;
                    value = attributes.mid(i, close - i);
                    i = close + 1;
                } else {
                    const qsizetype valueStart = i;
                    while (i < size && !attributes[i].isSpace() && attributes[i] != u'>')
                        ++i;
                    value = attributes.mid(valueStart, i - valueStart);
                }
            } else if (name.isEmpty()) {
                ++i; // a stray character; never loop on it
            }
            if (name.compare(wanted, Qt::CaseInsensitive) == 0)
                return HtmlEntities::decode(value);
        }
        return std::nullopt;
    }

    qsizetype startTag(const QString &name, QStringView attributes, qsizetype end)
    {
        if (name == QLatin1String("script") || name == QLatin1String("style")) {
            const qsizetype close = findClose(end, name);
            return close < 0 ? m_html.size() : tagEnd(close);
        }
        if (name == QLatin1String("title") || name == QLatin1String("textarea")) {
            // Text only, up to the close tag.
            const qsizetype close = findClose(end, name);
            const QStringView inside = m_html.mid(end, (close < 0 ? m_html.size() : close) - end);
            if (name == QLatin1String("textarea")) {
                breakLine();
                text(inside);
                breakLine();
            } else if (m_page.title.isEmpty() && !insideSvg()) {
                m_page.title = HtmlEntities::decode(inside).simplified();
            }
            return close < 0 ? m_html.size() : tagEnd(close);
        }
        if (isBlock(name)) {
            breakLine();
            if (!m_stack.empty() && m_stack.back().name == QLatin1String("p"))
                m_stack.pop_back();
        } else if (name == QLatin1String("td") || name == QLatin1String("th")) {
            m_pendingSpace = true;
        } else if (name == QLatin1String("img")) {
            // A picture separates the words around it.
            m_pendingSpace = true;
        }
        if (name == QLatin1String("a") && m_expectSource == ExpectSource::Link) {
            if (const std::optional<QString> href = attribute(attributes, QLatin1String("href"))) {
                m_page.copiedFrom = href->trimmed();
                m_expectSource = ExpectSource::Done;
            }
        }
        if (isVoid(name) || m_stack.size() >= DeepestNesting)
            return end;
        if (closesItsKind(name) && !m_stack.empty() && m_stack.back().name == name)
            m_stack.pop_back();
        Format format = current();
        if (name == QLatin1String("b") || name == QLatin1String("strong"))
            format.bold = true;
        else if (name == QLatin1String("i") || name == QLatin1String("em"))
            format.italic = true;
        else if (name == QLatin1String("u") || name == QLatin1String("ins"))
            format.underline = true;
        if (const std::optional<QString> style = attribute(attributes, QLatin1String("style")))
            // The page's own background is no passage.
            applyStyle(*style, format, name != QLatin1String("body") && name != QLatin1String("html"));
        m_stack.push_back({name, format});
        return end;
    }

    bool insideSvg() const
    {
        for (const Frame &f : m_stack) {
            if (f.name == QLatin1String("svg"))
                return true;
        }
        return false;
    }

    enum class ExpectSource { No, Link, Done };

    QStringView m_html;
    HtmlPageText m_page;
    std::vector<Frame> m_stack;
    bool m_pendingSpace = false;
    bool m_pendingBreak = false;
    ExpectSource m_expectSource = ExpectSource::No;
};

} // namespace

HtmlPageText HtmlText::extract(QStringView html)
{
    return Walker(html).run();
}
