#include "core/gamedata/CarSerials.h"

#include "core/gamedata/Viv.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"
#include "platform/MessageBoxService.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace {

constexpr qint64 kCarIdOffset = 274;

// Empties folder (files, links and sub-folders), keeping the folder itself.
bool emptyFolder(const QString& folder) {
    bool ok = true;
    const QFileInfoList entries = QDir(folder).entryInfoList(QDir::AllEntries | QDir::Hidden |
                                                             QDir::System | QDir::NoDotAndDotDot);
    for (const QFileInfo& e : entries) {
        if (e.isDir() && !e.isSymLink())
            ok = QDir(e.absoluteFilePath()).removeRecursively() && ok;
        else
            ok = QFile::remove(e.absoluteFilePath()) && ok;
    }
    return ok;
}

// The archive at path, or the entry of its folder whose name matches without regard to case.
QString existingSpelling(const QString& path) {
    if (QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString found = GameFs::findEntry(info.absolutePath(), info.fileName());
    return found.isEmpty() ? path : GameFs::withSlash(info.absolutePath()) + found;
}

bool writeSerialInFedata(const QString& path, quint8 serial, const QString& carId, QString* why) {
    QFile f(path);
    bool ok = f.open(QIODevice::ReadWrite) && f.seek(kVivSerialOffset) &&
              f.write(reinterpret_cast<const char*>(&serial), 1) == 1;
    if (ok && carId.size() == 4) {
        const QByteArray id = AnsiText::encode(carId);
        ok = f.seek(kCarIdOffset) && f.write(id) == id.size();
    }
    if (ok)
        ok = f.flush();
    if (!ok)
        *why = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
    return ok;
}

// Every line is written back with CR LF; the line after each line ending in "(0)" becomes the
// serial, and a "(0)" line that ends the file gets the serial as a new last line.
QByteArray rewriteCarp(const QByteArray& text, quint8 serial) {
    const QStringList lines = AnsiText::splitLines(text);
    const QByteArray number = QByteArray::number(serial) + "\r\n";
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += AnsiText::encode(lines[i]) + "\r\n";
        if (lines[i].endsWith(QLatin1String("(0)"))) {
            ++i; // the old serial line, dropped (when there is one)
            out += number;
        }
    }
    return out;
}

bool writeSerialInCarp(const QString& path, quint8 serial, QString* why) {
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly)) {
        *why = QStringLiteral("cannot read %1: %2").arg(path, f.errorString());
        return false;
    }
    const QByteArray rewritten = rewriteCarp(f.readAll(), serial);
    f.close();
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        f.write(rewritten) != rewritten.size() || !f.flush()) {
        *why = QStringLiteral("cannot write %1: %2").arg(path, f.errorString());
        return false;
    }
    return true;
}

bool rewriteArchive(const QString& archive, const QString& scratch, quint8 serial,
                    const QString& carId, QString* why) {
    const qint16 unpacked = ReadViv(archive, scratch, 0, why);
    if (unpacked != 1) {
        if (why->isEmpty())
            *why = QFileInfo(archive).fileName() + QStringLiteral(" is not a valid car archive");
        return false;
    }
    const QStringList fedata = GameFs::list(scratch, QStringLiteral("fedata.*"));
    for (const QString& name : fedata)
        if (!writeSerialInFedata(scratch + name, serial, carId, why))
            return false;
    const QStringList carp = GameFs::list(scratch, QStringLiteral("carp*.txt"));
    for (const QString& name : carp)
        if (!writeSerialInCarp(scratch + name, serial, why))
            return false;
    return WriteViv(archive, scratch, why);
}

} // namespace

QString InvalidSerialText(const QString& carId) {
    return QStringLiteral("There is a problem with the car [") + carId +
           QStringLiteral("]. It has an invalid serial number. Please fix it!");
}

QStringList InstalledCarIds(const Session& session) {
    QStringList ids;
    if (session.GamePath.isEmpty())
        return ids;
    const QString cars = GameFs::resolve(session.GamePath, QStringLiteral("Data/Cars/"));
    const QStringList names =
        GameFs::list(cars, QStringLiteral("*.*"), GameFs::Kind::FilesAndFolders);
    for (const QString& name : names)
        if (name.size() == 4)
            ids.append(name);
    return ids;
}

QString CarArchivePath(const Session& session, const QString& carId) {
    return GameFs::resolve(session.GamePath,
                           QStringLiteral("Data/Cars/") + carId + QStringLiteral("/CAR.VIV"));
}

void ScanCarSerials(Session& session, MessageBoxService& prompts) {
    session.resetInstalled();
    const QStringList ids = InstalledCarIds(session);
    for (const QString& id : ids) {
        session.InstalledCarFolders.append(id);
        session.InstalledSerials.append(0);
        QString failure;
        const qint16 serial = ReadViv(CarArchivePath(session, id), QString(), 1, &failure);
        if (!failure.isEmpty())
            continue; // unreadable: serial 0, and on with the next car
        if (serial < 0) {
            prompts.show(InvalidSerialText(id), kInvalidSerialTitle, 0);
            continue;
        }
        session.InstalledSerials.last() = serial;
    }
}

qint16 CountInstalledCars(const Session& session) {
    return qint16(std::min<qsizetype>(InstalledCarIds(session).size(), 32767));
}

bool SetCarSerial(const Session& session, const QString& archivePath, quint8 serial,
                  const QString& carId, QString* error) {
    QString why;
    bool ok = false;
    const QString work = session.workDir();
    const QString scratch =
        work.isEmpty() ? QString() : GameFs::withSlash(work) + QStringLiteral("VIVTMP/");
    if (scratch.isEmpty())
        why = QStringLiteral("no work folder");
    else if (!QDir().mkpath(scratch) || !QFileInfo(scratch).isDir() || !emptyFolder(scratch))
        why = QStringLiteral("cannot prepare the folder %1").arg(scratch);
    else
        ok = rewriteArchive(existingSpelling(archivePath), scratch, serial, carId, &why);
    if (!scratch.isEmpty() && QFileInfo(scratch).isDir())
        emptyFolder(scratch);
    if (error)
        *error = ok ? QString() : why;
    return ok;
}
