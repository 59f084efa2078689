#pragma once

#include <QProcess>
#include <QString>
#include <QStringList>

// One run of a program to its end, as the tests start our command-line tools and the build's own.
struct ProgramRun {
    int exitCode = -1; // -1: it crashed, could not start or did not end in time
    QString output;    // standard output
    QString errorText; // standard error

    static ProgramRun of(const QString& program, const QStringList& args, int timeoutMs = 60000) {
        QProcess p;
        p.start(program, args);
        if (!p.waitForFinished(timeoutMs))
            return {};
        return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1,
                QString::fromUtf8(p.readAllStandardOutput()),
                QString::fromUtf8(p.readAllStandardError())};
    }
};
