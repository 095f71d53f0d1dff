#pragma once
// Data folders of the inspection and construction work: one folder per cable line with a pair of
// sub-folders ("131/" and "155/" by wavelength, or "AB/" and "BA/" by measuring direction), each
// holding one trace file per fibre, numbered 1..300 by a common naming pattern (the mask).
//
// Everything here works on folder listings and answers plain data; the windows ask the operator
// and open the traces. Paths use "/" inside the program; a stored "\" is accepted. File names are
// matched without regard to letter case, and every result is independent of the order in which
// the system lists a folder.

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "reports/uReportInterfaces.h" // TProcessingMode

namespace lv {

extern const char* const kSubFolder131; // "131/"
extern const char* const kSubFolder155; // "155/"
extern const char* const kSubFolderAB;  // "AB/"
extern const char* const kSubFolderBA;  // "BA/"

constexpr int kMaxFibreNumber = 300;

extern const char* const kMsgFolderHasNoData;    // "Папка \"%s\" не содержит файлов данных!"
extern const char* const kMsgSetHasNoData;       // "Указанная папка не содержит файлов данных!"
extern const char* const kMsgDirectionHasNoData; // "Нет данных для данного направления!"
extern const char* const kChooseMaskCaption;     // "Выбор маски файлов"
extern const char* const kChooseMaskText;        // "В указанной директории найдены несколько наборов данных.…"

// "Строительная документация", "Входной контроль", "Предмонтажный контроль"; empty for other modes.
std::string ModeName(int mode);
// The folder chooser of a mode: "Укажите путь к данным (<mode name>)" and "Папки|*.tra;*.sor",
// extended by ";*.mif" in construction mode.
std::string DataFolderTitle(int mode);
std::string DataFolderFilter(int mode);

// The sub-folders of a mode in the order the data check tries them: "131/" then "155/", or "AB/"
// then "BA/". Empty for the normal mode.
std::vector<std::string> DataCheckSubFolders(int mode);
// The same pair in the order the mask is collected from: "155/" then "131/", or "AB/" then "BA/".
std::vector<std::string> MaskSubFolders(int mode);

// ---- paths ----------------------------------------------------------------------------------

// A data folder as the program keeps it: "\" turned into "/", ending with "/". Empty stays empty.
std::string NormaliseDataFolder(const std::string& folder);
// The line name: the last component of a folder path (a trailing separator ignored).
std::string LineNameOf(const std::string& folder);

// ---- folder listings -----------------------------------------------------------------------

struct TFolderEntry {
    std::string Name;
    bool IsFolder = false;
};
// Lists a folder in whatever order; tests pass their own to try other orders.
using TFolderReader = std::function<std::vector<TFolderEntry>(const std::string& folder)>;

// The system's listing: regular files and folders (links followed). A folder that is missing or
// cannot be read lists nothing.
std::vector<TFolderEntry> ReadFolder(const std::string& folder);

// One listing of a folder, looked up by name without regard to letter case (ASCII and Cyrillic).
class TFolderIndex {
public:
    explicit TFolderIndex(const std::string& folder, const TFolderReader& reader = ReadFolder);

