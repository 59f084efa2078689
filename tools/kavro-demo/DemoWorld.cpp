#include "DemoWorld.h"

#include "GifWriter.h"

#include "core/gamedata/Viv.h"
#include "core/session/AppSettings.h"
#include "platform/AnsiText.h"
#include "platform/SettingsStore.h"

#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QTemporaryDir>

#include <zip.h>

namespace {

struct DemoCar {
    QString name;
    QString author;   // layout-1 catalogue only
    QString shotLine; // as written in the catalogue
    QString shotFile; // below htdocs, empty for none
    QString zipLine;  // as written in the catalogue
    QString zipFile;  // below htdocs, empty when the ZIP is missing on the server
    int serial = 0;
    QString qfsName;  // "????.QFS" or "?????.QFS" picture in the ZIP
    bool fec = true;
    QString subFolder; // the ZIP keeps the car's files in this folder
};

const QString kCrLf = QStringLiteral("\r\n");

bool writeBytes(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

// Bytes that stand for game data the demo does not need to be real (models, textures).
QByteArray filler(int size, quint32 seed) {
    QByteArray b(size, '\0');
    for (int i = 0; i < size; ++i) {
        seed = seed * 1664525u + 1013904223u;
        b[i] = char(seed >> 24);
    }
    return b;
}

// The car's front-end data: serial number at 798, car id at 274.
QByteArray fedata(int serial, const QString& carId, const QString& name, quint32 seed) {
    QByteArray b = filler(1024, seed);
    const QByteArray title = name.toLatin1().left(200);
    b.replace(0, title.size(), title);
    b.replace(274, 4, carId.toLatin1().leftJustified(4, ' ').left(4));
    b[798] = char(serial);
    return b;
}

QByteArray carp(int serial) {
    return QStringLiteral("Serial Number(0)\r\n%1\r\nClass(1)\r\nB\r\nAcceleration(2)\r\n"
                          "7.4\r\nTop Speed(3)\r\n251\r\n")
        .arg(serial)
        .toLatin1();
}

// Builds a CAR.VIV for the car in a scratch folder and returns its bytes.
// The model entry takes most of a car's size, as in real cars (a megabyte or so for catalogue
// cars, so the download window has something to show; small for the installed ones).
bool buildVivBytes(const QString& name, int serial, const QString& carId, quint32 seed,
                   int fceSize, QByteArray& out, QString* error) {
    QTemporaryDir scratch;
    const QString dir = scratch.path() + QLatin1Char('/');
    QDir().mkpath(dir + QStringLiteral("src"));
    const QString src = dir + QStringLiteral("src/");
    bool ok = writeBytes(src + QStringLiteral("fedata.eng"), fedata(serial, carId, name, seed)) &&
              writeBytes(src + QStringLiteral("fedata.fre"), fedata(serial, carId, name, seed + 1)) &&
              writeBytes(src + QStringLiteral("fedata.ger"), fedata(serial, carId, name, seed + 2)) &&
              writeBytes(src + QStringLiteral("carp.txt"), carp(serial)) &&
              writeBytes(src + QStringLiteral("car.fce"), filler(fceSize, seed + 3)) &&
              writeBytes(src + QStringLiteral("car00.tga"), filler(16 * 1024, seed + 4));
    if (!ok) {
        *error = QStringLiteral("cannot write the archive's entries in ") + src;
        return false;
    }
    const QString archive = dir + QStringLiteral("CAR.VIV");
    if (!WriteViv(archive, src)) {
        *error = QStringLiteral("cannot build ") + archive;
        return false;
    }
    QFile f(archive);
    if (!f.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("cannot read ") + archive;
        return false;
    }
    out = f.readAll();
    return true;
}

bool writeZip(const QString& path, const QList<QPair<QString, QByteArray>>& entries,
              QString* error) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile::remove(path);
    int err = 0;
    zip_t* z = zip_open(QFile::encodeName(path).constData(), ZIP_CREATE | ZIP_TRUNCATE, &err);
    if (!z) {
        *error = QStringLiteral("cannot create ") + path;
        return false;
    }
    QList<QByteArray> keep; // libzip reads the buffers when the archive is closed
    for (const auto& e : entries) {
        keep.append(e.second);
        zip_source_t* s = zip_source_buffer(z, keep.last().constData(), keep.last().size(), 0);
        if (!s || zip_file_add(z, e.first.toUtf8().constData(), s, ZIP_FL_ENC_UTF_8) < 0) {
            zip_source_free(s);
            zip_discard(z);
            *error = QStringLiteral("cannot add %1 to %2").arg(e.first, path);
            return false;
        }
    }
    if (zip_close(z) < 0) {
        *error = QStringLiteral("cannot write ") + path;
        zip_discard(z);
        return false;
    }
    return true;
}

// A screenshot of the car: sky, road and a simple car shape in the car's colour.
QImage screenshot(const QString& title, const QColor& colour, int w, int h) {
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, QColor(90, 150, 220));
    sky.setColorAt(0.6, QColor(200, 220, 240));
    p.fillRect(img.rect(), sky);
    p.fillRect(0, h * 2 / 3, w, h / 3, QColor(70, 70, 75));
    p.fillRect(0, h * 2 / 3 + h / 6, w, 4, QColor(240, 240, 240));
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(colour);
    p.setPen(Qt::black);
    const int cw = w / 2, ch = h / 5, cx = w / 4, cy = h * 2 / 3 - ch / 2;
    p.drawRoundedRect(cx, cy, cw, ch, 12, 12);
    p.drawRoundedRect(cx + cw / 5, cy - ch * 2 / 3, cw * 3 / 5, ch * 2 / 3 + 6, 16, 16);
    p.setBrush(Qt::black);
    p.drawEllipse(QPoint(cx + cw / 5, cy + ch), ch / 2, ch / 2);
    p.drawEllipse(QPoint(cx + cw * 4 / 5, cy + ch), ch / 2, ch / 2);
    p.setPen(Qt::white);
    QFont f = p.font();
    f.setPixelSize(qMax(12, h / 12));
    f.setBold(true);
    p.setFont(f);
    p.drawText(QRect(0, 8, w, h / 4), Qt::AlignHCenter | Qt::AlignTop, title);
    p.end();
    return img;
}

