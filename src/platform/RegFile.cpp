#include "platform/RegFile.h"

#include "platform/AnsiText.h"

#include <QStringDecoder>
#include <QStringList>

namespace {

struct RootName {
    const char* shortName;
    const char* longName;
};
constexpr RootName kRoots[] = {
    {"HKCU", "HKEY_CURRENT_USER"}, {"HKLM", "HKEY_LOCAL_MACHINE"},  {"HKCR", "HKEY_CLASSES_ROOT"},
    {"HKU", "HKEY_USERS"},         {"HKCC", "HKEY_CURRENT_CONFIG"},
};

QString decodeFile(const QByteArray& bytes) {
    if (bytes.startsWith("\xFF\xFE")) {
        QStringDecoder d(QStringDecoder::Utf16LE);
        return d.decode(bytes);
    }
    if (bytes.startsWith("\xFE\xFF")) {
        QStringDecoder d(QStringDecoder::Utf16BE);
        return d.decode(bytes);
    }
    QStringDecoder d(QStringDecoder::Utf8);
    const QString text = d.decode(bytes);
    if (!d.hasError())
        return text;
    return AnsiText::decode(bytes);
}

bool isValidUtf8(const QByteArray& bytes) {
    QStringDecoder d(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
    const QString text = d.decode(bytes); // the decoder only runs when its result is taken
    return !d.hasError();
}

// Reads a quoted text starting at text[pos] == '"'. On success pos is just past the closing quote.
bool readQuoted(const QString& text, qsizetype& pos, QString& out) {
    out.clear();
    if (pos >= text.size() || text[pos] != u'"')
        return false;
    ++pos;
    while (pos < text.size()) {
        const QChar c = text[pos];
        if (c == u'\\' && pos + 1 < text.size()) {
            const QChar n = text[pos + 1];
            if (n == u'\\' || n == u'"') {
                out += n;
                pos += 2;
                continue;
            }
            out += c;
            ++pos;
            continue;
        }
        if (c == u'"') {
            ++pos;
            return true;
        }
        out += c;
        ++pos;
    }
    return false;
}

bool onlySpaceFrom(const QString& text, qsizetype pos) {
    for (; pos < text.size(); ++pos)
        if (!text[pos].isSpace())
            return false;
    return true;
}

QString escapeText(const QString& s) {
    QString out;
    out.reserve(s.size() + 2);
    for (QChar c : s) {
        if (c == u'\\' || c == u'"')
            out += u'\\';
        out += c;
    }
    return out;
}

// "01,ff, 2a" -> bytes; false when anything else is in it.
bool parseHexList(const QString& list, QByteArray& out) {
    out.clear();
    const QString trimmed = list.trimmed();
    if (trimmed.isEmpty())
        return true;
    const QStringList parts = trimmed.split(u',');
    for (int i = 0; i < parts.size(); ++i) {
        const QString p = parts[i].trimmed();
        if (p.isEmpty() && i == parts.size() - 1)
            break; // a trailing comma
        bool ok = false;
        const uint v = p.toUInt(&ok, 16);
        if (!ok || p.size() > 2 || v > 0xFF)
            return false;
        out.append(char(v));
    }
    return true;
}

} // namespace

QString RegFile::normalizeKey(const QString& path) {
    QStringList parts = path.split(u'\\', Qt::SkipEmptyParts);
    if (parts.isEmpty())
        return {};
    for (const RootName& r : kRoots) {
        if (parts[0].compare(QLatin1String(r.shortName), Qt::CaseInsensitive) == 0 ||
            parts[0].compare(QLatin1String(r.longName), Qt::CaseInsensitive) == 0) {
            parts[0] = QLatin1String(r.longName);
            break;
        }
    }
    return parts.join(u'\\');
}

RegFile RegFile::parse(const QByteArray& bytes) {
    RegFile file;
    const QString text = decodeFile(bytes);
    const QStringList lines = text.split(u'\n');
    bool headerSeen = false;
    Key* current = nullptr;
    bool skipping = false; // inside a key that was removed or could not be read

    for (qsizetype i = 0; i < lines.size(); ++i) {
        QString line = lines[i];
        if (line.endsWith(u'\r'))
            line.chop(1);
        const QString t = line.trimmed();
        if (t.isEmpty() || t.startsWith(u';'))
            continue;
        if (!headerSeen) {
            headerSeen = true;
            if (t == QLatin1String("REGEDIT4") ||
                t == QLatin1String("Windows Registry Editor Version 5.00"))
                continue;
            file.m_damaged = true;
        }

        if (t.startsWith(u'[')) {
            if (!t.endsWith(u']')) {
                file.m_damaged = true;
                current = nullptr;
                skipping = true;
                continue;
            }
            QString inner = t.mid(1, t.size() - 2);
            const bool removal = inner.startsWith(u'-');
            if (removal)
                inner.remove(0, 1);
            const QString path = normalizeKey(inner);
            // A key whose name starts with "-" (as "[\-K]" gives) could only be written back as
            // a removal: it is not understood.
            if (path.isEmpty() || path.startsWith(u'-')) {
                file.m_damaged = true;
                current = nullptr;
                skipping = true;
                continue;
            }
            if (removal) {
                file.removeKeyTree(path);
                current = nullptr;
                skipping = true;
                continue;
            }
            skipping = false;
            current = file.findKey(path);
            if (!current) {
                file.m_keys.append(Key{path, {}});
                current = &file.m_keys.last();
            }
            continue;
        }

        // A value line: "name"=data or @=data.
        qsizetype pos = 0;
        QString name;
        if (t.startsWith(u'@')) {
            pos = 1;
        } else if (!readQuoted(t, pos, name)) {
            file.m_damaged = true;
            continue;
        }
        while (pos < t.size() && t[pos].isSpace())
            ++pos;
        if (pos >= t.size() || t[pos] != u'=') {
            file.m_damaged = true;
            continue;
        }
        ++pos;
        while (pos < t.size() && t[pos].isSpace())
            ++pos;
        QString data = t.mid(pos);

        // hex lists may go on over lines ending in "\".
        if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            while (data.endsWith(u'\\') && i + 1 < lines.size()) {
                data.chop(1);
                QString next = lines[++i];
                if (next.endsWith(u'\r'))
                    next.chop(1);
                data += next.trimmed();
            }
        }

        if (!current) {
            if (!skipping)
                file.m_damaged = true;
            continue;
        }

        if (data == QLatin1String("-")) {
            file.remove(current->path, name);
            continue;
        }
        if (data.startsWith(u'"')) {
            qsizetype p = 0;
            QString value;
            if (!readQuoted(data, p, value) || !onlySpaceFrom(data, p)) {
                file.m_damaged = true;
                continue;
            }
            file.set(current->path, name, 1, value.toUtf8());
            continue;
        }
        if (data.startsWith(QLatin1String("dword:"), Qt::CaseInsensitive)) {
            const QString digits = data.mid(6).trimmed();
            bool ok = false;
            const uint v = digits.toUInt(&ok, 16);
            if (!ok || digits.isEmpty() || digits.size() > 8) {
                file.m_damaged = true;
                continue;
            }
            QByteArray d(4, '\0');
            for (int b = 0; b < 4; ++b)
                d[b] = char((v >> (8 * b)) & 0xFF);
            file.set(current->path, name, 4, d);
            continue;
        }
        if (data.startsWith(QLatin1String("hex"), Qt::CaseInsensitive)) {
            int type = 3;
            qsizetype colon = data.indexOf(u':');
            if (colon < 0) {
                file.m_damaged = true;
                continue;
            }
            const QString kind = data.left(colon);
            if (kind.size() > 3) {
                // hex(<type>)
                if (kind.size() < 6 || kind[3] != u'(' || !kind.endsWith(u')')) {
                    file.m_damaged = true;
                    continue;
                }
                bool ok = false;
                type = kind.mid(4, kind.size() - 5).toInt(&ok, 16);
                if (!ok || type < 0) {
                    file.m_damaged = true;
                    continue;
                }
            }
            QByteArray d;
            if (!parseHexList(data.mid(colon + 1), d)) {
                file.m_damaged = true;
                continue;
            }
            file.set(current->path, name, type, d);
            continue;
        }
        file.m_damaged = true;
    }
    return file;
}

