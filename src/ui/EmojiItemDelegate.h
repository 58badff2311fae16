#pragma once

#include <QStyledItemDelegate>

// Draws the emoji of a cell's text in colour. A list row's font finds most
// emoji in the colour font, but a symbol that an ordinary font also has
// (U+2764 heart, U+2600 sun, even with the emoji variation selector) comes
// out as a plain black glyph; here each emoji is painted as the colour
// picture the printer uses, over its own place in the text. Cells without
// emoji are drawn as usual.
class EmojiItemDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;
    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
};
