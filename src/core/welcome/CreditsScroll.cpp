#include "core/welcome/CreditsScroll.h"

CreditsScroll::CreditsScroll(qint32 boxHeight, qint32 stripHeight)
    : m_boxHeight(boxHeight), m_stripHeight(stripHeight), m_stripTop(boxHeight) {}

void CreditsScroll::tick() {
    m_timerEnabled = false;
    if (m_interval == kHoldInterval) {
        // The hold is over: the scroll stops here until the next click.
        m_interval = kTickInterval;
        return;
    }
    m_offset += m_speed;
    m_stripTop = m_boxHeight - m_offset;
    if (m_offset > m_stripHeight) {
        // The end of the text has passed the box's bottom edge: hold, and start over from below
        // on the next run.
        m_interval = kHoldInterval;
        m_offset = 0;
    }
    m_timerEnabled = true;
}

void CreditsScroll::click() {
    m_timerEnabled = !m_timerEnabled;
}