QString catalogueLayout1(const QList<DemoCar>& cars) {
    QString t = QStringLiteral("?CL1 Kavro demo depot") + kCrLf;
    for (const DemoCar& c : cars)
        t += c.name + kCrLf + c.author + kCrLf + c.shotLine + kCrLf + c.zipLine + kCrLf;
    return t;
}

QString catalogueLayout0(const QList<DemoCar>& cars) {
    QString t;
    for (const DemoCar& c : cars)
        t += c.name + kCrLf + c.shotLine + kCrLf + c.zipLine + kCrLf;
    return t;
}

bool makeCarFiles(const QString& htdocs, const DemoCar& car, quint32 seed, QString* error) {
    if (!car.shotFile.isEmpty()) {
        const QColor colour = QColor::fromHsv(int(seed * 47 % 360), 200, 220);
        const bool big = car.shotFile.endsWith(QLatin1String(".jpg"));
        const QImage img = screenshot(car.name, colour, big ? 900 : 400, big ? 600 : 300);
        QDir().mkpath(QFileInfo(htdocs + car.shotFile).absolutePath());
        const bool saved = car.shotFile.endsWith(QLatin1String(".gif"))
                               ? writeBytes(htdocs + car.shotFile, encodeGif(img))
                               : img.save(htdocs + car.shotFile);
        if (!saved) {
            *error = QStringLiteral("cannot write ") + htdocs + car.shotFile;
            return false;
        }
    }
    if (car.zipFile.isEmpty())
        return true; // this car's ZIP is missing on the server
    QByteArray viv;
    if (!buildVivBytes(car.name, car.serial, QStringLiteral("XXXX"), seed, 1200 * 1024, viv, error))
        return false;
    const QString prefix = car.subFolder.isEmpty() ? QString() : car.subFolder + QLatin1Char('/');
    QList<QPair<QString, QByteArray>> entries{{prefix + QStringLiteral("CAR.VIV"), viv}};
    if (!car.qfsName.isEmpty())
        entries.append({prefix + car.qfsName, filler(6 * 1024, seed + 9)});
    if (car.fec)
        entries.append({prefix + QStringLiteral("CAR.FEC"), filler(2 * 1024, seed + 10)});
    entries.append({prefix + QStringLiteral("readme.txt"),
                    (car.name + QStringLiteral(" - a Kavro demo car.\r\n")).toLatin1()});
    return writeZip(htdocs + car.zipFile, entries, error);
}

