#pragma once

#include <QString>

// The game's own lock: every change to the game's cars (an install, a removal, the serial fixer,
// the undo of unfinished installs, parking and sets) holds it, whichever program makes it and
// whatever its work folder, so no two programs or users change one game at once. It lives in the
// game itself, Data/.kavro.lock beside the staging folder (names matched without regard to
// case), and the kernel holds it (see KernelLock): a program that was killed leaves no lock that
// refuses the next one, and the file is never removed.
//
// Within one program the lock is shared: a GameLock taken while another of the same program
// holds the game's lock succeeds at once (the serial fixer opened from a window that holds it,
// a command that holds it for its whole run calling code that takes it for one car).
class GameLock {
public:
    explicit GameLock(QString gamePath);
    ~GameLock();
    GameLock(const GameLock&) = delete;
    GameLock& operator=(const GameLock&) = delete;

    // Takes the lock, trying for up to waitMs while another program holds it. False when
    // another holds it or the lock file cannot be made: the message (in words for this program,
    // the application name) names the holder, or says "another Kavro program" when its lock
    // file does not say, or says why the game folder cannot be changed.
    bool lock(QString* message = nullptr, int waitMs = 0);
    void unlock();
    bool holdsLock() const { return !m_key.isEmpty(); }

    // How long a kavro-cars command waits for another to end before it refuses.
    static constexpr int kCommandWaitMs = 5000;

    // gamePath + "Data/.kavro.lock" (Data and the lock's name matched without regard to case).
    static QString lockFilePath(const QString& gamePath);

    // The refusal for thisApp (application name) when the program named holderApp holds the
    // game's lock; pid 0 when the holder is not known.
    static QString heldMessage(const QString& thisApp, const QString& holderApp, qint64 pid,
                               const QString& host);

private:
    QString m_game;
    QString m_key; // the lock file's canonical path while held
};
