#pragma once

#include <QString>

// The progress arithmetic of one download attempt: the transfer rate in KB per second and the
// estimated time left, kept between updates, and the texts the download window shows from them.
// The count is of whole KB received (bytes received / 1024).
class DownloadProgress {
public:
    // Updates after `chunks` KB of `sizeKB`, `elapsed` seconds after the request was sent.
    // With no elapsed time the rate keeps its previous value; with a rate of 0 so does the time
    // left. Both start at 0.
    void update(qint64 chunks, qint64 sizeKB, double elapsed);

    qint64 chunks() const { return m_chunks; }
    qint64 sizeKB() const { return m_sizeKB; }
    float rate() const { return m_rate; }
    float timeLeft() const { return m_timeLeft; }
    // chunks / sizeKB (0 when the size is 0).
    double fraction() const;

    // "Estimated Time Left: 2 min 5 sec (1.0 KB of 2.0 KB copied)" CR CR "Transfer Rate: 1.0
    // KB/Sec" (the two lone CRs put the rate on the third line).
    QString timeSizeRateText() const;
    // "42% of Example GT Downloaded".
    QString percentageLine(const QString& carName) const;
    // The filled width of a bar `outerWidth` wide.
    int barWidth(int outerWidth) const;

private:
    qint64 m_chunks = 0;
    qint64 m_sizeKB = 0;
    float m_rate = 0;
    float m_timeLeft = 0;
};
