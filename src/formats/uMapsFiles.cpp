#include "formats/uMapsFiles.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "trace/ValueHelpers.h"

namespace lv {

const char* const kMsgCannotOpenForMap = "Не удается открыть файл \"%s\" для отображения";
const char* const kMsgCannotCreateMap = "Не удается создать объект отображения для файла \"%s\"";
const char* const kMsgCannotMapView = "Не удается отобразить файл \"%s\" в память";

TFileMaping::TFileMaping(TComponent* owner) : TComponent(owner) {}

TFileMaping::~TFileMaping() {
    m_raiseOnExcept = false;
    OnOpenChanged = nullptr;
    OnMappedChanged = nullptr;
    try {
        CloseAll();
    } catch (...) {
    }
    // A failing handler cannot keep the descriptor or the mapping alive past destruction.
    if (m_mapBase) ::munmap(m_mapBase, m_mapBaseLength);
    if (m_fd >= 0) ::close(m_fd);
}

void TFileMaping::fail(const char* pattern, int code, bool mapError) const {
    std::string message = FormatS(pattern, m_fileName);
    if (mapError) throw EFileMapError(std::move(message), code);
    throw EFileError(std::move(message), code);
}

// ---------------------------------------------------------------------------------------------
// The two switches

void TFileMaping::SetOpened(bool v) {
    if (m_loading) {
        m_opened = v;
        return;
    }
    if (v == m_opened) return;
    try {
        changeOpened(v);
    } catch (...) {
        if (m_raiseOnExcept) throw;
    }
}

void TFileMaping::SetMapped(bool v) {
    if (m_loading) {
        m_mapped = v;
        return;
    }
    if (v == m_mapped) return;
    try {
        changeMapped(v);
    } catch (...) {
        if (m_raiseOnExcept) throw;
    }
}

void TFileMaping::changeOpened(bool v) {
    if (v)
        openFile();
    else
        closeFile();
    if (OnOpenChanged) OnOpenChanged(this);
}

void TFileMaping::changeMapped(bool v) {
    if (v)
        mapView();
    else
        unmapView();
    if (OnMappedChanged) OnMappedChanged(this);
}

void TFileMaping::Loaded() {
    if (!m_loading) return;
    m_loading = false;
    const bool wantOpen = m_opened, wantMap = m_mapped;
    m_opened = m_mapped = false; // only requested while streaming; nothing is open yet
    if (wantMap)
        SetMapped(true);
    else if (wantOpen)
        SetOpened(true);
}

void TFileMaping::CloseAll() {
    SetMapped(false);
    SetOpened(false);
}

bool TFileMaping::Remap() {
    if (!m_mapped) return true;
    SetMapped(false);
    SetMapped(true);
    return m_mapped;
}

bool TFileMaping::Reopen() {
    if (!m_opened) return true;
    const bool wasMapped = m_mapped;
    CloseAll();
    SetOpened(true);
    if (m_opened && wasMapped) {
        SetMapped(true);
        return m_mapped;
    }
    return m_opened;
}

void* TFileMaping::DoGetData() {
    void* p = nullptr;
    if (OnGetData) OnGetData(this, p);
    return p;
}

bool TFileMaping::DoSetData(const void* p) {
    bool handled = false;
    if (OnSetData) OnSetData(this, p, handled);
    return handled;
}

// ---------------------------------------------------------------------------------------------
// Steps

void TFileMaping::openFile() {
    const bool r = m_access.Contains(aaRead), w = m_access.Contains(aaWrite);
    int flags = O_CLOEXEC | ((r && w) ? O_RDWR : w ? O_WRONLY : O_RDONLY);
    switch (m_createDisp) {
    case cdCreateNew:
        flags |= O_CREAT | O_EXCL;
        break;
    case cdCreateAlways:
        flags |= O_CREAT | O_TRUNC;
        break;
    case cdOpenExist:
        break;
    case cdOpenAlways:
        flags |= O_CREAT;
        break;
    case cdTruncate:
        flags |= O_TRUNC;
        break;
    }
    // Cutting a file needs write access (Linux would cut a file opened read-only).
    if ((flags & O_TRUNC) && !w) fail(kMsgCannotOpenFile, EACCES, false);
    if (m_flags.Contains(ffWriteThrough)) flags |= O_DSYNC;
    const mode_t mode = m_attribs.Contains(faReadOnly) ? 0444 : 0666;

    // Not blocking: opening a named pipe must fail below, not wait for a writer forever.
    int fd = ::open(m_fileName.c_str(), flags | O_NONBLOCK, mode);
    if (fd < 0) fail(kMsgCannotOpenFile, errno, false);
    struct stat st {};
    const bool statOk = ::fstat(fd, &st) == 0;
    if (statOk && S_ISDIR(st.st_mode) && !m_flags.Contains(ffBackupSemantics)) {
        ::close(fd);
        fail(kMsgCannotOpenFile, EISDIR, false);
    }
    if (statOk && !S_ISDIR(st.st_mode) && !S_ISREG(st.st_mode)) {
        ::close(fd);
        fail(kMsgCannotOpenFile, EINVAL, false);
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    if (m_flags.Contains(ffRandomAccess)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_RANDOM);
    if (m_flags.Contains(ffSequentialScan)) ::posix_fadvise(fd, 0, 0, POSIX_FADV_SEQUENTIAL);

    m_fd = fd;
    m_fdReadable = r || !w;
    m_fdWritable = w;
    m_openedPath = m_fileName;
    m_opened = true;
    m_fileSize = statOk ? static_cast<int64_t>(st.st_size) : 0;
}

void TFileMaping::closeFile() {
    if (m_mapped) {
        const bool saved = m_raiseOnExcept;
        m_raiseOnExcept = true;
        try {
            SetMapped(false);
        } catch (...) {
            m_raiseOnExcept = saved;
            throw;
        }
        m_raiseOnExcept = saved;
    }
    if (m_fd >= 0) {
        ::close(m_fd);
        if (m_flags.Contains(ffDeleteOnClose)) ::unlink(m_openedPath.c_str());
    }
    m_fd = -1;
    m_fdReadable = m_fdWritable = false;
    m_opened = false;
    m_fileSize = 0;
}

void TFileMaping::mapView() {
    if (!m_opened) {
        bool failed = false;
        int code = 0;
        try {
            changeOpened(true);
        } catch (const EFileError& e) {
            failed = true;
            code = e.ErrorCode();
        } catch (...) {
            failed = true;
        }
        if (failed || !m_opened) fail(kMsgCannotOpenForMap, code, false);
    }

    // The mapping "object": its size, and the file enlarged to it when the pages are writable.
    if (m_mapMaxSize < 0) fail(kMsgCannotCreateMap, EINVAL, true);
    if (m_protect == pWrite ? !(m_fdReadable && m_fdWritable) : !m_fdReadable)
        fail(kMsgCannotCreateMap, EACCES, true);
    const int64_t current = CurrentFileSize();
    const uint64_t size =
        m_mapMaxSize > 0 ? static_cast<uint64_t>(m_mapMaxSize) : static_cast<uint64_t>(current);
    if (size == 0) fail(kMsgCannotCreateMap, EINVAL, true); // an empty file cannot be mapped
    if (size > static_cast<uint64_t>(current)) {
        if (m_protect != pWrite) fail(kMsgCannotCreateMap, EACCES, true);
        int rc = ::posix_fallocate(m_fd, 0, static_cast<off_t>(size));
        if (rc != 0) fail(kMsgCannotCreateMap, rc, true);
        m_fileSize = static_cast<int64_t>(size);
    }
    m_mappingSize = size;
    m_alreadyExisted = false;

    // The view.
    auto viewFailed = [&](int code) {
        m_mappingSize = 0;
        m_alreadyExisted = false;
        fail(kMsgCannotMapView, code, true);
    };
    const uint64_t offset = static_cast<uint64_t>(m_mapOffset);
    if (m_mapOffset < 0 || offset >= size) viewFailed(EINVAL);
    const uint64_t length = m_mapLength ? m_mapLength : size - offset;
    if (length > size - offset) viewFailed(EINVAL);
    int prot = PROT_READ, flags = MAP_SHARED;
    switch (m_mapAccess) {
    case maRead:
        break;
    case maWrite:
    case maAllAccess:
        if (m_protect != pWrite) viewFailed(EACCES);
        prot |= PROT_WRITE;
        break;
    case maCopy:
        prot |= PROT_WRITE;
        flags = MAP_PRIVATE;
        break;
    }
    if (m_protect == pWriteCopy) flags = MAP_PRIVATE;
    const uint64_t page = static_cast<uint64_t>(::sysconf(_SC_PAGESIZE));
    const uint64_t aligned = offset - offset % page;
    const size_t mapLength = static_cast<size_t>(length + (offset - aligned));
    void* base = ::mmap(nullptr, mapLength, prot, flags, m_fd, static_cast<off_t>(aligned));
    if (base == MAP_FAILED) viewFailed(errno);
    m_mapBase = base;
    m_mapBaseLength = mapLength;
    m_view = static_cast<uint8_t*>(base) + (offset - aligned);
    m_viewSize = length;
    m_mapped = true;
}

void TFileMaping::unmapView() {
    if (m_mapBase) ::munmap(m_mapBase, m_mapBaseLength);
    m_mapBase = nullptr;
    m_mapBaseLength = 0;
    m_view = nullptr;
    m_viewSize = 0;
    m_mappingSize = 0;
    m_alreadyExisted = false;
    m_mapped = false;
}

// ---------------------------------------------------------------------------------------------
// Settings

void TFileMaping::fileSettingChanged() {
    if (refreshAllowed() && m_opened) Reopen();
}

void TFileMaping::mapSettingChanged() {
    if (refreshAllowed() && m_mapped) Remap();
}

// File names are compared exactly: on a case-sensitive file system "a.tra" and "A.tra" are two files.
void TFileMaping::SetFileName(const std::string& v) {
    if (v == m_fileName) return;
    m_fileName = v;
    fileSettingChanged();
}

void TFileMaping::SetMappingName(const std::string& v) {
    if (SameText(v, m_mappingName)) return;
    m_mappingName = v;
    mapSettingChanged();
}

#define LV_MAP_SETTER(Name, Type, member, changed)                                                           \
    void TFileMaping::Set##Name(Type v) {                                                                    \
        if (v == member) return;                                                                             \
        member = v;                                                                                          \
        changed();                                                                                           \
    }
LV_MAP_SETTER(MapMaxSize, int64_t, m_mapMaxSize, mapSettingChanged)
LV_MAP_SETTER(MapOffset, int64_t, m_mapOffset, mapSettingChanged)
LV_MAP_SETTER(MapLength, uint32_t, m_mapLength, mapSettingChanged)
LV_MAP_SETTER(ProtectOfMap, TProtect, m_protect, mapSettingChanged)
LV_MAP_SETTER(AttribsOfSection, TSectionAttribs, m_sectionAttribs, mapSettingChanged)
LV_MAP_SETTER(AccessOfMap, TMapAccess, m_mapAccess, mapSettingChanged)
LV_MAP_SETTER(AccessLevelOfFile, TAccessLevel, m_access, fileSettingChanged)
LV_MAP_SETTER(ShareModeOfFile, TSharedMode, m_share, fileSettingChanged)
LV_MAP_SETTER(CreateDispos, TCreateDisp, m_createDisp, fileSettingChanged)
LV_MAP_SETTER(AttribsOfFile, TFileAttribs, m_attribs, fileSettingChanged)
LV_MAP_SETTER(FlagsOfFile, TFileFlags, m_flags, fileSettingChanged)
#undef LV_MAP_SETTER

// ---------------------------------------------------------------------------------------------
// Beyond the switches

int64_t TFileMaping::CurrentFileSize() const {
    struct stat st {};
    if (m_fd < 0 || ::fstat(m_fd, &st) != 0) return 0;
    return static_cast<int64_t>(st.st_size);
}

std::vector<uint8_t> TFileMaping::CopyView() const {
    if (!m_mapped) fail(kMsgCannotMapView, EINVAL, true);
    // Touching a mapped page past the end of a file that was cut meanwhile raises SIGBUS.
    if (static_cast<uint64_t>(CurrentFileSize()) < static_cast<uint64_t>(m_mapOffset) + m_viewSize)
        fail(kMsgCannotMapView, EIO, true);
    return std::vector<uint8_t>(m_view, m_view + m_viewSize);
}

void TFileMaping::Flush() {
    if (m_mapped && (m_protect == pWrite) && ::msync(m_mapBase, m_mapBaseLength, MS_SYNC) != 0)
        fail(kMsgCannotSaveFile, errno, false);
    if (m_opened && m_fdWritable && ::fsync(m_fd) != 0) fail(kMsgCannotSaveFile, errno, false);
}

void TFileMaping::SetEndOfFile(int64_t size) {
    if (!m_opened) fail(kMsgCannotSaveFile, EBADF, false);
    if (size < 0 || ::ftruncate(m_fd, static_cast<off_t>(size)) != 0)
        fail(kMsgCannotSaveFile, size < 0 ? EINVAL : errno, false);
    if (::lseek(m_fd, static_cast<off_t>(size), SEEK_SET) < 0) fail(kMsgCannotSaveFile, errno, false);
    m_fileSize = size;
}

// ---------------------------------------------------------------------------------------------
// Whole files

namespace {
// The temporary file lies beside the target, so that the rename never crosses file systems.
std::string folderOf(const std::string& path) {
    const std::string_view folder = PathFolderPart(path);
    return folder.empty() ? std::string(".") : std::string(folder);
}

std::string replaceAll(std::string s, const std::string& from, const std::string& to) {
    if (from.empty()) return s;
    for (size_t pos = s.find(from); pos != std::string::npos; pos = s.find(from, pos + to.size()))
        s.replace(pos, from.size(), to);
    return s;
}
} // namespace

void WriteFileMapped(const std::string& path, uint64_t size, const std::function<void(uint8_t*)>& fill) {
    if (path.empty()) throw EFileError(FormatS(kMsgCannotOpenForMap, path), ENOENT);
    // Replacing through a rename needs only the folder's permission; a file the operator has
    // write-protected is not replaced behind his back.
    struct stat target {};
    const bool targetExists = ::stat(path.c_str(), &target) == 0;
    if (targetExists && S_ISREG(target.st_mode) &&
        ((target.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0 || ::access(path.c_str(), W_OK) != 0))
        throw EFileError(FormatS(kMsgCannotOpenForMap, path), EACCES);
    std::string tmpl = folderOf(path) + "/.lumvaris-XXXXXX";
    std::vector<char> name(tmpl.begin(), tmpl.end());
    name.push_back('\0');
    int fd = ::mkstemp(name.data());
    if (fd < 0) {
        int code = errno;
        throw EFileError(FormatS(kMsgCannotOpenForMap, path), code);
    }
    ::close(fd);
    const std::string tmp(name.data());

    // Keep the permissions of the file being replaced; a new file gets the usual ones.
    mode_t mode = 0666;
    if (targetExists) {
        mode = target.st_mode & 07777;
    } else {
        mode_t mask = ::umask(0);
        ::umask(mask);
        mode &= ~mask;
    }

    TFileMaping file;
    auto discard = [&] {
        try {
            file.SetRaiseOnExcept(false);
            file.CloseAll();
        } catch (...) {
        }
        ::unlink(tmp.c_str());
    };
    try {
        file.SetFileName(tmp);
        file.SetCreateDispos(cdOpenExist);
        file.SetAccessLevelOfFile({aaRead, aaWrite});
        file.SetShareModeOfFile({saNone});
        file.SetProtectOfMap(pWrite);
        file.SetAccessOfMap(maAllAccess);
        file.SetMapMaxSize(static_cast<int64_t>(size));
        if (size > 0) {
            file.SetMapped(true);
            if (::fchmod(file.FileHandle(), mode) != 0) {
                int code = errno;
                throw EFileError(FormatS(kMsgCannotSaveFile, tmp), code);
            }
            fill(file.View());
            file.Flush();
            file.SetMapped(false);
        } else {
            file.SetOpened(true);
            if (::fchmod(file.FileHandle(), mode) != 0) {
                int code = errno;
                throw EFileError(FormatS(kMsgCannotSaveFile, tmp), code);
            }
        }
        file.SetEndOfFile(static_cast<int64_t>(size));
        file.Flush();
        file.CloseAll();
        if (::rename(tmp.c_str(), path.c_str()) != 0) {
            int code = errno;
            throw EFileError(FormatS(kMsgCannotSaveFile, path), code);
        }
    } catch (const EFileMapError& e) {
        discard();
        throw EFileMapError(replaceAll(e.Message(), tmp, path), e.ErrorCode());
    } catch (const EFileError& e) {
        discard();
        throw EFileError(replaceAll(e.Message(), tmp, path), e.ErrorCode());
    } catch (...) {
        discard();
        throw;
    }
}

std::vector<uint8_t> ReadFileMapped(const std::string& path) {
    TFileMaping file;
    file.SetCreateDispos(cdOpenExist);
    file.SetFileName(path);
    file.SetMapped(true);
    std::vector<uint8_t> bytes = file.CopyView();
    file.CloseAll();
    return bytes;
}

} // namespace lv
