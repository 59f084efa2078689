#include "core/download/Downloader.h"

#include "core/download/DownloadDisplay.h"
#include "core/download/DownloadFormats.h"
#include "core/download/DownloadWindowState.h"
#include "core/download/HttpTransfer.h"
#include "core/session/AppContext.h"
#include "core/session/Session.h"
#include "platform/Clock.h"
#include "platform/ProgramEnd.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStorageInfo>
#include <algorithm>
#include <limits>

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// True when a Content-Range header value says the answer holds the body from byte `from` to its
// end, of a body `total` bytes long.
bool rangeGoesOnAt(const QString& value, qint64 from, qint64 total) {
    static const QRegularExpression range(QStringLiteral("^\\s*bytes\\s+(\\d+)-(\\d+)/(\\d+)\\s*$"),
                                          QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = range.match(value);
    return m.hasMatch() && m.captured(1).toLongLong() == from &&
           m.captured(2).toLongLong() == total - 1 && m.captured(3).toLongLong() == total;
}

} // namespace

Downloader::Downloader(AppContext& ctx, HttpTransfer& inet, DownloadDisplay& display,
                       DownloadWindowState& state)
    : m_ctx(ctx), m_inet(inet), m_display(display), m_state(state) {}

bool Downloader::ended() const {
    return m_ctx.programEnd && m_ctx.programEnd->ended();
}

bool Downloader::yield() {
    QCoreApplication::processEvents();
    return !ended();
}

bool Downloader::pause(int ms) {
    // In short steps, so a cancel or the end of the program is seen at once.
    for (int waited = 0; waited < ms && !m_state.CancelRequested;) {
        const int step = std::min(100, ms - waited);
        m_ctx.clock->handleEventsFor(step);
        waited += step;
        if (ended())
            return false;
    }
    return true;
}

int Downloader::pauseBeforeTry(int n) {
    return n <= 1 ? 0 : std::min(30000, 2000 << std::min(n - 2, 4));
}

qint64 Downloader::leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text.at(i) == QLatin1Char(' ') || text.at(i) == QLatin1Char('\t')))
        ++i;
    qint64 value = 0;
    for (; i < text.size() && text.at(i).isDigit() && text.at(i).unicode() < 128; ++i) {
        const int digit = text.at(i).unicode() - '0';
        if (value > (std::numeric_limits<qint64>::max() - digit) / 10)
            return std::numeric_limits<qint64>::max();
        value = value * 10 + digit;
    }
    return value;
}

QString Downloader::resumedLine(int tries) {
    return QStringLiteral("Download resumed after a broken connection (%1 tries)").arg(tries);
}

QString Downloader::restartedLine(int tries) {
    return QStringLiteral("Download started again from the beginning after a broken connection "
                          "(%1 tries)")
        .arg(tries);
}

bool Downloader::connectionFailure(const QString& description) {
    m_state.CancelRequested = true;
    m_inet.Cancel();
    m_state.ErrorText +=
        QStringLiteral("Error: ") + description + QStringLiteral(" occurred.") + kCrLf;
    return yield();
}

bool Downloader::DownloadFile(const QString& strURL, const QString& strDestination,
                              const QString& UserName, const QString& Password) {
    Attempt a;
    m_progress = DownloadProgress();
    m_destination = strDestination;
    m_triesLine.clear();
    QFile file(strDestination);
    if (!firstTry(a, file, strURL, UserName, Password))
        return false;
    while (a.broken && !m_state.CancelRequested) {
        countBreak(a);
        if (a.tries >= kMaxTries || a.emptyInARow >= kEmptyTriesInARow)
            break;
        if (!retry(a, file))
            return false;
    }
    file.close();

    // Outcome: complete only when every announced byte arrived and was written.
    bool result = false;
    if (a.sizeKB > 0 && a.received == a.contentLength && !a.writeFailed && !a.tooLong) {
        m_display.setStatus(QStringLiteral("Download completed!"));
        m_state.TransferEnded = true;
        if (a.tries > 1)
            m_triesLine = a.appended ? resumedLine(a.tries) : restartedLine(a.tries);
        result = true;
    } else {
        if (QFileInfo(strDestination).isFile())
            QFile::remove(strDestination);
        if (!m_state.CancelRequested) {
            // Given up on a connection that kept breaking: the last reason is said first.
            if (a.broken)
                m_state.ErrorText +=
                    QStringLiteral("Download stopped: ") +
                    (a.stalled ? QStringLiteral("no data for %1 s")
                                     .arg(QString::number(m_inet.timeout() / 1000.0))
                               : QStringLiteral("the connection broke %1 times").arg(a.breaks)) +
                    kCrLf;
            m_display.setStatus(QStringLiteral("Download failed!"));
            m_state.ErrorText += QStringLiteral("Download failed!") + kCrLf;
        }
        m_state.TransferEnded = true;
    }
    m_inet.Cancel();
    if (!yield() || !yield())
        return false;
    return result;
}

