#include "marking/TBitBtnWithColor.h"

#include "marking/PaintHelpers.h"

#include <QDialog>
#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPixmapCache>
#include <QShortcut>

namespace {

constexpr int KindGlyphSize = 18;

// The glyph of a standard kind: an up slice and a disabled slice on the
// transparent olive ground. Made on first use and shared through Qt's pixmap
// cache under the kind's resource name.
QPixmap kindGlyph(TBitBtnWithColor::TBitBtnWithColorKind kind)
{
    using K = TBitBtnWithColor;
    static constexpr const char *names[] = {"",         "BBCOK",    "BBCCANCEL", "BBCHELP",   "BBCYES", "BBCNO",
                                            "BBCCLOSE", "BBCABORT", "BBCRETRY",  "BBCIGNORE", "BBCALL"};
    const QString key = QLatin1String(names[kind]);
    QPixmap cached;
    if (QPixmapCache::find(key, &cached)) {
        return cached;
    }
    const int s = KindGlyphSize;
    QImage image(2 * s, s, QImage::Format_RGB32);
    image.fill(QColor(128, 128, 0));
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, false);
    auto draw = [&p, kind, s](QPoint origin, QColor main) {
        p.save();
        p.translate(origin);
        p.setPen(QPen(main, 2));
        p.setBrush(Qt::NoBrush);
        const QPolygon check{QPoint(3, 9), QPoint(7, 13), QPoint(14, 4)};
        switch (kind) {
        case K::bkOK:
        case K::bkYes:
            p.drawPolyline(check);
            break;
        case K::bkAll:
            p.drawPolyline(check.translated(-2, 0));
            p.drawPolyline(check.translated(2, 0));
            break;
        case K::bkCancel:
        case K::bkAbort:
            p.drawLine(4, 4, 13, 13);
            p.drawLine(13, 4, 4, 13);
            if (kind == K::bkAbort) {
                p.setPen(QPen(main, 1));
                p.drawEllipse(1, 1, s - 3, s - 3);
            }
            break;
        case K::bkNo:
            p.drawEllipse(3, 3, s - 7, s - 7);
            p.drawLine(5, 12, 12, 5);
            break;
        case K::bkHelp:
        case K::bkIgnore: {
            QFont font;
            font.setPixelSize(s - 2);
            font.setBold(true);
            font.setStyleStrategy(QFont::NoAntialias);
            p.setFont(font);
            p.drawText(QRect(0, 0, s, s), Qt::AlignCenter,
                       kind == K::bkHelp ? QStringLiteral("?") : QStringLiteral("!"));
            break;
        }
        case K::bkClose:
            p.setPen(QPen(main, 1));
            p.drawRect(5, 2, 8, 14);
            p.drawPoint(11, 9);
            break;
        case K::bkRetry:
            p.drawArc(3, 3, s - 7, s - 7, 90 * 16, 270 * 16);
            p.drawLine(9, 3, 12, 1);
            p.drawLine(9, 3, 12, 6);
            break;
        case K::bkCustom:
            break;
        }
        p.restore();
    };
    const QColor colors[] = {Qt::black,         QColor(0, 128, 0), QColor(128, 0, 0), QColor(0, 0, 128),
                             QColor(0, 128, 0), QColor(128, 0, 0), QColor(0, 0, 128), QColor(128, 0, 0),
                             QColor(0, 128, 0), QColor(0, 0, 128), QColor(0, 128, 0)};
    draw(QPoint(0, 0), colors[kind]);
    // The disabled slice in the platform's etched look: white, then grey on top.
    draw(QPoint(s + 1, 1), Qt::white);
    draw(QPoint(s, 0), QColor(128, 128, 128));
    p.end();
    cached = QPixmap::fromImage(image);
    QPixmapCache::insert(key, cached);
    return cached;
}

bool isDefaultKind(TBitBtnWithColor::TBitBtnWithColorKind kind)
{
    return kind == TBitBtnWithColor::bkOK || kind == TBitBtnWithColor::bkYes;
}

bool isCancelKind(TBitBtnWithColor::TBitBtnWithColorKind kind)
{
    return kind == TBitBtnWithColor::bkCancel || kind == TBitBtnWithColor::bkNo;
}

} // namespace

TBitBtnWithColor::TBitBtnWithColor(QWidget *parent) : TBitBtnWithColor(QString(), parent)
{
}

TBitBtnWithColor::TBitBtnWithColor(const QString &caption, QWidget *parent) : QPushButton(caption, parent)
{
    m_color = palette().color(QPalette::Button);
    // Every pixel is painted, so Qt need not clear the background first.
    setAttribute(Qt::WA_OpaquePaintEvent);
    connect(this, &QAbstractButton::clicked, this, &TBitBtnWithColor::onClicked);
}

TBitBtnWithColor::~TBitBtnWithColor() = default;

