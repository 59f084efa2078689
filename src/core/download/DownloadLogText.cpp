#include "core/download/DownloadLogText.h"

#include "platform/AnsiText.h"
#include "platform/Clock.h"

#include <QSaveFile>

namespace DownloadLogText {

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

QString stamp(const Clock& clock) {
    return clock.timeText() + QLatin1Char(' ') + clock.dateText();
}

QString header(const QString& name, const QString& stamp) {
    return name + kCrLf + QString(name.size(), QLatin1Char('=')) + kCrLf +
           QStringLiteral("Start at ") + stamp + kCrLf;
}

QString endLine(const QString& stamp) {
    return QStringLiteral("End at ") + stamp + kCrLf;
}

QString errorsLine(const QString& errors) {
    return QStringLiteral("ERRORS : ") + errors + kCrLf + kCrLf;
}

QString cancelLines(const QString& stamp) {
    return endLine(stamp) + QStringLiteral("Errors : ") + QStringLiteral("Cancelled by User") +
           kCrLf + kCrLf;
}

bool writeLogFile(const QString& path, const QString& log, QString* problem) {
    QSaveFile file(path);
    const QByteArray bytes = AnsiText::encode(log + kCrLf);
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    if (problem)
        *problem = file.errorString();
    file.cancelWriting();
    return false;
}

QString writeFailedLine(const QString& path, const QString& problem) {
    return QStringLiteral("The download log could not be written to ") + path +
           QStringLiteral(": ") + problem;
}

} // namespace DownloadLogText
