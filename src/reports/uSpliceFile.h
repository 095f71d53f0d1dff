#pragma once
// The splice table's file "<line>.mif" in the line's data folder. A UTF-8 text of our own that a
// person can read and mend:
//
//   Lumvaris splice table 2
//   MName<TAB>MPosF<TAB>…<TAB>EndPt<TAB>SrtPt
//   Муфта 1<TAB>4.2<TAB>…
//
// The first line names the layout version, the second the fields of the records that follow, one
// record per line, fields separated by tabs. Numbers are kilometres with a "." and as many digits
// as it takes to read back the same value; an empty field has no value. In names, "\" , tab and
// line breaks are written as "\\", "\t", "\n" and "\r". Layout 1 lacks the trace start (SrtPt),
// which then reads as empty.

#include <optional>
#include <string>
#include <vector>

#include "reports/uSpliceTable.h"

namespace lv {

constexpr int kSpliceFileVersion = 2;

extern const char* const kMsgSpliceFileForeign;  // "Файл \"%s\" не является таблицей муфт."
extern const char* const kMsgSpliceFileNewer;    // "Таблица муфт \"%s\" записана более новой версией программы."
extern const char* const kMsgSpliceFileDamaged;  // "Таблица муфт \"%s\" повреждена (строка %d)."

// "<data folder><line>.mif".
std::string SpliceFileName(const std::string& dataFolder, const std::string& lineName);
// Where the table goes when the line's file cannot be read: "L1.mif" → "L1.lumvaris.mif".
std::string SpliceSideFileName(const std::string& path);

// The question when the line's file cannot be read: why, and whether to keep the table in the
// side file.
std::string SpliceFileKeepAsideQuestion(const std::string& reason, const std::string& sidePath);

// The file's text for `records` in the current layout.
std::string EncodeSpliceFile(const std::vector<TSpliceRecord>& records);
// Reads a text of any layout this program writes. Raises EInvalidDataFormat naming `path` when the
// text is not a splice table, comes from a newer version or is damaged.
std::vector<TSpliceRecord> DecodeSpliceFile(const std::string& text, const std::string& path);

// Replaces the file safely: a failure raises EFileError and leaves the old file as it was.
void SaveSpliceFile(const std::string& path, const std::vector<TSpliceRecord>& records);
// Raises EFileError when the file cannot be opened, EInvalidDataFormat as DecodeSpliceFile.
std::vector<TSpliceRecord> LoadSpliceFile(const std::string& path);

// The table a construction window starts with and the file it is written back to.
struct TSpliceFileChoice {
    std::string Path;
    std::vector<TSpliceRecord> Records;
};

// Opens the line's table at `path` (its file made by SpliceFileName). A missing file gives an
// empty table. A file that exists but cannot be read (damaged, or written by another program) is
// never overwritten: the operator is told why and asked whether to keep the table in the side
// file beside it; once that side file exists it is the table's file and is read without asking.
// Nothing (the window is not opened) when the operator declines or the side file cannot be read
// either; that error has been shown.
std::optional<TSpliceFileChoice> OpenSpliceFile(const std::string& path);

} // namespace lv
