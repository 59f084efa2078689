#pragma once

#include "core/download/AviClip.h"

#include <QImage>
#include <QWidget>

class QTimer;

// The download window's clip player: opens an 8-bit AVI clip (showing its first frame, stopped)
// and plays it in an endless loop at the clip's own frame rate. On open it takes the clip's
// frame size. The colour of the first frame's top-left pixel is drawn transparent, so the
// clip's background is the window's. A clip that cannot be read shows nothing.
class ClipPlayer : public QWidget {
    Q_OBJECT
public:
    explicit ClipPlayer(QWidget* parent = nullptr);

    bool open(const QString& path);
    void play();
    void stop();

    bool isPlaying() const;
    int currentFrame() const { return m_frame; }
    const AviClip& clip() const { return m_clip; }
    // The picture shown now (null when no clip is open).
    QImage currentImage() const;

protected:
    void paintEvent(QPaintEvent* e) override;

private:
    void showFrame(int i);

    AviClip m_clip;
    QList<QRgb> m_colours;
    QTimer* m_timer;
    int m_frame = 0;
};
