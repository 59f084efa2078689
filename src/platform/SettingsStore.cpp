// PLACEHOLDER (in memory only): the REGEDIT4 file store replaces this. Values live only as long
// as the process; nothing is written to disk.
#include "platform/SettingsStore.h"

#include <QHash>
#include <QProcessEnvironment>
#include <QDir>

namespace {
QHash<QString, QPair<SettingsStore::Type, QByteArray>>& memory() {
    static QHash<QString, QPair<SettingsStore::Type, QByteArray>> m;
    return m;
}
QString slot(const QString& path, RegistryRoot root, const QString& key, const QString& name) {
    return (path + u'|' + QString::number(int(root)) + u'|' + key + u'|' + name).toLower();
}
} // namespace

SettingsStore::SettingsStore(QString filePath) : m_path(std::move(filePath)) {}

QString SettingsStore::defaultPath() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/kavro/registry.reg");
}

QString SettingsStore::ReadSetting(RegistryRoot root, const QString& key,
                                   const QString& name) const {
    const auto it = memory().constFind(slot(m_path, root, key, name));
    if (it == memory().constEnd())
        return {};
    if (it->first == Type::Dword && it->second.size() == 4) {
        quint32 v;
        memcpy(&v, it->second.constData(), 4);
        return QString::number(v);
    }
    QByteArray data = it->second.left(1024);
    const qsizetype z = data.indexOf('\0');
    if (z >= 0)
        data.truncate(z);
    return QString::fromLatin1(data);
}

bool SettingsStore::WriteSetting(RegistryRoot root, const QString& key, const QString& name,
                                 const QString& text) {
    return writeValue(root, key, name, Type::String,
                      (text.isEmpty() ? QStringLiteral(" ") : text).toLatin1());
}

bool SettingsStore::writeValue(RegistryRoot root, const QString& key, const QString& name,
                               Type type, const QByteArray& data) {
    memory().insert(slot(m_path, root, key, name), {type, data});
    return true;
}

bool SettingsStore::writeDword(RegistryRoot root, const QString& key, const QString& name,
                               quint32 value) {
    QByteArray d(4, '\0');
    memcpy(d.data(), &value, 4);
    return writeValue(root, key, name, Type::Dword, d);
}

bool SettingsStore::deleteValue(RegistryRoot root, const QString& key, const QString& name) {
    return memory().remove(slot(m_path, root, key, name)) > 0;
}
