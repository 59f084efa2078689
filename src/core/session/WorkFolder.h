#pragma once

#include <QString>
#include <memory>

class KernelLock;

// The work folder is private to the user who runs Kavro: it is created with mode 0700, and one
// that is a symbolic link, not a folder, or owned by another user is never used (someone else
// could read or swap the car ZIPs between download and unpacking). A running copy holds the
// folder with a lock file beside it ("<base>/Kavro.lock" for "<base>/Kavro/"), so that a second
// copy never empties it under the first. The lock is held by the kernel (see KernelLock): a copy
// that was killed leaves none behind.
//
// The checks return the message to show when the folder cannot be used, empty when it can.
class WorkFolder {
public:
    explicit WorkFolder(const QString& path); // with or without a trailing "/"
    ~WorkFolder();

    // Looks without writing anything: a missing folder is fine.
    QString check() const;

    // Creates the folder (and its missing parents) when missing, with mode 0700, checks it, and
    // takes group and other rights away from a folder of the user's own that has them.
    QString make() const;

    // Takes the lock beside the folder for as long as this object lives (or until unlock()).
    // False when another running copy holds it (or the lock file cannot be made): the message
    // names the holder, a running window or a kavro-cars command, in words for this program.
    bool lock(QString* message = nullptr);
    void unlock();
    bool holdsLock() const { return m_lock != nullptr; }

    QString lockFilePath() const;

    // The message for a window whose folder is held by a running window.
    static QString alreadyRunningMessage();
    // The message for this program (application name) when holderApp holds the folder; pid 0
    // when the holder is not known (the lock file did not say): "another Kavro program".
    static QString heldMessage(const QString& thisApp, const QString& holderApp, qint64 pid,
                               const QString& host);
    // "process 123", with " on HOST" when the holder runs on another machine.
    static QString holderText(qint64 pid, const QString& host);

private:
    QString m_path; // without a trailing "/"
    std::unique_ptr<KernelLock> m_lock;
};
