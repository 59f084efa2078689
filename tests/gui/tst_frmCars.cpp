#include "TestEnv.h"
#include "VivBuilder.h"
#include "core/gamedata/CarOrigins.h"
#include "core/gamedata/CarRemoval.h"
#include "core/gamedata/Garage.h"
#include "core/session/AppSettings.h"
#include "gui/frmCars.h"

#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {

QRect twips(int l, int t, int w, int h) {
    return QRect(l / 15, t / 15, w / 15, h / 15);
}

QString stored(TestEnv& env, const char* name) {
    return AppSettings::ReadAppSetting(env.ctx, QLatin1String(name));
}

void check(frmCars& w, int row, bool on) {
    w.lstCars->item(row)->setCheckState(on ? Qt::Checked : Qt::Unchecked);
}

// Answers the first modal dialog that opens by closing it; records its objectName.
void closeNextModal(QString* seen) {
    QTimer::singleShot(50, [seen] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            *seen = modal->objectName();
            modal->close();
        }
    });
}

} // namespace

class tst_frmCars : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void layout_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<QString>("text");
        QTest::newRow("frmSiteInfo")
            << "frmSiteInfo" << twips(120, 60, 3435, 915) << "Server Infomation";
        QTest::newRow("frmStats") << "frmStats" << twips(3660, 60, 1935, 915) << "Stats.";
        QTest::newRow("frmCarsx") << "frmCarsx" << twips(120, 1080, 5475, 3255) << "Cars";
        QTest::newRow("lblInfo5") << "lblInfo5" << twips(180, 300, 5055, 255)
                                  << "Select the cars you would like to download and install.";
        // The find field takes a thin band at the top of the list's place.
        QTest::newRow("txtFind") << "txtFind" << twips(180, 600, 2475, 300) << "";
        QTest::newRow("lstCars") << "lstCars" << twips(180, 930, 2475, 1755) << "";
        QTest::newRow("imgSS") << "imgSS" << twips(2760, 600, 2535, 2055) << "";
        QTest::newRow("txtAuthor") << "txtAuthor" << twips(180, 2820, 2475, 255) << "";
        QTest::newRow("cmdOpt") << "cmdOpt" << twips(3300, 2760, 1515, 375)
                                << "Options              ->";
        QTest::newRow("frmDownload") << "frmDownload" << twips(120, 4440, 5475, 735) << "";
        QTest::newRow("cmdDownload")
            << "cmdDownload" << twips(120, 240, 2295, 375) << "Download and Install Cars";
        QTest::newRow("cmdSS") << "cmdSS" << twips(2520, 240, 1755, 375) << "Full Size Screen Shot";
        QTest::newRow("cmdConnect") << "cmdConnect" << twips(4380, 240, 975, 375) << "Exit";
        QTest::newRow("picStatus") << "picStatus" << twips(0, 5265, 5715, 255) << "";
    }
    void layout() {
        QFETCH(QString, name);
        QFETCH(QRect, geometry);
        QFETCH(QString, text);
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        QCOMPARE(w.size(), QSize(381, 368));
        QCOMPARE(w.windowTitle(), QStringLiteral("NFSHS Kavro"));
        auto* c = w.findChild<QWidget*>(name);
        QVERIFY(c);
        QCOMPARE(c->geometry(), geometry);
        if (auto* box = qobject_cast<QGroupBox*>(c))
            QCOMPARE(box->title(), text);
        else if (auto* b = qobject_cast<QPushButton*>(c))
            QCOMPARE(b->text(), text);
        else if (auto* l = qobject_cast<QLabel*>(c))
            QCOMPARE(l->text(), text);
    }

    // Labels that size themselves keep their place and show their whole text.
    void labelsFollowTheirText_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QPoint>("topLeft");
        QTest::addColumn<QString>("text");
        QTest::newRow("lblInfo1") << "lblInfo1" << QPoint(8, 20) << " Server : ";
        QTest::newRow("lblWebsiteLink") << "lblWebsiteLink" << QPoint(52, 20) << "Server Name";
        QTest::newRow("lblInfo2") << "lblInfo2" << QPoint(8, 36) << " URL : ";
        QTest::newRow("lblWebsiteLinkx") << "lblWebsiteLinkx" << QPoint(44, 36) << "Server URL";
        QTest::newRow("lblInfo3") << "lblInfo3" << QPoint(8, 20) << " No. of Cars : ";
        QTest::newRow("lblNoCars") << "lblNoCars" << QPoint(76, 20) << "0";
        QTest::newRow("lblStatus") << "lblStatus" << QPoint(4, 0) << ".";
    }
    void labelsFollowTheirText() {
        QFETCH(QString, name);
        QFETCH(QPoint, topLeft);
        QFETCH(QString, text);
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        auto* l = w.findChild<QLabel*>(name);
        QVERIFY(l);
        QCOMPARE(l->text(), text);
        QCOMPARE(l->pos(), topLeft);
        QVERIFY(l->width() >= l->sizeHint().width());
        QVERIFY(l->height() >= l->sizeHint().height()); // the link's underline shows
        l->setText(text + QStringLiteral(" and a good deal more"));
        QTRY_COMPARE(l->width(), l->sizeHint().width());
        QCOMPARE(l->pos(), topLeft);
    }

    void linkLooksLikeALink() {
        TestEnv env;
        frmCars w(env.ctx);
        QVERIFY(w.lblWebsiteLinkx->font().underline());
        QCOMPARE(w.lblWebsiteLinkx->palette().color(QPalette::WindowText),
                 w.palette().color(QPalette::Highlight));
        QCOMPARE(w.imgSS->toolTip(), QStringLiteral("Click to view in full size."));
        QCOMPARE(w.lblInfo6->text(), QStringLiteral("Screen Shot"));
    }

    void listSortsWithoutCaseAndKeepsIndexes() {
        TestEnv env;
        frmCars w(env.ctx);
        const QStringList names{"Beta", "alpha", "Gamma", "ALPHA2", "delta"};
        for (int k = 1; k <= names.size(); ++k)
            w.addCar(names[k - 1], k);
        QStringList shown;
        QList<int> indexes;
        for (int row = 0; row < w.lstCars->count(); ++row) {
            shown << w.lstCars->item(row)->text();
            indexes << w.GetCarIndex(qint16(row));
            QCOMPARE(w.lstCars->item(row)->checkState(), Qt::Unchecked);
        }
        QCOMPARE(shown, QStringList({"alpha", "ALPHA2", "Beta", "delta", "Gamma"}));
        QCOMPARE(indexes, QList<int>({2, 4, 1, 5, 3}));
        QCOMPARE(w.GetCarIndex(-1), 0);
        QCOMPARE(w.GetCarIndex(5), 0);
        QCOMPARE(w.GetCarIndex(-7), 0);
    }

    void downloadButtonFollowsTheTicks() {
        TestEnv env;
        frmCars w(env.ctx);
        w.addCar("Beta", 1);
        w.addCar("alpha", 2);
        QVERIFY(!w.cmdDownload->isEnabled());
        check(w, 0, true);
        QVERIFY(w.cmdDownload->isEnabled());
        check(w, 1, true);
        check(w, 0, false);
        QVERIFY(w.cmdDownload->isEnabled());
        QCOMPARE(w.checkedCount(), 1);
        check(w, 1, false);
        QVERIFY(!w.cmdDownload->isEnabled());

        // A fetch disables everything but Exit; enabling again applies the same rule.
        check(w, 1, true);
        w.DisableControls();
        for (QWidget* c : std::initializer_list<QWidget*>{w.lstCars, w.imgSS, w.cmdDownload,
                                                          w.cmdSS, w.cmdOpt, w.txtAuthor})
            QVERIFY2(!c->isEnabled(), qPrintable(c->objectName()));
        QVERIFY(w.cmdConnect->isEnabled());
        w.EnableControls();
        for (QWidget* c : std::initializer_list<QWidget*>{w.lstCars, w.imgSS, w.cmdDownload,
                                                          w.cmdSS, w.cmdOpt, w.txtAuthor})
            QVERIFY2(c->isEnabled(), qPrintable(c->objectName()));
        check(w, 1, false);
        w.DisableControls();
        w.EnableControls();
        QVERIFY(!w.cmdDownload->isEnabled());
    }

    // What only the window shows of "Find a car": the keys, ticks on hidden rows, the field's
    // width following the list's.
    void findACar() {
        TestEnv env;
        env.session.CatalogueFormat = 1;
        const QStringList names{"Lotus Elise", QStringLiteral("Citroën Xsara"), "Lotus Esprit",
                                "Ferrari F50"};
        frmCars w(env.ctx);
        for (int k = 1; k <= names.size(); ++k) {
            env.session.CarNames.append(names[k - 1]);
            env.session.CarAuthors.append(k == 4 ? QStringLiteral("Ørjan") : QString());
            w.addCar(names[k - 1], k);
        }
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        auto shown = [&w] {
            QStringList rows;
            for (int row = 0; row < w.lstCars->count(); ++row)
                if (!w.lstCars->isRowHidden(row))
                    rows << w.lstCars->item(row)->text();
            return rows;
        };
        check(w, 0, true); // Citroën Xsara
        QTest::keyClick(&w, Qt::Key_F, Qt::ControlModifier);
        QCOMPARE(QApplication::focusWidget(), w.txtFind);
        QTest::keyClicks(w.txtFind, "LOTUS");
        QCOMPARE(shown(), QStringList({"Lotus Elise", "Lotus Esprit"}));
        // The ticked car out of sight keeps its tick, and the download button counts it.
        QVERIFY(w.cmdDownload->isEnabled());
        QCOMPARE(w.checkedCount(), 1);
        w.txtFind->setText(QStringLiteral("orjan"));
        QCOMPARE(shown(), QStringList({"Ferrari F50"}));
        // A catalogue loaded while a text stands is filtered as it comes.
        w.addCar(QStringLiteral("Ørjan's Special"), 9);
        QCOMPARE(shown(), QStringList({"Ferrari F50", QStringLiteral("Ørjan's Special")}));
        // Down goes on to the rows found; Escape in the field empties it.
        QTest::keyClick(w.txtFind, Qt::Key_Down);
        QCOMPARE(QApplication::focusWidget(), w.lstCars);
        w.txtFind->setFocus();
        QTest::keyClick(w.txtFind, Qt::Key_Escape);
        QCOMPARE(w.txtFind->text(), QString());
        QCOMPARE(shown().size(), 5);
        QCOMPARE(w.lstCars->item(0)->checkState(), Qt::Checked);
        // The field stays as wide as the list, narrow or wide.
        QCOMPARE(w.txtFind->width(), w.lstCars->width());
        w.mnuVSS->trigger();
        QCOMPARE(w.txtFind->width(), w.lstCars->width());
        QVERIFY(w.lstCars->width() > twips(0, 0, 2475, 0).width());
    }

    // Entries Kavro installed from this catalogue are marked for where their car is now.
    void marksOfCarsAlreadyHere() {
        TestEnv env;
        const QString site = QStringLiteral("http://cars.example.net/hs/");
        for (const char* id : {"AAAA", "BBBB", "CCCC"})
            VivBuilder::installCar(env.gamePath(), id, VivBuilder::carArchive(1, id));
        QVERIFY(Garage(env.session).park({"BBBB"}).ok);
        auto origin = [&](const char* id, const QString& catalogue, const char* entry) {
            CarOrigin o{QLatin1String(id), QStringLiteral("car.zip"),
                        QString(64, u'a'), QString(64, u'b'),
                        catalogue,         QLatin1String(entry)};
            QVERIFY(CarOrigins::record(env.gamePath(), o));
        };
        origin("AAAA", site, "Lotus Elise");
        origin("BBBB", site, "Ferrari F50");
        origin("ZZZZ", site, "Gone Car"); // removed since
        origin("CCCC", QStringLiteral("http://elsewhere.example.net/"), "Porsche 911");
        frmCars w(env.ctx);
        w.SiteURL = site;
        const QStringList names{"Ferrari F50", "Gone Car", "Lotus Elise", "Porsche 911"};
        for (int k = 1; k <= names.size(); ++k)
            w.addCar(names[k - 1], k);
        w.show();
        auto marks = [&w] {
            QStringList out;
            for (int row = 0; row < w.lstCars->count(); ++row)
                out << w.lstCars->item(row)->text() + u'|' + w.markOf(row);
            return out;
        };
        QCOMPARE(marks(), QStringList({"Ferrari F50|parked", "Gone Car|", "Lotus Elise|installed",
                                       "Porsche 911|"}));
        // The row's text stays the car's name (the download hands it over as such).
        QCOMPARE(w.lstCars->item(2)->text(), QStringLiteral("Lotus Elise"));
        QVERIFY(CarRemoval::removeCar(env.session, "AAAA"));
        QVERIFY(Garage(env.session).unpark({"BBBB"}).ok);
        w.refreshMarks();
        QCOMPARE(marks(), QStringList({"Ferrari F50|installed", "Gone Car|", "Lotus Elise|",
                                       "Porsche 911|"}));
        QVERIFY(!w.cmdDownload->isEnabled());
    }

    void emptyCatalogueKeepsDownloadOff() {
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        QCOMPARE(w.lstCars->count(), 0);
        QCOMPARE(w.lblNoCars->text(), QStringLiteral("0"));
        w.EnableControls();
        QVERIFY(!w.cmdDownload->isEnabled());
    }

    void optionsAtCreation_data() {
        QTest::addColumn<QString>("loadss");
        QTest::addColumn<bool>("viewShots");
        QTest::newRow("True") << "True" << true;
        QTest::newRow("False") << "False" << false;
        QTest::newRow("1 from the first start") << "1" << true;
        QTest::newRow("0") << "0" << false;
        QTest::newRow("empty keeps the check") << "" << true;
        QTest::newRow("not a Boolean keeps the check") << "maybe" << true;
    }
    void optionsAtCreation() {
        QFETCH(QString, loadss);
        QFETCH(bool, viewShots);
        TestEnv env;
        auto* s = env.settings.get();
        s->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, "loadss", loadss);
        // The after-download options are never read back: they start unchecked.
        s->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, "disconnect", "True");
        s->WriteSetting(RegistryRoot::CurrentUser, AppSettings::kAppKey, "shutdown", "True");
        frmCars w(env.ctx);
        QCOMPARE(w.mnuVSS->isChecked(), viewShots);
        QVERIFY(!w.mnuDAD->isChecked());
        QVERIFY(!w.mnuSAD->isChecked());
        QCOMPARE(w.LastShotIndex, qint16(-1));
    }

    void menuLayoutAndToggles() {
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const QList<QAction*> items = w.mnuOpt->actions();
        QCOMPARE(items.size(), 7);
        QCOMPARE(items[0], w.mnuVSS);
        QVERIFY(items[1]->isSeparator());
        QCOMPARE(items[2], w.mnuDAD);
        QCOMPARE(items[3], w.mnuSAD);
        QVERIFY(items[4]->isSeparator());
        QCOMPARE(items[5]->text(), QStringLiteral("Install Cars from Files…"));
        QCOMPARE(items[5]->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
        QCOMPARE(items[6]->text(), QStringLiteral("Installed Cars…"));
        QCOMPARE(w.mnuOpt->title(), QStringLiteral("Options"));
        QCOMPARE(w.mnuDAD->text(), QStringLiteral("Disconnect after Download"));
        QCOMPARE(w.mnuSAD->text(), QStringLiteral("Shutdown after Download"));

        // The pop-up opens at the button's top-right corner, (4935, 3840) twips.
        QCOMPARE(frmCars::optionsMenuPosition(), QPoint(329, 256));
        QTest::mouseClick(w.cmdOpt, Qt::LeftButton);
        QTRY_VERIFY(w.mnuOpt->isVisible());
        QCOMPARE(w.mnuOpt->pos(), w.mapToGlobal(QPoint(329, 256)));
        w.mnuOpt->hide();

        w.mnuDAD->trigger();
        QVERIFY(w.mnuDAD->isChecked());
        QCOMPARE(stored(env, "disconnect"), QStringLiteral("True"));
        QCOMPARE(stored(env, "shutdown"), QStringLiteral("False"));
        QCOMPARE(stored(env, "loadss"), QStringLiteral("True"));
        w.mnuSAD->trigger();
        QCOMPARE(stored(env, "shutdown"), QStringLiteral("True"));
        w.mnuVSS->trigger();
        QVERIFY(!w.mnuVSS->isChecked());
        QCOMPARE(stored(env, "loadss"), QStringLiteral("False"));
        // The preview follows the option at once: the list covers the preview box.
        QCOMPARE(w.lstCars->width(), 5115 / 15);
        w.mnuDAD->trigger();
        QCOMPARE(stored(env, "disconnect"), QStringLiteral("False"));
        QCOMPARE(stored(env, "shutdown"), QStringLiteral("True"));
    }

    void firstRefreshOnceAndNothingHighlighted() {
        TestEnv env;
        frmCars w(env.ctx);
        w.addCar("Beta", 1);
        w.addCar("alpha", 2);
        QVERIFY(w.tmrFirstSS->isActive());
        QCOMPARE(w.tmrFirstSS->interval(), 100);
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QTRY_VERIFY(!w.tmrFirstSS->isActive());
        QCOMPARE(w.focusWidget(), w.lstCars);
        QCOMPARE(w.lstCars->currentRow(), -1);
        QTest::qWait(250);
        QVERIFY(!w.tmrFirstSS->isActive());
    }

    void focusOrder() {
        TestEnv env;
        frmCars w(env.ctx);
        w.addCar("Beta", 1);
        check(w, 0, true); // so that the download button takes part
        w.show();
        QApplication::setActiveWindow(&w);
        QVERIFY(QTest::qWaitForWindowActive(&w));
        QCOMPARE(QApplication::focusWidget(), w.lstCars);
        QList<QWidget*> order{QApplication::focusWidget()};
        for (int i = 0; i < 5; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            order << QApplication::focusWidget();
        }
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        order << QApplication::focusWidget();
        QCOMPARE(order, QList<QWidget*>({w.lstCars, w.cmdOpt, w.cmdDownload, w.cmdSS, w.cmdConnect,
                                         w.txtFind, w.lstCars}));
    }

    void serverLinkOpensTheSite() {
        TestEnv env;
        frmCars w(env.ctx);
        w.SiteURL = QStringLiteral("http://cars.example.net/hs/");
        w.lblWebsiteLinkx->setText(w.SiteURL);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTest::mouseClick(w.lblWebsiteLinkx, Qt::LeftButton, {}, QPoint(3, 3));
        QCOMPARE(env.actions.calls, QStringList({"open http://cars.example.net/hs/"}));
    }

    void fullSizeViewerOpensModally() {
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_VERIFY(!w.tmrFirstSS->isActive());
        w.cmdSS->setEnabled(true);
        QString seen;
        closeNextModal(&seen);
        QTest::mouseClick(w.cmdSS, Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("frmSS"));
        seen.clear();
        w.imgSS->setEnabled(true);
        closeNextModal(&seen);
        QTest::mouseClick(w.imgSS, Qt::LeftButton);
        QCOMPARE(seen, QStringLiteral("frmSS"));
        // A disabled preview image opens nothing.
        w.imgSS->setEnabled(false);
        seen.clear();
        QTest::mouseClick(w.imgSS, Qt::LeftButton);
        QCOMPARE(seen, QString());
    }

    void exitAsksFirst_data() {
        QTest::addColumn<QString>("how");
        QTest::newRow("Exit button") << "click";
        QTest::newRow("window frame") << "close";
        QTest::newRow("Enter on the focused Exit button") << "enter";
    }
    void exitAsksFirst() {
        QFETCH(QString, how);
        TestEnv env;
        frmCars w(env.ctx);
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        const auto ask = [&] {
            if (how == "click") {
                QTest::mouseClick(w.cmdConnect, Qt::LeftButton);
            } else if (how == "enter") {
                w.cmdConnect->setFocus();
                QTest::keyClick(w.cmdConnect, Qt::Key_Return);
            } else {
                w.close();
            }
        };
        env.prompts.expect(MessageBoxService::No);
        ask();
        QCOMPARE(env.prompts.count(), 1);
        QCOMPARE(env.prompts.last().text, QStringLiteral("Are you sure you want to exit?"));
        QCOMPARE(env.prompts.last().title, QStringLiteral("Exit"));
        QCOMPARE(env.prompts.last().style, 4);
        QVERIFY(w.isVisible());
        QVERIFY(!env.programEnd.ended());

        env.prompts.expect(MessageBoxService::Yes);
        ask();
        QVERIFY(env.programEnd.ended());
        QCOMPARE(env.prompts.unexpectedCount(), 0);
    }
};

QTEST_MAIN(tst_frmCars)
#include "tst_frmCars.moc"
