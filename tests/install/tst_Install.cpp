// The installed tree: `cmake --install` of this build into a temporary prefix.
#include "ProgramRun.h"
#include "TestEnv.h"
#include "ZipBuilder.h"
#include "core/session/AppSettings.h"

#include <QStandardPaths>
#include <QtTest>

namespace {

const QString kAppId = QStringLiteral("net.example.kavro.Kavro");

// A run's exit code and all it printed, standard output and error together.
struct Run {
    int code = -1;
    QString output;
};

Run run(const QString& program, const QStringList& args) {
    const ProgramRun r = ProgramRun::of(program, args, 120000);
    return {r.exitCode, r.output + r.errorText};
}

} // namespace

class tst_Install : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_prefix.isValid());
        // ctest names the build and its cmake; run by hand, the build is the test's own.
        m_build = qEnvironmentVariable("KAVRO_BUILD_DIR");
        if (m_build.isEmpty())
            m_build = QStringLiteral(KAVRO_BIN_DIR "/..");
        const Run r = run(m_cmake, {QStringLiteral("--install"), m_build,
                                    QStringLiteral("--prefix"), m_prefix.path()});
        QVERIFY2(r.code == 0, qPrintable(r.output));
    }

    void files_data() {
        QTest::addColumn<QString>("path");
        QTest::addColumn<bool>("executable");
        QTest::newRow("program") << "bin/kavro" << true;
        QTest::newRow("command-line companion") << "bin/kavro-cars" << true;
        QTest::newRow("extractor") << "libexec/kavro/kavro-unzip" << true;
        QTest::newRow("menu entry") << "share/applications/" + kAppId + ".desktop" << false;
        QTest::newRow("icon") << "share/icons/hicolor/scalable/apps/" + kAppId + ".svg" << false;
        QTest::newRow("metadata") << "share/metainfo/" + kAppId + ".metainfo.xml" << false;
        QTest::newRow("manual page") << "share/man/man1/kavro.1.gz" << false;
        QTest::newRow("companion's manual page") << "share/man/man1/kavro-cars.1.gz" << false;
        QTest::newRow("copyright") << "share/doc/kavro/copyright" << false;
        QTest::newRow("changelog") << "share/doc/kavro/changelog.gz" << false;
    }
    void files() {
        QFETCH(QString, path);
        QFETCH(bool, executable);
        const QFileInfo file(m_prefix.path() + u'/' + path);
        QVERIFY2(file.isFile() && file.size() > 0, qPrintable(file.filePath()));
        QCOMPARE(file.isExecutable(), executable);
    }

    // The desktop's validators find nothing to complain about (hints aside).
    void validators_data() {
        QTest::addColumn<QString>("tool");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("menu entry")
            << "desktop-file-validate" << QStringList{"share/applications/" + kAppId + ".desktop"};
        QTest::newRow("metadata") << "appstreamcli"
                                  << QStringList{"validate", "--no-net",
                                                 "share/metainfo/" + kAppId + ".metainfo.xml"};
    }
    void validators() {
        QFETCH(QString, tool);
        QFETCH(QStringList, args);
        const QString program = QStandardPaths::findExecutable(tool);
        QVERIFY2(!program.isEmpty(), qPrintable(tool + " is missing: run scripts/setup-deps"));
        args.last() = m_prefix.path() + u'/' + args.last();
        const Run r = run(program, args);
        QVERIFY2(r.code == 0, qPrintable(r.output));
        for (const QString& line : r.output.split(u'\n'))
            QVERIFY2(!line.contains(QLatin1String("error")) &&
                         !line.contains(QLatin1String("warning")) && !line.startsWith("W:") &&
                         !line.startsWith("E:"),
                     qPrintable(r.output));
    }

    // In a home of its own, once the desktop has read the installed entry (as the package's
    // trigger makes it do), the entry is what opens kavro:// links and car ZIPs, and it starts
    // kavro with them.
    void desktopEntryHandlesLinksAndZips_data() {
        QTest::addColumn<QString>("type");
        QTest::newRow("kavro:// links") << "x-scheme-handler/kavro";
        QTest::newRow("car ZIPs") << "application/zip";
    }
    void desktopEntryHandlesLinksAndZips() {
        QFETCH(QString, type);
        const QString xdgMime = QStandardPaths::findExecutable(QStringLiteral("xdg-mime"));
        const QString update =
            QStandardPaths::findExecutable(QStringLiteral("update-desktop-database"));
        QVERIFY2(!xdgMime.isEmpty() && !update.isEmpty(),
                 "xdg-utils or desktop-file-utils is missing: run scripts/setup-deps");
        QTemporaryDir home;
        const QString share = m_prefix.path() + QStringLiteral("/share");
        QCOMPARE(run(update, {share + QStringLiteral("/applications")}).code, 0);
        QProcess query;
        QProcessEnvironment env;
        env.insert(QStringLiteral("PATH"), qEnvironmentVariable("PATH"));
        env.insert(QStringLiteral("HOME"), home.path());
        env.insert(QStringLiteral("XDG_DATA_HOME"), home.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_DATA_DIRS"), share);
        query.setProcessEnvironment(env);
        query.start(xdgMime, {QStringLiteral("query"), QStringLiteral("default"), type});
        QVERIFY(query.waitForFinished(30000));
        QCOMPARE(query.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(query.readAllStandardOutput()).trimmed(),
                 kAppId + QStringLiteral(".desktop"));
        QFile entry(share + QStringLiteral("/applications/") + kAppId + QStringLiteral(".desktop"));
        QVERIFY(entry.open(QIODevice::ReadOnly));
        QVERIFY(entry.readAll().contains("\nExec=kavro %U\n"));
    }

    // The Debian package of this build: lintian finds no error and no warning in it.
    void debianPackage() {
        const QString lintian = QStandardPaths::findExecutable(QStringLiteral("lintian"));
        QVERIFY2(!lintian.isEmpty(), "lintian is missing: run scripts/setup-deps");
        QTemporaryDir out;
        const QString cpack = QFileInfo(m_cmake).isAbsolute()
                                  ? QFileInfo(m_cmake).absolutePath() + QStringLiteral("/cpack")
                                  : QStringLiteral("cpack");
        Run r = run(cpack, {"-G", "DEB", "-B", out.path(), "--config",
                            m_build + QStringLiteral("/CPackConfig.cmake")});
        QVERIFY2(r.code == 0, qPrintable(r.output));
        const QStringList debs = QDir(out.path()).entryList({QStringLiteral("*.deb")});
        QCOMPARE(debs.size(), 1);
        r = run(lintian, {"--fail-on", "error,warning", out.filePath(debs.first())});
        QVERIFY2(r.code == 0, qPrintable(r.output));
    }

    // The installed program, without any setting, finds the installed extractor, and it unpacks.
    void installedProgramFindsItsExtractor() {
        TestEnv env;
        env.ctx.programFolder = m_prefix.path() + QStringLiteral("/bin");
        const QString extractor = m_prefix.path() + QStringLiteral("/libexec/kavro/kavro-unzip");
        QCOMPARE(AppSettings::ReadWinZipCommand(env.ctx), '"' + extractor + "\" \"%1\"");

        const QString zip = env.root() + QStringLiteral("car.zip");
        QVERIFY(ZipBuilder().add("Car/CAR.VIV", QByteArray("viv")).write(zip));
        const Run r = run(extractor, {"-%", "/extractX", env.workDir() + "out", zip});
        QVERIFY2(r.code == 0, qPrintable(r.output));
        QVERIFY(QFile::exists(env.workDir() + "out/Car/CAR.VIV"));
    }

private:
    QTemporaryDir m_prefix;
    const QString m_cmake = qEnvironmentVariable("KAVRO_CMAKE", QStringLiteral("cmake"));
    QString m_build;
};

QTEST_GUILESS_MAIN(tst_Install)
#include "tst_Install.moc"
