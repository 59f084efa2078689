#include "VivBuilder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QtEndian>

namespace VivBuilder {

namespace {

void putLong(QByteArray& out, quint32 v) {
    char b[4];
    qToBigEndian(v, b);
    out.append(b, 4);
}

quint32 longAt(const QByteArray& bytes, qint64 pos) {
    return qFromBigEndian<quint32>(bytes.constData() + pos);
}

} // namespace

QByteArray build(const QList<Entry>& entries) {
    quint32 dataStart = 16;
    for (const Entry& e : entries)
        dataStart += 9 + quint32(e.name.size());
    quint32 total = dataStart;
    for (const Entry& e : entries)
        total += quint32(e.data.size());

    QByteArray out;
    out.reserve(total);
    out.append("BIGF", 4);
    putLong(out, total);
    putLong(out, quint32(entries.size()));
    putLong(out, dataStart);
    quint32 offset = dataStart;
    for (const Entry& e : entries) {
        putLong(out, offset);
        putLong(out, quint32(e.data.size()));
        out.append(e.name);
        out.append('\0');
        offset += quint32(e.data.size());
    }
    for (const Entry& e : entries)
        out.append(e.data);
    return out;
}

QList<Entry> parse(const QByteArray& archive, bool* ok) {
    QList<Entry> entries;
    if (ok)
        *ok = false;
    if (archive.size() < 16 || !archive.startsWith("BIGF"))
        return entries;
    const quint32 count = longAt(archive, 8);
    qint64 pos = 16;
    for (quint32 i = 0; i < count; ++i) {
        if (pos + 8 > archive.size())
            return {};
        const quint32 offset = longAt(archive, pos);
        const quint32 length = longAt(archive, pos + 4);
        const qint64 zero = archive.indexOf('\0', pos + 8);
        if (zero < 0 || qint64(offset) + length > archive.size())
            return {};
        entries.append({archive.mid(pos + 8, zero - pos - 8), archive.mid(offset, length)});
        pos = zero + 1;
    }
    if (ok)
        *ok = true;
    return entries;
}

QByteArray fedata(quint8 serial, const QByteArray& carId, int size) {
    QByteArray d(qMax(size, 802), '\0');
    for (int i = 0; i < d.size(); ++i)
        d[i] = char('a' + i % 26);
    for (int i = 0; i < 4 && i < carId.size(); ++i)
        d[274 + i] = carId[i];
    d[798] = char(serial);
    return d;
}

QByteArray carp(int serial) {
    return "Serial Number(0)\r\n" + QByteArray::number(serial) +
           "\r\nCar Classification(1)\r\n2\r\nMass [kg](2)\r\n1500.0\r\n";
}

QList<Entry> carEntries(quint8 serial, const QByteArray& carId, qint64 totalSize) {
    QList<Entry> entries{{"car.fce", QByteArray(4000, 'F')},
                         {"carp.txt", carp(serial)},
                         {"fedata.eng", fedata(serial, carId)},
                         {"fedata.fre", fedata(serial, carId)},
                         {"fedata.ger", fedata(serial, carId)}};
    const qint64 size = build(entries).size();
    if (totalSize > size) {
        QByteArray& fce = entries[0].data;
        const qint64 want = fce.size() + totalSize - size;
        fce.resize(want);
        for (qint64 i = 0; i < want; ++i)
            fce[i] = char(i * 31 % 251);
    }
    return entries;
}

QByteArray carArchive(quint8 serial, const QByteArray& carId, qint64 totalSize) {
    return build(carEntries(serial, carId, totalSize));
}

QString installCar(const QString& gamePath, const QString& carId, const QByteArray& bytes) {
    const QString folder = gamePath + QStringLiteral("Data/Cars/") + carId;
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("/CAR.VIV");
    QFile f(path);
    if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
        f.write(bytes);
    return path;
}

QList<int> serialsIn(const QByteArray& archive) {
    QList<int> serials;
    const QList<Entry> entries = parse(archive);
    for (const Entry& e : entries) {
        const QByteArray lower = e.name.toLower();
        if (lower.startsWith("fedata.") && e.data.size() > 798)
            serials.append(static_cast<unsigned char>(e.data[798]));
        if (lower.startsWith("carp") && lower.endsWith(".txt")) {
            const QList<QByteArray> lines = e.data.split('\n');
            for (qsizetype i = 0; i + 1 < lines.size(); ++i)
                if (lines[i].trimmed().endsWith("(0)"))
                    serials.append(lines[i + 1].trimmed().toInt());
        }
    }
    return serials;
}

} // namespace VivBuilder
