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
#include <limits>

namespace {
const QString kCrLf = QStringLiteral("\r\n");
}

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
    if (!transfer(a, strURL, strDestination, UserName, Password))
        return false;

    // Outcome: complete only when every announced byte arrived and was written.
    bool result = false;
    if (a.sizeKB > 0 && a.received == a.contentLength && !a.writeFailed) {
        m_display.setStatus(QStringLiteral("Download completed!"));
        m_state.TransferEnded = true;
        result = true;
    } else {
        if (QFileInfo(strDestination).isFile())
            QFile::remove(strDestination);
        if (!m_state.CancelRequested) {
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

bool Downloader::transfer(Attempt& a, const QString& strURL, const QString& strDestination,
                          const QString& UserName, const QString& Password) {
    m_state.TransferEnded = false;
    m_state.CancelRequested = false;
    m_display.openClip(m_ctx.session->workDir() + QStringLiteral("KAVRO.DRT"));
    m_display.setStatus2(QStringLiteral("Getting file information..."));
    if (!yield())
        return false;

    m_inet.setURL(strURL);
    m_inet.setUserName(UserName);
    m_inet.setPassword(Password);
    if (!m_inet.Execute() && !connectionFailure(m_inet.errorDescription()))
        return false;
    m_display.setStatus(QStringLiteral("Downloading... "));
    const double startTime = m_ctx.clock->monotonicSeconds();

    while (m_inet.StillExecuting()) {
        HttpTransfer::waitForEvents();
        if (ended())
            return false;
        if (m_state.CancelRequested)
            return true;
    }
    // A redirect to an address that is not allowed fails like a malformed address.
    if (m_inet.redirectRefused() && !connectionFailure(m_inet.errorDescription()))
        return false;
    const QString certificate = m_inet.certificateProblem();
    if (!certificate.isEmpty()) {
        m_state.ErrorText += certificate;
        return true;
    }

    const QString header = m_inet.GetHeader();
    const QString code = m_inet.noResponse() ? kCrLf : header.mid(9, 3);
    if (code == QLatin1String("401")) {
        m_state.ErrorText += QStringLiteral("Authorization failed!") + kCrLf;
        return true;
    }
    if (code == QLatin1String("404")) {
        m_state.ErrorText += QStringLiteral("The file, \"") + m_inet.URL() +
                             QStringLiteral("\" was not found!") + kCrLf;
        return true;
    }
    if (code == kCrLf) {
        m_state.ErrorText += QStringLiteral("Cannot establish connection.\r") + kCrLf +
                             QStringLiteral("Check your Internet connection and try again.") +
                             kCrLf;
        return true;
    }
    if (code != QLatin1String("200")) {
        const QString statusLine = header.left(header.indexOf(QLatin1Char('\r')) + 1);
        m_state.ErrorText += QStringLiteral("The server returned the following response:") + kCrLf +
                             kCrLf + statusLine + kCrLf;
        return true;
    }

    a.contentLength = leadingNumber(m_inet.GetHeader(QStringLiteral("Content-Length")));
    a.sizeKB = DownloadFormats::sizeInKB(a.contentLength);
    if (a.sizeKB == 0)
        return true;
    m_display.playClip();
    if (!yield())
        return false;
    return body(a, strDestination, startTime);
}

bool Downloader::body(Attempt& a, const QString& strDestination, double startTime) {
    a.chunks = 0;
    if (m_inet.ResponseCode() == 0) {
        a.regime = Regime::File;
        const QString cannotWrite = QStringLiteral("Cannot write file to disk!") + kCrLf;
        QFile file(strDestination);
        if (!file.open(QIODevice::WriteOnly)) {
            a.writeFailed = true;
            m_state.ErrorText += cannotWrite;
        }
        const auto stop = [this] { return ended() || m_state.CancelRequested; };
        QByteArray chunk;
        chunk.reserve(kChunkSize);
        m_inet.GetChunk(chunk, kChunkSize, stop);
        if (ended())
            return false;
        while (!chunk.isEmpty()) {
            a.received += chunk.size();
            // More than the server announced: the attempt fails at once, whatever the transfer
            // encoding, and nothing past the announced length is written.
            if (a.received > a.contentLength)
                break;
            if (!file.isOpen() || file.write(chunk) != chunk.size()) {
                // Reported once per attempt: a full disk does not grow the text by the KB.
                if (a.regime == Regime::File && !a.appendReported)
                    m_state.ErrorText += cannotWrite;
                a.appendReported = true;
                a.writeFailed = true;
            }
            m_inet.GetChunk(chunk, kChunkSize, stop);
            if (ended())
                return false;
            if (m_state.CancelRequested) {
                file.close();
                QFile::remove(strDestination);
                return true;
            }
            ++a.chunks;
            if (a.chunks < a.sizeKB) {
                a.regime = Regime::Quiet;
                m_progress.update(a.chunks, a.sizeKB, m_ctx.clock->monotonicSeconds() - startTime);
                m_display.showProgress(m_progress);
            }
        }
        if (file.isOpen() && !file.flush())
            a.writeFailed = true;
        file.close();
    }
    m_display.setStatus2(QString());
    return yield();
}
