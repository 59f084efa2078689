#include "core/gamedata/Unzip.h"

#include <QProcess>

QString UnzipCommandLine(const QString& winZipPath, const QString& zipFile, const QString& folder) {
    const QChar q = u'"';
    return winZipPath + QStringLiteral(" -% /extractX ") + q + folder + q + u' ' + q + zipFile + q;
}

std::unique_ptr<QProcess> UNZIP(const QString& winZipPath, const QString& zipFile,
                                const QString& folder, QString* error) {
    const QStringList words = QProcess::splitCommand(UnzipCommandLine(winZipPath, zipFile, folder));
    auto process = std::make_unique<QProcess>();
    process->setProcessChannelMode(QProcess::SeparateChannels);
    process->setStandardInputFile(QProcess::nullDevice());
    // The first word is the program; an empty WinZip command leaves the switches first.
    process->start(words.value(0), words.mid(1));
    if (!process->waitForStarted(10000)) {
        if (error)
            *error = QStringLiteral("the extractor \"%1\" could not be started: %2")
                         .arg(words.value(0), process->errorString());
        return nullptr;
    }
    return process;
}
