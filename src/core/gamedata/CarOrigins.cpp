#include "core/gamedata/CarOrigins.h"

#include "core/gamedata/Garage.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QSaveFile>

namespace {

// Bigger than any list of origins of a few thousand cars; a file past it is not read.
constexpr qint64 kMaxFileBytes = 8 << 20;

bool isCarId(const QString& id) {
    static const QRegularExpression shape(QStringLiteral("^[^/\\\\.:\\x00-\\x1f]{4}$"));
    return shape.match(id).hasMatch();
}

bool isHash(const QString& hex) {
    static const QRegularExpression shape(QStringLiteral("^[0-9a-f]{64}$"));
    return hex.isEmpty() || shape.match(hex).hasMatch();
}

bool isPlainText(const QString& text) {
    if (text.size() > 2048)
        return false;
    for (const QChar c : text)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return false;
    return true;
}

QJsonObject toJson(const CarOrigin& o) {
    QJsonObject obj{{QStringLiteral("carId"), o.carId},
                    {QStringLiteral("zipName"), o.zipName},
                    {QStringLiteral("zipSha256"), o.zipSha256},
                    {QStringLiteral("identity"), o.identity}};
    if (!o.catalogue.isEmpty() || !o.entry.isEmpty()) {
        obj.insert(QStringLiteral("catalogue"), o.catalogue);
        obj.insert(QStringLiteral("entry"), o.entry);
    }
    return obj;
}

bool fromJson(const QJsonValue& value, CarOrigin& o) {
    if (!value.isObject())
        return false;
    const QJsonObject obj = value.toObject();
    o.carId = obj.value(QStringLiteral("carId")).toString();
    o.zipName = obj.value(QStringLiteral("zipName")).toString();
    o.zipSha256 = obj.value(QStringLiteral("zipSha256")).toString();
    o.identity = obj.value(QStringLiteral("identity")).toString();
    o.catalogue = obj.value(QStringLiteral("catalogue")).toString();
    o.entry = obj.value(QStringLiteral("entry")).toString();
    return isCarId(o.carId) && isHash(o.zipSha256) && isHash(o.identity) &&
           isPlainText(o.zipName) && !o.zipName.contains(u'/') && isPlainText(o.catalogue) &&
           isPlainText(o.entry);
}

bool writeAll(const QString& gamePath, const QList<CarOrigin>& origins, QString* error) {
    const QString path = CarOrigins::filePath(gamePath);
    if (origins.isEmpty()) {
        // Nothing to remember: no file, and no garage folder when nothing else is in it.
        if (QFile::exists(path) && !QFile::remove(path)) {
            if (error)
                *error = QStringLiteral("cannot remove \"%1\"").arg(path);
            return false;
        }
        QDir().rmdir(Garage::root(gamePath));
        return true;
    }
    QJsonArray cars;
    for (const CarOrigin& o : origins)
        cars.append(toJson(o));
    QDir().mkpath(Garage::root(gamePath));
    QSaveFile file(path);
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("cars"), cars}}).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write \"%1\"").arg(path);
        return false;
    }
    return true;
}

} // namespace

namespace CarOrigins {

QString filePath(const QString& gamePath) {
    return Garage::root(gamePath) + QStringLiteral("ORIGINS.json");
}

QList<CarOrigin> load(const QString& gamePath) {
    QList<CarOrigin> origins;
    QFile file(filePath(gamePath));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return origins;
    const QJsonValue cars =
        QJsonDocument::fromJson(file.read(kMaxFileBytes)).object().value(QStringLiteral("cars"));
    for (const QJsonValue& value : cars.toArray()) {
        CarOrigin o;
        if (fromJson(value, o))
            origins.append(o);
    }
    return origins;
}

CarOrigin find(const QString& gamePath, const QString& carId) {
    for (const CarOrigin& o : load(gamePath))
        if (o.carId.compare(carId, Qt::CaseInsensitive) == 0)
            return o;
    return {};
}

bool record(const QString& gamePath, const CarOrigin& origin, QString* error) {
    QList<CarOrigin> origins = load(gamePath);
    origins.removeIf([&](const CarOrigin& o) {
        return o.carId.compare(origin.carId, Qt::CaseInsensitive) == 0;
    });
    origins.append(origin);
    return writeAll(gamePath, origins, error);
}

bool forget(const QString& gamePath, const QString& carId, QString* error) {
    QList<CarOrigin> origins = load(gamePath);
    if (origins.removeIf([&](const CarOrigin& o) {
            return o.carId.compare(carId, Qt::CaseInsensitive) == 0;
        }) == 0)
        return true;
    return writeAll(gamePath, origins, error);
}

} // namespace CarOrigins
