#include "core/gamedata/GameLock.h"

#include "core/session/WorkFolder.h"
#include "platform/GameFs.h"
#include "platform/KernelLock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMutex>
#include <map>
#include <memory>

namespace {

const QString kCarsCommandName = QStringLiteral("kavro-cars");

// The game locks this program holds, by lock file, with the number of GameLocks sharing each.
struct Held {
    std::unique_ptr<KernelLock> lock;
    int users = 0;
};

QMutex& registryMutex() {
    static QMutex mutex;
    return mutex;
}

std::map<QString, Held>& registry() {
    static std::map<QString, Held> held;
    return held;
}

} // namespace

GameLock::GameLock(QString gamePath) : m_game(std::move(gamePath)) {}

GameLock::~GameLock() {
    unlock();
}

QString GameLock::lockFilePath(const QString& gamePath) {
    return GameFs::resolve(GameFs::withSlash(gamePath), QStringLiteral("Data/.kavro.lock"));
}

bool GameLock::lock(QString* message, int waitMs) {
    if (holdsLock())
        return true;
    const QString path = lockFilePath(m_game);
    const QMutexLocker guard(&registryMutex());
    QString key = QFileInfo(path).canonicalFilePath();
    if (!key.isEmpty()) {
        auto it = registry().find(key);
        if (it != registry().end()) {
            ++it->second.users;
            m_key = key;
            return true;
        }
    }
    auto kernelLock = std::make_unique<KernelLock>(path);
    const KernelLock::Result result = kernelLock->tryLock(waitMs);
    if (result == KernelLock::Result::Taken) {
        key = QFileInfo(path).canonicalFilePath();
        if (key.isEmpty())
            key = path;
        registry().emplace(key, Held{std::move(kernelLock), 1});
        m_key = key;
        return true;
    }
    if (!message)
        return false;
    const QString thisApp = QCoreApplication::applicationName();
    if (result == KernelLock::Result::Held) {
        const KernelLock::Holder holder = kernelLock->holder();
        *message = heldMessage(thisApp, holder.program, holder.pid, holder.host);
        return false;
    }
    const QString why = QStringLiteral("its lock file \"%1\" cannot be made (%2)")
                            .arg(QDir::toNativeSeparators(path), kernelLock->errorText());
    *message = thisApp == kCarsCommandName
                   ? QStringLiteral("the game's cars cannot be changed: %1").arg(why)
                   : QStringLiteral("The game's cars cannot be changed: %1. Please check the "
                                    "rights of the game folder.")
                         .arg(why);
    return false;
}

void GameLock::unlock() {
    if (m_key.isEmpty())
        return;
    const QMutexLocker guard(&registryMutex());
    auto it = registry().find(m_key);
    if (it != registry().end() && --it->second.users <= 0)
        registry().erase(it); // the last user lets the kernel's lock go
    m_key.clear();
}

QString GameLock::heldMessage(const QString& thisApp, const QString& holderApp, qint64 pid,
                              const QString& host) {
    if (thisApp == kCarsCommandName)
        return pid > 0 ? WorkFolder::heldMessage(thisApp, holderApp, pid, host)
                       : QStringLiteral("another Kavro program is changing the game's cars: wait "
                                        "until it has ended and run this one again");
    // A window refuses one change, not the start: the player tries again later.
    if (pid <= 0)
        return QStringLiteral("Another Kavro program is changing the game's cars. Please wait "
                              "until it has ended and try again.");
    const QString who = WorkFolder::holderText(pid, host);
    if (holderApp == kCarsCommandName)
        return QStringLiteral("A kavro-cars command (%1) is changing the game's cars. Please wait "
                              "until it has ended and try again.")
            .arg(who);
    return QStringLiteral("Another copy of Kavro (%1) is changing the game's cars. Please wait "
                          "until it has ended and try again.")
        .arg(who);
}
