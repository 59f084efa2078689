#include "gui/ClipPlayer.h"

#include <QPainter>
#include <QTimer>

ClipPlayer::ClipPlayer(QWidget* parent) : QWidget(parent), m_timer(new QTimer(this)) {
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this,
            [this] { showFrame((m_frame + 1) % qMax(1, m_clip.frameCount())); });
}

bool ClipPlayer::open(const QString& path) {
    m_timer->stop();
    m_frame = 0;
    m_colours.clear();
    const bool ok = m_clip.loadFile(path);
    if (ok) {
        for (quint32 c : m_clip.palette())
            m_colours.append(QRgb(c));
        const uchar background = uchar(m_clip.frame(0).at(0));
        m_colours[background] &= 0x00FFFFFFu;
        resize(m_clip.width(), m_clip.height());
    }
    update();
    return ok;
}

void ClipPlayer::play() {
    if (m_clip.isNull())
        return;
    m_timer->start(int(qMax<qint64>(1, m_clip.microSecondsPerFrame() / 1000)));
}

void ClipPlayer::stop() {
    m_timer->stop();
}

bool ClipPlayer::isPlaying() const {
    return m_timer->isActive();
}

void ClipPlayer::showFrame(int i) {
    m_frame = i;
    update();
}

QImage ClipPlayer::currentImage() const {
    if (m_clip.isNull())
        return QImage();
    const QByteArray& pixels = m_clip.frame(m_frame);
    QImage image(reinterpret_cast<const uchar*>(pixels.constData()), m_clip.width(),
                 m_clip.height(), m_clip.width(), QImage::Format_Indexed8);
    image.setColorTable(m_colours);
    return image.copy(); // owns its pixels
}

void ClipPlayer::paintEvent(QPaintEvent*) {
    if (m_clip.isNull())
        return;
    const QByteArray& pixels = m_clip.frame(m_frame);
    QImage image(reinterpret_cast<const uchar*>(pixels.constData()), m_clip.width(),
                 m_clip.height(), m_clip.width(), QImage::Format_Indexed8);
    image.setColorTable(m_colours);
    QPainter p(this);
    p.drawImage(0, 0, image);
}
