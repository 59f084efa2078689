#pragma once

#include <QHash>
#include <QImage>
#include <QPointer>
#include <QSet>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// The download window's advertisement pane: shows the HTML page at a URL with its images, all
// fetched through the program's network manager under the network policy (an address it does
// not allow, for the page, a picture or a clicked link, is never fetched). It runs no scripts,
// opens no dialogs and says nothing when a page or picture cannot be loaded (the pane is then left
// blank or without that picture). A clicked link is shown in the pane.
//
// A page cannot take the program's memory: at most kMaxPictures pictures of a page are fetched,
// a picture is decoded only when its header says it is at most kMaxPictureSide pixels each way,
// and the pictures shown together hold at most kMaxPixels pixels. A picture over a bound is left
// out, like one that cannot be read.
class AdPane : public QTextBrowser {
    Q_OBJECT
public:
    explicit AdPane(QNetworkAccessManager* network, QWidget* parent = nullptr);

    static constexpr int kMaxPictures = 32;
    static constexpr int kMaxPictureSide = 2048;
    static constexpr qint64 kMaxPixels = 32'000'000;

    // Stops what is loading and starts loading url.
    void navigate(const QUrl& url);
    // Stops the page and its pictures from loading.
    void stopLoading();

    QUrl pageUrl() const { return m_base; }
    int navigationCount() const { return m_navigations; }
    // True once the picture at url (absolute) has arrived and is shown.
    bool hasPicture(const QUrl& url) const { return m_imageCache.contains(url); }
    int pictureCount() const { return int(m_imageCache.size()); }
    // True while the page or one of its pictures is still on its way.
    bool isLoading() const;

Q_SIGNALS:
    // A navigation has ended (ok: the page is shown).
    void pageFinished(bool ok);

protected:
    QVariant loadResource(int type, const QUrl& name) override;

private:
    void pageArrived(QNetworkReply* reply);
    void imageArrived(QNetworkReply* reply, const QUrl& url);
    QNetworkReply* get(const QUrl& url, qint64 maxBytes);
    void dropStopped(QNetworkReply* reply);
    void relayout();

    QNetworkAccessManager* m_network;
    QPointer<QNetworkReply> m_page;
    QList<QPointer<QNetworkReply>> m_images;
    QHash<QUrl, QImage> m_imageCache;
    QSet<QUrl> m_requested;
    qint64 m_pixels = 0; // of the pictures shown
    QString m_html;
    QUrl m_base;
    int m_navigations = 0;
    bool m_relayoutPending = false;
};
