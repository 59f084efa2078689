#include "core/gamedata/Viv.h"

#include "platform/AnsiText.h"
#include "platform/GameFs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr char kMagic[4] = {'B', 'I', 'G', 'F'};
constexpr qint64 kHeaderSize = 16;
constexpr quint32 kMaxEntries = 32767;
constexpr qint64 kMaxFileNameBytes = 255;
constexpr qint64 kCopyChunk = 1 << 20;

struct Entry {
    quint32 offset = 0;
    quint32 length = 0;
    QByteArray rawName;
};

enum class Parse { Ok, Invalid, Failed };

void setError(QString* error, const QString& text) {
    if (error)
        *error = text;
}

// A name that can be a file of its own inside one folder, here and on the game's file system.
bool isPlainName(const QByteArray& raw) {
    if (raw.isEmpty() || raw == "." || raw == "..")
        return false;
    for (char c : raw)
        if (c == '/' || c == '\\' || c == ':' || c == '\0')
            return false;
    return QFile::encodeName(AnsiText::decode(raw)).size() <= kMaxFileNameBytes;
}

quint32 bigEndianAt(const QByteArray& buf, qint64 pos) {
    return qFromBigEndian<quint32>(buf.constData() + pos);
}

// Reads header and directory, checking every field against the file. Reads only what the
// directory needs (the entries' data is not touched).
Parse readDirectory(QFile& file, QList<Entry>& entries, QString* error) {
    entries.clear();
    const qint64 size = file.size();
    if (size < kHeaderSize)
        return Parse::Invalid;

    QByteArray buf;
    // Makes sure bytes [0, need) of the file are in buf; Invalid when the file is shorter.
    auto ensure = [&](qint64 need) -> Parse {
        if (need > size)
            return Parse::Invalid;
        if (buf.size() >= need)
            return Parse::Ok;
        const qint64 want = std::min(size, std::max({need, qint64(buf.size()) * 2, qint64(4096)}));
        if (!file.seek(buf.size())) {
            setError(error, file.errorString());
            return Parse::Failed;
        }
        const QByteArray more = file.read(want - buf.size());
        if (more.size() != want - buf.size()) {
            setError(error, file.errorString());
            return Parse::Failed;
        }
        buf.append(more);
        return Parse::Ok;
    };

    if (Parse p = ensure(kHeaderSize); p != Parse::Ok)
        return p;
    if (std::memcmp(buf.constData(), kMagic, 4) != 0)
        return Parse::Invalid;
    if (qint64(bigEndianAt(buf, 4)) != size)
        return Parse::Invalid;
    const quint32 count = bigEndianAt(buf, 8);
    if (count > kMaxEntries)
        return Parse::Invalid;

    entries.reserve(count);
    qint64 pos = kHeaderSize;
    for (quint32 i = 0; i < count; ++i) {
        if (Parse p = ensure(pos + 8); p != Parse::Ok)
            return p;
        Entry e;
        e.offset = bigEndianAt(buf, pos);
        e.length = bigEndianAt(buf, pos + 4);
        pos += 8;
        // The name runs to the next zero byte; it must end inside the file.
        qint64 end = pos;
        for (;;) {
            if (Parse p = ensure(end + 1); p != Parse::Ok)
                return p;
            const qint64 zero = buf.indexOf('\0', end);
            if (zero >= 0) {
                end = zero;
                break;
            }
            end = buf.size();
            if (end - pos > kMaxFileNameBytes)
                return Parse::Invalid;
        }
        e.rawName = buf.mid(pos, end - pos);
        pos = end + 1;
        if (!isPlainName(e.rawName))
            return Parse::Invalid;
        if (quint64(e.offset) + e.length > quint64(size))
            return Parse::Invalid;
        entries.append(e);
    }
    return Parse::Ok;
}

