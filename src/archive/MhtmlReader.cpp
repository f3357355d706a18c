#include "MhtmlReader.h"

#include "MhtmlCodec.h"
#include "MhtmlSource.h"

#include <algorithm>
#include <cstring>

namespace {

// Deeper nesting than this is no real archive, and recursion must stay bounded.
constexpr int MaxDepth = 8;
// A mapped archive is let go of in steps of this size behind the parser.
constexpr qsizetype ReleaseStep = 4 * 1024 * 1024;

using HeaderList = QList<QPair<QByteArray, QByteArray>>;

struct ContentType
{
    QByteArray type;
    QByteArray charset;
    QByteArray boundary;
    QByteArray start;
};

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// value itself when it is lower case already, so most parts share it.
QByteArray lowered(const QByteArray &value)
{
    const bool lower = std::none_of(value.cbegin(), value.cend(), [](char c) { return c >= 'A' && c <= 'Z'; });
    return lower ? value : value.toLower();
}

// Only the parameters a reader uses are kept.
ContentType parseContentType(const QByteArray &value)
{
    ContentType ct;
    const qsizetype n = value.size();
    qsizetype semi = value.indexOf(';');
    if (semi < 0) {
        ct.type = lowered(value.trimmed());
        return ct;
    }
    ct.type = value.left(semi).trimmed().toLower();
    qsizetype i = semi + 1;
    while (i < n) {
        while (i < n && (isBlank(value[i]) || value[i] == ';'))
            ++i;
        const qsizetype eq = value.indexOf('=', i);
        if (eq < 0)
            break;
        const QByteArray name = value.mid(i, eq - i).trimmed().toLower();
        i = eq + 1;
        while (i < n && isBlank(value[i]))
            ++i;
        QByteArray param;
        if (i < n && value[i] == '"') {
            ++i;
            while (i < n && value[i] != '"') {
                if (value[i] == '\\' && i + 1 < n)
                    ++i;
                param += value[i++];
            }
            ++i;
            const qsizetype next = value.indexOf(';', i);
            i = next < 0 ? n : next;
        } else {
            const qsizetype next = value.indexOf(';', i);
            const qsizetype stop = next < 0 ? n : next;
            param = value.mid(i, stop - i).trimmed();
            i = stop;
        }
        if (name == "charset")
            ct.charset = param.toLower();
        else if (name == "boundary")
            ct.boundary = param;
        else if (name == "start")
            ct.start = param;
    }
    return ct;
}

QByteArray headerValue(const HeaderList &headers, const char *name)
{
    const qsizetype size = qsizetype(std::strlen(name));
    for (const auto &h : headers) {
        if (h.first.size() == size && qstrnicmp(h.first.constData(), name, size_t(size)) == 0)
            return h.second;
    }
    return {};
}

// headerValue() of a name knownName() shares: found by its address first.
QByteArray knownValue(const HeaderList &headers, const QByteArray &name)
{
    for (const auto &h : headers) {
        if (h.first.constData() == name.constData())
            return h.second;
    }
    return headerValue(headers, name.constData());
}

// The names every part has, as their writers spell them: shared instead of
// copied for each part.
const QByteArray TypeName = QByteArrayLiteral("Content-Type");
const QByteArray EncodingName = QByteArrayLiteral("Content-Transfer-Encoding");
const QByteArray LocationName = QByteArrayLiteral("Content-Location");
const QByteArray IdName = QByteArrayLiteral("Content-ID");

const QByteArray *const KnownNames[] = {&TypeName, &EncodingName, &LocationName, &IdName};

// The shared name a header name is, spelled as writers spell it; nullptr
// for any other.
const QByteArray *knownName(const char *p, qsizetype n)
{
    for (const QByteArray *name : KnownNames) {
        if (name->size() == n && std::memcmp(name->constData(), p, size_t(n)) == 0)
            return name;
    }
    return nullptr;
}

QByteArray withoutAngles(QByteArray id)
{
    id = id.trimmed();
    if (id.startsWith('<') && id.endsWith('>'))
        id = id.mid(1, id.size() - 2);
    return id;
}

// Whether a browser takes the part as the page; RFC 2046 orders an
// alternative's children from plain to rich, so pages win there.
bool isPage(const QByteArray &type)
{
    return type == "text/html" || type == "application/xhtml+xml";
}

class Parser
{
public:
    // With keep, parts keep their bodies encoded, pointing into source.
    // With tally, parts are counted there and only the first and the
    // documents among them appended: the root is chosen among those alone.
    Parser(const char *data, qsizetype size, std::shared_ptr<const MhtmlSource> source, bool keep,
           MhtmlReader::PartHeaders partHeaders, MhtmlCheckResult *tally)
        : m_begin(data), m_end(data + size), m_source(std::move(source)), m_keep(keep), m_partHeaders(partHeaders),
          m_tally(tally), m_released(data)
    {
    }

