#include "core/download/DownloadLogText.h"

#include "platform/AnsiText.h"
#include "platform/Clock.h"

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

bool writeLogFile(const QString& path, const QString& log) {
    return AnsiText::writeFile(path, log + kCrLf);
}

} // namespace DownloadLogText
