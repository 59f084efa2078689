#pragma once

#include <QLabel>
#include <QMouseEvent>

// A label that reports clicks (links, the preview image, the credits box).
class ClickableLabel : public QLabel {
    Q_OBJECT
public:
    using QLabel::QLabel;

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* e) override {
        QLabel::mouseReleaseEvent(e);
        if (isEnabled() && e->button() == Qt::LeftButton && rect().contains(e->position().toPoint()))
            Q_EMIT clicked();
    }
};
