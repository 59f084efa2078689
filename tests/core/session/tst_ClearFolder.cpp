#include "core/session/ClearFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>
#include <unistd.h>

namespace {

void touch(const QString& path) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("x");
}

// Makes a file impossible to delete: a read-only folder for a normal user, the immutable
// attribute for root. False when neither works here.
bool pin(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (::geteuid() != 0)
        return QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
    return QProcess::execute("chattr", {"+i", file}) == 0;
}

void unpin(const QString& file) {
    const QString folder = QFileInfo(file).absolutePath();
    if (::geteuid() != 0)
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    else
        QProcess::execute("chattr", {"-i", file});
}

} // namespace

class tst_ClearFolder : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void emptiesEverything_data() {
        QTest::addColumn<bool>("remove");
        QTest::addColumn<bool>("trailingSlash");
        QTest::newRow("remove") << true << true;
        QTest::newRow("remove, no slash") << true << false;
        QTest::newRow("keep empty") << false << true;
    }
    void emptiesEverything() {
        QFETCH(bool, remove);
        QFETCH(bool, trailingSlash);
        QTemporaryDir dir;
        const QString w = dir.path() + "/Kavro";
        touch(w + "/DOWNLOAD.LOG");
        touch(w + "/.hidden");
        touch(w + "/CAR1/sub/deeper/CAR.VIV");
        touch(w + "/CAR1/.DS_Store");
        QDir().mkpath(w + "/VIVTMP");
        QDir().mkpath(w + "/empty/also empty");
        ClearFolder(trailingSlash ? w + "/" : w, remove);
        QCOMPARE(QFileInfo::exists(w), !remove);
        if (!remove)
            QVERIFY(QDir(w).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
    }

    void linksAreRemovedNotFollowed() {
        QTemporaryDir dir;
        const QString outside = dir.path() + "/outside";
        touch(outside + "/keep.txt");
        const QString w = dir.path() + "/Kavro";
        QDir().mkpath(w);
        QVERIFY(QFile::link(outside, w + "/folderlink"));
        QVERIFY(QFile::link(outside + "/keep.txt", w + "/filelink"));
        ClearFolder(w, true);
        QVERIFY(!QFileInfo::exists(w));
        QVERIFY(QFileInfo::exists(outside + "/keep.txt"));
    }

    void missingFolderIsNothing() {
        QTemporaryDir dir;
        ClearFolder(dir.path() + "/nothing/here", false);
        QVERIFY(!QFileInfo::exists(dir.path() + "/nothing"));
    }

    void folderThatCannotBeEmptiedIsPassedOver() {
        QTemporaryDir dir;
        const QString w = dir.path() + "/Kavro";
        const QString pinned = w + "/B_stuck/CAR.VIV";
        touch(w + "/A_first/x");
        touch(pinned);
        touch(w + "/C_after/y");
        if (!pin(pinned))
            QSKIP("cannot make a file undeletable here");
        ClearFolder(w, true); // must come back, not walk the stuck folder forever
        unpin(pinned);
        QVERIFY(!QFileInfo::exists(w + "/A_first"));
        QVERIFY(!QFileInfo::exists(w + "/C_after"));
        QVERIFY(QFileInfo::exists(pinned));
    }

    void fileThatCannotBeDeletedStopsTheWork() {
        QTemporaryDir dir;
        const QString w = dir.path() + "/Kavro";
        const QString pinned = w + "/A.TXT";
        touch(pinned);
        touch(w + "/sub/z");
        if (!pin(pinned))
            QSKIP("cannot make a file undeletable here");
        ClearFolder(w, true);
        unpin(pinned);
        QVERIFY(QFileInfo::exists(pinned));
        QVERIFY(QFileInfo::exists(w + "/sub/z")); // nothing after the failure ran
    }
};

QTEST_GUILESS_MAIN(tst_ClearFolder)
#include "tst_ClearFolder.moc"
