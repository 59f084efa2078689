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
class AdPane : public QTextBrowser {
    Q_OBJECT
public:
    explicit AdPane(QNetworkAccessManager* network, QWidget* parent = nullptr);

    // Stops what is loading and starts loading url.
    void navigate(const QUrl& url);
    // Stops the page and its pictures from loading.
    void stopLoading();

    QUrl pageUrl() const { return m_base; }
    int navigationCount() const { return m_navigations; }
    // True once the picture at url (absolute) has arrived and is shown.
    bool hasPicture(const QUrl& url) const { return m_imageCache.contains(url); }

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
    QString m_html;
    QUrl m_base;
    int m_navigations = 0;
    bool m_relayoutPending = false;
};