void Downloader::countBreak(Attempt& a) {
    ++a.breaks;
    a.stalled = m_inet.stalled();
    // A try stopped for bringing too little brought nothing worth another, whatever came.
    const bool empty = a.brought == 0 || (a.stalled && a.brought < kTryProgressBytes);
    a.emptyInARow = empty ? a.emptyInARow + 1 : 0;
}

bool Downloader::firstTry(Attempt& a, QFile& file, const QString& strURL, const QString& UserName,
                          const QString& Password) {
    a.tries = 1;
    m_state.TransferEnded = false;
    m_state.CancelRequested = false;
    m_display.openClip(m_ctx.session->workDir() + QStringLiteral("KAVRO.DRT"));
    m_display.setStatus2(QStringLiteral("Getting file information..."));
    if (!yield())
        return false;

    m_inet.setURL(strURL);
    m_inet.setUserName(UserName);
    m_inet.setPassword(Password);
    m_inet.setRange(0);
    if (!m_inet.Execute() && !connectionFailure(m_inet.errorDescription()))
        return false;
    m_display.setStatus(QStringLiteral("Downloading... "));
    a.startTime = m_ctx.clock->monotonicSeconds();

    switch (request(a)) {
    case Answer::Ended:
        return false;
    case Answer::Whole:
        break;
    default:
        return true;
    }
    if (!takeWholeBody(a, file))
        return true;
    m_display.playClip();
    if (!yield())
        return false;
    return body(a, file);
}

bool Downloader::retry(Attempt& a, QFile& file) {
    ++a.tries;
    a.broken = false;
    a.brought = 0;
    const int wait = pauseBeforeTry(a.tries);
    m_display.setStatus2(QStringLiteral("The connection broke: trying again in %1 s (try %2 of %3)")
                             .arg(wait / 1000)
                             .arg(a.tries)
                             .arg(kMaxTries));
    if (!pause(wait))
        return false;
    if (m_state.CancelRequested)
        return true;
    // Going on from where the file ends needs the server's word that it is the same body.
    bool resume = !a.validator.isEmpty() && a.received > 0 && file.isOpen() && !a.writeFailed;
    for (;;) {
        if (!send(a, resume))
            return false;
        const Answer answer = request(a);
        switch (answer) {
        case Answer::Ended:
            return false;
        case Answer::Settled:
            return true;
        case Answer::Broken:
            a.broken = true;
            return true;
        case Answer::Other:
            // Another body, or another part of it: asked for again whole at once.
            resume = false;
            continue;
        case Answer::Whole:
            if (!takeWholeBody(a, file))
                return true;
            a.appended = false;
            break;
        case Answer::Rest:
            if (const QString why = boundsProblem(a.contentLength, a.contentLength - a.received);
                !why.isEmpty()) {
                m_state.ErrorText += why;
                return true;
            }
            a.appended = true;
            break;
        }
        return body(a, file);
    }
}

bool Downloader::send(Attempt& a, bool resume) {
    a.rangeSent = resume;
    m_inet.setRange(resume ? a.received : 0, resume ? a.validator : QByteArray());
    const bool started = m_inet.Execute();
    m_inet.setRange(0);
    return started || connectionFailure(m_inet.errorDescription());
}

Downloader::Answer Downloader::request(Attempt& a) {
    while (m_inet.StillExecuting()) {
        HttpTransfer::waitForEvents();
        if (ended())
            return Answer::Ended;
        if (m_state.CancelRequested)
            return Answer::Settled;
    }
    // A redirect to an address that is not allowed fails like a malformed address.
    if (m_inet.redirectRefused() && !connectionFailure(m_inet.errorDescription()))
        return Answer::Ended;
    const QString certificate = m_inet.certificateProblem();
    if (!certificate.isEmpty()) {
        m_state.ErrorText += certificate;
        return Answer::Settled;
    }

    const QString header = m_inet.GetHeader();
    const QString code = m_inet.noResponse() ? kCrLf : header.mid(9, 3);
    if (a.tries > 1) {
        // Going on: silence is one more broken try; a part is appended only when it carries
        // the validator sent and starts where the file ends.
        if (code == kCrLf)
            return Answer::Broken;
        if (code == QLatin1String("206") && a.rangeSent) {
            const QString validator = m_inet.GetHeader(
                a.validatorIsETag ? QStringLiteral("ETag") : QStringLiteral("Last-Modified"));
            return validator.toLatin1() == a.validator &&
                           rangeGoesOnAt(m_inet.GetHeader(QStringLiteral("Content-Range")),
                                         a.received, a.contentLength)
                       ? Answer::Rest
                       : Answer::Other;
        }
    }
    if (code == QLatin1String("401")) {
        m_state.ErrorText += QStringLiteral("Authorization failed!") + kCrLf;
        return Answer::Settled;
    }
    if (code == QLatin1String("404")) {
        m_state.ErrorText += QStringLiteral("The file, \"") + m_inet.URL() +
                             QStringLiteral("\" was not found!") + kCrLf;
        return Answer::Settled;
    }
    if (code == kCrLf) {
        m_state.ErrorText += QStringLiteral("Cannot establish connection.\r") + kCrLf +
                             QStringLiteral("Check your Internet connection and try again.") +
                             kCrLf;
        return Answer::Settled;
    }
    if (code != QLatin1String("200")) {
        const QString statusLine = header.left(header.indexOf(QLatin1Char('\r')) + 1);
        m_state.ErrorText += QStringLiteral("The server returned the following response:") + kCrLf +
                             kCrLf + statusLine + kCrLf;
        return Answer::Settled;
    }
    return Answer::Whole;
}

