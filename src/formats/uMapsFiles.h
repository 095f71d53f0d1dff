#pragma once
// TFileMaping: a file and a view of it mapped into memory, driven by two switches. Setting
// `Opened` opens or closes the file, setting `Mapped` maps or unmaps a view (opening the file
// first when needed); changing a setting while the file is open or mapped redoes that step.
//
// The settings keep the names and elements of the Windows file-mapping calls they were made for
// and map onto POSIX open/mmap/posix_fallocate/ftruncate as closely as POSIX allows:
//   access    aaRead → O_RDONLY, aaRead+aaWrite → O_RDWR, aaWrite → O_WRONLY, none → O_RDONLY
//   creation  cdCreateNew → O_CREAT|O_EXCL, cdCreateAlways → O_CREAT|O_TRUNC, cdOpenExist → -,
//             cdOpenAlways → O_CREAT, cdTruncate → O_TRUNC (the file must exist)
//   attribs   faReadOnly → a created file gets no write permission; the others have no equivalent
//   flags     ffWriteThrough → O_DSYNC, ffRandomAccess/ffSequentialScan → posix_fadvise,
//             ffDeleteOnClose → unlinked when closed, ffBackupSemantics → folders may be opened;
//             the others have no equivalent
//   sharing   POSIX has no share modes: kept and ignored
//   mapping   pRead → PROT_READ; pWrite → PROT_READ|PROT_WRITE, MAP_SHARED, and a mapping larger
//             than the file enlarges it with posix_fallocate (the space is really reserved, so a
//             full disk is an error here and never a SIGBUS later); pWriteCopy → MAP_PRIVATE
//   view      maRead → read-only; maWrite/maAllAccess → shared writable (needs pWrite);
//             maCopy → private writable
//   MappingName and AttribsOfSection have no equivalent for file mappings: kept and ignored;
//   AlreadyExisted is therefore always false.

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>

#include "formats/FileErrors.h"
#include "formats/SafeFile.h" // kMsgCannotOpenFile, kMsgCannotSaveFile
#include "trace/Component.h"

namespace lv {

// A set of enumeration elements, as the component's properties are sets.
template <class E> class TEnumSet {
public:
    constexpr TEnumSet() = default;
    constexpr TEnumSet(std::initializer_list<E> items) {
        for (E e : items)
            m_bits |= bit(e);
    }
    constexpr bool Contains(E e) const { return (m_bits & bit(e)) != 0; }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr TEnumSet& Include(E e) { return m_bits |= bit(e), *this; }
    constexpr TEnumSet& Exclude(E e) { return m_bits &= ~bit(e), *this; }
    constexpr bool operator==(const TEnumSet&) const = default;

private:
    static constexpr uint32_t bit(E e) { return 1u << static_cast<unsigned>(e); }
    uint32_t m_bits = 0;
};

enum TAccessLevelItem { aaNone, aaRead, aaWrite };
using TAccessLevel = TEnumSet<TAccessLevelItem>;
enum TSharedModeItem { saNone, saDelete, saRead, saWrite };
using TSharedMode = TEnumSet<TSharedModeItem>;
enum TCreateDisp { cdCreateNew, cdCreateAlways, cdOpenExist, cdOpenAlways, cdTruncate };
enum TFileAttrib {
    faArchive,
    faCompressed,
    faHidden,
    faNormal,
    faOffLine,
    faReadOnly,
    faSystem,
    faTemporary
};
using TFileAttribs = TEnumSet<TFileAttrib>;
enum TFileFlag {
    ffWriteThrough,
    ffOverlapped,
    ffNoBuffering,
    ffRandomAccess,
    ffSequentialScan,
    ffDeleteOnClose,
    ffBackupSemantics,
    ffPosixSemantics
};
using TFileFlags = TEnumSet<TFileFlag>;
enum TProtect { pRead, pWrite, pWriteCopy };
enum TSectionAttrib { psaCommit, psaImage, psaNoCache, psaReserve };
using TSectionAttribs = TEnumSet<TSectionAttrib>;
enum TMapAccess { maWrite, maRead, maAllAccess, maCopy };

extern const char* const kMsgCannotOpenForMap; // "Не удается открыть файл \"%s\" для отображения"
extern const char* const kMsgCannotCreateMap; // "Не удается создать объект отображения для файла \"%s\""
extern const char* const kMsgCannotMapView; // "Не удается отобразить файл \"%s\" в память"

class TFileMaping : public TComponent {
public:
    using TNotifyEvent = std::function<void(TFileMaping* sender)>;
    using TGetDataEvent = std::function<void(TFileMaping* sender, void*& p)>;
    using TSetDataEvent = std::function<void(TFileMaping* sender, const void* p, bool& handled)>;
    using TSecurityChangeEvent =
        std::function<void(TFileMaping* sender, const void* newAttribs, void*& oldAttribs)>;

    explicit TFileMaping(TComponent* owner = nullptr);
    ~TFileMaping() override; // CloseAll; nothing escapes
    std::string ClassName() const override { return "TFileMaping"; }