    // Appends the leaves of the entity whose headers start at p to out; page
    // becomes the index of the one a browser takes as the entity's page, or
    // -1. p moves to where the enclosing multipart looks for its next
    // delimiter.
    QString parseEntity(const char *&p, int depth, QList<MhtmlPart> &out, qsizetype &page, HeaderList *topHeaders,
                        HeaderList *topRaw)
    {
        page = -1;
        if (depth > MaxDepth)
            return QStringLiteral("its parts are nested too deeply");
        // Headers a part does not keep go into one list used again for
        // every part, instead of one allocated for each.
        HeaderList own;
        const bool keep = m_partHeaders == MhtmlReader::PartHeaders::All || depth == 0;
        HeaderList &headers = keep ? own : m_scratch;
        if (keep)
            headers.reserve(6);
        else
            headers.clear();
        const char *body = parseHeaders(p, headers, topRaw);
        if (!body)
            return depth == 0 ? QStringLiteral("it does not begin with MIME headers")
                              : QStringLiteral("a part does not begin with MIME headers");
        const QByteArray ctValue = knownValue(headers, TypeName);
        if (depth == 0 && ctValue.isEmpty())
            return QStringLiteral("it has no Content-Type header");
        ContentType ct = parseContentType(ctValue.isEmpty() ? QByteArray("text/plain") : ctValue);
        if (topHeaders)
            *topHeaders = headers;
        if (ct.type.startsWith("multipart/")) {
            p = body;
            return parseMultipart(ct, p, depth, out, page);
        }
        const qsizetype before = out.size();
        p = parseLeaf(headers, std::move(ct), body, out);
        if (out.size() > before && MhtmlArchive::isDocumentType(out.last().contentType))
            page = out.size() - 1;
        return {};
    }

private:
    struct Delimiter
    {
        // Of m_delimiters; -1 when the line is none.
        qsizetype level = -1;
        bool closing = false;
        // The start of the line after it.
        const char *next = nullptr;
    };

    // Whether the line at p is the delimiter of an enclosing multipart. The
    // outermost wins, as a part may not hold its parent's boundary.
    Delimiter delimiterAt(const char *p) const
    {
        Delimiter found;
        for (qsizetype level = 0; level < m_delimiters.size(); ++level) {
            const QByteArray &delimiter = m_delimiters[level];
            if (m_end - p < delimiter.size() || std::memcmp(p, delimiter.constData(), size_t(delimiter.size())) != 0)
                continue;
            const char *after = p + delimiter.size();
            const bool closing = m_end - after >= 2 && after[0] == '-' && after[1] == '-';
            const char *q = closing ? after + 2 : after;
            while (q < m_end && (isBlank(*q) || *q == '\r'))
                ++q;
            if (q < m_end && *q != '\n')
                continue; // the boundary text begins a longer line: part of a body
            found.level = level;
            found.closing = closing;
            found.next = q < m_end ? q + 1 : m_end;
            return found;
        }
        return found;
    }

