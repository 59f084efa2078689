#include "core/download/DownloadProgress.h"

#include "core/download/DownloadFormats.h"

#include <cmath>

void DownloadProgress::update(qint64 chunks, qint64 sizeKB, double elapsed) {
    m_chunks = chunks;
    m_sizeKB = sizeKB;
    if (elapsed != 0)
        m_rate = float(double(chunks) / elapsed);
    if (m_rate != 0)
        m_timeLeft = float(double(sizeKB - chunks) / double(m_rate));
}

double DownloadProgress::fraction() const {
    return m_sizeKB > 0 ? double(m_chunks) / double(m_sizeKB) : 0.0;
}

QString DownloadProgress::timeSizeRateText() const {
    return QStringLiteral("Estimated Time Left: ") + FormatTime(m_timeLeft) + QStringLiteral(" (") +
           FormatFileSize(double(m_chunks) * 1024.0) + QStringLiteral(" of ") +
           FormatFileSize(double(m_sizeKB) * 1024.0) + QStringLiteral(" copied)") +
           QStringLiteral("\r\rTransfer Rate: ") + DownloadFormats::groupedOneDecimal(m_rate) +
           QStringLiteral(" KB/Sec");
}

QString DownloadProgress::percentageLine(const QString& carName) const {
    return DownloadFormats::percent(fraction()) + QStringLiteral(" of ") + carName +
           QStringLiteral(" Downloaded");
}

int DownloadProgress::barWidth(int outerWidth) const {
    return int(std::lround(fraction() * outerWidth));
}
