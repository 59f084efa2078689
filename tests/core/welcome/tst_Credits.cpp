#include "core/session/ProgramInfo.h"
#include "core/welcome/Credits.h"

#include <QtTest>

// The credits' order and fixed lines: the text is a list of blocks set off by rows of asterisks.
class tst_Credits : public QObject {
    Q_OBJECT

    // The blocks between blank lines after the separator at `from`, up to the line `to`.
    static QList<QStringList> blocks(const QStringList& lines, qsizetype from, qsizetype to) {
        QList<QStringList> out;
        QStringList cur;
        for (qsizetype i = from + 1; i < to; ++i) {
            if (lines[i].isEmpty()) {
                if (!cur.isEmpty())
                    out << cur;
                cur.clear();
            } else {
                cur << lines[i];
            }
        }
        if (!cur.isEmpty())
            out << cur;
        return out;
    }

private Q_SLOTS:
    void blocksInOrder() {
        const QStringList lines = Credits::lines();
        const QString stars(50, QLatin1Char('*'));
        QCOMPARE(Credits::separatorLine(), stars);

        QList<qsizetype> seps;
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i].contains(QLatin1Char('*'))) {
                QCOMPARE(lines[i], stars);
                seps << i;
            }
        }
        // Four separators with a blank line after them, then the closing row with three.
        QCOMPARE(seps.size(), 5);
        QCOMPARE(seps.first(), 0);
        for (qsizetype s : seps.first(4))
            QVERIFY(lines.value(s + 1).isEmpty() && !lines.value(s + 2).isEmpty());
        const qsizetype closing = seps.last();
        QCOMPARE(lines.mid(closing + 1, 4),
                 (QStringList{"", "", "", "No living life was harmed during"}));

        QCOMPARE(blocks(lines, seps[0], seps[1]),
                 (QList<QStringList>{{"Thanks for using this program. If you want",
                                      "to not only download cars, but also easily",
                                      "manage them, please download Motorquill",
                                      "from NFS Depotline (website)."}}));
        QCOMPARE(blocks(lines, seps[1], seps[2]),
                 (QList<QStringList>{{"Email: " + ProgramInfo::kTeamEmail,
                                      "Website: " + ProgramInfo::kMakerWebPage}}));

        const QList<QStringList> people = blocks(lines, seps[2], seps[3]);
        QCOMPARE(people.size(), 2);
        QCOMPARE(people[0].size(), 2);
        QCOMPARE(people[0][0], QStringLiteral("Programming"));
        QCOMPARE(people[1].size(), 5);
        QCOMPARE(people[1][0], QStringLiteral("Beta Testing"));

        // The notices: warranty 4, distribution 6, the cars' owners 3, then the fixed pairs and
        // the rights notices; all in capitals, each followed by a blank line.
        const QList<QStringList> notices = blocks(lines, seps[3], closing);
        QList<qsizetype> sizes;
        for (const QStringList& b : notices) {
            sizes << b.size();
            for (const QString& l : b)
                QCOMPARE(l, l.toUpper());
        }
        QCOMPARE(sizes, (QList<qsizetype>{4, 6, 3, 2, 2, 1, 2}));
        QCOMPARE(lines.value(closing - 1), QString());
        QCOMPARE(notices[0][0],
                 QStringLiteral("NO WARRANTY OF ANY KIND IS GIVEN WITH THIS PROGRAM."));
        QCOMPARE(notices[3], (QStringList{"THIS PRORGAM USES WINZIP 8.0 FOR THE EXTRACTION",
                                          "OF ZIP-COMPRESSED FILES."}));
        QCOMPARE(notices[4], (QStringList{"THIS PRORGAM IS NOT MADE, LICENSED OR ENDORSED",
                                          "BY THE ELECTRONIC ARTS COMPANY (MAKERS OF NFSHS)."}));
        QCOMPARE(notices[6][0], QStringLiteral("NEED FOR SPEED HIGH STAKES IS"));
    }

    void endsWithTheRightsNotice() {
        const QStringList lines = Credits::lines();
        const qsizetype n = lines.size();
        QCOMPARE(lines.mid(n - 10, 2),
                 (QStringList{"No living life was harmed during", "the making of this product."}));
        QCOMPARE(lines.mid(n - 8, 5), QStringList(5, QString()));
        const QString notice = lines[n - 3];
        QVERIFY(notice.startsWith(QLatin1Char('[')) && notice.endsWith(QLatin1Char(']')));
        QCOMPARE(lines.mid(n - 2), (QStringList{"", ""}));
    }

    void textJoinsWithCrLf() {
        const QString text = Credits::text();
        QCOMPARE(text.split(QStringLiteral("\r\n")), Credits::lines());
        QVERIFY(!text.contains(QRegularExpression(QStringLiteral("[^\r]\n|\r[^\n]"))));
    }
};

QTEST_GUILESS_MAIN(tst_Credits)
#include "tst_Credits.moc"
