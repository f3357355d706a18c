#include "FakeBrowser.h"

#include "browser/ClipboardFragment.h"
#include "browser/CssColor.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTimer>
#include <QUrl>
#include <QWidget>

#include <stdexcept>

FakeBrowser::FakeBrowser(QObject *parent) : Browser(parent)
{
}

FakeBrowser::~FakeBrowser()
{
    // A widget nobody laid out has no parent to delete it.
    if (m_widget && !m_widget->parent())
        delete m_widget;
}

void FakeBrowser::enter(const QString &operation) const
{
    calls.append(operation);
    // As in the engine, the document's own operations need a document.
    static const QStringList withDocument =
        QStringLiteral("setDesignMode designMode execCommand selectionText documentHtml bodyOuterHtml "
                       "insertHtmlAtBodyEnd pasteAtBodyEnd findText selectText print saveAs")
            .split(QLatin1Char(' '));
    if (!hasDocument && withDocument.contains(operation))
        throw std::runtime_error("No document is loaded.");
    if (!failNext.isEmpty()) {
        const QString message = std::exchange(failNext, QString());
        throw std::runtime_error(message.toStdString());
    }
    const auto failure = failures.constFind(operation);
    if (failure != failures.constEnd())
        throw std::runtime_error(failure->toStdString());
}

QWidget *FakeBrowser::widget()
{
    if (!m_widget)
        m_widget = new QWidget;
    return m_widget;
}

void FakeBrowser::Navigate(const QString &address)
{
    enter(QStringLiteral("Navigate"));
    navigations.append(address);
    begin(address);
}

void FakeBrowser::NavigateWithoutScripts(const QString &address)
{
    enter(QStringLiteral("NavigateWithoutScripts"));
    navigations.append(address);
    begin(address);
}

void FakeBrowser::begin(const QString &address)
{
    hasDocument = true;
    readyState = 1;
    busy = true;
    m_pending = address;
    m_address = address;
    const int generation = ++m_generation;
    Q_EMIT BeforeNavigate2(address);
    if (autoComplete) {
        // A newer navigation supersedes this one, as in a real engine.
        QTimer::singleShot(0, this, [this, generation] {
            if (generation == m_generation)
                completeNavigation();
        });
    }
}

void FakeBrowser::completeNavigation()
{
    if (m_pending.isEmpty())
        return;
    const QString address = std::exchange(m_pending, QString());
    ++m_generation;

    QString path;
    if (address.startsWith(QLatin1String("file:")))
        path = QUrl(address).toLocalFile();
    else if (QDir::isAbsolutePath(address))
        path = address;
    if (!path.isEmpty()) {
        locationUrl = QUrl::fromLocalFile(path).toString();
        locationName = path;
    } else {
        locationUrl = address;
        locationName = titles.value(address, address);
    }
    if (pages.contains(address))
        html = pages.value(address);

    Q_EMIT ProgressChange(50, 100);
    Q_EMIT NavigateComplete2(locationUrl);
    for (const QString &frame : std::as_const(frames)) {
        Q_EMIT NavigateComplete2(frame);
        Q_EMIT DocumentComplete(frame, false);
    }
    readyState = 4;
    busy = false;
    Q_EMIT ProgressChange(100, 100);
    Q_EMIT DocumentComplete(locationUrl, true);
}

void FakeBrowser::emitClick(const QString &tagName, const QString &href)
{
    Q_EMIT DocumentClick(tagName.toUpper(), href);
}

void FakeBrowser::emitMouseOver(const QString &tagName, const QString &href)
{
    Q_EMIT DocumentMouseOver(tagName.toUpper(), href);
}

QStringList FakeBrowser::commandNames() const
{
    QStringList names;
    for (const Command &command : commands)
        names.append(command.name);
    return names;
}

void FakeBrowser::Stop()
{
    enter(QStringLiteral("Stop"));
    // Stopping ends the load where it is; the engine still reports it finished.
    completeNavigation();
}

void FakeBrowser::GoHome()
{
    enter(QStringLiteral("GoHome"));
    navigations.append(homeAddress);
    begin(homeAddress);
}

void FakeBrowser::GoSearch()
{
    enter(QStringLiteral("GoSearch"));
    navigations.append(searchAddress);
    begin(searchAddress);
}

void FakeBrowser::Refresh()
{
    enter(QStringLiteral("Refresh"));
    if (!m_address.isEmpty())
        begin(m_address);
}

void FakeBrowser::setSilent(bool value)
{
    enter(QStringLiteral("setSilent"));
    silent = value;
}

void FakeBrowser::setDesignMode(const QString &value)
{
    enter(QStringLiteral("setDesignMode"));
    mode = value.compare(QLatin1String("On"), Qt::CaseInsensitive) == 0 ? QStringLiteral("On") : QStringLiteral("Off");
}

QString FakeBrowser::designMode() const
{
    enter(QStringLiteral("designMode"));
    return mode;
}

