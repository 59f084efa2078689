#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

// The settings store: the registry of the original program, kept as one REGEDIT4 text file
// ($XDG_CONFIG_HOME/kavro/registry.reg, default ~/.config/kavro/registry.reg) with the three
// roots HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT. Key and value names compare
// without regard to case. The file is read afresh on every call and written atomically under a
// lock, so two running copies lose nothing. A file that cannot be parsed is kept aside as
// "registry.reg.bad" before the first write.
enum class RegistryRoot { CurrentUser, LocalMachine, ClassesRoot };

class SettingsStore {
public:
    enum class Type { String = 1, ExpandString = 2, Binary = 3, Dword = 4 };

    // A value as stored: its type number (1 to 4, or any other number a file gave) and bytes.
    // Text is kept as UTF-8 without a terminating zero.
    struct Value {
        int type = 1;
        QByteArray data;
    };

    // Reads longer than this many bytes of stored data fail, as the original's fixed buffer did.
    static constexpr int kReadLimit = 1024;

    explicit SettingsStore(QString filePath);
    virtual ~SettingsStore() = default;

    // $XDG_CONFIG_HOME/kavro/registry.reg, or ~/.config/kavro/registry.reg.
    static QString defaultPath();
    QString filePath() const { return m_path; }
    // "HKEY_CURRENT_USER", "HKEY_LOCAL_MACHINE", "HKEY_CLASSES_ROOT".
    static QString rootName(RegistryRoot root);

    // The value as text: strings and binary data as stored (cut before the first zero byte),
    // numbers in decimal. Missing key or value, data over 1024 bytes, or another type: "".
    // An empty name means the key's default value.
    virtual QString ReadSetting(RegistryRoot root, const QString& key, const QString& name) const;
    // Stores text as a string value; an empty text is stored as " ". True on success.
    virtual bool WriteSetting(RegistryRoot root, const QString& key, const QString& name,
                              const QString& text);

    // The stored value whatever its type and size; nothing when key or value is missing.
    std::optional<Value> readValue(RegistryRoot root, const QString& key,
                                   const QString& name) const;
    bool hasValue(RegistryRoot root, const QString& key, const QString& name) const {
        return readValue(root, key, name).has_value();
    }

    // Typed writes for values that other programs put there (tests, the demo, installers).
    bool writeValue(RegistryRoot root, const QString& key, const QString& name, Type type,
                    const QByteArray& data);
    bool writeDword(RegistryRoot root, const QString& key, const QString& name, quint32 value);
    // True when the value existed and the file was written without it.
    bool deleteValue(RegistryRoot root, const QString& key, const QString& name);

private:
    // Re-reads the file under the lock, lets change() edit it, and saves it atomically when
    // change() returns true. A damaged file is copied aside first. False on any failure.
    template <typename Change> bool update(Change change);

    QString m_path;
};