    // The first delimiter line at or after from, or m_end.
    const char *findDelimiter(const char *from, Delimiter &found) const
    {
        while (from < m_end) {
            // A delimiter starts a line with "--": looking for that one byte
            // skips most text at memchr speed.
            const char *dash = static_cast<const char *>(std::memchr(from, '-', size_t(m_end - from)));
            if (!dash)
                break;
            from = dash + 1;
            if (dash != m_begin && dash[-1] != '\n')
                continue;
            found = delimiterAt(dash);
            if (found.level >= 0)
                return dash;
        }
        found = Delimiter();
        return m_end;
    }

    // The line break before a delimiter belongs to the delimiter.
    const char *bodyEndBefore(const char *line, const char *body) const
    {
        if (line > body && line[-1] == '\n')
            --line;
        if (line > body && line[-1] == '\r')
            --line;
        return line;
    }

    // A header name is a token: a line whose text before its colon holds a
    // blank is no header of its own.
    static bool isFieldName(const char *p, const char *e)
    {
        return p < e && std::all_of(p, e, [](char c) { return c > ' ' && c < 127; });
    }

    // A header line as it stands, but a stray CR cannot end it when written back.
    static QByteArray rawLine(const char *p, const char *e)
    {
        QByteArray line(p, e - p);
        line.replace('\r', ' ');
        return line;
    }

    static const char *trimmedEnd(const char *p, const char *e)
    {
        while (e > p && isBlank(e[-1]))
            --e;
        return e;
    }

    // Reads header lines from pos; returns where the body begins, or
    // nullptr when the text does not start with a header at all. Like
    // browsers, a line that is no header (a wrapped value that lost its
    // indentation) continues the header above it, and only a blank line
    // ends the block; when none comes, the body is taken to begin at the
    // first such line. A delimiter line ends a block too: that part is empty.
    // raw, when given, receives the headers with their folding as it stands.
    const char *parseHeaders(const char *pos, HeaderList &headers, HeaderList *raw) const
    {
        const char *strayAt = nullptr;
        qsizetype headersAtStray = 0;
        qsizetype valueSizeAtStray = 0;
        qsizetype rawSizeAtStray = 0;
        while (pos < m_end) {
            const char *nl = static_cast<const char *>(std::memchr(pos, '\n', size_t(m_end - pos)));
            const char *lineEnd = nl ? nl : m_end;
            if (lineEnd > pos && lineEnd[-1] == '\r')
                --lineEnd;
            const char *next = nl ? nl + 1 : m_end;
            if (lineEnd == pos)
                return next;
            if (pos[0] == '-' && !m_delimiters.isEmpty() && delimiterAt(pos).level >= 0)
                break;
            const char *colon = static_cast<const char *>(std::memchr(pos, ':', size_t(lineEnd - pos)));
            const char *nameEnd = colon ? trimmedEnd(pos, colon) : nullptr;
            // A known name needs no test of its characters.
            const QByteArray *known = nameEnd ? knownName(pos, nameEnd - pos) : nullptr;
            const bool folded = isBlank(pos[0]);
            if (folded && !headers.isEmpty()) {
                QByteArray &value = headers.last().second;
                // A URL folded over lines gains no spaces; other values keep one.
                if (headers.last().first.compare(LocationName, Qt::CaseInsensitive) == 0) {
                    const char *text = pos;
                    while (text < lineEnd && isBlank(*text))
                        ++text;
                    value.append(text, trimmedEnd(text, lineEnd) - text);
                } else {
                    value.append(pos, lineEnd - pos);
                }
                if (raw)
                    raw->last().second += "\r\n" + rawLine(pos, lineEnd);
            } else if (colon && colon > pos && (known || isFieldName(pos, nameEnd))) {
                const char *value = colon + 1;
                while (value < lineEnd && isBlank(*value))
                    ++value;
                const QByteArray name = known ? *known : QByteArray(pos, nameEnd - pos);
                const char *valueEnd = trimmedEnd(value, lineEnd);
                headers.append({name, headerText(name, value, valueEnd - value, raw != nullptr)});
                if (raw)
                    raw->append({name, rawLine(value, valueEnd)});
            } else {
                if (headers.isEmpty())
                    return nullptr;
                if (!strayAt) {
                    strayAt = pos;
                    headersAtStray = headers.size();
                    valueSizeAtStray = headers.last().second.size();
                    rawSizeAtStray = raw ? raw->last().second.size() : 0;
                }
                const char *text = pos;
                while (text < lineEnd && isBlank(*text))
                    ++text;
                const QByteArray continued(text, trimmedEnd(text, lineEnd) - text);
                headers.last().second += ' ' + continued;
                // Written back, a continuation line must begin with a blank.
                if (raw)
                    raw->last().second += "\r\n " + rawLine(continued.cbegin(), continued.cend());
            }
            pos = next;
        }
        if (!strayAt)
            return pos;
        // No blank line at all: the body began without one, at the first stray line.
        headers.resize(headersAtStray);
        headers.last().second.truncate(valueSizeAtStray);
        if (raw) {
            raw->resize(headersAtStray);
            raw->last().second.truncate(rawSizeAtStray);
        }
        return strayAt;
    }

