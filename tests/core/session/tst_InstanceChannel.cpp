#include "core/session/InstanceChannel.h"

#include "TestEnv.h"

#include <QDir>
#include <QFile>
#include <QtTest>

class tst_InstanceChannel : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // What a later start sends is read back as sent; what arrives is kept only when it can be
    // acted on, and anything that is not one line of a JSON object is refused.
    void decode_data() {
        QTest::addColumn<QByteArray>("line"); // <zip>: an existing car ZIP, <root>: the test's
        QTest::addColumn<bool>("read");
        QTest::addColumn<QStringList>("zips");
        QTest::addColumn<QStringList>("links");
        QTest::newRow("raise") << InstanceChannel::encode({}, {}) << true << QStringList{}
                               << QStringList{};
        QTest::newRow("a ZIP and a link")
            << InstanceChannel::encode({"<zip>"}, {"kavro://add?url=http%3A%2F%2Fh%2Fsl.dat"})
            << true << QStringList{"<zip>"}
            << QStringList{"kavro://add?url=http%3A%2F%2Fh%2Fsl.dat"};
        QTest::newRow("a ZIP that is not there, a relative path, a folder")
            << InstanceChannel::encode({"<root>gone.zip", "car.zip", "<root>dir.zip"}, {}) << true
            << QStringList{} << QStringList{};
        QTest::newRow("links of other schemes")
            << InstanceChannel::encode({}, {"file:///etc/passwd", "http://h/x.zip"}) << true
            << QStringList{} << QStringList{};
        QTest::newRow("not text") << QByteArray("{\"zips\":[1,{}]}\n") << true << QStringList{}
                                  << QStringList{};
        QTest::newRow("no line end") << QByteArray("{}") << false << QStringList{} << QStringList{};
        QTest::newRow("an array") << QByteArray("[]\n") << false << QStringList{} << QStringList{};
        QTest::newRow("not JSON") << QByteArray("zip /x.zip\n") << false << QStringList{}
                                  << QStringList{};
    }
    void decode() {
        QFETCH(QByteArray, line);
        QFETCH(bool, read);
        QFETCH(QStringList, zips);
        QFETCH(QStringList, links);
        TestEnv env;
        const QString zip = env.writeFile(env.root() + "car one.zip", "PK");
        QDir().mkpath(env.root() + "dir.zip");
        line.replace("<zip>", zip.toUtf8()).replace("<root>", env.root().toUtf8());
        zips.replaceInStrings("<zip>", zip);
        QStringList gotZips{"left"}, gotLinks{"left"};
        QCOMPARE(InstanceChannel::decode(line, gotZips, gotLinks), read);
        if (!read)
            return;
        QCOMPARE(gotZips, zips);
        QCOMPARE(gotLinks, links);
    }

    // The claim is the user's one running Kavro until its holder ends; the socket beside it is
    // the user's alone. A folder that others could reach, or a link, is not used at all.
    void claim() {
        TestEnv env;
        const QString folder = env.root() + "runtime/kavro";
        QVERIFY(QDir().mkpath(env.root() + "runtime"));
        {
            InstanceChannel first(folder);
            QCOMPARE(first.claim(), InstanceChannel::Claim::First);
            QVERIFY(first.listen());
            QCOMPARE(QFileInfo(folder).permissions().toInt() & 0x0077, 0);
            QCOMPARE(QFileInfo(first.socketPath()).permissions().toInt() & 0x0077, 0);
            InstanceChannel second(folder);
            QCOMPARE(second.claim(), InstanceChannel::Claim::Running);
            // A running Kavro that does not answer (its event loop is held up here) keeps a later
            // start waiting no longer than the time given.
            QVERIFY(!second.handOff({}, {}, 200));
        }
        InstanceChannel again(folder);
        QCOMPARE(again.claim(), InstanceChannel::Claim::First);
        QVERIFY(again.listen()); // the socket the first left is taken over

        const QString open = env.root() + "open";
        QVERIFY(QDir().mkpath(open));
        QFile::setPermissions(open, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadOther | QFile::ExeOther);
        QString problem;
        QCOMPARE(InstanceChannel(open).claim(&problem), InstanceChannel::Claim::Unavailable);
        QVERIFY2(problem.contains("not a private folder"), qPrintable(problem));
        QVERIFY(QFile::link(folder, env.root() + "link"));
        QCOMPARE(InstanceChannel(env.root() + "link").claim(), InstanceChannel::Claim::Unavailable);
    }

    // ZIPs handed over wait in order, each once, until they are taken.
    void queue() {
        InstanceChannel channel(QStringLiteral("/nonexistent"));
        channel.queueZips({"/a.zip", "/b.zip"});
        channel.queueZips({"/b.zip", "/c.zip"});
        QVERIFY(channel.hasQueuedZips());
        QCOMPARE(channel.takeQueuedZips(), (QStringList{"/a.zip", "/b.zip", "/c.zip"}));
        QVERIFY(!channel.hasQueuedZips());
    }
};

QTEST_GUILESS_MAIN(tst_InstanceChannel)
#include "tst_InstanceChannel.moc"
