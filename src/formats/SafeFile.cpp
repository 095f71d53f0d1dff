#include "formats/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

#include "formats/FileErrors.h"
#include "formats/uMapsFiles.h"

namespace lv {

const char* const kMsgCannotOpenFile = "Не удается открыть файл \"%s\"";
const char* const kMsgCannotSaveFile = "Не удается записать файл \"%s\"";

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    // Not blocking: a named pipe is refused below instead of waiting for a writer forever.
    int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) throw EFileError(FormatS(kMsgCannotOpenFile, path));
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        const int code = S_ISDIR(info.st_mode) ? EISDIR : EINVAL;
        ::close(fd);
        throw EFileError(FormatS(kMsgCannotOpenFile, path), code);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    // Closed on every way out, running out of memory for the contents included.
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    std::vector<uint8_t> data;
    if (info.st_size > 0) data.reserve(static_cast<size_t>(info.st_size));
    uint8_t buf[65536];
    for (;;) {
        ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            throw EFileError(FormatS(kMsgCannotOpenFile, path), code);
        }
        if (n == 0) break;
        data.insert(data.end(), buf, buf + n);
    }
    return data;
}

void WriteFileReplacing(const std::string& path, size_t size, const std::function<void(uint8_t*)>& fill) {
    WriteFileMapped(path, size, fill);
}

void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFileReplacing(path, bytes.size(), [&](uint8_t* dst) {
        if (!bytes.empty()) std::memcpy(dst, bytes.data(), bytes.size());
    });
}

} // namespace lv
