#include "core/gamedata/CarSerials.h"

#include "core/gamedata/Viv.h"
#include "core/session/Session.h"
#include "platform/AnsiText.h"
#include "platform/GameFs.h"
#include "platform/MessageBoxService.h"

#include <QFileInfo>

namespace {

constexpr qint64 kCarIdOffset = 274;

// The archive at path, or the entry of its folder whose name matches without regard to case.
QString existingSpelling(const QString& path) {
    if (QFileInfo::exists(path))
        return path;
    const QFileInfo info(path);
    const QString found = GameFs::findEntry(info.absolutePath(), info.fileName());
    return found.isEmpty() ? path : GameFs::withSlash(info.absolutePath()) + found;
}

// The serial at 798 and, when it has four characters, the car id at 274, as writing them into the
// file would: a shorter entry grows, with zero bytes up to the place written.
void writeSerialInFedata(QByteArray& data, quint8 serial, const QString& carId) {
    if (data.size() <= kVivSerialOffset)
        data.resize(kVivSerialOffset + 1, '\0');
    data[kVivSerialOffset] = char(serial);
    if (carId.size() == 4)
        data.replace(kCarIdOffset, 4, AnsiText::encode(carId));
}

// The car id at 274 alone (a shorter entry grows to hold it).
void writeCarIdInFedata(QByteArray& data, const QString& carId) {
    if (carId.size() != 4)
        return;
    if (data.size() < kCarIdOffset + 4)
        data.resize(kCarIdOffset + 4, '\0');
    data.replace(kCarIdOffset, 4, AnsiText::encode(carId));
}

// Every line is written back with CR LF (with LF when the text's lines all end in a lone LF);
// the line after each line ending in "(0)" becomes the serial, and a "(0)" line that ends the
// file gets the serial as a new last line.
QByteArray rewriteCarp(const QByteArray& text, quint8 serial) {
    const bool lfOnly = !text.contains('\r') && text.contains('\n');
    const QStringList lines = AnsiText::splitLines(text);
    const QByteArray eol = lfOnly ? "\n" : "\r\n";
    const QByteArray number = QByteArray::number(serial) + eol;
    QByteArray out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < lines.size(); ++i) {
        out += AnsiText::encode(lines[i]) + eol;
        if (lines[i].endsWith(QLatin1String("(0)"))) {
            ++i; // the old serial line, dropped (when there is one)
            out += number;
        }
    }
    return out;
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

QStringList ScanCarSerials(Session& session) {
    session.resetInstalled();
    QStringList notices;
    const QStringList ids = InstalledCarIds(session);
    for (const QString& id : ids) {
        session.InstalledCarFolders.append(id);
        session.InstalledSerials.append(0);
        QString failure;
        const qint16 serial = ReadViv(CarArchivePath(session, id), QString(), 1, &failure);
        if (!failure.isEmpty())
            continue; // unreadable: serial 0, and on with the next car
        if (serial < 0) {
            notices.append(InvalidSerialText(id));
            continue;
        }
        session.InstalledSerials.last() = serial;
    }
    return notices;
}

void ScanCarSerials(Session& session, MessageBoxService& prompts) {
    for (const QString& notice : ScanCarSerials(session))
        prompts.show(notice, kInvalidSerialTitle, 0);
}

qint16 CountInstalledCars(const Session& session) {
    return qint16(std::min<qsizetype>(InstalledCarIds(session).size(), 32767));
}

bool SetCarSerial(const Session&, const QString& archivePath, quint8 serial, const QString& carId,
                  QString* error) {
    const QString fedata = QStringLiteral("fedata.*");
    const QString carp = QStringLiteral("carp*.txt");
    QString why;
    const bool ok = RewriteViv(
        existingSpelling(archivePath),
        [&](const QString& name) {
            return GameFs::wildcardMatch(name, fedata) || GameFs::wildcardMatch(name, carp);
        },
        [&](const QString& name, QByteArray& data, QString*) {
            if (GameFs::wildcardMatch(name, fedata))
                writeSerialInFedata(data, serial, carId);
            else
                data = rewriteCarp(data, serial);
            return true;
        },
        &why);
    if (error)
        *error = ok ? QString() : why;
    return ok;
}

bool SetCarId(const Session&, const QString& archivePath, const QString& carId, QString* error) {
    const QString fedata = QStringLiteral("fedata.*");
    QString why;
    const bool ok = RewriteViv(
        existingSpelling(archivePath),
        [&](const QString& name) { return GameFs::wildcardMatch(name, fedata); },
        [&](const QString&, QByteArray& data, QString*) {
            writeCarIdInFedata(data, carId);
            return true;
        },
        &why);
    if (error)
        *error = ok ? QString() : why;
    return ok;
}
