#pragma once
// The batch conversion to Bellcore ("Обработать потоком"): every trace open in the main graph
// gets the ten identification texts of the SOR general and supplier parameters and the markers of
// the current trace, and is saved as a ".sor" file, optionally into one target folder. The main
// window's command and lumvaris-cli batch run this code; the window adds its dialog and the
// printing. Nothing here opens a window: the overwrite question goes through the prompt service.

#include <array>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "trace/Progress.h"

namespace lv {

class TRDataStorage;

extern const char* const kSORFlowCaption; // "Потоковая обработка"
extern const char* const kMsgSORFlowDone; // "Потоковая обработка завершена!!!"
extern const char* const kMsgCannotCreateFolder; // "Не удается создать указанную папку."
extern const char* const kSORFlowSaveTitle;      // "Сохранить файл Bellcore"
extern const char* const kSORFlowSaveFilter;     // "Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*"
extern const char* const kSORFlowChooseDirTitle; // "Укажите папку"

// One text of the dialog: its control name, which is also the key the trace keeps the text
// under, and its label.
struct TSORFlowTextField {
    const char* Name;  // "CID"
    const char* Label; // "Cabel ID"
};
constexpr size_t kSORFlowTextCount = 10;
// CID, FID, OL, TL, OP, MFID, OTDR, OMID, OMSN, SN in the dialog's order.
extern const std::array<TSORFlowTextField, kSORFlowTextCount> kSORFlowTextFields;

// What the dialog "Потоковая обработка" collects.
struct TSORFlowParams {
    std::array<std::string, kSORFlowTextCount> Texts; // in kSORFlowTextFields order
    bool ParT = true;                                 // "Обработать"
    bool SaveT = true;                                // "Сохранить"
    bool PrintT = true;                               // "Печать"
    bool RusPrint = true;                             // the printed pages in Russian
    bool DirActive = false; // "Помещать в папку при сохранении:"
    std::string DefPath;    // the target folder as the field shows it

    bool AnyTask() const { return ParT || SaveT || PrintT; }
    // The text kept under `key` ("CID", …); nullptr for any other key.
    std::string* Text(const std::string& key);
    const std::string* Text(const std::string& key) const;
    bool operator==(const TSORFlowParams&) const = default;
};

// The dialog made for the command outside the inspection modes: each of the current trace's ten
// texts, trimmed, replaces the field when it is not empty; an empty operator text counts as the
// registered operator `workerNum`.
void FillSORFlowFromTrace(TSORFlowParams& params, TRDataStorage& trace, const std::string& workerNum);

// The folder the traces go into: empty unless DirActive is on and the folder text is not blank.
// A relative folder lies in `dataFolder`; the answer is absolute, with "/" separators and a "/"
// at the end ("\" is taken as "/").
std::string SORFlowTargetFolder(const TSORFlowParams& params, const std::string& dataFolder);
// Creates `folder` with every missing parent; true when it exists afterwards.
bool CreateTargetFolder(const std::string& folder);

// The ".sor" a trace file is converted into: the extension of its name replaced by ".sor" (added
// when it has none), in `targetFolder` with its own name when that is not empty.
std::string SORFlowTargetName(const std::string& traceFile, const std::string& targetFolder);

// "Перезаписать файл <file>?"
std::string OverwriteQuestion(const std::string& file);

// The targets of one run and which of them need the operator's leave to be written.
class TSORFlowTargets {
public:
    // A target written earlier in this run (the same fibre of "131/" and "155/" into one folder)
    // needs the question; so does an existing file that is not the trace's own source and not a
    // ".sor" this system wrote. The system's own files are replaced without asking, so that a
    // second run is quiet.
    bool NeedsQuestion(const std::string& source, const std::string& target) const;
    void Written(const std::string& target);

private:
    std::set<std::string> m_written; // absolute and normal
};

// A trace of the run and what became of it.
struct TSORFlowEntry {
    std::string Source; // the trace's file before the run (empty for a trace without one)
    std::string Target; // the file written or meant
    std::string Reason; // why it was skipped or failed
    bool operator==(const TSORFlowEntry&) const = default;
};

struct TSORFlowOutcome {
    std::vector<TSORFlowEntry> Converted, Skipped, Failed;
    bool Cancelled = false; // the operator stopped the run

    bool AllConverted() const { return Skipped.empty() && Failed.empty() && !Cancelled; }
    // "Потоковая обработка завершена!!!", followed by a cancel and the traces not saved and why.
    std::string Message() const;
};

struct TSORFlowHooks {
    // The file a trace without one is saved to (the window's dialog "Сохранить файл Bellcore");
    // an empty answer skips the trace, and so does a missing hook.
    std::function<std::string(TRDataStorage&)> AskTargetName;
};

// The tasks "Обработать" and "Сохранить" of `params` over `traces` in the graph's order (traces
// without data are passed over): the ten texts written into each trace and `current`'s start,
// cursor, markers and approximation copied onto the others; then each saved as ".sor" into
// `targetFolder` (SORFlowTargetFolder) or beside its file, asking before a write the targets rule
// calls for (No skips the trace). A save's own error boxes are collected into the outcome instead
// of shown one by one; a written file that fails the saved-file check counts as failed.
TSORFlowOutcome RunSORFlow(const TSORFlowParams& params, const std::vector<TRDataStorage*>& traces,
                           TRDataStorage* current, const std::string& targetFolder, IProgress& progress,
                           const TSORFlowHooks& hooks = {});

} // namespace lv
