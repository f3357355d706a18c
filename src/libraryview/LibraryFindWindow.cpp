#include "libraryview/LibraryFindWindow.h"

#include "library/MarkColour.h"
#include "libraryview/LibraryHitDelegate.h"
#include "libraryview/MarkSwatch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace {

// The passage as rich text: escaped, its hit words bold.
QString passageHtml(const QString &snippet)
{
    return snippet.toHtmlEscaped()
        .replace(LibraryFindWindow::HitStart, QLatin1String("<b>"))
        .replace(LibraryFindWindow::HitEnd, QLatin1String("</b>"));
}

QString hitHtml(const LibraryHit &hit)
{
    const QString title = hit.title.isEmpty() ? QFileInfo(hit.path).fileName() : hit.title;
    QString about = QDir::toNativeSeparators(QFileInfo(hit.path).absolutePath());
    if (hit.date.isValid())
        about += QStringLiteral(" \u00B7 ") + hit.date.toLocalTime().toString(QStringLiteral("yyyy-MM-dd"));
    if (!hit.available)
        about += QStringLiteral(" \u00B7 unavailable");
    return QStringLiteral("<b>%1</b>&nbsp;&nbsp;<small>%2</small><br>%3")
        .arg(title.toHtmlEscaped(), about.toHtmlEscaped(), passageHtml(hit.snippet));
}

QString countText(const LibrarySearchResult &result, int limit)
{
    if (!result.ok())
        return result.error;
    const qsizetype n = result.hits.size();
    if (n == 0)
        return QStringLiteral("Nothing found");
    if (n >= limit)
        return QStringLiteral("The first %1 hits").arg(n);
    return n == 1 ? QStringLiteral("1 hit") : QStringLiteral("%1 hits").arg(n);
}

} // namespace

LibraryFindWindow::LibraryFindWindow(QWidget *parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("LibraryFindF"));
    setWindowTitle(QStringLiteral("Find in library"));
    auto *layout = new QGridLayout(this);
    m_query = new QLineEdit(this);
    m_query->setObjectName(QStringLiteral("LibraryQueryE"));
    m_query->setPlaceholderText(QStringLiteral("Words, \"a phrase\", prefix*, OR, NOT"));
    m_query->setClearButtonEnabled(true);
    m_query->installEventFilter(this);
    layout->addWidget(m_query, 0, 0, 1, 3);

    m_marksOnly = new QCheckBox(QStringLiteral("Marked passages only"), this);
    m_marksOnly->setObjectName(QStringLiteral("LibraryMarksOnlyCB"));
    layout->addWidget(m_marksOnly, 1, 0);
    m_colour = new QComboBox(this);
    m_colour->setObjectName(QStringLiteral("LibraryColourCB"));
    m_colour->addItem(QStringLiteral("Any colour"));
    for (const MarkColour &colour : MarkColour::gridColours())
        m_colour->addItem(MarkSwatch(colour.hex()), colour.gridName(), colour.hex());
    m_colour->setToolTip(QStringLiteral("Only passages marked in this colour"));
    layout->addWidget(m_colour, 1, 1);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("LibraryCountL"));
    m_count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    layout->addWidget(m_count, 1, 2);

    m_hits = new QListWidget(this);
    m_hits->setObjectName(QStringLiteral("LibraryHitsLST"));
    m_hits->setItemDelegate(new LibraryHitDelegate(m_hits));
    m_hits->setResizeMode(QListView::Adjust);
    m_hits->setVerticalScrollMode(QAbstractItemView::ScrollPerPixel);
    layout->addWidget(m_hits, 2, 0, 1, 3);
    layout->setColumnStretch(2, 1);
    layout->setRowStretch(2, 1);

    m_pause.setSingleShot(true);
    m_pause.setInterval(PauseMs);
    connect(&m_pause, &QTimer::timeout, this, &LibraryFindWindow::searchRequested);
    connect(m_query, &QLineEdit::textChanged, this, [this] { m_pause.start(); });
    const auto now = [this] {
        m_pause.stop();
        Q_EMIT searchRequested();
    };
    connect(m_marksOnly, &QCheckBox::toggled, this, now);
    connect(m_colour, &QComboBox::currentIndexChanged, this, now);
    connect(m_query, &QLineEdit::returnPressed, this, [this] { Q_EMIT hitChosen(-1); });
    connect(m_hits, &QListWidget::itemActivated, this,
            [this](QListWidgetItem *item) { Q_EMIT hitChosen(m_hits->row(item)); });
    resize(720, 520);
}

QString LibraryFindWindow::query() const
{
    return m_query->text();
}

LibrarySearchOptions LibraryFindWindow::options() const
{
    LibrarySearchOptions options;
    options.marksOnly = m_marksOnly->isChecked();
    if (m_colour->currentIndex() > 0)
        options.colour = MarkColour::fromUserText(m_colour->currentData().toString());
    options.hitStart = HitStart;
    options.hitEnd = HitEnd;
    return options;
}

void LibraryFindWindow::showResult(const LibrarySearchResult &result, int limit)
{
    m_hits->clear();
    for (const LibraryHit &hit : result.hits) {
        auto *item = new QListWidgetItem(m_hits);
        item->setData(LibraryHitDelegate::HtmlRole, hitHtml(hit));
        item->setData(LibraryHitDelegate::SwatchRole, hit.isMark ? hit.markColour : QString());
        item->setData(LibraryHitDelegate::AvailableRole, hit.available);
        item->setToolTip(QDir::toNativeSeparators(hit.path));
    }
    if (m_hits->count() > 0)
        m_hits->setCurrentRow(0);
    m_count->setText(query().trimmed().isEmpty() && result.ok() && result.hits.isEmpty() ? QString()
                                                                                         : countText(result, limit));
}

int LibraryFindWindow::currentRow() const
{
    return qMax(0, m_hits->currentRow());
}

void LibraryFindWindow::focusQuery()
{
    m_query->setFocus();
    m_query->selectAll();
}

bool LibraryFindWindow::eventFilter(QObject *watched, QEvent *event)
{
    // Down from the query box goes on to the hits.
    if (watched == m_query && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent *>(event)->key() == Qt::Key_Down && m_hits->count() > 0) {
        m_hits->setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}