void TBitBtnWithColor::setColor(const QColor &color)
{
    if (color == m_color) {
        return;
    }
    m_color = color;
    // Images cached with the old colour carry it in their transparent parts.
    m_glyph->dropImages();
    update();
}

void TBitBtnWithColor::setGlyph(const QPixmap &glyph)
{
    m_glyph->setGlyph(glyph);
    m_modifiedGlyph = true;
    update();
}

void TBitBtnWithColor::setNumGlyphs(int count)
{
    m_glyph->setNumGlyphs(count);
    update();
}

TBitBtnWithColor::TBitBtnWithColorKind TBitBtnWithColor::Kind() const
{
    if (m_kind != bkCustom && (m_modifiedGlyph || isDefault() != isDefaultKind(m_kind) ||
                               m_cancel != isCancelKind(m_kind) || m_modalResult != kindModalResult(m_kind))) {
        m_kind = bkCustom;
    }
    return m_kind;
}

void TBitBtnWithColor::setKind(TBitBtnWithColorKind kind)
{
    if (kind == m_kind) {
        return;
    }
    m_kind = kind;
    if (kind == bkCustom) {
        return;
    }
    setDefault(isDefaultKind(kind));
    setCancel(isCancelKind(kind));
    setText(kindCaption(kind));
    m_modalResult = kindModalResult(kind);
    m_glyph->setGlyph(kindGlyph(kind));
    m_glyph->setNumGlyphs(2);
    m_modifiedGlyph = false;
    update();
}

int TBitBtnWithColor::kindModalResult(TBitBtnWithColorKind kind)
{
    switch (kind) {
    case bkOK:
        return 1;
    case bkCancel:
        return 2;
    case bkAbort:
        return 3;
    case bkRetry:
        return 4;
    case bkIgnore:
        return 5;
    case bkYes:
        return 6;
    case bkNo:
        return 7;
    case bkAll:
        return 8;
    case bkHelp:
    case bkClose:
    case bkCustom:
        break;
    }
    return 0;
}

QString TBitBtnWithColor::kindCaption(TBitBtnWithColorKind kind)
{
    switch (kind) {
    case bkOK:
        return QStringLiteral("OK");
    case bkCancel:
        return QStringLiteral("Cancel");
    case bkHelp:
        return QStringLiteral("&Help");
    case bkYes:
        return QStringLiteral("&Yes");
    case bkNo:
        return QStringLiteral("&No");
    case bkClose:
        return QStringLiteral("&Close");
    case bkAbort:
        return QStringLiteral("Abort");
    case bkRetry:
        return QStringLiteral("&Retry");
    case bkIgnore:
        return QStringLiteral("&Ignore");
    case bkAll:
        return QStringLiteral("&All");
    case bkCustom:
        break;
    }
    return {};
}

void TBitBtnWithColor::setLayout(TButtonLayout layout)
{
    if (layout == m_layout) {
        return;
    }
    m_layout = layout;
    update();
}

void TBitBtnWithColor::setMargin(int margin)
{
    if (margin < -1 || margin == m_margin) {
        return;
    }
    m_margin = margin;
    update();
}

void TBitBtnWithColor::setSpacing(int spacing)
{
    if (spacing == m_spacing) {
        return;
    }
    m_spacing = spacing;
    update();
}

void TBitBtnWithColor::setStyle(TButtonStyle style)
{
    if (style == m_style) {
        return;
    }
    m_style = style;
    update();
}

void TBitBtnWithColor::setCancel(bool on)
{
    m_cancel = on;
    if (on && !m_cancelShortcut) {
        m_cancelShortcut = new QShortcut(QKeySequence(Qt::Key_Escape), this);
        m_cancelShortcut->setContext(Qt::WindowShortcut);
        connect(m_cancelShortcut, &QShortcut::activated, this, [this] {
            if (isEnabled() && isVisible()) {
                click();
            }
        });
    }
    if (m_cancelShortcut) {
        m_cancelShortcut->setEnabled(on);
    }
}

void TBitBtnWithColor::onClicked()
{
    if (m_kind == bkClose) {
        window()->close();
        return;
    }
    if (m_modalResult != 0) {
        if (auto *dialog = qobject_cast<QDialog *>(window())) {
            dialog->done(m_modalResult);
        }
    }
}

bool TBitBtnWithColor::isActiveButton() const
{
    if (hasFocus()) {
        return true;
    }
    if (!isDefault()) {
        return false;
    }
    const QWidget *focused = window()->focusWidget();
    return !(focused && focused != this && qobject_cast<const QAbstractButton *>(focused));
}

TButtonGlyph::State TBitBtnWithColor::drawState() const
{
    if (!isEnabled()) {
        return TButtonGlyph::Disabled;
    }
    return isDown() ? TButtonGlyph::Down : TButtonGlyph::Up;
}

