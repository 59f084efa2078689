#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The content of a REGEDIT4 text file: keys in file order, each with its values in file order.
//
//   REGEDIT4
//
//   [HKEY_CURRENT_USER\Software\Brellum Inc\Kavro]
//   "loadss"="True"            text ("\\" and "\"" escaped)
//   @="default value"          the key's default (unnamed) value
//   "data"=hex:01,00,02        binary
//   "path"=hex(2):25,00        expandable text (any type number: hex(<n>):)
//   "count"=dword:0000002a     32-bit number
//
// Key paths start with their root (HKCU/HKLM/HKCR are read as the long names). Key paths and
// value names compare without regard to case. Parsing never fails: whatever cannot be understood
// is skipped and marks the file as damaged, so a caller can keep the original aside before it
// writes the file again. "[-key]" and "name"=- remove what they name, as in an import.
class RegFile {
public:
    struct Value {
        QString name; // empty: the key's default value
        int type = 1; // 1 text, 2 expandable text, 3 binary, 4 32-bit number, others kept as is
        QByteArray data;
    };
    struct Key {
        QString path; // "HKEY_CURRENT_USER\Software\Brellum Inc\Kavro", spelling as first seen
        QList<Value> values;
    };

    // Parses file bytes: UTF-8 (with or without a byte-order mark), UTF-16 with its mark, or
    // Windows-1252 when the bytes are not valid UTF-8.
    static RegFile parse(const QByteArray& bytes);
    // The file text, UTF-8, "REGEDIT4" first, one blank line between keys.
    QByteArray serialize() const;

    // True when some line could not be understood (or the header is missing).
    bool damaged() const { return m_damaged; }

    // Canonical key path: long root name, single "\" separators, no leading/trailing "\".
    static QString normalizeKey(const QString& path);

    const Value* find(const QString& keyPath, const QString& name) const;
    // Sets (creates key and value when missing; an existing value keeps its name's spelling).
    void set(const QString& keyPath, const QString& name, int type, const QByteArray& data);
    // True when the value existed.
    bool remove(const QString& keyPath, const QString& name);
    void removeKeyTree(const QString& keyPath);

    const QList<Key>& keys() const { return m_keys; }

private:
    Key* findKey(const QString& normalized);
    const Key* findKey(const QString& normalized) const;

    QList<Key> m_keys;
    bool m_damaged = false;
};
