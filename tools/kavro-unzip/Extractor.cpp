#include "Extractor.h"

#include "EntryNames.h"

#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace fs = std::filesystem;

namespace Extractor {

namespace {

volatile std::sig_atomic_t g_stop = 0;

struct Entry {
    zip_uint64_t index = 0;
    std::string name;
    EntryNames::Parsed parsed;
    bool hasSize = false;
    zip_uint64_t size = 0; // as the directory announces it
    bool hasTime = false;
    time_t mtime = 0;
};

struct Pending {
    fs::path temp;
    fs::path target;
};

std::string inQuotes(const std::string& s) {
    return "\"" + s + "\"";
}

std::string maxTotalText() {
    return std::to_string(kMaxTotalBytes / (1024 * 1024)) + " MiB (" +
           std::to_string(kMaxTotalBytes) + " bytes)";
}

class Run {
public:
    Run(std::string folder, std::string zipPath)
        : m_root(std::move(folder)), m_zipPath(std::move(zipPath)) {
        const mode_t mask = ::umask(0);
        ::umask(mask);
        m_fileMode = 0666 & ~mask;
    }
    ~Run() {
        if (m_zip)
            zip_discard(m_zip);
    }

    Result run() {
        Result r = open();
        if (r.code == Success)
            r = check();
        if (r.code == Success)
            r = write();
        if (r.code == Success)
            r = commit();
        if (r.code != Success)
            undo();
        return r;
    }

private:
    Result fail(ExitCode code, std::string message) { return {code, std::move(message)}; }

    Result refuse(const std::string& why) {
        return fail(TooLarge, "refused the ZIP " + inQuotes(m_zipPath) + ": " + why);
    }

    Result stopped() {
        return fail(Stopped, "stopped before the end; what was extracted is removed");
    }

    Result open() {
        int err = 0;
        m_zip = zip_open(m_zipPath.c_str(), ZIP_RDONLY, &err);
        if (!m_zip) {
            zip_error_t ze;
            zip_error_init_with_code(&ze, err);
            Result r = fail(UnreadableZip, "cannot read the ZIP " + inQuotes(m_zipPath) + ": " +
                                               zip_error_strerror(&ze));
            zip_error_fini(&ze);
            return r;
        }
        return {};
    }

    // Every name and size is looked at before anything is written: one unsafe name, too many
    // entries or too many bytes announced refuse the whole ZIP.
    Result check() {
        const zip_int64_t count = zip_get_num_entries(m_zip, 0);
        if (count > kMaxEntries)
            return refuse("it holds " + std::to_string(count) + " entries (at most " +
                          std::to_string(kMaxEntries) + " are unpacked); nothing was extracted");
        zip_uint64_t announced = 0;
        for (zip_int64_t i = 0; i < count; ++i) {
            const char* raw = zip_get_name(m_zip, zip_uint64_t(i), ZIP_FL_ENC_RAW);
            const char* name = zip_get_name(m_zip, zip_uint64_t(i), 0);
            if (!raw || !name)
                return fail(UnreadableZip, "cannot read the ZIP " + inQuotes(m_zipPath) + ": " +
                                               zip_strerror(m_zip));
            for (const char* n : {raw, name}) {
                const EntryNames::Parsed p = EntryNames::parse(n);
                if (!p.safe)
                    return fail(UnsafeName,
                                "refused the ZIP " + inQuotes(m_zipPath) + ": the entry " +
                                    inQuotes(EntryNames::printable(n)) + " has " + p.reason +
                                    (p.outside ? " and would be written outside the folder" : "") +
                                    "; nothing was extracted");
            }
            Entry e;
            e.index = zip_uint64_t(i);
            e.name = name;
            e.parsed = EntryNames::parse(name);
            zip_stat_t st;
            zip_stat_init(&st);
            if (zip_stat_index(m_zip, e.index, 0, &st) == 0) {
                if ((st.valid & ZIP_STAT_ENCRYPTION_METHOD) && st.encryption_method != ZIP_EM_NONE)
                    return fail(UnreadableZip, "cannot read the ZIP " + inQuotes(m_zipPath) +
                                                   ": the entry " + inQuotes(name) +
                                                   " is encrypted; nothing was extracted");
                if (st.valid & ZIP_STAT_MTIME) {
                    e.hasTime = true;
                    e.mtime = st.mtime;
                }
                if (st.valid & ZIP_STAT_SIZE) {
                    e.hasSize = true;
                    e.size = st.size;
                    const zip_uint64_t over = kMaxTotalBytes + 1; // no overflow past this
                    announced = std::min(over, announced + std::min(over, zip_uint64_t(st.size)));
                }
            }
            m_entries.push_back(std::move(e));
        }
        if (announced > kMaxTotalBytes)
            return refuse("its entries would unpack to more than " + maxTotalText() +
                          "; nothing was extracted");
        if (g_stop)
            return stopped();
        return {};
    }

