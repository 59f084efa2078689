#include "platform/WinePrefix.h"

#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>
#include <QStringList>

namespace {

QString normalizeKey(const QString& key) {
    return key.split(u'\\', Qt::SkipEmptyParts).join(u'\\');
}

int hexDigit(QChar c) {
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    return -1;
}

// Reads a text written by Wine from text[pos] up to the unescaped terminator (a quote for
// values, "]" for key names). Wine escapes "\" and the terminator with "\", control characters
// as \n \t ... or octal, and characters beyond ASCII as \x followed by up to four hex digits.
bool readEscaped(const QString& text, qsizetype& pos, QChar terminator, QString& out) {
    out.clear();
    while (pos < text.size()) {
        const QChar c = text[pos++];
        if (c == terminator)
            return true;
        if (c != u'\\' || pos >= text.size()) {
            out += c;
            continue;
        }
        const QChar e = text[pos++];
        switch (e.unicode()) {
        case 'a':
            out += QChar(7);
            break;
        case 'b':
            out += QChar(8);
            break;
        case 'e':
            out += QChar(27);
            break;
        case 'f':
            out += QChar(12);
            break;
        case 'n':
            out += QChar(10);
            break;
        case 'r':
            out += QChar(13);
            break;
        case 't':
            out += QChar(9);
            break;
        case 'v':
            out += QChar(11);
            break;
        case 'x': {
            int v = 0, n = 0;
            while (n < 4 && pos < text.size() && hexDigit(text[pos]) >= 0) {
                v = v * 16 + hexDigit(text[pos++]);
                ++n;
            }
            out += n ? QChar(char16_t(v)) : QChar(u'x');
            break;
        }
        default:
            if (e >= u'0' && e <= u'7') {
                int v = e.unicode() - '0', n = 1;
                while (n < 3 && pos < text.size() && text[pos] >= u'0' && text[pos] <= u'7') {
                    v = v * 8 + (text[pos++].unicode() - '0');
                    ++n;
                }
                out += QChar(char16_t(v));
            } else {
                out += e;
            }
        }
    }
    return false;
}

} // namespace

QString WinePrefix::defaultFolder() {
    const QString env = qEnvironmentVariable("WINEPREFIX");
    if (!env.isEmpty())
        return env;
    return QDir::homePath() + QStringLiteral("/.wine");
}

QString WinePrefix::readMachineText(const QString& key, const QString& name) const {
    QFile f(m_folder + QStringLiteral("/system.reg"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8.decode(f.readAll());
    const QString wanted = normalizeKey(key);
    bool inKey = false;
    const QStringList lines = text.split(u'\n');
    for (QString line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.startsWith(u'[')) {
            qsizetype pos = 1;
            QString keyName;
            inKey = readEscaped(line, pos, u']', keyName) &&
                    normalizeKey(keyName).compare(wanted, Qt::CaseInsensitive) == 0;
            continue;
        }
        if (!inKey)
            continue;
        qsizetype pos = 0;
        QString valueName;
        if (line.startsWith(QLatin1String("@="))) {
            pos = 2;
        } else if (line.startsWith(u'"')) {
            pos = 1;
            if (!readEscaped(line, pos, u'"', valueName) || pos >= line.size() || line[pos] != u'=')
                continue;
            ++pos;
        } else {
            continue;
        }
        if (valueName.compare(name, Qt::CaseInsensitive) != 0)
            continue;
        QString data = line.mid(pos);
        if (data.startsWith(QLatin1String("str(2):")))
            data.remove(0, 7);
        if (!data.startsWith(u'"'))
            return {};
        qsizetype p = 1;
        QString value;
        if (!readEscaped(data, p, u'"', value))
            return {};
        return value;
    }
    return {};
}

QString WinePrefix::toLinuxPath(const QString& windowsPath) const {
    QString path = windowsPath;
    for (const QLatin1String unixPrefix :
         {QLatin1String("\\\\?\\unix\\"), QLatin1String("\\??\\unix\\")}) {
        if (path.startsWith(unixPrefix, Qt::CaseInsensitive)) {
            path = path.mid(unixPrefix.size() - 1);
            break;
        }
    }
    path.replace(u'\\', u'/');
    if (path.startsWith(u'/'))
        return path;
    if (path.size() < 2 || path[1] != u':' || !path[0].isLetter())
        return {};
    const QString drive = m_folder + QStringLiteral("/dosdevices/") + path[0].toLower() + u':';
    const QString target = QFileInfo(drive).canonicalFilePath();
    if (target.isEmpty() || !QFileInfo(target).isDir())
        return {};
    const QString rest = path.mid(2);
    if (rest.split(u'/', Qt::SkipEmptyParts).isEmpty())
        return GameFs::withSlash(target);
    return GameFs::resolve(GameFs::withSlash(target), rest);
}

QString WinePrefix::installFolder(const QString& key) const {
    const QString plain = normalizeKey(key);
    QStringList keys{plain};
    if (plain.startsWith(QLatin1String("Software\\"), Qt::CaseInsensitive))
        keys.append(QStringLiteral("Software\\Wow6432Node\\") + plain.mid(9));
    for (const QString& k : keys) {
        const QString value = readMachineText(k, QStringLiteral("InstallPath"));
        if (value.trimmed().isEmpty())
            continue;
        const QString path = toLinuxPath(value);
        if (!path.isEmpty())
            return path;
    }
    return {};
}
