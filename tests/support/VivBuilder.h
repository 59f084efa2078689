#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// Builds VIV car archives in memory for tests, independently of the program's reader and writer,
// so a test states exactly which bytes a fixture holds.
//
//   QByteArray viv = VivBuilder::build({{"fedata.eng", VivBuilder::fedata(5, "ABCD")},
//                                       {"carp.txt", VivBuilder::carp(5)}});
//   QByteArray car = VivBuilder::carArchive(5);               // a typical car, serial 5
//   VivBuilder::installCar(env.gamePath(), "AAAA", car);      // game/Data/Cars/AAAA/CAR.VIV
namespace VivBuilder {

struct Entry {
    QByteArray name; // raw name bytes (Windows-1252), without the zero byte
    QByteArray data;
};

// "BIGF", archive length, count, data start, the directory in the given order, then the data back
// to back in the same order. Every field is right; tests corrupt the result by hand.
QByteArray build(const QList<Entry>& entries);

// Reads an archive the simple way (trusting every field); ok is false when it is not "BIGF" or a
// field points outside the bytes.
QList<Entry> parse(const QByteArray& archive, bool* ok = nullptr);

// A "fedata.*" entry of size bytes (at least 802): filler, the car id at 274, the serial at 798.
QByteArray fedata(quint8 serial, const QByteArray& carId = "XXXX", int size = 1024);

// A "carp*.txt" entry (CR LF lines): "Serial Number(0)", the serial, then two more fields
// ("Car Classification(1)", "2", "Mass [kg](2)", "1500.0").
QByteArray carp(int serial);

// A car's entries: "car.fce" (filler up to totalSize bytes of archive when given), "carp.txt",
// "fedata.eng", "fedata.fre", "fedata.ger", in that order.
QList<Entry> carEntries(quint8 serial, const QByteArray& carId = "XXXX", qint64 totalSize = 0);
QByteArray carArchive(quint8 serial, const QByteArray& carId = "XXXX", qint64 totalSize = 0);

// Writes bytes to gamePath + "Data/Cars/" + carId + "/CAR.VIV" (creating folders); returns the
// archive's path.
QString installCar(const QString& gamePath, const QString& carId, const QByteArray& bytes);

// The serial at 798 of every entry whose name starts with "fedata." (without regard to case), and
// the line after each "(0)" line of every "carp*.txt" entry, as numbers, in entry order. A car
// whose serial was written everywhere gives a list of one repeated value.
QList<int> serialsIn(const QByteArray& archive);

} // namespace VivBuilder
