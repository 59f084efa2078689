#include "gui/AdPane.h"

#include "platform/NetworkPolicy.h"

#include <QBuffer>
#include <QImageReader>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QScrollBar>
#include <QStringDecoder>
#include <QTextDocument>
#include <QScrollBar>
#include <QTimer>
#include <memory>

AdPane::AdPane(QNetworkAccessManager* network, QWidget* parent)
    : QTextBrowser(parent), m_network(network) {
    setOpenLinks(false);
    setOpenExternalLinks(false);
    setUndoRedoEnabled(false);
    connect(this, &QTextBrowser::anchorClicked, this,
            [this](const QUrl& link) { navigate(m_base.resolved(link)); });
}

QNetworkReply* AdPane::get(const QUrl& url, qint64 maxBytes) {
    if (!m_network)
        return nullptr;
    NetworkPolicy::Limits limits;
    limits.maxBytes = maxBytes;
    auto reply = std::make_shared<QPointer<QNetworkReply>>();
    // A page or picture the policy stops (too big, too slow, redirected elsewhere) is dropped
    // like one that failed, once the signal that stopped it is over.
    limits.onStop = [this, reply] {
        QTimer::singleShot(0, this, [this, reply] {
            if (*reply)
                dropStopped(*reply);
        });
    };
    *reply = NetworkPolicy::get(*m_network, url, limits);
    return *reply;
}

bool AdPane::isLoading() const {
    return m_page || !m_images.isEmpty();
}

void AdPane::dropStopped(QNetworkReply* reply) {
    m_images.removeAll(reply);
    if (reply == m_page) {
        m_page = nullptr;
        m_html.clear();
        clear();
        NetworkPolicy::discard(reply);
        Q_EMIT pageFinished(false);
        return;
    }
    NetworkPolicy::discard(reply);
}

void AdPane::stopLoading() {
    // Let go at once rather than abort: a reply whose failure is already on its way would report
    // a second error.
    if (m_page) {
        QNetworkReply* page = m_page;
        m_page = nullptr;
        NetworkPolicy::discard(page);
    }
    const QList<QPointer<QNetworkReply>> images = m_images;
    m_images.clear();
    for (const QPointer<QNetworkReply>& image : images)
        if (image)
            NetworkPolicy::discard(image);
}

void AdPane::navigate(const QUrl& url) {
    stopLoading();
    ++m_navigations;
    m_base = url;
    QNetworkReply* reply = get(url, NetworkPolicy::kAdPageMaxBytes);
    if (!reply) {
        clear();
        Q_EMIT pageFinished(false);
        return;
    }
    m_page = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { pageArrived(reply); });
}

void AdPane::pageArrived(QNetworkReply* reply) {
    reply->deleteLater();
    if (reply != m_page)
        return;
    m_page = nullptr;
    const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    if (reply->error() != QNetworkReply::NoError || status < 200 || status > 299 ||
        NetworkPolicy::stopOf(reply) != NetworkPolicy::Stop::None) {
        m_html.clear();
        clear();
        Q_EMIT pageFinished(false);
        return;
    }
    const QByteArray bytes = reply->readAll();
    QStringDecoder decoder = QStringDecoder::decoderForHtml(bytes);
    m_html = decoder.isValid() ? decoder.decode(bytes) : QString::fromLatin1(bytes);
    m_imageCache.clear();
    m_requested.clear();
    m_pixels = 0;
    document()->setBaseUrl(m_base);
    setHtml(m_html);
    Q_EMIT pageFinished(true);
}

QVariant AdPane::loadResource(int type, const QUrl& name) {
    if (type != QTextDocument::ImageResource)
        return QVariant();
    const QUrl url = m_base.resolved(name);
    const auto cached = m_imageCache.constFind(url);
    if (cached != m_imageCache.constEnd())
        return cached.value();
    if (m_requested.contains(url) || m_requested.size() >= kMaxPictures)
        return QVariant();
    m_requested.insert(url);
    if (QNetworkReply* reply = get(url, NetworkPolicy::kAdPictureMaxBytes)) {
        m_images.append(reply);
        connect(reply, &QNetworkReply::finished, this,
                [this, reply, url] { imageArrived(reply, url); });
    }
    return QVariant();
}

void AdPane::imageArrived(QNetworkReply* reply, const QUrl& url) {
    reply->deleteLater();
    m_images.removeAll(reply);
    if (reply->error() != QNetworkReply::NoError ||
        NetworkPolicy::stopOf(reply) != NetworkPolicy::Stop::None)
        return;
    // The header says how large the picture is before anything is decoded.
    QBuffer bytes;
    bytes.setData(reply->readAll());
    bytes.open(QIODevice::ReadOnly);
    QImageReader reader(&bytes);
    const QSize size = reader.size();
    const auto fits = [this](QSize s) {
        return s.isValid() && s.width() <= kMaxPictureSide && s.height() <= kMaxPictureSide &&
               m_pixels + qint64(s.width()) * s.height() <= kMaxPixels;
    };
    if (!fits(size))
        return;
    QImage image;
    if (!reader.read(&image) || !fits(image.size()))
        return;
    m_pixels += qint64(image.width()) * image.height();
    m_imageCache.insert(url, image);
    relayout();
}

void AdPane::relayout() {
    // Several pictures arriving together cause one new layout.
    if (m_relayoutPending)
        return;
    m_relayoutPending = true;
    QTimer::singleShot(0, this, [this] {
        m_relayoutPending = false;
        const int scroll = verticalScrollBar()->value();
        setHtml(m_html);
        verticalScrollBar()->setValue(scroll);
    });
}
