#include "core/browser/ViewerLayout.h"

#include <algorithm>
#include <limits>

ViewerLayout::ViewerLayout(int twipsPerPixelX, int twipsPerPixelY)
    : m_tppX(std::max(1, twipsPerPixelX)), m_tppY(std::max(1, twipsPerPixelY)) {}

void ViewerLayout::setPictureSize(int widthPixels, int heightPixels) {
    m_pic2.width = std::max(0, widthPixels) * m_tppX;
    m_pic2.height = std::max(0, heightPixels) * m_tppY;
}

void ViewerLayout::setBarThickness(int vsWidth, int hsHeight) {
    m_vsWidth = std::max(0, vsWidth);
    m_hsHeight = std::max(0, hsHeight);
}

void ViewerLayout::layout(int outerWidth, int outerHeight) {
    m_vsBox.width = m_vsWidth;
    m_hsBox.height = m_hsHeight;

    m_vsBox.top = 0;
    m_vsBox.left = outerWidth - m_vsWidth - RightAllowance;
    m_hsBox.top = outerHeight - m_hsHeight - BottomAllowance;
    m_hsBox.left = 0;

    m_pic1.left = 0;
    m_pic1.top = 0;
    const int w = outerWidth - m_vsWidth - RightAllowance;
    const int h = outerHeight - m_hsHeight - BottomAllowance;
    // A window made very small: the viewport keeps its last size rather than a negative one.
    if (w >= 0)
        m_pic1.width = w;
    if (h >= 0)
        m_pic1.height = h;

    m_hsBox.width = m_pic1.width;
    m_vsBox.height = m_pic1.height;

    fit(m_pic2.width, m_pic1.width, m_hs, m_pic2.left, m_tppX);
    fit(m_pic2.height, m_pic1.height, m_vs, m_pic2.top, m_tppY);
}

// One direction: a picture larger than the viewport scrolls; one that fits is centred.
void ViewerLayout::fit(int picture, int viewport, Bar& bar, int& offset, int twipsPerPixel) {
    if (picture > viewport) {
        bar.enabled = true;
        setMaximum(bar, roundUp(qint64(picture) - viewport, qint64(twipsPerPixel) * PixelsPerUnit),
                   offset, twipsPerPixel);
        if (offset > 0)
            offset = 0;
    } else {
        bar.enabled = false;
        setMaximum(bar, 0, offset, twipsPerPixel);
        offset = (viewport - picture) / 2;
    }
}

// A maximum below the position pulls the position down with it, which moves the picture like
// any other change of position.
void ViewerLayout::setMaximum(Bar& bar, int maximum, int& offset, int twipsPerPixel) {
    bar.maximum = std::max(0, maximum);
    if (bar.value > bar.maximum)
        setValue(bar, bar.maximum, offset, twipsPerPixel);
}

bool ViewerLayout::setValue(Bar& bar, int v, int& offset, int twipsPerPixel) {
    v = std::clamp(v, 0, bar.maximum);
    if (v == bar.value)
        return false;
    bar.value = v;
    offset = -v * twipsPerPixel * PixelsPerUnit;
    return true;
}

bool ViewerLayout::setHsValue(int v) {
    return setValue(m_hs, v, m_pic2.left, m_tppX);
}

bool ViewerLayout::setVsValue(int v) {
    return setValue(m_vs, v, m_pic2.top, m_tppY);
}

void ViewerLayout::press(double x, double y) {
    m_dragging = true;
    m_lastX = x;
    m_lastY = y;
}

bool ViewerLayout::move(double x, double y) {
    if (!m_dragging)
        return false;
    if (x > m_lastX && m_hs.value < m_hs.maximum)
        setHsValue(m_hs.value + 1);
    if (x < m_lastX && m_hs.value > 0)
        setHsValue(m_hs.value - 1);
    if (y > m_lastY && m_vs.value < m_vs.maximum)
        setVsValue(m_vs.value + 1);
    if (y < m_lastY && m_vs.value > 0)
        setVsValue(m_vs.value - 1);
    m_lastX = x;
    m_lastY = y;
    return true;
}

int ViewerLayout::hsPageStep() const {
    return std::max(1, m_pic1.width / (m_tppX * PixelsPerUnit));
}

int ViewerLayout::vsPageStep() const {
    return std::max(1, m_pic1.height / (m_tppY * PixelsPerUnit));
}

qint16 ViewerLayout::roundUp(qint64 num, qint64 den) {
    if (den <= 0)
        return 0;
    // Division rounding towards positive infinity.
    qint64 q = num / den;
    if (num % den != 0 && num > 0)
        ++q;
    return qint16(std::clamp<qint64>(q, std::numeric_limits<qint16>::min(),
                                     std::numeric_limits<qint16>::max()));
}
