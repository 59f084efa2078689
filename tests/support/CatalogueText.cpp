#include "CatalogueText.h"

#include "platform/AnsiText.h"

namespace CatalogueText {

QByteArray lines(const QStringList& lines) {
    QByteArray out;
    for (const QString& l : lines)
        out += AnsiText::encode(l) + "\r\n";
    return out;
}

QByteArray serverList(const QList<Server>& servers, const QString& header, const QString& count) {
    QStringList l{header, count.isNull() ? QString::number(servers.size()) : count};
    for (const Server& s : servers)
        l << s.url << s.path << s.name;
    return lines(l);
}

QByteArray layout1(const QList<Car>& cars, const QString& header) {
    QStringList l{header};
    for (const Car& c : cars)
        l << c.name << c.author << c.shot << c.zip;
    return lines(l);
}

QByteArray layout0(const QList<Car>& cars) {
    QStringList l;
    for (const Car& c : cars)
        l << c.name << c.shot << c.zip;
    return lines(l);
}

} // namespace CatalogueText