// Copies length bytes of in, from inOffset, to out at its current position: in the kernel when
// the file system can (no trip through this process's memory), else through a buffer.
bool copyBytes(int in, qint64 inOffset, int out, qint64 length) {
    off_t from = off_t(inOffset);
    bool inKernel = true;
    std::vector<char> buffer;
    while (length > 0) {
        if (inKernel) {
            const ssize_t n = ::copy_file_range(in, &from, out, nullptr,
                                                size_t(std::min(length, kCopyChunk * 64)), 0);
            if (n > 0) {
                length -= n;
                continue;
            }
            if (n == 0)
                return false; // the source is shorter than it should be
            if (errno == EINTR)
                continue;
            if (errno != ENOSYS && errno != EXDEV && errno != EINVAL && errno != EOPNOTSUPP)
                return false;
            inKernel = false;
        }
        if (buffer.empty())
            buffer.resize(size_t(kCopyChunk));
        const ssize_t r = ::pread(in, buffer.data(), size_t(std::min(length, kCopyChunk)), from);
        if (r < 0 && errno == EINTR)
            continue;
        if (r <= 0)
            return false;
        for (ssize_t done = 0; done < r;) {
            const ssize_t w = ::write(out, buffer.data() + done, size_t(r - done));
            if (w < 0 && errno == EINTR)
                continue;
            if (w <= 0)
                return false;
            done += w;
        }
        from += r;
        length -= r;
    }
    return true;
}

QString systemError() {
    return QString::fromLocal8Bit(std::strerror(errno));
}

// Copies [offset, offset + length) of the archive into a new file at path. The file is opened
// without following a symbolic link, so the write stays inside its folder.
bool writeEntry(QFile& archive, const Entry& e, const QString& path, QString* error) {
    const QByteArray native = QFile::encodeName(path);
    QFileInfo existing(path);
    if (existing.isSymLink() && !QFile::remove(path)) {
        setError(error, QStringLiteral("cannot replace %1").arg(path));
        return false;
    }
    const int fd =
        ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(path, systemError()));
        return false;
    }
    bool ok = copyBytes(archive.handle(), e.offset, fd, e.length);
    QString why = systemError();
    if (::close(fd) != 0 && ok) {
        ok = false;
        why = systemError();
    }
    if (!ok)
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, why));
    return ok;
}

// A missing archive is an invalid one; anything else that cannot be opened is a failure.
Parse openArchive(QFile& file, QString* error) {
    if (file.open(QIODevice::ReadOnly)) {
        if (QFileInfo(file.fileName()).isDir()) {
            setError(error, QStringLiteral("%1 is a folder").arg(file.fileName()));
            return Parse::Failed;
        }
        return Parse::Ok;
    }
    const QFileInfo info(file.fileName());
    if (!info.exists() && !info.isSymLink() && QFileInfo(info.absolutePath()).isDir())
        return Parse::Invalid;
    setError(error, QStringLiteral("cannot open %1: %2").arg(file.fileName(), file.errorString()));
    return Parse::Failed;
}

bool lessWithoutCase(const QString& a, const QString& b) {
    return GameFs::nameLess(a, b);
}

// The name of an entry that appears twice, or empty.
QString duplicateName(const QList<Entry>& entries) {
    QSet<QByteArray> seen;
    for (const Entry& e : entries) {
        if (seen.contains(e.rawName))
            return AnsiText::decode(e.rawName);
        seen.insert(e.rawName);
    }
    return {};
}

// One entry of an archive being written: its name bytes (without the zero) and its length.
struct Piece {
    QByteArray rawName;
    qint64 size = 0;
};

// Writes an archive of pieces, data back to back after the directory, under a temporary name
// beside path, and renames it over path once complete (flushed to disk). body(i, fd, why) appends
// piece i's bytes to fd. On any failure nothing at path changes.
bool writeArchive(const QString& path, const QList<Piece>& pieces,
                  const std::function<bool(qsizetype, int, QString*)>& body, QString* error) {
    quint64 dataStart = kHeaderSize;
    for (const Piece& p : pieces)
        dataStart += 9 + quint64(p.rawName.size());
    quint64 total = dataStart;
    for (const Piece& p : pieces)
        total += quint64(p.size);
    if (total > 0xFFFFFFFFull) {
        setError(error, QStringLiteral("the archive would be larger than 4 GiB"));
        return false;
    }

    QByteArray head;
    head.reserve(qsizetype(dataStart));
    auto put = [&head](quint32 v) {
        char b[4];
        qToBigEndian(v, b);
        head.append(b, 4);
    };
    head.append(kMagic, 4);
    put(quint32(total));
    put(quint32(pieces.size()));
    put(quint32(dataStart));
    quint64 offset = dataStart;
    for (const Piece& p : pieces) {
        put(quint32(offset));
        put(quint32(p.size));
        head.append(p.rawName);
        head.append('\0');
        offset += quint64(p.size);
    }

    QSaveFile out(path);
    if (!out.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
        setError(error, QStringLiteral("cannot create %1: %2").arg(path, out.errorString()));
        return false;
    }
    if (out.write(head) != head.size()) {
        out.cancelWriting();
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
        return false;
    }
    for (qsizetype i = 0; i < pieces.size(); ++i) {
        QString why;
        if (!body(i, out.handle(), &why)) {
            out.cancelWriting();
            setError(error, why);
            return false;
        }
    }
    if (!out.commit()) {
        setError(error, QStringLiteral("cannot write %1: %2").arg(path, out.errorString()));
        return false;
    }
    return true;
}

} // namespace

