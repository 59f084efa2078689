#include "platform/SettingsStore.h"

#include "platform/AnsiText.h"
#include "platform/RegFile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QSaveFile>

namespace {

// How long a write waits for another running copy to finish its own write.
constexpr int kLockWaitMs = 10000;

// Reads the whole file; a missing file is an empty store. False when it exists but cannot be read.
bool readFile(const QString& path, QByteArray& bytes) {
    bytes.clear();
    QFile f(path);
    if (!f.exists())
        return true;
    if (!f.open(QIODevice::ReadOnly))
        return false;
    bytes = f.readAll();
    return f.error() == QFileDevice::NoError;
}

QString keyPath(RegistryRoot root, const QString& key) {
    return SettingsStore::rootName(root) + u'\\' + key;
}

// Copies a file that could not be parsed to "<name>.bad" (or "<name>.bad.1", ... when that is
// taken) so that nothing of it is lost when the store is written again.
bool keepAside(const QString& path, const QByteArray& bytes) {
    QString target = path + QStringLiteral(".bad");
    for (int n = 1; QFileInfo::exists(target); ++n) {
        if (n > 99)
            return false;
        target = path + QStringLiteral(".bad.") + QString::number(n);
    }
    QSaveFile f(target);
    if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
        return false;
    return f.commit();
}

} // namespace

SettingsStore::SettingsStore(QString filePath) : m_path(std::move(filePath)) {}

QString SettingsStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/kavro/registry.reg");
}

QString SettingsStore::rootName(RegistryRoot root) {
    switch (root) {
    case RegistryRoot::CurrentUser:
        return QStringLiteral("HKEY_CURRENT_USER");
    case RegistryRoot::LocalMachine:
        return QStringLiteral("HKEY_LOCAL_MACHINE");
    case RegistryRoot::ClassesRoot:
        return QStringLiteral("HKEY_CLASSES_ROOT");
    }
    return {};
}

std::optional<SettingsStore::Value> SettingsStore::readValue(RegistryRoot root, const QString& key,
                                                             const QString& name) const {
    QByteArray bytes;
    if (!readFile(m_path, bytes))
        return std::nullopt;
    const RegFile file = RegFile::parse(bytes);
    const RegFile::Value* v = file.find(keyPath(root, key), name);
    if (!v)
        return std::nullopt;
    return Value{v->type, v->data};
}

QString SettingsStore::ReadSetting(RegistryRoot root, const QString& key,
                                   const QString& name) const {
    const std::optional<Value> v = readValue(root, key, name);
    if (!v || v->data.size() > kReadLimit)
        return {};
    QByteArray data = v->data;
    switch (v->type) {
    case int(Type::String):
    case int(Type::ExpandString): {
        const qsizetype z = data.indexOf('\0');
        if (z >= 0)
            data.truncate(z);
        return QString::fromUtf8(data);
    }
    case int(Type::Binary): {
        const qsizetype z = data.indexOf('\0');
        if (z >= 0)
            data.truncate(z);
        return AnsiText::decode(data);
    }
    case int(Type::Dword): {
        if (data.size() != 4)
            return {};
        quint32 n = 0;
        for (int b = 3; b >= 0; --b)
            n = (n << 8) | quint8(data[b]);
        return QString::number(n);
    }
    default:
        return {};
    }
}

template <typename Change> bool SettingsStore::update(Change change) {
    const QFileInfo info(m_path);
    if (!QDir().mkpath(info.absolutePath()))
        return false;
    QLockFile lock(m_path + QStringLiteral(".lock"));
    if (!lock.tryLock(kLockWaitMs))
        return false;

    QByteArray bytes;
    if (!readFile(m_path, bytes))
        return false;
    RegFile file = RegFile::parse(bytes);
    if (!change(file))
        return false;
    if (file.damaged() && !keepAside(m_path, bytes))
        return false;

    QSaveFile out(m_path);
    const QByteArray text = file.serialize();
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(text) != text.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

bool SettingsStore::WriteSetting(RegistryRoot root, const QString& key, const QString& name,
                                 const QString& text) {
    const QString stored = text.isEmpty() ? QStringLiteral(" ") : text;
    return writeValue(root, key, name, Type::String, stored.toUtf8());
}

bool SettingsStore::writeValue(RegistryRoot root, const QString& key, const QString& name,
                               Type type, const QByteArray& data) {
    return update([&](RegFile& file) {
        file.set(keyPath(root, key), name, int(type), data);
        return true;
    });
}

bool SettingsStore::writeDword(RegistryRoot root, const QString& key, const QString& name,
                               quint32 value) {
    QByteArray d(4, '\0');
    for (int b = 0; b < 4; ++b)
        d[b] = char((value >> (8 * b)) & 0xFF);
    return writeValue(root, key, name, Type::Dword, d);
}

bool SettingsStore::deleteValue(RegistryRoot root, const QString& key, const QString& name) {
    return update([&](RegFile& file) { return file.remove(keyPath(root, key), name); });
}
