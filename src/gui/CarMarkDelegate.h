#pragma once

#include <QStyledItemDelegate>

// Draws a car list row with its mark ("installed", "parked") at its right end, in a quieter
// colour; the name gives way (elided) where the two would meet. The mark is the item's
// kMarkRole text; the row's own text stays the car's name.
class CarMarkDelegate : public QStyledItemDelegate {
public:
    static constexpr int kMarkRole = Qt::UserRole + 1;

    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option,
               const QModelIndex& index) const override;
};
