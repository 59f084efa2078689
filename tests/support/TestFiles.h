#pragma once

#include <QByteArray>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

#include <unistd.h>

// Small file helpers the tests share.
namespace TestFiles {

// The file's bytes; empty when it is missing or unreadable.
inline QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Every path below root (files and folders, hidden ones too), relative, sorted.
inline QStringList filesBelow(const QString& root) {
    QStringList out;
    QDirIterator it(root, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out.append(QDir(root).relativeFilePath(it.next()));
    out.sort();
    return out;
}

// While it lives, the file at path cannot be deleted: for root by the immutable attribute
// (chattr), for others by a folder without write permission. ok() is false where neither works.
class Undeletable {
public:
    explicit Undeletable(const QString& path) : m_path(path) {
        m_ok = ::geteuid() == 0 ? chattr(QStringLiteral("+i"))
                                : QFile::setPermissions(folder(), QFile::ReadOwner |
                                                                      QFile::ExeOwner);
    }
    ~Undeletable() { lift(); }
    Undeletable(const Undeletable&) = delete;
    Undeletable& operator=(const Undeletable&) = delete;
    bool ok() const { return m_ok; }
    void lift() {
        if (!m_ok)
            return;
        m_ok = false;
        if (::geteuid() == 0)
            chattr(QStringLiteral("-i"));
        else
            QFile::setPermissions(folder(),
                                  QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }

private:
    QString folder() const { return QFileInfo(m_path).path(); }
    bool chattr(const QString& flag) const {
        return QProcess::execute(QStringLiteral("chattr"), {flag, m_path}) == 0;
    }
    QString m_path;
    bool m_ok = false;
};

} // namespace TestFiles