    // Makes folder (below the root) with its parents, refusing to go through links or files.
    Result makeFolder(const std::vector<std::string>& parts, size_t count, fs::path& out) {
        out = m_root;
        for (size_t k = 0; k < count; ++k) {
            out /= parts[k];
            std::error_code ec;
            const fs::file_status st = fs::symlink_status(out, ec);
            if (fs::is_symlink(st))
                return fail(WriteFailed,
                            "will not write through the link " + inQuotes(out.string()));
            if (fs::exists(st)) {
                if (!fs::is_directory(st))
                    return fail(WriteFailed, "cannot create the folder " + inQuotes(out.string()) +
                                                 ": a file of that name exists");
                continue;
            }
            if (!fs::create_directory(out, ec) && ec)
                return fail(WriteFailed, "cannot create the folder " + inQuotes(out.string()) +
                                             ": " + ec.message());
            m_createdFolders.push_back(out);
        }
        return {};
    }

    Result write() {
        std::error_code ec;
        if (!fs::exists(m_root, ec)) {
            if (!fs::create_directories(m_root, ec))
                return fail(WriteFailed, "cannot create the folder " + inQuotes(m_root.string()) +
                                             ": " + ec.message());
            m_createdRoot = true;
        } else if (!fs::is_directory(m_root, ec)) {
            return fail(WriteFailed, "cannot extract into " + inQuotes(m_root.string()) +
                                         ": it is not a folder");
        }
        for (const Entry& e : m_entries) {
            if (g_stop)
                return stopped();
            const auto& parts = e.parsed.parts;
            if (parts.empty())
                continue; // "./" and the like: the root itself
            fs::path folder;
            const size_t folderParts = e.parsed.folder ? parts.size() : parts.size() - 1;
            if (Result r = makeFolder(parts, folderParts, folder); r.code != Success)
                return r;
            if (e.parsed.folder)
                continue;
            const fs::path target = folder / parts.back();
            if (fs::is_directory(fs::symlink_status(target, ec)))
                return fail(WriteFailed, "cannot write " + inQuotes(target.string()) +
                                             ": a folder of that name exists");
            if (Result r = writeEntry(e, folder, target); r.code != Success)
                return r;
        }
        return {};
    }

