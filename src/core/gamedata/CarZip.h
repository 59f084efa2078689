#pragma once

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>

class QProcess;

// Whether a car ZIP would install, judged as the installer judges it but without any game: the
// ZIP is unpacked by our own extractor (with its bounds on names, entries and sizes) into a
// folder of the caller's, the car's folder must hold one "CAR.VIV", and that archive must take
// a serial number and a car id the way an install writes them.
namespace CarZip {

// The extraction line's program for a program in programFolder: our own extractor, quoted.
QString extractorCommand(const QString& programFolder);

// Starts unpacking zipPath into folder (which should be empty); null, with why, when the
// extractor cannot be started.
std::unique_ptr<QProcess> startUnpack(const QString& extractorCommand, const QString& zipPath,
                                      const QString& folder, QString* why);

// After the extractor has ended: empty when the car would install (carFolder then names the
// folder holding its files), otherwise why not. The unpacked CAR.VIV is rewritten in place.
QString judge(QProcess& finished, const QString& folder, QString* carFolder = nullptr);

// Both in one, waiting at most timeoutMs for the extractor.
QString check(const QString& extractorCommand, const QString& zipPath, const QString& folder,
              QString* carFolder = nullptr, int timeoutMs = 120000);

// The bytes of the first file entry, in the ZIP's own order, that accept() takes; entries
// announcing more than maxBytes are passed over. Empty when none is taken or the ZIP cannot be
// read.
QByteArray firstFile(const QString& zipPath, qint64 maxBytes,
                     const std::function<bool(const QByteArray&)>& accept);

} // namespace CarZip