    // --- published properties
    bool RaiseOnExcept() const { return m_raiseOnExcept; }
    void SetRaiseOnExcept(bool v) { m_raiseOnExcept = v; }
    bool RefreshWhenChange() const { return m_refreshWhenChange; }
    void SetRefreshWhenChange(bool v) { m_refreshWhenChange = v; }
    const std::string& FileName() const { return m_fileName; }
    void SetFileName(const std::string& v);
    bool Opened() const { return m_opened; }
    void SetOpened(bool v);
    bool Mapped() const { return m_mapped; }
    void SetMapped(bool v);
    const std::string& MappingName() const { return m_mappingName; }
    void SetMappingName(const std::string& v);
    int64_t MapMaxSize() const { return m_mapMaxSize; }
    void SetMapMaxSize(int64_t v);
    int64_t MapOffset() const { return m_mapOffset; }
    void SetMapOffset(int64_t v);
    uint32_t MapLength() const { return m_mapLength; }
    void SetMapLength(uint32_t v);
    TAccessLevel AccessLevelOfFile() const { return m_access; }
    void SetAccessLevelOfFile(TAccessLevel v);
    TSharedMode ShareModeOfFile() const { return m_share; }
    void SetShareModeOfFile(TSharedMode v);
    TCreateDisp CreateDispos() const { return m_createDisp; }
    void SetCreateDispos(TCreateDisp v);
    TFileAttribs AttribsOfFile() const { return m_attribs; }
    void SetAttribsOfFile(TFileAttribs v);
    TFileFlags FlagsOfFile() const { return m_flags; }
    void SetFlagsOfFile(TFileFlags v);
    TProtect ProtectOfMap() const { return m_protect; }
    void SetProtectOfMap(TProtect v);
    TSectionAttribs AttribsOfSection() const { return m_sectionAttribs; }
    void SetAttribsOfSection(TSectionAttribs v);
    TMapAccess AccessOfMap() const { return m_mapAccess; }
    void SetAccessOfMap(TMapAccess v);

    TGetDataEvent OnGetData;
    TSetDataEvent OnSetData;
    TSecurityChangeEvent OnSecurityChange; // nothing of the component fires it
    TNotifyEvent OnOpenChanged;
    TNotifyEvent OnMappedChanged;

    // --- operations
    void CloseAll();
    // Unmaps and maps again; true when not mapped (nothing to do) or when mapped again.
    bool Remap();
    // Closes and opens again, mapping again when it was mapped; true when not open or when the
    // last step succeeded.
    bool Reopen();
    virtual void* DoGetData();
    virtual bool DoSetData(const void* p);

    // While a stream is read the setters only store their values; Loaded then opens and maps
    // as the stored Opened and Mapped say.
    void BeginLoading() { m_loading = true; }
    void Loaded();

    // --- run-time state
    uint8_t* View() const { return m_view; }
    // Bytes in the view (the platform needs the length to unmap; callers need it to stay inside).
    uint64_t ViewSize() const { return m_viewSize; }
    int FileHandle() const { return m_fd; }
    // Size of the mapping while one exists (the stand-in for the mapping object), else 0.
    uint64_t MappingHandle() const { return m_mappingSize; }
    bool AlreadyExisted() const { return m_alreadyExisted; }
    int64_t FileSize() const { return m_fileSize; }

    // --- what the converters need beyond the switches (all raise EFileError with errno)
    // The file's current size on disk (it may have been cut by another program meanwhile).
    int64_t CurrentFileSize() const;
    // A copy of the view, taken only when the file still holds every byte of it, so that a file
    // cut by another program cannot crash the reader.
    std::vector<uint8_t> CopyView() const;
    // Writes the view's changes and the file to the disk.
    void Flush();
    // Sets the file position to `size` and cuts the file there.
    void SetEndOfFile(int64_t size);

private:
    bool refreshAllowed() const { return !m_loading && m_refreshWhenChange; }
    void fileSettingChanged();
    void mapSettingChanged();
    void changeOpened(bool v);
    void changeMapped(bool v);
    void openFile();
    void closeFile();
    void mapView();
    void unmapView();
    [[noreturn]] void fail(const char* pattern, int code, bool mapError) const;

    bool m_raiseOnExcept = true;
    bool m_refreshWhenChange = true;
    std::string m_fileName;
    bool m_opened = false;
    bool m_mapped = false;
    std::string m_mappingName;
    int64_t m_mapMaxSize = 0;
    int64_t m_mapOffset = 0;
    uint32_t m_mapLength = 0;
    TAccessLevel m_access{aaRead};
    TSharedMode m_share{saRead};
    TCreateDisp m_createDisp = cdOpenAlways;
    TFileAttribs m_attribs{faNormal};
    TFileFlags m_flags{};
    TProtect m_protect = pRead;
    TSectionAttribs m_sectionAttribs{};
    TMapAccess m_mapAccess = maRead;

    bool m_loading = false;
    int m_fd = -1;
    bool m_fdWritable = false;
    bool m_fdReadable = false;
    std::string m_openedPath; // the name the open file was opened under (delete-on-close)
    uint8_t* m_view = nullptr;
    uint64_t m_viewSize = 0;
    void* m_mapBase = nullptr; // page-aligned start of the mapping
    size_t m_mapBaseLength = 0;
    uint64_t m_mappingSize = 0;
    bool m_alreadyExisted = false;
    int64_t m_fileSize = 0;
};

// Replaces the file `path` with `size` bytes that `fill` lays out in a zeroed writable view.
// The view belongs to a temporary file in the same folder, its space reserved before mapping;
// the temporary file is flushed, cut to `size` and renamed over `path`. On any failure the old
// file stays byte-identical and no temporary file remains. Errors are those of TFileMaping with
// the target's name (or "Не удается записать файл" for the flush and rename); an exception of
// `fill` propagates unchanged.
void WriteFileMapped(const std::string& path, uint64_t size, const std::function<void(uint8_t* view)>& fill);

// The bytes of the file `path`, mapped whole read-only (the converters' way of reading) and
// copied out. Errors are those of TFileMaping.
std::vector<uint8_t> ReadFileMapped(const std::string& path);

} // namespace lv