    // A part header's value. Those that every part repeats ("image/jpeg",
    // "base64") are shared, not allocated for each of thousands of parts;
    // the others a caller that keeps no headers does not get.
    QByteArray headerText(const QByteArray &name, const char *p, qsizetype n, bool top) const
    {
        // A name spelled as writers spell it is one of the shared ones.
        const bool shared = std::any_of(std::begin(KnownNames), std::end(KnownNames), [&](const QByteArray *known) {
            return known->constData() == name.constData();
        });
        const auto is = [&](const QByteArray &known) {
            return shared ? name.constData() == known.constData() : name.compare(known, Qt::CaseInsensitive) == 0;
        };
        const bool repeated = is(TypeName) || is(EncodingName);
        if (!repeated)
            return m_partHeaders == MhtmlReader::PartHeaders::All || top || is(IdName) ||
                           (m_partHeaders == MhtmlReader::PartHeaders::Location && is(LocationName))
                       ? QByteArray(p, n)
                       : QByteArray();
        for (const QByteArray &seen : m_repeated) {
            if (seen.size() == n && std::memcmp(seen.constData(), p, size_t(n)) == 0)
                return seen;
        }
        QByteArray value(p, n);
        if (m_repeated.size() < MaxRepeated)
            m_repeated.append(value);
        return value;
    }

    QString parseMultipart(const ContentType &ct, const char *&p, int depth, QList<MhtmlPart> &out, qsizetype &page)
    {
        if (ct.boundary.isEmpty())
            return QStringLiteral("a multipart section has no boundary");
        m_delimiters.append("--" + ct.boundary);
        const qsizetype level = m_delimiters.size() - 1;
        const QString error = parseParts(ct, p, depth, out, page, level);
        m_delimiters.removeLast();
        return error;
    }

