// Which addresses the program fetches or opens, and the site link that hands them to the desktop.
#include "TestEnv.h"
#include "TestFiles.h"
#include "platform/DesktopActions.h"
#include "platform/NetworkPolicy.h"

#include <QtTest>

class tst_NetworkPolicy : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void addresses_data() {
        QTest::addColumn<QString>("address");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("http") << "http://example.com/kavro/" << true;
        QTest::newRow("https, upper-case scheme") << "HTTPS://example.com/a.zip" << true;
        QTest::newRow("file:") << "file:///etc/passwd" << false;
        QTest::newRow("desktop file path") << "/usr/share/applications/evil.desktop" << false;
        QTest::newRow("relative") << "cars/a.zip" << false;
        QTest::newRow("ftp:") << "ftp://example.com/a.zip" << false;
        QTest::newRow("data:") << "data:text/html,<b>x</b>" << false;
        QTest::newRow("javascript:") << "javascript:alert(1)" << false;
        QTest::newRow("http without a host") << "http:///etc/passwd" << false;
        QTest::newRow("empty") << "" << false;
    }
    void addresses() {
        QFETCH(QString, address);
        QFETCH(bool, allowed);
        QCOMPARE(NetworkPolicy::allows(address), allowed);
    }

    // The server's site link: only a web address reaches the desktop's opener.
    void siteLinkOpensWebAddressesOnly() {
        TestEnv env;
        const QString log = env.root() + QStringLiteral("opened.log");
        const QString bin = env.root() + QStringLiteral("bin/");
        const QString opener = env.writeFile(
            bin + QStringLiteral("xdg-open"),
            "#!/bin/sh\nprintf '%s\\n' \"$1\" >> '" + QFile::encodeName(log) + "'\n");
        QFile::setPermissions(opener, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", QFile::encodeName(bin) + ':' + path);
        const auto restore = qScopeGuard([path] { qputenv("PATH", path); });

        DesktopActions actions;
        actions.openUrl(QStringLiteral("file:///etc/passwd"));
        actions.openUrl(env.root() + QStringLiteral("evil.desktop"));
        actions.openUrl(QStringLiteral("http://127.0.0.1:1/site/"));
        QTRY_COMPARE(TestFiles::readAll(log), QByteArray("http://127.0.0.1:1/site/\n"));
        QTest::qWait(200);
        QCOMPARE(TestFiles::readAll(log), QByteArray("http://127.0.0.1:1/site/\n"));
    }
};

QTEST_GUILESS_MAIN(tst_NetworkPolicy)
#include "tst_NetworkPolicy.moc"
