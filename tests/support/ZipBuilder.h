#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Builds ZIP fixtures with libzip from (name, bytes) entries, so a test shows what its ZIP holds.
// Names are written byte for byte as given, also unsafe ones ("../../evil.txt", "/tmp/evil.txt",
// "C:\evil.txt"): the extractor's refusals are tested with real ZIPs.
//
//   ZipBuilder zip;
//   zip.add("CAR.VIV", viv).add("ABCD.QFS", picture).addFolder("extras/");
//   QVERIFY(zip.write(path));
class ZipBuilder {
public:
    // A file entry; name is taken as raw bytes (QString names are written as UTF-8).
    ZipBuilder& add(const QByteArray& name, const QByteArray& bytes);
    ZipBuilder& add(const QString& name, const QByteArray& bytes) {
        return add(name.toUtf8(), bytes);
    }
    ZipBuilder& add(const char* name, const QByteArray& bytes) {
        return add(QByteArray(name), bytes);
    }
    // A folder entry (its name should end in "/").
    ZipBuilder& addFolder(const QByteArray& name);
    // Entries added after this are stored without compression (their bytes appear verbatim in
    // the file, so a test can find and damage them).
    ZipBuilder& setStored(bool stored) {
        m_stored = stored;
        return *this;
    }

    // Writes the ZIP to path (replacing it). False, with a reason in error, when libzip fails.
    bool write(const QString& path, QString* error = nullptr) const;

    // The entry names of a ZIP as stored (raw bytes, Latin-1 decoded); empty when unreadable.
    static QStringList names(const QString& zipPath);

private:
    struct Entry {
        QByteArray name;
        QByteArray bytes;
        bool folder = false;
        bool stored = false;
    };
    QList<Entry> m_entries;
    bool m_stored = false;
};