void FakeBrowser::execCommand(const QString &name, const QVariant &value)
{
    enter(QStringLiteral("execCommand"));
    commands.append({name, value});
    // Like the engine, a read-only document ignores formatting commands.
    if (mode != QLatin1String("On"))
        return;
    if (name == QLatin1String("BackColor"))
        wrapSelection(QStringLiteral("<span style=\"background-color: %1;\">").arg(CssColor::fromValue(value)),
                      QStringLiteral("</span>"));
    else if (name == QLatin1String("Bold"))
        wrapSelection(QStringLiteral("<b>"), QStringLiteral("</b>"));
    else if (name == QLatin1String("Italic"))
        wrapSelection(QStringLiteral("<i>"), QStringLiteral("</i>"));
    else if (name == QLatin1String("Underline"))
        wrapSelection(QStringLiteral("<u>"), QStringLiteral("</u>"));
}

void FakeBrowser::wrapSelection(const QString &open, const QString &close)
{
    if (selection.isEmpty())
        return;
    const qsizetype body = std::max<qsizetype>(0, html.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive));
    const qsizetype at = html.indexOf(selection, body);
    if (at < 0)
        return;
    html.insert(at + selection.size(), close);
    html.insert(at, open);
}

QString FakeBrowser::selectionText() const
{
    enter(QStringLiteral("selectionText"));
    return selection;
}

QString FakeBrowser::documentHtml(const std::function<void()> &meanwhile) const
{
    enter(QStringLiteral("documentHtml"));
    if (meanwhile)
        meanwhile();
    if (duringRead)
        duringRead();
    return html;
}

quint64 FakeBrowser::documentChanges() const
{
    if (html != m_countedHtml) {
        m_countedHtml = html;
        ++m_changes;
    }
    return m_changes;
}

QString FakeBrowser::bodyOuterHtml() const
{
    enter(QStringLiteral("bodyOuterHtml"));
    const qsizetype start = html.indexOf(QLatin1String("<body"), 0, Qt::CaseInsensitive);
    if (start < 0)
        return {};
    const QLatin1String closing("</body>");
    const qsizetype end = html.lastIndexOf(closing, -1, Qt::CaseInsensitive);
    return end < start ? html.mid(start) : html.mid(start, end + closing.size() - start);
}

void FakeBrowser::insertHtmlAtBodyEnd(const QString &fragment)
{
    enter(QStringLiteral("insertHtmlAtBodyEnd"));
    insertedHtml.append(fragment);
    const qsizetype end = html.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
    if (end < 0)
        html.append(fragment);
    else
        html.insert(end, fragment);
}

void FakeBrowser::pasteAtBodyEnd()
{
    enter(QStringLiteral("pasteAtBodyEnd"));
    const QString fragment = ClipboardFragment::current();
    insertedHtml.append(fragment);
    const qsizetype end = html.lastIndexOf(QLatin1String("</body>"), -1, Qt::CaseInsensitive);
    if (end < 0)
        html.append(fragment);
    else
        html.insert(end, fragment);
}

bool FakeBrowser::findText(const QString &text, bool backward, bool caseSensitive)
{
    enter(QStringLiteral("findText"));
    finds.append({text, backward, caseSensitive});
    if (findResult)
        return *findResult;
    return !text.isEmpty() && html.contains(text, caseSensitive ? Qt::CaseSensitive : Qt::CaseInsensitive);
}

bool FakeBrowser::selectText(const QString &text, int occurrence)
{
    enter(QStringLiteral("selectText"));
    selectedTexts.append({text, occurrence});
    // Blocks break lines; inline elements join what they hold to what is around.
    static const QRegularExpression hidden(QStringLiteral("<(script|style|title)\\b.*?</\\1\\s*>"),
                                           QRegularExpression::CaseInsensitiveOption |
                                               QRegularExpression::DotMatchesEverythingOption);
    static const QRegularExpression block(QStringLiteral("</?(p|div|br|li|h[1-6]|tr|td|th|table|body)\\b[^>]*>"),
                                          QRegularExpression::CaseInsensitiveOption);
    static const QRegularExpression tag(QStringLiteral("<[^>]*>"));
    const QString shown = QString(html).remove(hidden).replace(block, QStringLiteral("\n")).remove(tag);
    // The shown text without white space, and where each of its characters stands.
    QString packed;
    QList<qsizetype> at;
    for (qsizetype i = 0; i < shown.size(); ++i) {
        if (!shown[i].isSpace()) {
            packed += shown[i];
            at << i;
        }
    }
    const QString wanted = QString(text).remove(QRegularExpression(QStringLiteral("\\s")));
    qsizetype found = -1;
    for (int k = 0; k <= occurrence && !wanted.isEmpty(); ++k) {
        found = packed.indexOf(wanted, found + 1);
        if (found < 0)
            break;
    }
    if (wanted.isEmpty() || found < 0)
        return false;
    selection = shown.mid(at[found], at[found + wanted.size() - 1] - at[found] + 1);
    return true;
}

void FakeBrowser::print(bool withDialog)
{
    enter(QStringLiteral("print"));
    prints.append(withDialog);
}

void FakeBrowser::saveAs(const QString &path, SaveFormat format)
{
    enter(QStringLiteral("saveAs"));
    savedAs.append(path);
    savedFormats.append(format);
    if (!saveAsWrites)
        return;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()).toStdString());
    file.write(html.toUtf8());
}
