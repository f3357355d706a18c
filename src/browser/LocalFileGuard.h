#pragma once

#include <QWebEngineUrlRequestInterceptor>

// Keeps a local page from reading other local files. A page shown from a
// file loads what it shows (pictures, styles, fonts, scripts, frames) from
// its own folder and the folders below it, as a page saved complete with its
// folder needs; nothing from elsewhere on the disk, and no file at all by a
// script's own request (fetch, XMLHttpRequest, workers). Navigating to a
// file stays the user's choice.
class LocalFileGuard : public QWebEngineUrlRequestInterceptor
{
    Q_OBJECT
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;

    void interceptRequest(QWebEngineUrlRequestInfo &info) override;
};