bool installCar(const QString& game, const QString& id, const QString& name, int serial,
                quint32 seed, QString* error) {
    const QString folder = game + QStringLiteral("Data/Cars/") + id + QLatin1Char('/');
    QByteArray viv;
    if (!buildVivBytes(name, serial, id, seed, 48 * 1024, viv, error))
        return false;
    if (!writeBytes(folder + QStringLiteral("CAR.VIV"), viv) ||
        !AnsiText::writeFile(folder + QStringLiteral("ID.TXT"), name + kCrLf) ||
        !writeBytes(game + QStringLiteral("SaveData/Cars/") + id + QStringLiteral("/CAR.FEC"),
                    filler(2048, seed)) ||
        !writeBytes(game + QStringLiteral("Data/FeArt/Vidwall/") + id + QStringLiteral(".QFS"),
                    filler(4096, seed))) {
        *error = QStringLiteral("cannot install the demo car ") + id;
        return false;
    }
    return true;
}

} // namespace

namespace DemoWorld {

bool make(const QString& dirArg, QString* error) {
    const QString dir = QDir(dirArg).absolutePath() + QLatin1Char('/');
    const QString htdocs = dir + QStringLiteral("htdocs/");
    const QString game = dir + QStringLiteral("game/");

    // Server one: a catalogue with authors, relative and absolute addresses, an announcement.
    const QList<DemoCar> one{
        {QStringLiteral("Aurora GT"), QStringLiteral("speedwright"), QStringLiteral("shots/aurora.jpg"),
         QStringLiteral("one/shots/aurora.jpg"), QStringLiteral("cars/aurora.zip"),
         QStringLiteral("one/cars/aurora.zip"), 3, QStringLiteral("AURA.QFS"), true, {}},
        {QStringLiteral("Boreal Roadster"), QStringLiteral("N/A"), QStringLiteral("/shots/boreal.gif"),
         QStringLiteral("one/shots/boreal.gif"), QStringLiteral("{{BASE}}/one/cars/boreal.zip"),
         QStringLiteral("one/cars/boreal.zip"), 7, QStringLiteral("BORE1.QFS"), true, {}},
        {QStringLiteral("Cinder Coupe"), QStringLiteral("pixelgarage"), QStringLiteral("shots/cinder.bmp"),
         QStringLiteral("one/shots/cinder.bmp"), QStringLiteral(" {{BASE}}/one/cars/cinder.zip"),
         QStringLiteral("one/cars/cinder.zip"), 20, QStringLiteral("CIND.QFS"), true,
         QStringLiteral("Cinder Coupe")},
        {QStringLiteral("Dusk Runner"), QStringLiteral("speedwright"), QStringLiteral("shots/dusk.jpg"),
         QStringLiteral("one/shots/dusk.jpg"), QStringLiteral("cars/dusk.zip"), QString(), 9,
         QStringLiteral("DUSK.QFS"), true, {}},
        {QStringLiteral("Ember Spyder"), QStringLiteral("n/a"), QStringLiteral("shots/ember.gif"),
         QStringLiteral("one/shots/ember.gif"), QStringLiteral("cars/ember.zip"),
         QStringLiteral("one/cars/ember.zip"), 21, QStringLiteral("EMBR.QFS"), false, {}},
        {QStringLiteral("Fjord Wagon"), QStringLiteral("pixelgarage"), QStringLiteral("shots/fjord.jpg"),
         QStringLiteral("one/shots/fjord.jpg"), QStringLiteral("cars/fjord.zip"),
         QStringLiteral("one/cars/fjord.zip"), 12, QStringLiteral("FJRD.QFS"), true, {}},
        {QStringLiteral("Glacier Turbo"), QStringLiteral("speedwright"), QStringLiteral("shots/glacier.bmp"),
         QStringLiteral("one/shots/glacier.bmp"), QStringLiteral("cars/glacier.zip"),
         QStringLiteral("one/cars/glacier.zip"), 3, QStringLiteral("GLAC2.QFS"), true, {}},
        {QStringLiteral("~ Welcome to the Kavro demo depot: tick cars, then Download ~"),
         QStringLiteral("The Kavro Team"), QStringLiteral("shots/welcome.gif"),
         QStringLiteral("one/shots/welcome.gif"), QString(), QString(), 0, QString(), false, {}},
    };
    // Server two: a classic catalogue without authors; its addresses are written out in full.
    const QList<DemoCar> two{
        {QStringLiteral("Hornet 71"), {}, QStringLiteral("{{BASE}}/two/shots/hornet.bmp"),
         QStringLiteral("two/shots/hornet.bmp"), QStringLiteral("{{BASE}}/two/cars/hornet.zip"),
         QStringLiteral("two/cars/hornet.zip"), 7, QStringLiteral("HORN.QFS"), true, {}},
        {QStringLiteral("Ivory Sedan"), {}, QStringLiteral("{{BASE}}/two/shots/ivory.jpg"),
         QStringLiteral("two/shots/ivory.jpg"), QStringLiteral("{{BASE}}/two/cars/ivory.zip"),
         QStringLiteral("two/cars/ivory.zip"), 1, QStringLiteral("IVOR.QFS"), true, {}},
        {QStringLiteral("Jade Cabrio"), {}, QString(), QString(),
         QStringLiteral("{{BASE}}/two/cars/jade.zip"), QStringLiteral("two/cars/jade.zip"), 12,
         QString(), true, {}},
        {QStringLiteral("Kestrel LM"), {}, QStringLiteral("{{BASE}}/two/shots/kestrel.gif"),
         QStringLiteral("two/shots/kestrel.gif"), QStringLiteral("{{BASE}}/two/cars/kestrel.zip"),
         QStringLiteral("two/cars/kestrel.zip"), 44, QStringLiteral("KEST3.QFS"), false, {}},
    };

    if (QFileInfo::exists(dir) && !QDir(dir).isEmpty()) {
        *error = dir + QStringLiteral(" is not empty");
        return false;
    }
    quint32 seed = 1;
    for (const DemoCar& c : one + two)
        if (!makeCarFiles(htdocs, c, seed++, error))
            return false;

    const QString serverList =
        QStringLiteral("SL1") + kCrLf + QStringLiteral("2") + kCrLf +
        QStringLiteral("{{BASE}}/one/") + kCrLf + QStringLiteral("Kavro_CL.dat") + kCrLf +
        QStringLiteral("Kavro Demo Depot") + kCrLf + QStringLiteral("{{BASE}}/two/") + kCrLf +
        QStringLiteral("Kavro_CL.dat") + kCrLf + QStringLiteral("Classic Garage") + kCrLf;
    QDir().mkpath(htdocs + QStringLiteral("lxd"));
    QDir().mkpath(htdocs + QStringLiteral("one"));
    QDir().mkpath(htdocs + QStringLiteral("two"));
    if (!AnsiText::writeFile(htdocs + QStringLiteral("lxd/sl.dat"), serverList) ||
        !AnsiText::writeFile(htdocs + QStringLiteral("one/Kavro_CL.dat"), catalogueLayout1(one)) ||
        !AnsiText::writeFile(htdocs + QStringLiteral("two/Kavro_CL.dat"), catalogueLayout0(two))) {
        *error = QStringLiteral("cannot write the catalogue files in ") + htdocs;
        return false;
    }

    // The advertisement page and its picture.
    QImage ad(440, 48, QImage::Format_RGB32);
    ad.fill(QColor(30, 40, 90));
    {
        QPainter p(&ad);
        p.setPen(QColor(255, 210, 60));
        QFont f = p.font();
        f.setPixelSize(20);
        f.setBold(true);
        p.setFont(f);
        p.drawText(ad.rect(), Qt::AlignCenter, QStringLiteral("Your car here - Kavro demo depot"));
    }
    if (!ad.save(htdocs + QStringLiteral("ads.png")) ||
        !AnsiText::writeFile(htdocs + QStringLiteral("ads.htm"),
                             QStringLiteral("<html><body style=\"margin:0\">"
                                            "<img src=\"{{BASE}}/ads.png\" width=\"440\" "
                                            "height=\"48\" alt=\"Kavro demo depot\">"
                                            "</body></html>\r\n"))) {
        *error = QStringLiteral("cannot write the advertisement page");
        return false;
    }

    // The game: four installed cars, DMOA and DMOB sharing serial 3.
    for (const char* sub : {"Data/Cars", "SaveData/Cars", "Data/FeArt/Vidwall"})
        QDir().mkpath(game + QString::fromLatin1(sub));
    const struct {
        const char* id;
        const char* name;
        int serial;
    } installed[] = {{"DMOA", "Demo Alpha", 3}, {"DMOB", "Demo Bravo", 3},
                     {"DMOC", "Demo Charlie", 7}, {"DMOD", "Demo Delta", 12}};
    for (const auto& c : installed)
        if (!installCar(game, QString::fromLatin1(c.id), QString::fromLatin1(c.name), c.serial,
                        seed++, error))
            return false;

    // The settings store: the game's install folder.
    SettingsStore store(dir + QStringLiteral("config/kavro/registry.reg"));
    QDir().mkpath(dir + QStringLiteral("config/kavro"));
    if (!store.writeValue(RegistryRoot::LocalMachine, AppSettings::kGameKey,
                          QStringLiteral("InstallPath"), SettingsStore::Type::String,
                          QDir::toNativeSeparators(game).toLatin1())) {
        *error = QStringLiteral("cannot write the settings store");
        return false;
    }
    return true;
}

} // namespace DemoWorld
