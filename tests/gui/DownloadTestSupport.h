#pragma once

// Helpers of the download window's tests.
#include "FakeHttpServer.h"
#include "gui/frmLog.h"

#include <QApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

namespace DownloadTest {

inline QByteArray pattern(qint64 n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qint64 i = 0; i < n; ++i)
        b[i] = char((i * 13 + i / 1024) & 0xFF);
    return b;
}

// A body sent in pieces of `chunk` bytes every `delayMs`.
inline FakeResponse slow(const QByteArray& body, int chunk, int delayMs) {
    FakeResponse r = FakeResponse::ok(body);
    r.chunkSize = chunk;
    r.chunkDelayMs = delayMs;
    return r;
}

// Closes the log window whenever it is shown (it is modal), keeping the texts it showed.
class LogWindowCloser : public QObject {
public:
    LogWindowCloser() {
        m_timer.setInterval(10);
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* log = qobject_cast<frmLog*>(w);
                if (!log || !log->isVisible())
                    continue;
                texts.append(log->txtlog->toPlainText());
                log->cmdOK->click();
            }
        });
        m_timer.start();
    }
    QStringList texts;

private:
    QTimer m_timer;
};

// The top-level windows that are visible now.
inline QStringList visibleWindows() {
    QStringList names;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible())
            names.append(w->objectName());
    return names;
}

} // namespace DownloadTest