QByteArray RegFile::serialize() const {
    QString out = QStringLiteral("REGEDIT4\n");
    for (const Key& key : m_keys) {
        out += u'\n';
        out += u'[' + key.path + QStringLiteral("]\n");
        for (const Value& v : key.values) {
            QString line = v.name.isEmpty() ? QStringLiteral("@=")
                                            : u'"' + escapeText(v.name) + QStringLiteral("\"=");
            const bool plainText = v.type == 1 && isValidUtf8(v.data) && !v.data.contains('\0') &&
                                   !v.data.contains('\n') && !v.data.contains('\r');
            if (plainText) {
                line += u'"' + escapeText(QString::fromUtf8(v.data)) + u'"';
            } else if (v.type == 4 && v.data.size() == 4) {
                quint32 n = 0;
                for (int b = 3; b >= 0; --b)
                    n = (n << 8) | quint8(v.data[b]);
                line += QStringLiteral("dword:%1").arg(n, 8, 16, QLatin1Char('0'));
            } else {
                line += v.type == 3 ? QStringLiteral("hex:")
                                    : QStringLiteral("hex(%1):").arg(v.type, 0, 16);
                for (qsizetype b = 0; b < v.data.size(); ++b) {
                    line += QStringLiteral("%1").arg(quint8(v.data[b]), 2, 16, QLatin1Char('0'));
                    if (b + 1 < v.data.size()) {
                        line += u',';
                        if (line.size() - line.lastIndexOf(u'\n') > 76)
                            line += QStringLiteral("\\\n  ");
                    }
                }
            }
            out += line + u'\n';
        }
    }
    return out.toUtf8();
}

