#include "core/session/ClearFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

namespace {

constexpr QDir::Filters kEverything =
    QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot;

bool isRealFolder(const QFileInfo& info) {
    return info.isDir() && !info.isSymLink();
}

} // namespace

void ClearFolder(const QString& folder, bool remove) {
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    QDir dir(path);
    if (!QFileInfo(path).isDir() || QFileInfo(path).isSymLink())
        return;

    // Files first (everything that is not a folder, links to folders included).
    const QFileInfoList files = dir.entryInfoList(kEverything, QDir::Name);
    for (const QFileInfo& f : files) {
        if (isRealFolder(f))
            continue;
        if (!QFile::remove(f.filePath()))
            return;
    }

    // Then the sub-folders, each emptied and removed. One that stays (something in it could not
    // be deleted) is passed over instead of being found again and again.
    QSet<QString> passedOver;
    for (;;) {
        QString next;
        const QFileInfoList entries = dir.entryInfoList(kEverything, QDir::Name);
        for (const QFileInfo& e : entries) {
            if (isRealFolder(e) && !passedOver.contains(e.fileName())) {
                next = e.fileName();
                break;
            }
        }
        if (next.isEmpty())
            break;
        ClearFolder(path + u'/' + next, true);
        if (QFileInfo::exists(path + u'/' + next))
            passedOver.insert(next);
    }

    if (!dir.rmdir(path))
        return;
    if (!remove)
        QDir().mkdir(path);
}
