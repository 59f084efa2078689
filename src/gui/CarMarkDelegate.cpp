#include "gui/CarMarkDelegate.h"

#include <QApplication>
#include <QPainter>

void CarMarkDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
    const QString mark = index.data(kMarkRole).toString();
    if (mark.isEmpty()) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The row's background (selection, hover) across its whole width, then the row itself in
    // what the mark leaves of it.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);
    QFont markFont = opt.font;
    markFont.setItalic(true);
    const int markWidth = QFontMetrics(markFont).horizontalAdvance(mark) + 8;
    QStyleOptionViewItem rest = option;
    rest.rect.setRight(option.rect.right() - markWidth);
    QStyledItemDelegate::paint(painter, rest, index);

    painter->save();
    painter->setFont(markFont);
    const bool selected = option.state & QStyle::State_Selected;
    painter->setPen(
        option.palette.color(selected ? QPalette::HighlightedText : QPalette::PlaceholderText));
    painter->drawText(option.rect.adjusted(0, 0, -4, 0), Qt::AlignRight | Qt::AlignVCenter, mark);
    painter->restore();
}
