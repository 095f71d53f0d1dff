#include "formats/SafeFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "formats/FileErrors.h"

namespace lv {

const char* const kMsgCannotOpenFile = "Не удается открыть файл \"%s\"";
const char* const kMsgCannotSaveFile = "Не удается записать файл \"%s\"";

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) throw EFileError(FormatS(kMsgCannotOpenFile, path));
    std::vector<uint8_t> data;
    struct stat st {};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && st.st_size > 0) data.reserve(static_cast<size_t>(st.st_size));
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            int code = errno;
            ::close(fd);
            throw EFileError(FormatS(kMsgCannotOpenFile, path), code);
        }
        if (n == 0) break;
        data.insert(data.end(), buf, buf + n);
    }
    ::close(fd);
    return data;
}

namespace {
std::string folderOf(const std::string& path) {
    size_t slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}
} // namespace

void WriteFileReplacing(const std::string& path, size_t size, const std::function<void(uint8_t*)>& fill) {
    const std::string message = FormatS(kMsgCannotSaveFile, path);
    if (path.empty()) throw EFileError(message, ENOENT);
    std::string tmpl = folderOf(path) + "/.lumvaris-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw EFileError(message);
    const std::string tmp(name.data());

    auto fail = [&](int code) {
        ::close(fd);
        ::unlink(tmp.c_str());
        throw EFileError(message, code);
    };

    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    struct stat st {};
    mode_t mode = 0666;
    if (::stat(path.c_str(), &st) == 0) {
        mode = st.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }
    if (::fchmod(fd, mode) != 0) fail(errno);

    if (size > 0) {
        int rc = ::posix_fallocate(fd, 0, static_cast<off_t>(size));
        if (rc != 0) fail(rc);
        void* view = ::mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_SHARED, fd, 0);
        if (view == MAP_FAILED) fail(errno);
        try {
            std::memset(view, 0, size);
            fill(static_cast<uint8_t*>(view));
        } catch (...) {
            ::munmap(view, size);
            ::close(fd);
            ::unlink(tmp.c_str());
            throw;
        }
        int syncRc = ::msync(view, size, MS_SYNC);
        int syncErr = errno;
        ::munmap(view, size);
        if (syncRc != 0) fail(syncErr);
    }
    if (::fsync(fd) != 0) fail(errno);
    if (::close(fd) != 0) {
        int code = errno;
        ::unlink(tmp.c_str());
        throw EFileError(message, code);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        int code = errno;
        ::unlink(tmp.c_str());
        throw EFileError(message, code);
    }
}

void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFileReplacing(path, bytes.size(), [&](uint8_t* dst) {
        if (!bytes.empty()) std::memcpy(dst, bytes.data(), bytes.size());
    });
}

} // namespace lv
