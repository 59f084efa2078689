#include "core/session/InstanceChannel.h"

#include "core/session/CommandLine.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>
#include <QTimer>

#include <cerrno>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A message is one line; anything longer is not from Kavro.
constexpr qint64 kMaxMessage = 1 << 20;
// A client that connects and says nothing is dropped after this.
constexpr int kClientMs = 5000;
const QByteArray kOk = QByteArrayLiteral("ok\n");

QStringList strings(const QJsonValue& value) {
    QStringList out;
    for (const QJsonValue& v : value.toArray())
        if (v.isString())
            out.append(v.toString());
    return out;
}

QJsonArray array(const QStringList& texts) {
    QJsonArray a;
    for (const QString& t : texts)
        a.append(t);
    return a;
}

} // namespace

InstanceChannel::InstanceChannel(QString folder, QObject* parent)
    : QObject(parent), m_folder(std::move(folder)) {}

InstanceChannel::~InstanceChannel() {
    if (m_server)
        m_server->close();
    if (m_lockFd >= 0)
        ::close(m_lockFd); // the kernel drops the claim with the descriptor
}

QString InstanceChannel::defaultFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QFileInfo(runtime).isAbsolute())
        return runtime + QStringLiteral("/kavro");
    return QDir::tempPath() + QStringLiteral("/kavro-%1").arg(::getuid());
}

QString InstanceChannel::socketPath() const {
    return m_folder + QStringLiteral("/kavro.socket");
}

bool InstanceChannel::privateFolder(const QString& path, QString* problem) {
    const QByteArray native = QFile::encodeName(path);
    if (::mkdir(native.constData(), 0700) != 0 && errno != EEXIST) {
        *problem =
            QStringLiteral("cannot make %1: %2").arg(path, QString::fromLocal8Bit(strerror(errno)));
        return false;
    }
    struct stat st {};
    if (::lstat(native.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 077) != 0) {
        *problem = QStringLiteral("%1 is not a private folder of this user").arg(path);
        return false;
    }
    return true;
}

InstanceChannel::Claim InstanceChannel::claim(QString* problem) {
    QString why;
    if (!privateFolder(m_folder, &why)) {
        if (problem)
            *problem = why;
        return Claim::Unavailable;
    }
    const QByteArray lock = QFile::encodeName(m_folder + QStringLiteral("/kavro.lock"));
    const int fd = ::open(lock.constData(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd < 0) {
        if (problem)
            *problem = QStringLiteral("cannot open %1").arg(QString::fromLocal8Bit(lock));
        return Claim::Unavailable;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        if (error == EWOULDBLOCK)
            return Claim::Running;
        if (problem)
            *problem = QStringLiteral("cannot lock %1").arg(QString::fromLocal8Bit(lock));
        return Claim::Unavailable;
    }
    m_lockFd = fd;
    return Claim::First;
}

bool InstanceChannel::listen(QString* problem) {
    if (m_lockFd < 0)
        return false;
    // Whoever listened here before has ended: its claim was free.
    QLocalServer::removeServer(socketPath());
    m_server = new QLocalServer(this);
    m_server->setSocketOptions(QLocalServer::UserAccessOption);
    if (!m_server->listen(socketPath())) {
        if (problem)
            *problem = m_server->errorString();
        delete m_server;
        m_server = nullptr;
        return false;
    }
    connect(m_server, &QLocalServer::newConnection, this, &InstanceChannel::accept);
    return true;
}

void InstanceChannel::accept() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        // Only this user's own programs are heard, whatever the socket's mode allows.
        struct ucred peer {};
        socklen_t size = sizeof peer;
        if (::getsockopt(int(socket->socketDescriptor()), SOL_SOCKET, SO_PEERCRED, &peer, &size) !=
                0 ||
            peer.uid != ::getuid()) {
            socket->abort();
            socket->deleteLater();
            continue;
        }
        QTimer::singleShot(kClientMs, socket, [socket] { socket->abort(); });
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readFrom(socket); });
        if (socket->bytesAvailable() > 0)
            readFrom(socket);
    }
}

void InstanceChannel::readFrom(QLocalSocket* socket) {
    if (!socket->canReadLine()) {
        if (socket->bytesAvailable() > kMaxMessage)
            socket->abort();
        return;
    }
    const QByteArray line = socket->readLine(kMaxMessage);
    QStringList zips, links;
    if (!decode(line, zips, links)) {
        socket->abort();
        return;
    }
    socket->write(kOk);
    socket->flush();
    socket->disconnectFromServer();
    Q_EMIT requested(zips, links);
}

bool InstanceChannel::handOff(const QStringList& zips, const QStringList& links, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray message = encode(zips, links);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (!socket.waitForConnected(int(deadline.remainingTime()))) {
            // The running program may not listen yet: it is still starting.
            QThread::msleep(50);
            continue;
        }
        socket.write(message);
        if (!socket.waitForBytesWritten(int(deadline.remainingTime())))
            return false;
        QByteArray answer;
        while (!answer.endsWith('\n') && socket.waitForReadyRead(int(deadline.remainingTime())))
            answer += socket.readAll();
        if (answer.isEmpty() && socket.bytesAvailable() > 0)
            answer = socket.readAll();
        return answer == kOk;
    }
    return false;
}

QByteArray InstanceChannel::encode(const QStringList& zips, const QStringList& links) {
    QJsonObject o;
    o.insert(QStringLiteral("zips"), array(zips));
    o.insert(QStringLiteral("links"), array(links));
    return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
}

bool InstanceChannel::decode(const QByteArray& line, QStringList& zips, QStringList& links) {
    if (!line.endsWith('\n'))
        return false;
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        return false;
    zips.clear();
    links.clear();
    for (const QString& zip : strings(doc.object().value(QStringLiteral("zips"))))
        if (QFileInfo(zip).isAbsolute() && CommandLine::isZipFile(zip))
            zips.append(zip);
    for (const QString& link : strings(doc.object().value(QStringLiteral("links"))))
        if (CommandLine::isLink(link))
            links.append(link);
    return true;
}

void InstanceChannel::queueZips(const QStringList& zips) {
    for (const QString& zip : zips)
        if (!m_queue.contains(zip))
            m_queue.append(zip);
}

QStringList InstanceChannel::takeQueuedZips() {
    return std::exchange(m_queue, {});
}
