#include "core/gamedata/CarSets.h"

#include "core/gamedata/Garage.h"
#include "core/gamedata/GarageJournal.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSaveFile>

namespace {

constexpr qsizetype kMaxNameLength = 64;
constexpr qint64 kMaxFileBytes = 4 << 20;

} // namespace

CarSets::CarSets(QString gamePath) : m_game(std::move(gamePath)) {}

QString CarSets::filePath(const QString& gamePath) {
    return Garage::root(gamePath) + QStringLiteral("SETS.json");
}

QString CarSets::nameRefusal(const QString& name) {
    if (name.trimmed().isEmpty())
        return QStringLiteral("a set needs a name");
    if (name.size() > kMaxNameLength)
        return QStringLiteral("a set's name has at most %1 characters").arg(kMaxNameLength);
    for (const QChar c : name)
        if (c.unicode() < 0x20 || c.unicode() == 0x7f)
            return QStringLiteral("a set's name cannot hold control characters");
    return {};
}

QList<CarSets::Set> CarSets::list() const {
    QList<Set> sets;
    QFile file(filePath(m_game));
    if (!file.open(QIODevice::ReadOnly) || file.size() > kMaxFileBytes)
        return sets;
    const QJsonArray array = QJsonDocument::fromJson(file.read(kMaxFileBytes))
                                 .object()
                                 .value(QStringLiteral("sets"))
                                 .toArray();
    for (const QJsonValue& value : array) {
        const QJsonObject obj = value.toObject();
        Set set{obj.value(QStringLiteral("name")).toString(), {}};
        if (!nameRefusal(set.name).isEmpty())
            continue;
        bool sound = obj.value(QStringLiteral("cars")).isArray();
        for (const QJsonValue& car : obj.value(QStringLiteral("cars")).toArray()) {
            sound = sound && GarageJournal::isCarId(car.toString());
            set.cars.append(car.toString());
        }
        bool seen = false;
        for (const Set& other : std::as_const(sets))
            seen = seen || other.name.compare(set.name, Qt::CaseInsensitive) == 0;
        if (sound && !seen)
            sets.append(set);
    }
    std::sort(sets.begin(), sets.end(),
              [](const Set& a, const Set& b) { return GameFs::nameLess(a.name, b.name); });
    return sets;
}

QStringList CarSets::names() const {
    QStringList out;
    for (const Set& set : list())
        out.append(set.name);
    return out;
}

bool CarSets::find(const QString& name, Set& set) const {
    for (const Set& s : list())
        if (s.name.compare(name, Qt::CaseInsensitive) == 0) {
            set = s;
            return true;
        }
    return false;
}

bool CarSets::save(const QString& name, const QStringList& cars, QString* error) {
    if (const QString why = nameRefusal(name); !why.isEmpty()) {
        if (error)
            *error = why;
        return false;
    }
    QList<Set> sets = list();
    sets.removeIf([&](const Set& s) { return s.name.compare(name, Qt::CaseInsensitive) == 0; });
    sets.append({name, cars});
    return write(sets, error);
}

bool CarSets::remove(const QString& name, QString* error) {
    QList<Set> sets = list();
    if (sets.removeIf([&](const Set& s) { return s.name.compare(name, Qt::CaseInsensitive) == 0; }) ==
        0) {
        if (error)
            *error = QStringLiteral("there is no set \"%1\"").arg(name);
        return false;
    }
    return write(sets, error);
}

bool CarSets::write(const QList<Set>& sets, QString* error) {
    QJsonArray array;
    for (const Set& set : sets)
        array.append(QJsonObject{{QStringLiteral("name"), set.name},
                                 {QStringLiteral("cars"), QJsonArray::fromStringList(set.cars)}});
    const QString path = filePath(m_game);
    QDir().mkpath(Garage::root(m_game));
    QSaveFile file(path);
    const QByteArray bytes = QJsonDocument(QJsonObject{{QStringLiteral("sets"), array}}).toJson();
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit()) {
        if (error)
            *error = QStringLiteral("cannot write \"%1\"").arg(path);
        return false;
    }
    return true;
}