    QString parseParts(const ContentType &ct, const char *&p, int depth, QList<MhtmlPart> &out, qsizetype &page,
                       qsizetype level)
    {
        Delimiter found;
        findDelimiter(p, found);
        if (found.level != level)
            return QStringLiteral("the boundary \"%1\" of its parts does not occur")
                .arg(QString::fromLatin1(ct.boundary));
        if (found.closing)
            return QStringLiteral("the archive holds no parts");
        const qsizetype first = out.size();
        const bool alternative = ct.type == "multipart/alternative";
        qsizetype firstPage = -1;
        qsizetype richest = -1;
        qsizetype lastPage = -1;
        while (true) {
            const char *child = found.next;
            qsizetype childPage = -1;
            const QString error = parseEntity(child, depth + 1, out, childPage, nullptr, nullptr);
            if (!error.isEmpty())
                return error;
            if (childPage >= 0) {
                if (firstPage < 0)
                    firstPage = childPage;
                lastPage = childPage;
                if (isPage(out[childPage].contentType))
                    richest = childPage;
            }
            findDelimiter(child, found);
            if (found.level != level)
                return QStringLiteral("the archive is truncated (its closing boundary is missing)");
            if (found.closing)
                break;
        }
        p = found.next;
        // An alternative stands for its richest rendering, the last page
        // among its children; its other children stay as they were.
        if (alternative) {
            page = richest >= 0 ? richest : lastPage;
            return {};
        }
        page = firstPage;
        // RFC 2557: the start parameter names the root by its Content-ID.
        const QByteArray start = withoutAngles(ct.start);
        if (ct.type == "multipart/related" && !start.isEmpty()) {
            const QString id = QString::fromUtf8(start);
            for (qsizetype i = first; i < out.size(); ++i) {
                if (out[i].contentId == id && MhtmlArchive::isDocumentType(out[i].contentType)) {
                    page = i;
                    break;
                }
            }
        }
        return {};
    }

    // Appends the leaf whose body starts at body; returns the delimiter line
    // after it, or m_end.
    const char *parseLeaf(HeaderList &headers, ContentType ct, const char *body, QList<MhtmlPart> &out)
    {
        MhtmlPart part;
        part.contentType = std::move(ct.type);
        part.charset = std::move(ct.charset);
        if (m_partHeaders != MhtmlReader::PartHeaders::None)
            part.contentLocation = QString::fromUtf8(knownValue(headers, LocationName));
        const QByteArray id = knownValue(headers, IdName);
        if (!id.isEmpty())
            part.contentId = QString::fromUtf8(withoutAngles(id));
        part.transferEncoding = lowered(knownValue(headers, EncodingName).trimmed());
        if (m_partHeaders == MhtmlReader::PartHeaders::All)
            part.headers = std::move(headers);

        // The body is swept once: for its end, and meanwhile for what a
        // check and a writer need to know of it.
        const char *line = m_end;
        const char *end = m_end;
        MhtmlCodec::Stats stats;
        if (part.transferEncoding == "base64") {
            MhtmlCodec::Base64Sweep sweep;
            line = MhtmlCodec::sweepBase64(body, m_end, sweep);
            // A line that starts with "--" but is no delimiter is body.
            while (line != m_end && delimiterAt(line).level < 0)
                line = MhtmlCodec::sweepBase64(line, m_end, sweep, false);
            MhtmlCodec::finishBase64(sweep, line != m_end);
            stats = {sweep.size, sweep.clean};
        } else if (!m_delimiters.isEmpty()) {
            Delimiter found;
            line = findDelimiter(body, found);
        }
        if (line != m_end)
            end = bodyEndBefore(line, body);
        if (m_keep && part.transferEncoding != "base64")
            stats = MhtmlCodec::bodyStats(body, end, part.transferEncoding);
        const QByteArray view = QByteArray::fromRawData(body, end - body);
        if (m_keep && !view.isEmpty()) {
            part.encoded = view;
            part.source = m_source;
            part.encodedSize = stats.size;
            part.encodedCopyable = stats.clean;
        } else {
            part.data = MhtmlCodec::decodeBody(view, part.transferEncoding);
        }
        if (m_tally) {
            ++m_tally->parts;
            m_tally->size += part.decodedSize();
        }
        if (!m_tally || out.isEmpty() || MhtmlArchive::isDocumentType(part.contentType))
            out.append(std::move(part));
        release(line);
        return line;
    }

    // Lets go of the mapped pages the parser has passed.
    void release(const char *upTo)
    {
        if (m_source && upTo - m_released >= ReleaseStep) {
            m_source->release(m_released, upTo);
            m_released = upTo;
        }
    }