qint16 ReadViv(const QString& archivePath, const QString& destFolder, qint16 serialOnly,
               QString* error) {
    if (error)
        error->clear();
    const qint16 invalid = serialOnly ? -1 : 0;
    QFile file(archivePath);
    if (openArchive(file, error) != Parse::Ok)
        return invalid;
    QList<Entry> entries;
    if (readDirectory(file, entries, error) != Parse::Ok)
        return invalid;

    if (serialOnly) {
        const Entry* serialEntry = nullptr;
        for (const Entry& e : entries)
            if (e.rawName == "fedata.eng")
                serialEntry = &e;
        if (!serialEntry)
            return 0;
        if (serialEntry->length <= kVivSerialOffset)
            return -1;
        char byte = 0;
        if (!file.seek(serialEntry->offset + kVivSerialOffset) || !file.getChar(&byte)) {
            setError(error, file.errorString());
            return -1;
        }
        return qint16(static_cast<unsigned char>(byte));
    }

    // A folder cannot hold two files of one name: unpacking such an archive would lose an entry.
    if (QString dup = duplicateName(entries); !dup.isEmpty()) {
        setError(error, QStringLiteral("%1 holds two entries named %2").arg(archivePath, dup));
        return 0;
    }

    QString folder = destFolder;
    if (!folder.isEmpty() && !folder.endsWith(u'/'))
        folder += u'/';
    QStringList written;
    for (const Entry& e : entries) {
        const QString path = folder + AnsiText::decode(e.rawName);
        written.append(path);
        if (!writeEntry(file, e, path, error)) {
            for (const QString& p : std::as_const(written))
                QFile::remove(p);
            return 0;
        }
    }
    return 1;
}

bool WriteViv(const QString& archivePath, const QString& sourceFolder, QString* error) {
    if (error)
        error->clear();
    QDir dir(sourceFolder);
    if (!dir.exists()) {
        setError(error, QStringLiteral("%1 does not exist").arg(sourceFolder));
        return false;
    }
    QStringList names =
        dir.entryList(QDir::Files | QDir::Hidden | QDir::NoDotAndDotDot, QDir::NoSort);
    std::sort(names.begin(), names.end(), lessWithoutCase);
    if (names.size() > qsizetype(kMaxEntries)) {
        setError(error,
                 QStringLiteral("more than %1 files in %2").arg(kMaxEntries).arg(sourceFolder));
        return false;
    }

    QList<Piece> pieces;
    QStringList paths;
    pieces.reserve(names.size());
    for (const QString& name : std::as_const(names)) {
        const QByteArray raw = AnsiText::encode(name);
        if (AnsiText::decode(raw) != name || !isPlainName(raw)) {
            setError(error, QStringLiteral("the name %1 cannot be stored in an archive").arg(name));
            return false;
        }
        paths.append(dir.filePath(name));
        pieces.append({raw, QFileInfo(paths.last()).size()});
    }
    return writeArchive(
        archivePath, pieces,
        [&](qsizetype i, int out, QString* why) {
            const int in = ::open(QFile::encodeName(paths[i]).constData(), O_RDONLY | O_CLOEXEC);
            if (in < 0) {
                *why = QStringLiteral("cannot read %1: %2").arg(paths[i], systemError());
                return false;
            }
            struct stat st {};
            bool ok = ::fstat(in, &st) == 0 && st.st_size == pieces[i].size;
            if (!ok)
                *why = QStringLiteral("%1 changed while it was read").arg(paths[i]);
            else if (!(ok = copyBytes(in, 0, out, pieces[i].size)))
                *why = QStringLiteral("cannot write %1: %2").arg(archivePath, systemError());
            ::close(in);
            return ok;
        },
        error);
}

