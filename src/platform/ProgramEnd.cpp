#include "platform/ProgramEnd.h"

#include <cstdio>
#include <unistd.h>

void ProgramEnd::endWithStatus(int status) {
    // A failure noted earlier (setExitStatus) stands when the end itself brings none.
    if (!m_ended && status != 0)
        m_status = status;
    m_ended = true;
    ++m_count;
    Q_EMIT programEnded();
    if (m_recordOnly)
        return;
    // Every file the program writes is saved atomically before this point; ending the process
    // here keeps any further handler, box or request from running.
    std::fflush(nullptr);
    ::_exit(m_status);
}
