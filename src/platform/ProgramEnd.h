#pragma once

#include <QObject>

// The one way the program ends (exit confirmation, Exit buttons, end of a run, cancel, start-up
// checks). In the program it ends the process at once: no window's close handling runs and
// nothing else is done. In tests (recordOnly) it only records the end; every wait of the program
// returns at once once the end is recorded, and callers return right after.
//
// The status is the process's exit status: 0 for an end the player chose or a run that did all
// it was asked, 1 for a start that cannot go on or a car that failed, 128 + the signal's number
// for an end by an ending signal (as shells report it).
class ProgramEnd : public QObject {
    Q_OBJECT
public:
    explicit ProgramEnd(bool recordOnly, QObject* parent = nullptr)
        : QObject(parent), m_recordOnly(recordOnly) {}

    // Ends with status 0 (a slot: connected and timed as it is).
    void EndProgram() { endWithStatus(0); }
    void endWithStatus(int status);
    bool ended() const { return m_ended; }
    // The program's result when it ends without a status of its own (0 unless something it had
    // to do failed, e.g. its log could not be written).
    void setExitStatus(int status) { m_status = status; }
    // The status of the first end (later ends keep it).
    int exitStatus() const { return m_status; }
    int endCount() const { return m_count; }

Q_SIGNALS:
    void programEnded();

private:
    bool m_recordOnly;
    bool m_ended = false;
    int m_count = 0;
    int m_status = 0;
};
