#include "support/RecentlyUsedList.h"

#include "support/AtomicFile.h"

#include <QFile>
#include <QUrl>

#include <glib.h>

#include <memory>

namespace {

struct BookmarkFileFree
{
    void operator()(GBookmarkFile *file) const { g_bookmark_file_free(file); }
};
using BookmarkFile = std::unique_ptr<GBookmarkFile, BookmarkFileFree>;

struct DateTimeFree
{
    void operator()(GDateTime *when) const { g_date_time_unref(when); }
};
using DateTime = std::unique_ptr<GDateTime, DateTimeFree>;

struct ErrorFree
{
    void operator()(GError *error) const { g_error_free(error); }
};
using Error = std::unique_ptr<GError, ErrorFree>;

// The list as it stands on disk; a missing file is an empty list. Null when
// the file exists but cannot be read or parsed.
BookmarkFile load(const QString &path)
{
    BookmarkFile list(g_bookmark_file_new());
    GError *raw = nullptr;
    if (!g_bookmark_file_load_from_file(list.get(), QFile::encodeName(path).constData(), &raw)) {
        const Error error(raw);
        if (!g_error_matches(error.get(), G_FILE_ERROR, G_FILE_ERROR_NOENT))
            return nullptr;
    }
    return list;
}

DateTime toGDateTime(const QDateTime &when)
{
    const QDateTime utc = when.toUTC();
    const QDate d = utc.date();
    const QTime t = utc.time();
    return DateTime(
        g_date_time_new_utc(d.year(), d.month(), d.day(), t.hour(), t.minute(), t.second() + t.msec() / 1000.0));
}

// Microseconds since the epoch; 0 when the entry has no such stamp.
gint64 stampOf(GDateTime *when)
{
    return when ? g_date_time_to_unix(when) * G_USEC_PER_SEC + g_date_time_get_microsecond(when) : 0;
}

} // namespace

RecentlyUsedList::RecentlyUsedList(QString filePath) : m_filePath(std::move(filePath))
{
}

bool RecentlyUsedList::add(const QString &path, const QString &mimeType, const QString &appName, const QString &appExec,
                           const QDateTime &when)
{
    // A broken list is not ours to repair: better to leave it alone.
    const BookmarkFile list = load(m_filePath);
    if (!list)
        return false;
    const QByteArray uri = QUrl::fromLocalFile(path).toEncoded();
    const DateTime stamp = toGDateTime(when);
    const bool isNew = !g_bookmark_file_has_item(list.get(), uri.constData());
    g_bookmark_file_set_mime_type(list.get(), uri.constData(), mimeType.toUtf8().constData());
    g_bookmark_file_set_application_info(list.get(), uri.constData(), appName.toUtf8().constData(),
                                         appExec.toUtf8().constData(), -1, stamp.get(), nullptr);
    if (isNew)
        g_bookmark_file_set_added_date_time(list.get(), uri.constData(), stamp.get());
    g_bookmark_file_set_modified_date_time(list.get(), uri.constData(), stamp.get());
    g_bookmark_file_set_visited_date_time(list.get(), uri.constData(), stamp.get());
    gsize size = 0;
    const std::unique_ptr<gchar, decltype(&g_free)> data(g_bookmark_file_to_data(list.get(), &size, nullptr), g_free);
    return data && WriteFileAtomically(m_filePath, QByteArray(data.get(), qsizetype(size))).ok();
}

QString RecentlyUsedList::newest() const
{
    const BookmarkFile list = load(m_filePath);
    if (!list)
        return QString();
    gsize count = 0;
    gchar **uris = g_bookmark_file_get_uris(list.get(), &count);
    QString newestPath;
    gint64 newestStamp = 0;
    for (gsize i = 0; i < count; ++i) {
        const QUrl url(QString::fromUtf8(uris[i]));
        if (!url.isLocalFile())
            continue;
        const gint64 stamp = std::max(stampOf(g_bookmark_file_get_modified_date_time(list.get(), uris[i], nullptr)),
                                      stampOf(g_bookmark_file_get_visited_date_time(list.get(), uris[i], nullptr)));
        // Later entries win ties: they were written last.
        if (newestPath.isEmpty() || stamp >= newestStamp) {
            newestPath = url.toLocalFile();
            newestStamp = stamp;
        }
    }
    g_strfreev(uris);
    return newestPath;
}
