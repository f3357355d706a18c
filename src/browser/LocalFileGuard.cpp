#include "LocalFileGuard.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

namespace {

// Whether a page at pageUrl may load url as a resource of the given type.
bool allows(const QUrl &pageUrl, const QUrl &url, QWebEngineUrlRequestInfo::ResourceType type)
{
    if (!url.isLocalFile() || !pageUrl.isLocalFile())
        return true;
    switch (type) {
    case QWebEngineUrlRequestInfo::ResourceTypeMainFrame:
        return true;
    case QWebEngineUrlRequestInfo::ResourceTypeSubFrame:
    case QWebEngineUrlRequestInfo::ResourceTypeStylesheet:
    case QWebEngineUrlRequestInfo::ResourceTypeScript:
    case QWebEngineUrlRequestInfo::ResourceTypeImage:
    case QWebEngineUrlRequestInfo::ResourceTypeFontResource:
    case QWebEngineUrlRequestInfo::ResourceTypeMedia:
    case QWebEngineUrlRequestInfo::ResourceTypeFavicon:
        break;
    default:
        // A script's own reads (fetch, XMLHttpRequest, workers, pings).
        return false;
    }
    // Cleaned, "sub/../../x" is outside the folder.
    const QString folder = QFileInfo(QDir::cleanPath(pageUrl.toLocalFile())).absolutePath();
    const QString file = QDir::cleanPath(url.toLocalFile());
    return file.startsWith(folder == QLatin1String("/") ? folder : folder + QLatin1Char('/'));
}

} // namespace

void LocalFileGuard::interceptRequest(QWebEngineUrlRequestInfo &info)
{
    if (!allows(info.firstPartyUrl(), info.requestUrl(), info.resourceType()))
        info.block(true);
}
