#pragma once

#include <QString>
#include <memory>

class QProcess;

// WinZip's extraction line, with Q a double quote:
//   winZipPath & " -% /extractX " & Q & folder & Q & " " & Q & zipFile & Q
// winZipPath is the registered command without its last five characters (the ' "%1"').
QString UnzipCommandLine(const QString& winZipPath, const QString& zipFile, const QString& folder);

// Starts the extraction line as a process and returns as soon as it runs; the caller owns the
// process and decides how to wait for it. Null, with a reason in error, when it cannot start.
std::unique_ptr<QProcess> UNZIP(const QString& winZipPath, const QString& zipFile,
                                const QString& folder, QString* error = nullptr);
