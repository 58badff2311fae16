#include "ui/EmojiItemDelegate.h"

#include "render/EmojiPictures.h"

#include <QApplication>
#include <QPainter>
#include <QTextLayout>

#include <cmath>

void EmojiItemDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    QStyleOptionViewItem opt(option);
    initStyleOption(&opt, index);
    if (g_findEmoji(opt.text).isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    const QWidget* widget = opt.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    const QString full = opt.text;
    opt.text.clear();
    // Background, selection, icon and focus as for any cell; the text below.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
    opt.text = full;
    const QRect textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &opt, widget).adjusted(3, 0, -3, 0);
    if (textRect.width() < 1)
        return;
    QString shown = full;
    shown.replace(QLatin1Char('\n'), QLatin1Char(' '));
    shown = QFontMetrics(opt.font).elidedText(shown, opt.textElideMode, textRect.width());
    const QList<EmojiSpan> emoji = g_findEmoji(shown);

    QTextLayout layout(shown, opt.font, painter->device());
    QList<QTextLayout::FormatRange> hidden;
    for (const EmojiSpan& e : emoji) {
        QTextLayout::FormatRange r;
        r.start = int(e.start);
        r.length = int(e.length);
        r.format.setForeground(Qt::transparent);
        hidden.append(r);
    }
    layout.setFormats(hidden);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (line.isValid())
        line.setLineWidth(1e6);
    layout.endLayout();
    if (!line.isValid())
        return;

    const QPalette::ColorGroup group = !(opt.state & QStyle::State_Enabled) ? QPalette::Disabled
                                       : (opt.state & QStyle::State_Active) ? QPalette::Normal
                                                                            : QPalette::Inactive;
    const bool selected = opt.state & QStyle::State_Selected;
    painter->save();
    painter->setClipRect(textRect);
    painter->setPen(opt.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text));
    const QPointF at(textRect.left(), textRect.top() + (textRect.height() - line.height()) / 2);
    line.draw(painter, at);
    const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    for (const EmojiSpan& e : emoji) {
        const qreal x0 = line.cursorToX(int(e.start));
        const qreal x1 = line.cursorToX(int(e.start + e.length));
        const qreal side = qMin(line.height(), qMax<qreal>(x1 - x0, line.height() * 0.8));
        const QImage picture = g_emojiPicture(shown.mid(e.start, e.length), qMax(1, int(std::ceil(side))), qMax(1.0, scale) * 2);
        if (!picture.isNull())
            painter->drawImage(QRectF(at.x() + (x0 + x1 - side) / 2, at.y() + (line.height() - side) / 2, side, side),
                               picture);
    }
    painter->restore();
}