    // The folder, ending with "/".
    const std::string& Folder() const { return m_folder; }
    // The real name of the file called `name` in some letter case; empty when there is none. When
    // several names differ only in case, the exact one wins, then the first in byte order.
    std::string FindFile(const std::string& name) const;
    std::string FindFolder(const std::string& name) const;
    // Names of the files whose extension is `extension` (".tra") in any case, in byte order.
    std::vector<std::string> FilesWithExtension(const std::string& extension) const;

private:
    struct Entry {
        std::string folded, name;
        bool isFolder;
    };
    std::string find(const std::string& name, bool folder) const;
    std::string m_folder;
    std::vector<Entry> m_entries; // by folded name, then by name
};

// The path of a sub-folder ("AB/") of a data folder, found in any letter case; the name as given
// when there is no such folder. Ends with "/".
std::string SubFolderPath(const std::string& dataFolder, const std::string& subFolder,
                          const TFolderReader& reader = ReadFolder);

// A sub-folder has data when it holds at least one ".tra" or ".sor" file.
bool FolderHasData(const std::string& folder, const TFolderReader& reader = ReadFolder);
// The data check of a mode: its first sub-folder, or else its second, has data.
bool DataFolderHasData(const std::string& dataFolder, int mode, const TFolderReader& reader = ReadFolder);
// The sub-folders of a mode that exist (in any letter case), in the data-check order.
std::vector<std::string> ExistingSubFolders(const std::string& dataFolder, int mode,
                                            const TFolderReader& reader = ReadFolder);

// ---- masks ---------------------------------------------------------------------------------

// A naming pattern of fibre files: the prefix followed by the fibre number written with at least
// Width digits. While candidates are collected, Fixed tells numbers written with leading zeros
// (width exactly Width) from free numbers (at least Width digits); a chosen mask is always fixed.
struct TFibreMask {
    std::string Prefix; // empty: no prefix
    int Width = 0;      // 1..3; 0 is "no mask"
    bool Fixed = true;

    bool HasPrefix() const { return !Prefix.empty(); }
    bool IsEmpty() const { return Width == 0; }
    // "a007" + extension for number 7 with prefix "a" and width 3.
    std::string FileName(int number, const std::string& extension) const;
    // The line of the mask dialog: the prefix followed by "*", "**" or "***".
    std::string Caption() const;
    bool operator==(const TFibreMask&) const = default;
};

// Adds the file names, in the order given, to the candidate list (the width of a free candidate
// is the smallest digit count seen). Names without trailing digits in their base name (the name
// before its first ".") are ignored; only the last three digits count as the number.
void CollectMaskCandidates(const std::vector<std::string>& fileNames, std::vector<TFibreMask>& candidates);

// The candidates of the folders, each read as its ".tra" files then its ".sor" files in byte
// order of their names, all made fixed.
std::vector<TFibreMask> FindMaskCandidates(const std::vector<std::string>& folders,
                                           const TFolderReader& reader = ReadFolder);

// Chooses one of two or more candidates (the mask dialog); answers its index.
using TMaskChooser = std::function<size_t(const std::vector<TFibreMask>& candidates)>;

// The mask of a set of folders: none when no candidate was found, the only one, or the one the
// chooser picks (an index out of range, or no chooser, takes the first).
TFibreMask BuildMask(const std::vector<std::string>& folders, const TMaskChooser& choose,
                     const TFolderReader& reader = ReadFolder);
// The mask of a data folder in a mode, from its pair of sub-folders.
TFibreMask BuildMask(const std::string& dataFolder, int mode, const TMaskChooser& choose,
                     const TFolderReader& reader = ReadFolder);

// ---- listings ------------------------------------------------------------------------------

struct TFibreFile {
    std::string Path; // the file's real name in the folder
    int Number = 0;   // fibre number 1..300
    bool operator==(const TFibreFile&) const = default;
};

// The fibre files of one folder by `mask`, from fibre 300 down to 1; a ".tra" file hides a ".sor"
// file of the same number. Nothing for an empty mask.
std::vector<TFibreFile> ListFibreFiles(const std::string& folder, const TFibreMask& mask,
                                       const TFolderReader& reader = ReadFolder);

// The set a processing window works on: a data folder in a mode and its mask, built on the first
// listing and then kept for both sub-folders.
class TFibreSet {
public:
    TFibreSet(std::string dataFolder, int mode, TMaskChooser choose, TFolderReader reader = ReadFolder);

    const std::string& DataFolder() const { return m_dataFolder; }
    int Mode() const { return m_mode; }
    const TFibreMask& Mask();
    bool HasMask() const { return m_maskBuilt; }

    // The fibre files of one sub-folder ("AB/").
    std::vector<TFibreFile> List(const std::string& subFolder);
    // The inspection list: "155/" from fibre 300 down, followed by "131/".
    std::vector<TFibreFile> ListInspection();

private:
    std::string m_dataFolder;
    int m_mode;
    TMaskChooser m_choose;
    TFolderReader m_reader;
    TFibreMask m_mask;
    bool m_maskBuilt = false;
};

} // namespace lv
