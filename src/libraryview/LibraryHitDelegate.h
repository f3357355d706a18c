#pragma once

#include <QStyledItemDelegate>

// Draws a hit of the library as two lines of rich text (the title, folder
// and date; the passage with its hit words bold), after the colour swatch
// of a marked passage.
class LibraryHitDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    // The item's rich text, its swatch colour (empty for none) and whether
    // the file can be reached now.
    static constexpr int HtmlRole = Qt::UserRole + 1;
    static constexpr int SwatchRole = Qt::UserRole + 2;
    static constexpr int AvailableRole = Qt::UserRole + 3;

    void paint(QPainter *painter, const QStyleOptionViewItem &option, const QModelIndex &index) const override;
    QSize sizeHint(const QStyleOptionViewItem &option, const QModelIndex &index) const override;
};
