#pragma once

#include <QObject>

// The one way the program ends (exit confirmation, Exit buttons, end of a run, cancel, start-up
// checks). In the program it ends the process at once: no window's close handling runs and
// nothing else is done. In tests (recordOnly) it only records the end; every wait of the program
// returns at once once the end is recorded, and callers return right after.
class ProgramEnd : public QObject {
    Q_OBJECT
public:
    explicit ProgramEnd(bool recordOnly, QObject* parent = nullptr)
        : QObject(parent), m_recordOnly(recordOnly) {}

    void EndProgram();
    bool ended() const { return m_ended; }
    // The program's result when it ends (0 unless something it had to do failed).
    void setExitStatus(int status) { m_exitStatus = status; }
    int exitStatus() const { return m_exitStatus; }
    int endCount() const { return m_count; }

Q_SIGNALS:
    void programEnded();

private:
    bool m_recordOnly;
    bool m_ended = false;
    int m_count = 0;
    int m_exitStatus = 0;
};