    const char *m_begin = nullptr;
    const char *m_end = nullptr;
    std::shared_ptr<const MhtmlSource> m_source;
    bool m_keep = false;
    MhtmlReader::PartHeaders m_partHeaders = MhtmlReader::PartHeaders::All;
    MhtmlCheckResult *m_tally = nullptr;
    const char *m_released = nullptr;
    // The values of repeated headers met so far; few kinds occur.
    static constexpr qsizetype MaxRepeated = 16;
    mutable QList<QByteArray> m_repeated;
    HeaderList m_scratch;
    // "--" and the boundary of every enclosing multipart, outermost first.
    QList<QByteArray> m_delimiters;
};

} // namespace

MhtmlReadResult MhtmlReader::readFile(const QString &path) const
{
    return readMapped(path, nullptr);
}

MhtmlCheckResult MhtmlReader::checkFile(const QString &path) const
{
    MhtmlReader counter(m_maxSize);
    counter.setKeepEncoded(true);
    counter.setPartHeaders(PartHeaders::None);
    MhtmlCheckResult tally;
    const QString error = counter.readMapped(path, &tally).error;
    // What was counted before the fault says nothing of the archive.
    return error.isEmpty() ? tally : MhtmlCheckResult{error};
}

MhtmlReadResult MhtmlReader::readMapped(const QString &path, MhtmlCheckResult *tally) const
{
    MhtmlReadResult result;
    const std::shared_ptr<MhtmlSource> source = MhtmlSource::open(path, m_maxSize, &result.error);
    if (!source)
        return result;
    result = parse(source->data(), source->size(), source, tally);
    if (!result.ok())
        result.error = QStringLiteral("%1 is not a readable web archive: %2").arg(path, result.error);
    return result;
}

MhtmlReadResult MhtmlReader::read(const QByteArray &bytes) const
{
    if (!m_keepEncoded)
        return parse(bytes.constData(), bytes.size(), nullptr);
    // Kept parts point into the bytes, so they must be owned.
    const auto source = std::make_shared<const MhtmlSource>(bytes);
    return parse(source->data(), source->size(), source);
}

MhtmlReadResult MhtmlReader::parse(const char *data, qsizetype size, const std::shared_ptr<const MhtmlSource> &source,
                                   MhtmlCheckResult *tally) const
{
    MhtmlReadResult result;
    if (size > m_maxSize) {
        result.error = QStringLiteral("it is too large (%1 bytes; the limit is %2)").arg(size).arg(m_maxSize);
        return result;
    }
    if (std::all_of(data, data + size, [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); })) {
        result.error = QStringLiteral("it is empty");
        return result;
    }
    Parser parser(data, size, source, m_keepEncoded, m_partHeaders, tally);
    HeaderList top;
    HeaderList raw;
    QList<MhtmlPart> parts;
    qsizetype root = -1;
    const char *p = data;
    const QString error = parser.parseEntity(p, 0, parts, root, &top, &raw);
    if (!error.isEmpty()) {
        result.error = error;
        return result;
    }
    // The one verdict every command takes: an archive is good when a browser
    // shows its root, so what is written from it is good again. Chromium
    // takes the first part it shows as a page, or a lone picture.
    const qsizetype count = tally ? tally->parts : parts.size();
    if (root < 0 && count == 1 && MhtmlArchive::isPictureType(parts[0].contentType))
        root = 0;
    if (root < 0) {
        result.error = QStringLiteral("none of its parts is of a type a browser shows as a document (the first is %1)")
                           .arg(parts[0].contentType.isEmpty() ? QStringLiteral("untyped")
                                                               : QString::fromLatin1(parts[0].contentType));
        return result;
    }
    MhtmlArchive &archive = result.archive;
    archive.parts = std::move(parts);
    archive.rootIndex = int(root);
    archive.subject = MhtmlCodec::decodeHeaderWords(headerValue(top, "Subject"));
    archive.snapshotLocation = QString::fromUtf8(headerValue(top, "Snapshot-Content-Location"));
    archive.headers = std::move(raw);
    return result;
}