TBitBtnWithColor::Placement TBitBtnWithColor::placeIn(const QRect &r) const
{
    const QSize glyph = m_glyph->glyphSize();
    const QString caption = text();
    const QSize textSize =
        caption.isEmpty() ? QSize(0, 0) : QFontMetrics(font()).size(Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
    const bool horizontal = m_layout == blGlyphLeft || m_layout == blGlyphRight;
    const int space = horizontal ? r.width() : r.height();
    const int glyphLength = horizontal ? glyph.width() : glyph.height();
    const int textLength = horizontal ? textSize.width() : textSize.height();

    // Across the layout axis both parts are centred.
    QPoint glyphPos, textPos;
    if (horizontal) {
        glyphPos.setY((r.height() - glyph.height() + 1) / 2);
        textPos.setY((r.height() - textSize.height() + 1) / 2);
    } else {
        glyphPos.setX((r.width() - glyph.width() + 1) / 2);
        textPos.setX((r.width() - textSize.width() + 1) / 2);
    }

    int spacing = (textSize.width() == 0 || glyph.width() == 0) ? 0 : m_spacing;
    int margin = m_margin;
    if (margin == -1) {
        if (spacing == -1) {
            margin = (space - glyphLength - textLength) / 3;
            spacing = margin;
        } else {
            margin = (space - (glyphLength + spacing + textLength) + 1) / 2;
        }
    } else if (spacing == -1) {
        spacing = (space - margin - glyphLength - textLength) / 2;
    }

    int along = 0, textAlong = 0;
    if (m_layout == blGlyphLeft || m_layout == blGlyphTop) {
        along = margin;
        textAlong = along + glyphLength + spacing;
    } else {
        along = space - margin - glyphLength;
        textAlong = along - spacing - textLength;
    }
    if (horizontal) {
        glyphPos.setX(along);
        textPos.setX(textAlong);
    } else {
        glyphPos.setY(along);
        textPos.setY(textAlong);
    }
    return {QRect(glyphPos + r.topLeft(), glyph), QRect(textPos + r.topLeft(), textSize)};
}

void TBitBtnWithColor::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    const QRect client = rect();
    QRect r = client;
    const bool pressed = isDown();
    const TButtonGlyph::State state = drawState();
    const bool active = isActiveButton();
    const QPalette &pal = palette();
    const QColor frameColor = pal.color(QPalette::WindowText);

    if (active || hasFocus()) {
        PaintHelpers::outline(painter, r, frameColor);
        r.adjust(1, 1, -1, -1);
    }
    if (pressed) {
        PaintHelpers::fillOutlined(painter, r, pal.color(QPalette::Dark), m_color);
        r.adjust(1, 1, -1, -1);
    } else {
        PaintHelpers::frame3D(painter, r, 1, pal.color(QPalette::Midlight), pal.color(QPalette::Shadow));
        PaintHelpers::frame3D(painter, r, 1, pal.color(QPalette::Light), pal.color(QPalette::Dark));
        painter.fillRect(r, m_color);
        r.adjust(1, 1, -1, -1);
    }
    if (active) {
        r = client.adjusted(1, 1, -1, -1);
    }
    painter.setFont(font());
    if (pressed) {
        r.translate(1, 1);
    }

    const Placement place = placeIn(r);
    if (!m_glyph->glyph().isNull()) {
        painter.drawPixmap(place.glyph.topLeft(), m_glyph->stateImage(state, m_color, pal));
    }
    if (!text().isEmpty()) {
        // Underline the mnemonic letter only while it is a working key.
        const int mnemonic = shortcut().isEmpty() ? Qt::TextHideMnemonic : Qt::TextShowMnemonic;
        const int flags = Qt::AlignCenter | Qt::TextSingleLine | mnemonic | Qt::TextDontClip;
        if (state == TButtonGlyph::Disabled) {
            painter.setPen(Qt::white);
            painter.drawText(place.caption.translated(1, 1), flags, text());
            painter.setPen(QColor(128, 128, 128));
        } else {
            painter.setPen(pal.color(QPalette::ButtonText));
        }
        painter.drawText(place.caption, flags, text());
    }

    if (active) {
        PaintHelpers::dottedFocusRect(painter, client.adjusted(4, 4, -4, -4));
    }
}

void TBitBtnWithColor::changeEvent(QEvent *event)
{
    // The disabled image is made from the palette's highlight and shadow colours.
    if (event->type() == QEvent::PaletteChange) {
        m_glyph->dropImages();
    }
    QPushButton::changeEvent(event);
}

void TBitBtnWithColor::showEvent(QShowEvent *event)
{
    QPushButton::showEvent(event);
    // Make the image of the current state at once rather than on the first paint.
    m_glyph->stateImage(isEnabled() ? TButtonGlyph::Up : TButtonGlyph::Disabled, m_color, palette());
}
