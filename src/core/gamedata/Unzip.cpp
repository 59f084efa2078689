#include "core/gamedata/Unzip.h"

#include <QProcess>

QString UnzipCommandLine(const QString& winZipPath, const QString& zipFile, const QString& folder) {
    const QChar q = u'"';
    return winZipPath + QStringLiteral(" -% /extractX ") + q + folder + q + u' ' + q + zipFile + q;
}

std::unique_ptr<QProcess> UNZIP(const QString& winZipPath, const QString& zipFile,
                                const QString& folder, QString* error) {
    // The words of the extraction line, the folder and the ZIP handed over as they are: a name
    // with a double quote in it (legal in a Linux file name) cannot be written inside the
    // line's quotes.
    const QStringList words = QProcess::splitCommand(winZipPath) +
                              QStringList{QStringLiteral("-%"), QStringLiteral("/extractX"),
                                          folder, zipFile};
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
