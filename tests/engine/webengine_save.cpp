// Saves a page as Qt WebEngine's own "save page" writes it: an archive for
// the test corpus, made by the engine rather than by our writer.
// Usage: webengine_save URL OUT.mht

#include <QApplication>
#include <QTimer>
#include <QUrl>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>

#include <cstdio>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    if (argc != 3) {
        std::fprintf(stderr, "usage: webengine_save URL OUT.mht\n");
        return 2;
    }
    const QUrl url = QUrl::fromUserInput(QString::fromLocal8Bit(argv[1]));
    const QString out = QString::fromLocal8Bit(argv[2]);
    QWebEngineProfile profile;
    QWebEnginePage page(&profile);
    int code = 1;
    QObject::connect(&profile, &QWebEngineProfile::downloadRequested, &app, [&](QWebEngineDownloadRequest *download) {
        QObject::connect(download, &QWebEngineDownloadRequest::isFinishedChanged, &app, [&, download] {
            code = download->state() == QWebEngineDownloadRequest::DownloadCompleted ? 0 : 1;
            app.quit();
        });
    });
    QObject::connect(&page, &QWebEnginePage::loadFinished, &app, [&](bool ok) {
        if (!ok) {
            std::fprintf(stderr, "cannot load %s\n", argv[1]);
            app.quit();
            return;
        }
        page.save(out, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
    });
    // A page that never finishes must not hang the corpus script.
    QTimer::singleShot(60000, &app, [&] { app.quit(); });
    page.load(url);
    app.exec();
    return code;
}