RegFile::Key* RegFile::findKey(const QString& normalized) {
    for (Key& k : m_keys)
        if (k.path.compare(normalized, Qt::CaseInsensitive) == 0)
            return &k;
    return nullptr;
}

const RegFile::Key* RegFile::findKey(const QString& normalized) const {
    for (const Key& k : m_keys)
        if (k.path.compare(normalized, Qt::CaseInsensitive) == 0)
            return &k;
    return nullptr;
}

const RegFile::Value* RegFile::find(const QString& keyPath, const QString& name) const {
    const Key* key = findKey(normalizeKey(keyPath));
    if (!key)
        return nullptr;
    for (const Value& v : key->values)
        if (v.name.compare(name, Qt::CaseInsensitive) == 0)
            return &v;
    return nullptr;
}

void RegFile::set(const QString& keyPath, const QString& name, int type, const QByteArray& data) {
    const QString path = normalizeKey(keyPath);
    Key* key = findKey(path);
    if (!key) {
        m_keys.append(Key{path, {}});
        key = &m_keys.last();
    }
    for (Value& v : key->values) {
        if (v.name.compare(name, Qt::CaseInsensitive) == 0) {
            v.type = type;
            v.data = data;
            return;
        }
    }
    key->values.append(Value{name, type, data});
}

bool RegFile::remove(const QString& keyPath, const QString& name) {
    Key* key = findKey(normalizeKey(keyPath));
    if (!key)
        return false;
    for (qsizetype i = 0; i < key->values.size(); ++i) {
        if (key->values[i].name.compare(name, Qt::CaseInsensitive) == 0) {
            key->values.removeAt(i);
            return true;
        }
    }
    return false;
}

void RegFile::removeKeyTree(const QString& keyPath) {
    const QString path = normalizeKey(keyPath);
    const QString prefix = path + u'\\';
    m_keys.removeIf([&](const Key& k) {
        return k.path.compare(path, Qt::CaseInsensitive) == 0 ||
               k.path.startsWith(prefix, Qt::CaseInsensitive);
    });
}
