#include "libraryview/LibraryHitDelegate.h"

#include "libraryview/MarkSwatch.h"

#include <QAbstractItemView>
#include <QAbstractTextDocumentLayout>
#include <QApplication>
#include <QPainter>
#include <QTextDocument>

namespace {

constexpr int Margin = 4;
constexpr int Swatch = 14;

// The list's width: sizeHint is asked with no rectangle of the item's own.
int widthOf(const QStyleOptionViewItem &option)
{
    const auto *view = qobject_cast<const QAbstractItemView *>(option.widget);
    return view ? view->viewport()->width() : option.rect.width();
}

void layOut(QTextDocument &document, const QStyleOptionViewItem &option, const QModelIndex &index)
{
    document.setDefaultFont(option.font);
    document.setDocumentMargin(0);
    document.setHtml(index.data(LibraryHitDelegate::HtmlRole).toString());
    document.setTextWidth(qMax(50, widthOf(option) - 3 * Margin - Swatch));
}

} // namespace

void LibraryHitDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QStyleOptionViewItem item = option;
    initStyleOption(&item, index);
    item.text.clear();
    item.icon = {};
    QStyle *style = item.widget ? item.widget->style() : QApplication::style();
    style->drawControl(QStyle::CE_ItemViewItem, &item, painter, item.widget);

    const QString colour = index.data(SwatchRole).toString();
    if (!colour.isEmpty())
        MarkSwatch(colour, Swatch)
            .paint(painter, QRect(option.rect.left() + Margin, option.rect.top() + Margin + 2, Swatch, Swatch));
    QTextDocument document;
    layOut(document, option, index);
    QAbstractTextDocumentLayout::PaintContext context;
    const bool selected = option.state & QStyle::State_Selected;
    const bool available = index.data(AvailableRole).toBool();
    context.palette.setColor(QPalette::Text,
                             option.palette.color(available ? QPalette::Active : QPalette::Disabled,
                                                  selected ? QPalette::HighlightedText : QPalette::Text));
    painter->save();
    painter->translate(option.rect.left() + 2 * Margin + Swatch, option.rect.top() + Margin);
    document.documentLayout()->draw(painter, context);
    painter->restore();
}

QSize LibraryHitDelegate::sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const
{
    QTextDocument document;
    layOut(document, option, index);
    return {widthOf(option), int(document.size().height()) + 2 * Margin};
}
