#include "formats/SafeFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>

#include "formats/FileErrors.h"
#include "formats/uMapsFiles.h"

namespace lv {

const char* const kMsgCannotOpenFile = "Не удается открыть файл \"%s\"";
const char* const kMsgCannotSaveFile = "Не удается записать файл \"%s\"";

namespace {

// The file's bytes read straight into the buffer, which is sized from the file and grows when the
// file grows meanwhile.
template <class Buffer> Buffer readWhole(const std::string& path) {
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
    constexpr size_t kGrowth = 65536;
    Buffer data;
    // One byte more than the file holds, so that its end is seen without a second read.
    data.resize(static_cast<size_t>(std::max<off_t>(info.st_size, 0)) + 1);
    size_t got = 0;
    for (;;) {
        if (got == data.size()) data.resize(got + kGrowth);
        const ssize_t n = ::read(fd, data.data() + got, data.size() - got);
        if (n < 0) {
            if (errno == EINTR) continue;
            const int code = errno;
            throw EFileError(FormatS(kMsgCannotOpenFile, path), code);
        }
        if (n == 0) break;
        got += static_cast<size_t>(n);
    }
    data.resize(got);
    return data;
}

} // namespace

std::vector<uint8_t> ReadWholeFile(const std::string& path) {
    return readWhole<std::vector<uint8_t>>(path);
}

TFileBytes ReadFileBytes(const std::string& path) {
    return readWhole<TFileBytes>(path);
}

void WriteFileReplacing(const std::string& path, size_t size, const std::function<void(uint8_t*)>& fill) {
    WriteFileMapped(path, size, fill);
}

void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes) {
    WriteFileReplacing(path, bytes.size(), [&](uint8_t* dst) {
        if (!bytes.empty()) std::memcpy(dst, bytes.data(), bytes.size());
    });
}

std::string SavedFileProblem(const std::string& path, const std::string& shownName) {
    const std::string& name = shownName.empty() ? path : shownName;
    struct stat info {};
    if (::stat(path.c_str(), &info) != 0) return "Файл " + name + " не существует.";
    if (info.st_size < 1024) return "Файл " + name + " имеет длину менее 1К.";
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    // Unreadable is not "zero data": the save itself reported success.
    if (fd < 0) return {};
    struct Closer {
        int fd;
        ~Closer() { ::close(fd); }
    } closer{fd};
    // In blocks: a trace file may be large and only its first non-zero byte matters.
    char block[65536];
    for (ssize_t n; (n = ::read(fd, block, sizeof block)) > 0;)
        if (std::any_of(block, block + n, [](char c) { return c != 0; })) return {};
    return "В файл " + name +
           " были записаны нулевые данные.\r\n"
           "Это говорит о серьезной ошибке в системе.\r\n"
           "Необходимо перезагрузить программу и повторить последние измерения!";
}

} // namespace lv
