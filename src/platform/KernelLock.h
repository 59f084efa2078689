#pragma once

#include <QString>

// A lock the kernel holds for the process: flock() on a lock file, released when the file is
// closed, and so however the process ends (a kill included). A lock file that stays on disk is
// never stale: nothing needs cleaning, and the file is never deleted (a deleted file's lock no
// longer excludes a program that opens the name again).
//
// The holder writes its description (process id, program, host: one line each) into the file
// once it holds the lock, and empties it before letting go. Another program reads it only when
// it could not take the lock, and trusts it only when it is whole and names a process that runs
// (a killed holder leaves its description behind until the next holder writes over it); else
// the holder is unknown ("another Kavro program").
//
// A missing lock file is created with mode 0666 whatever the umask, so that every user who may
// change what it guards can take it. One that is a link or not a plain file is refused.
class KernelLock {
public:
    enum class Result { Taken, Held, Failed };

    // What the lock file says of its holder; pid 0 when it says nothing to trust.
    struct Holder {
        qint64 pid = 0;
        QString program;
        QString host;
        bool known() const { return pid > 0; }
    };

    explicit KernelLock(QString path);
    ~KernelLock();
    KernelLock(const KernelLock&) = delete;
    KernelLock& operator=(const KernelLock&) = delete;

    // Tries to take the lock, again and again for up to waitMs when another holds it.
    // Held: holder() names the one who holds it. Failed: errorText() says why (the file cannot
    // be created or opened).
    Result tryLock(int waitMs = 0);
    void unlock();
    bool isLocked() const { return m_fd >= 0; }

    Holder holder() const { return m_holder; }
    QString errorText() const { return m_error; }
    QString path() const { return m_path; }

    // The description as written into the lock file, and read back from it.
    static QByteArray describe(qint64 pid, const QString& program, const QString& host);
    static Holder parse(const QByteArray& text);

private:
    int open();
    void readHolder(int fd);

    QString m_path;
    int m_fd = -1;
    Holder m_holder;
    QString m_error;
};
