// The game's lock: where it lives, who may take it, and what a refusal says of the holder.
#include "TestEnv.h"
#include "TestFiles.h"
#include "core/gamedata/GameLock.h"

#include <QProcess>
#include <QStandardPaths>
#include <QSysInfo>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {

// Another process that holds the lock file (flock(1) of util-linux) until it is killed.
struct OtherHolder {
    QProcess process;
    bool start(const QString& lockFile) {
        const QString flock = QStandardPaths::findExecutable("flock");
        if (flock.isEmpty())
            return false;
        process.start(flock, {lockFile, "sleep", "30"});
        if (!process.waitForStarted())
            return false;
        // Held once a lock of this process can no longer be had.
        QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired()) {
            GameLock probe(QFileInfo(lockFile).path() + "/..");
            if (!probe.lock())
                return true;
            probe.unlock();
            QThread::msleep(20);
        }
        return false;
    }
    ~OtherHolder() {
        process.kill();
        process.waitForFinished();
    }
};

} // namespace

class tst_GameLock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // A refusal names the holder only from a whole description of a process that runs.
    void refusalNamesTheHolder_data() {
        QTest::addColumn<QByteArray>("description"); // "<pid>": the holder's own process id
        QTest::addColumn<QString>("app");
        QTest::addColumn<QString>("text");
        QTest::newRow("a kavro-cars command")
            << QByteArray("<pid>\nkavro-cars\n<host>\n") << "kavro-cars"
            << "another kavro-cars command (process <pid>) is changing the game's cars";
        QTest::newRow("a window, for a window")
            << QByteArray("<pid>\nkavro\n<host>\n") << "kavro"
            << "Another copy of Kavro (process <pid>) is changing the game's cars. Please wait "
               "until it has ended and try again.";
        QTest::newRow("a command, on another machine")
            << QByteArray("<pid>\nkavro-cars\nfar-away\n") << "kavro"
            << "A kavro-cars command (process <pid> on far-away) is changing";
        QTest::newRow("nothing written yet")
            << QByteArray() << "kavro-cars"
            << "another Kavro program is changing the game's cars: wait until it has ended and "
               "run this one again";
        QTest::newRow("caught half-written") << QByteArray("<pid>\nkavro-c") << "kavro-cars"
                                             << "another Kavro program";
        QTest::newRow("garbage") << QByteArray("\x01\x02zz\n\n\n") << "kavro"
                                 << "Another Kavro program is changing the game's cars.";
        QTest::newRow("a holder that has ended")
            << QByteArray("<dead>\nkavro-cars\n<host>\n") << "kavro-cars"
            << "another Kavro program";
    }
    void refusalNamesTheHolder() {
        QFETCH(QByteArray, description);
        QFETCH(QString, app);
        QFETCH(QString, text);
        TestEnv env;
        const QString lockFile = GameLock::lockFilePath(env.gamePath());
        OtherHolder other;
        if (!other.start(lockFile))
            QSKIP("flock(1) is missing");
        QProcess ended;
        ended.start("/bin/true");
        QVERIFY(ended.waitForFinished());
        const QByteArray pid = QByteArray::number(other.process.processId());
        description.replace("<pid>", pid)
            .replace("<dead>", QByteArray::number(ended.processId()))
            .replace("<host>", QSysInfo::machineHostName().toUtf8());
        env.writeFile(lockFile, description);
        const QString thisApp = QCoreApplication::applicationName();
        QCoreApplication::setApplicationName(app);
        GameLock lock(env.gamePath());
        QString message;
        const bool taken = lock.lock(&message);
        QCoreApplication::setApplicationName(thisApp);
        QVERIFY(!taken);
        text.replace("<pid>", QString::fromLatin1(pid));
        QVERIFY2(message.contains(text), qPrintable(message));
    }

    // The lock file lives in the game's Data folder, whatever its letter case; every user may
    // take it (0666 whatever the umask); one program takes it as often as it likes, and lets it
    // go with its last holder; a link or a folder in its place is refused, and nothing is
    // created through it.
    void theLockFile() {
        TestEnv env;
        QVERIFY(QFile::rename(env.gamePath() + "Data", env.gamePath() + "data"));
        const QString lockFile = env.gamePath() + "data/.kavro.lock";
        QCOMPARE(GameLock::lockFilePath(env.gamePath()), lockFile);
        const mode_t mask = ::umask(077);
        GameLock first(env.gamePath());
        const bool taken = first.lock();
        ::umask(mask);
        QVERIFY(taken);
        struct stat st = {};
        QCOMPARE(::stat(QFile::encodeName(lockFile).constData(), &st), 0);
        QCOMPARE(st.st_mode & 07777, mode_t(0666));
        QVERIFY(TestFiles::readAll(lockFile).startsWith(
            QByteArray::number(QCoreApplication::applicationPid()) + "\ntst_GameLock\n"));
        {
            GameLock again(env.gamePath());
            QVERIFY(again.lock());
        }
        // Another process finds it held after the inner holder let go, free after the last.
        const QString flock = QStandardPaths::findExecutable("flock");
        if (!flock.isEmpty())
            QCOMPARE(QProcess::execute(flock, {"-n", lockFile, "true"}), 1);
        first.unlock();
        if (!flock.isEmpty())
            QCOMPARE(QProcess::execute(flock, {"-n", lockFile, "true"}), 0);
        QCOMPARE(TestFiles::readAll(lockFile), QByteArray()); // the file stays, emptied
        QVERIFY(first.lock());
        first.unlock();

        QVERIFY(QFile::remove(lockFile));
        QVERIFY(QFile::link(env.root() + "elsewhere", lockFile));
        GameLock linked(env.gamePath());
        QString message;
        QVERIFY(!linked.lock(&message));
        QVERIFY2(message.contains("symbolic link"), qPrintable(message));
        QVERIFY(!QFileInfo::exists(env.root() + "elsewhere"));
    }

    // A game folder no one may write into: the lock cannot be made and the message says so.
    void readOnlyGame() {
        if (::geteuid() == 0)
            QSKIP("root writes into any folder");
        TestEnv env;
        const QString data = env.gamePath() + "Data";
        QVERIFY(QFile::setPermissions(data, QFile::ReadOwner | QFile::ExeOwner));
        GameLock lock(env.gamePath());
        QString message;
        const bool taken = lock.lock(&message);
        QFile::setPermissions(data, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QVERIFY(!taken);
        QVERIFY2(message.contains("cannot be changed") && message.contains(".kavro.lock"),
                 qPrintable(message));
    }
};

QTEST_GUILESS_MAIN(tst_GameLock)
#include "tst_GameLock.moc"