// Opens archivePath (file names it) and reads its directory; false, with the reason in error,
// when it cannot be read or is not a valid archive.
static bool readArchive(QFile& file, QList<Entry>& entries, QString* error) {
    Parse parsed = openArchive(file, error);
    if (parsed == Parse::Ok)
        parsed = readDirectory(file, entries, error);
    if (parsed == Parse::Invalid)
        setError(error, QStringLiteral("%1 is not a valid VIV archive").arg(file.fileName()));
    return parsed == Parse::Ok;
}

bool ForEachVivEntry(const QString& archivePath,
                     const std::function<void(const QString&, const QByteArray&)>& visit,
                     QString* error) {
    if (error)
        error->clear();
    QFile file(archivePath);
    QList<Entry> entries;
    if (!readArchive(file, entries, error))
        return false;
    for (const Entry& e : entries) {
        QByteArray data(qsizetype(e.length), Qt::Uninitialized);
        if (e.length > 0 &&
            (!file.seek(e.offset) || file.read(data.data(), e.length) != e.length)) {
            setError(error,
                     QStringLiteral("cannot read %1: %2").arg(archivePath, file.errorString()));
            return false;
        }
        visit(AnsiText::decode(e.rawName), data);
    }
    return true;
}

bool RewriteViv(const QString& archivePath, const std::function<bool(const QString&)>& selects,
                const std::function<bool(const QString&, QByteArray&, QString*)>& edit,
                QString* error) {
    if (error)
        error->clear();
    QFile file(archivePath);
    QList<Entry> entries;
    if (!readArchive(file, entries, error))
        return false;
    if (QString dup = duplicateName(entries); !dup.isEmpty()) {
        setError(error, QStringLiteral("%1 holds two entries named %2").arg(archivePath, dup));
        return false;
    }

    // The order a folder of the unpacked entries would be listed in.
    std::stable_sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return lessWithoutCase(AnsiText::decode(a.rawName), AnsiText::decode(b.rawName));
    });
    QList<Piece> pieces;
    QList<QByteArray> edited(entries.size());
    QList<bool> isEdited(entries.size(), false);
    for (qsizetype i = 0; i < entries.size(); ++i) {
        const Entry& e = entries[i];
        const QString name = AnsiText::decode(e.rawName);
        if (selects(name)) {
            QByteArray data(qsizetype(e.length), Qt::Uninitialized);
            if (e.length > 0 &&
                (!file.seek(e.offset) || file.read(data.data(), e.length) != e.length)) {
                setError(error,
                         QStringLiteral("cannot read %1: %2").arg(archivePath, file.errorString()));
                return false;
            }
            QString why;
            if (!edit(name, data, &why)) {
                setError(error, why);
                return false;
            }
            edited[i] = data;
            isEdited[i] = true;
        }
        pieces.append({e.rawName, isEdited[i] ? qint64(edited[i].size()) : qint64(e.length)});
    }
    return writeArchive(
        archivePath, pieces,
        [&](qsizetype i, int out, QString* why) {
            bool ok = true;
            if (isEdited[i]) {
                const QByteArray& d = edited[i];
                for (qsizetype done = 0; ok && done < d.size();) {
                    const ssize_t w = ::write(out, d.constData() + done, size_t(d.size() - done));
                    if (w < 0 && errno == EINTR)
                        continue;
                    ok = w > 0;
                    done += ok ? w : 0;
                }
            } else {
                ok = copyBytes(file.handle(), entries[i].offset, out, entries[i].length);
            }
            if (!ok)
                *why = QStringLiteral("cannot write %1: %2").arg(archivePath, systemError());
            return ok;
        },
        error);
}

QByteArray NameToBytes(const QString& name) {
    QByteArray bytes = AnsiText::encode(name);
    bytes.append('\0');
    return bytes;
}