    Result writeEntry(const Entry& e, const fs::path& folder, const fs::path& target) {
        std::string templ = (folder / ".kavro-unzip-XXXXXX").string();
        const int fd = ::mkstemp(templ.data());
        if (fd < 0)
            return fail(WriteFailed,
                        "cannot write " + inQuotes(target.string()) + ": " + std::strerror(errno));
        m_pending.push_back({fs::path(templ), target});

        zip_file_t* zf = zip_fopen_index(m_zip, e.index, 0);
        if (!zf) {
            ::close(fd);
            return fail(UnreadableZip, "cannot read the entry " + inQuotes(e.name) +
                                           " of the ZIP " + inQuotes(m_zipPath) + ": " +
                                           zip_strerror(m_zip));
        }
        std::vector<char> buffer(1 << 16);
        Result r;
        zip_uint64_t entryBytes = 0;
        for (;;) {
            if (g_stop) {
                r = stopped();
                break;
            }
            const zip_int64_t got = zip_fread(zf, buffer.data(), buffer.size());
            if (got < 0) {
                r = fail(UnreadableZip, "cannot read the entry " + inQuotes(e.name) +
                                            " of the ZIP " + inQuotes(m_zipPath) + ": " +
                                            zip_file_strerror(zf));
                break;
            }
            if (got == 0)
                break;
            // Counted before the bytes are written: a lying directory never gets them on disk.
            entryBytes += zip_uint64_t(got);
            m_written += zip_uint64_t(got);
            if (e.hasSize && entryBytes > e.size) {
                r = refuse("the entry " + inQuotes(EntryNames::printable(e.name)) +
                           " unpacks to more than the " + std::to_string(e.size) +
                           " bytes its directory announces; what was extracted is removed");
                break;
            }
            if (m_written > kMaxTotalBytes) {
                r = refuse("it unpacks to more than " + maxTotalText() +
                           ", more than its directory announces; what was extracted is removed");
                break;
            }
            const char* p = buffer.data();
            size_t left = size_t(got);
            while (left > 0) {
                const ssize_t w = ::write(fd, p, left);
                if (w < 0 && errno == EINTR)
                    continue;
                if (w <= 0) {
                    r = fail(WriteFailed, "cannot write " + inQuotes(target.string()) + ": " +
                                              std::strerror(errno));
                    break;
                }
                p += w;
                left -= size_t(w);
            }
            if (r.code != Success)
                break;
        }
        zip_fclose(zf);
        if (r.code == Success) {
            ::fchmod(fd, m_fileMode);
            if (e.hasTime) {
                const struct timespec times[2] = {{e.mtime, 0}, {e.mtime, 0}};
                ::futimens(fd, times);
            }
        }
        if (::close(fd) != 0 && r.code == Success)
            r = fail(WriteFailed,
                     "cannot write " + inQuotes(target.string()) + ": " + std::strerror(errno));
        return r;
    }

    // Every entry is written: the temporary files take their real names.
    Result commit() {
        while (!m_pending.empty()) {
            if (g_stop)
                return stopped();
            const Pending p = m_pending.front();
            std::error_code ec;
            const bool existed = fs::exists(fs::symlink_status(p.target, ec));
            fs::rename(p.temp, p.target, ec);
            if (ec)
                return fail(WriteFailed,
                            "cannot write " + inQuotes(p.target.string()) + ": " + ec.message());
            m_pending.erase(m_pending.begin());
            if (!existed)
                m_newFiles.push_back(p.target);
        }
        return {};
    }

    void undo() {
        std::error_code ec;
        for (const Pending& p : m_pending)
            fs::remove(p.temp, ec);
        for (const fs::path& f : m_newFiles)
            fs::remove(f, ec);
        for (auto it = m_createdFolders.rbegin(); it != m_createdFolders.rend(); ++it)
            fs::remove(*it, ec); // only when empty
        if (m_createdRoot)
            fs::remove(m_root, ec);
    }

    fs::path m_root;
    std::string m_zipPath;
    mode_t m_fileMode = 0644;
    zip_t* m_zip = nullptr;
    std::vector<Entry> m_entries;
    zip_uint64_t m_written = 0; // bytes unpacked by this run, all entries
    std::vector<Pending> m_pending;
    std::vector<fs::path> m_newFiles;
    std::vector<fs::path> m_createdFolders;
    bool m_createdRoot = false;
};

} // namespace

Result extract(const std::string& folder, const std::string& zipPath) {
    return Run(folder, zipPath).run();
}

void requestStop() noexcept {
    g_stop = 1;
}

} // namespace Extractor