QString Downloader::boundsProblem(qint64 contentLength, qint64 bytesToCome) const {
    const QString announced = FormatFileSize(double(contentLength));
    if (contentLength > kMaxCarBytes)
        return QStringLiteral("The car is too large: ") + announced +
               QStringLiteral(" announced, at most ") + FormatFileSize(double(kMaxCarBytes)) +
               QStringLiteral(" can be unpacked.") + kCrLf;
    const QString folder = QFileInfo(m_destination).absolutePath();
    const qint64 free = freeSpace ? freeSpace(folder) : QStorageInfo(folder).bytesAvailable();
    if (free >= 0 && bytesToCome > free - kFreeSpaceMargin)
        return QStringLiteral("Not enough free disk space for the car: ") + announced +
               QStringLiteral(" announced, ") + FormatFileSize(double(std::max<qint64>(free, 0))) +
               QStringLiteral(" free in ") + folder + QStringLiteral(" (") +
               FormatFileSize(double(kFreeSpaceMargin)) + QStringLiteral(" must stay free).") +
               kCrLf;
    return QString();
}

bool Downloader::takeWholeBody(Attempt& a, QFile& file) {
    a.contentLength = leadingNumber(m_inet.GetHeader(QStringLiteral("Content-Length")));
    a.sizeKB = DownloadFormats::sizeInKB(a.contentLength);
    a.received = 0;
    a.shownKB = 0;
    a.validator.clear();
    if (a.sizeKB == 0)
        return false;
    // The bytes of an earlier try go: the body starts again from byte 0.
    if (file.isOpen() && (!file.resize(0) || !file.seek(0)))
        a.writeFailed = true;

    // Bounded before a byte is written: what cannot be unpacked, and what would fill the disk.
    if (const QString why = boundsProblem(a.contentLength, a.contentLength); !why.isEmpty()) {
        m_state.ErrorText += why;
        return false;
    }

    // A strong ETag, else the date, names this body when a later try asks for its rest.
    const QString etag = m_inet.GetHeader(QStringLiteral("ETag"));
    a.validatorIsETag = !etag.isEmpty() && !etag.startsWith(QLatin1String("W/"));
    a.validator = a.validatorIsETag ? etag.toLatin1()
                                    : m_inet.GetHeader(QStringLiteral("Last-Modified")).toLatin1();
    return true;
}

bool Downloader::body(Attempt& a, QFile& file) {
    if (m_inet.ResponseCode() != 0 && !m_inet.hasArrived()) {
        // The connection failed right after the answer: nothing of the body came.
        a.broken = true;
    } else {
        if (a.regime == Regime::Connection)
            a.regime = Regime::File;
        const QString cannotWrite = QStringLiteral("Cannot write file to disk!") + kCrLf;
        if (!a.openTried) {
            a.openTried = true;
            if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
                a.writeFailed = true;
                m_state.ErrorText += cannotWrite;
            }
        }
        const auto stop = [this] { return ended() || m_state.CancelRequested; };
        QByteArray chunk;
        for (;;) {
            m_inet.GetArrived(chunk, kReadSize, stop);
            if (ended())
                return false;
            if (m_state.CancelRequested) {
                file.close();
                QFile::remove(m_destination);
                return true;
            }
            if (chunk.isEmpty())
                break;
            a.received += chunk.size();
            a.brought += chunk.size();
            // More than the server announced: the attempt fails at once, whatever the transfer
            // encoding, and nothing past the announced length is written.
            if (a.received > a.contentLength) {
                a.tooLong = true;
                break;
            }
            if (!file.isOpen() || file.write(chunk) != chunk.size()) {
                // Reported once per attempt: a full disk does not grow the text by the KB.
                if (a.regime == Regime::File && !a.appendReported)
                    m_state.ErrorText += cannotWrite;
                a.appendReported = true;
                a.writeFailed = true;
            }
            // The progress counts whole KB received and moves when that count grows.
            const qint64 kb = a.received / 1024;
            if (kb > a.shownKB && kb < a.sizeKB) {
                a.shownKB = kb;
                a.regime = Regime::Quiet;
                m_progress.update(kb, a.sizeKB, m_ctx.clock->monotonicSeconds() - a.startTime);
                m_display.showProgress(m_progress);
            }
        }
        if (file.isOpen() && !file.flush())
            a.writeFailed = true;
        a.broken = !a.tooLong && !a.writeFailed && a.received < a.contentLength;
    }
    m_display.setStatus2(QString());
    return yield();
}
