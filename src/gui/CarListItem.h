#pragma once

#include <QListWidgetItem>

// A row of the car list: sorted by name without regard to case, so "alpha" comes before "Beta".
class CarListItem : public QListWidgetItem {
public:
    using QListWidgetItem::QListWidgetItem;

    bool operator<(const QListWidgetItem& other) const override {
        return text().compare(other.text(), Qt::CaseInsensitive) < 0;
    }
};
