#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Builds the text of server lists and catalogues as a server publishes them: Windows-1252 lines
// ending in CR LF, so a test reads as the file it serves.
namespace CatalogueText {

struct Server {
    QString url;
    QString path;
    QString name;
};
struct Car {
    QString name;
    QString author;
    QString shot;
    QString zip;
};

// The lines joined with CR LF, each line ended.
QByteArray lines(const QStringList& lines);
// "SL1" (or the header given), the count, then three lines per server.
QByteArray serverList(const QList<Server>& servers, const QString& header = QStringLiteral("SL1"),
                      const QString& count = QString());
// Layout 1: "?CL1" then name, author, screenshot and ZIP lines per car.
QByteArray layout1(const QList<Car>& cars, const QString& header = QStringLiteral("?CL1"));
// Layout 0: name, screenshot and ZIP lines per car (authors are not written).
QByteArray layout0(const QList<Car>& cars);

} // namespace CatalogueText
