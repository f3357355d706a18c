#pragma once

#include "marking/TButtonGlyph.h"

#include <QColor>
#include <QPushButton>

#include <memory>

class QShortcut;

// A push button whose face is filled with a colour of its own instead of the
// style's button colour, with an optional glyph beside the caption.
class TBitBtnWithColor : public QPushButton
{
    Q_OBJECT

public:
    enum TBitBtnWithColorKind {
        bkCustom,
        bkOK,
        bkCancel,
        bkHelp,
        bkYes,
        bkNo,
        bkClose,
        bkAbort,
        bkRetry,
        bkIgnore,
        bkAll
    };
    Q_ENUM(TBitBtnWithColorKind)
    // Where the glyph stands relative to the caption.
    enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
    Q_ENUM(TButtonLayout)
    enum TButtonStyle { bsAutoDetect, bsWin31, bsNew };
    Q_ENUM(TButtonStyle)

    // Where glyph and caption land inside a rectangle.
    struct Placement
    {
        QRect glyph;
        QRect caption;
    };

    explicit TBitBtnWithColor(QWidget *parent = nullptr);
    explicit TBitBtnWithColor(const QString &caption, QWidget *parent = nullptr);
    ~TBitBtnWithColor() override;

    QColor Color() const { return m_color; }
    void setColor(const QColor &color);

    QPixmap Glyph() const { return m_glyph->glyph(); }
    void setGlyph(const QPixmap &glyph);
    int NumGlyphs() const { return m_glyph->numGlyphs(); }
    void setNumGlyphs(int count);

    // Reads back bkCustom (and keeps it) once the default or cancel flag, the
    // modal result or the glyph no longer match the kind.
    TBitBtnWithColorKind Kind() const;
    void setKind(TBitBtnWithColorKind kind);

    TButtonLayout Layout() const { return m_layout; }
    void setLayout(TButtonLayout layout);
    // Pixels from the edge to the glyph; -1 centres glyph and caption together.
    int Margin() const { return m_margin; }
    void setMargin(int margin);
    // Pixels between glyph and caption; with Margin also -1 the free space is split in three.
    int Spacing() const { return m_spacing; }
    void setSpacing(int spacing);
    // Kept for completeness; it does not change the drawing.
    TButtonStyle Style() const { return m_style; }
    void setStyle(TButtonStyle style);

    // Escape in the button's window clicks a cancel button.
    bool Cancel() const { return m_cancel; }
    void setCancel(bool on);
    // A click closes a dialog with this result; 0 leaves it open.
    int ModalResult() const { return m_modalResult; }
    void setModalResult(int result) { m_modalResult = result; }

    static int kindModalResult(TBitBtnWithColorKind kind);
    static QString kindCaption(TBitBtnWithColorKind kind);

    // Focused, or the default button while no other button has the focus.
    bool isActiveButton() const;
    Placement placeIn(const QRect &r) const;
    const TButtonGlyph &glyphHolder() const { return *m_glyph; }

protected:
    void paintEvent(QPaintEvent *event) override;
    void changeEvent(QEvent *event) override;
    void showEvent(QShowEvent *event) override;

private:
    void onClicked();
    TButtonGlyph::State drawState() const;

    std::unique_ptr<TButtonGlyph> m_glyph = std::make_unique<TButtonGlyph>();
    QColor m_color;
    mutable TBitBtnWithColorKind m_kind = bkCustom;
    TButtonLayout m_layout = blGlyphLeft;
    TButtonStyle m_style = bsAutoDetect;
    int m_spacing = 4;
    int m_margin = -1;
    bool m_modifiedGlyph = false;
    bool m_cancel = false;
    int m_modalResult = 0;
    QShortcut *m_cancelShortcut = nullptr;
};
