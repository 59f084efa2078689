#pragma once

#include <QObject>
#include <QString>
#include <QStringList>

class QLocalServer;
class QLocalSocket;

// One running Kavro per user, and the road by which a second start hands it its work.
//
// The first start claims the user's instance lock (a kernel-held flock on "kavro.lock" in the
// user's private runtime folder, so a killed program leaves no claim behind) and listens on
// "kavro.socket" beside it, a local socket only the same user may connect to (the socket's mode
// is 0700 and the peer's user id is checked as well). A later start finds the lock held and sends
// its car ZIPs and kavro: links, or nothing at all (bring the window forward), as one line of
// JSON; the running program answers "ok" and the later start ends.
//
// The folder is $XDG_RUNTIME_DIR/kavro, else kavro-<uid> in the temporary folder; either is made
// 0700 and refused when it is a link, another user's or open to others.
//
// Handed-over ZIPs wait in the channel's queue until the running program can install them.
class InstanceChannel : public QObject {
    Q_OBJECT
public:
    enum class Claim {
        First,      // no other Kavro of this user runs: this one holds the claim (listen next)
        Running,    // another one holds it: hand the work over
        Unavailable // no private folder or no lock: run alone, as before
    };

    explicit InstanceChannel(QString folder = defaultFolder(), QObject* parent = nullptr);
    ~InstanceChannel() override;

    static QString defaultFolder();
    QString folder() const { return m_folder; }
    QString socketPath() const;

    Claim claim(QString* problem = nullptr);
    // Listens for later starts (only after claim() gave First); false, with the reason, when the
    // socket cannot be made.
    bool listen(QString* problem = nullptr);

    // Sends the work to the running program and waits for its answer; true when it took it.
    // Tries again while the running program is still starting, until timeoutMs has passed.
    bool handOff(const QStringList& zips, const QStringList& links, int timeoutMs = 1500);

    // The message a later start sends, and its reading (false for anything malformed). What is
    // read is kept only when it can be acted on: ZIPs that exist (absolute paths) and kavro:
    // links.
    static QByteArray encode(const QStringList& zips, const QStringList& links);
    static bool decode(const QByteArray& line, QStringList& zips, QStringList& links);

    // ZIPs handed over and not yet installed, in their order of arrival.
    void queueZips(const QStringList& zips);
    bool hasQueuedZips() const { return !m_queue.isEmpty(); }
    QStringList takeQueuedZips();

Q_SIGNALS:
    // A later start handed this over (both empty: bring the window forward).
    void requested(const QStringList& zips, const QStringList& links);

private:
    static bool privateFolder(const QString& path, QString* problem);
    void accept();
    void readFrom(QLocalSocket* socket);

    QString m_folder;
    int m_lockFd = -1;
    QLocalServer* m_server = nullptr;
    QStringList m_queue;
};
