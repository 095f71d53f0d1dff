#include "reports/uSORFlow.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "formats/SafeFile.h"
#include "formats/uBellcoreConvs.h"
#include "reports/uFolderSets.h"
#include "reports/uInspection.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uGraphIntfs.h"

namespace lv {

const char* const kSORFlowCaption = "Потоковая обработка";
const char* const kMsgSORFlowDone = "Потоковая обработка завершена!!!";
const char* const kMsgCannotCreateFolder = "Не удается создать указанную папку.";
const char* const kSORFlowSaveTitle = "Сохранить файл Bellcore";
const char* const kSORFlowSaveFilter = "Файлы Bellcore (*.sor)|*.sor|Все файлы|*.*";
const char* const kSORFlowChooseDirTitle = "Укажите папку";

const std::array<TSORFlowTextField, kSORFlowTextCount> kSORFlowTextFields = {{
    {"CID", "Cabel ID"},
    {"FID", "Fiber ID"},
    {"OL", "Orig. Loc."},
    {"TL", "Term. Loc."},
    {"OP", "Оператор"},
    {"MFID", "Mainframe"},
    {"OTDR", "Mainfr. S/N"},
    {"OMID", "Module ID"},
    {"OMSN", "Mod. S/N"},
    {"SN", "Производитель прибора"},
}};

namespace {

namespace fs = std::filesystem;

const char* const kReasonDeclined = "файл %s не перезаписан";
const char* const kReasonNoName = "имя файла не выбрано";
const char* const kMsgNotSaved = "Не сохранены:";
const char* const kMsgSaveErrors = "Ошибки сохранения:";
const char* const kMsgMoreTraces = "… и еще %s";
const char* const kMsgCancelled = "Обработка прервана: остальные трассы не обработаны и не сохранены.";
// A message box lists this many traces of each kind at most.
constexpr size_t kListedTraces = 20;

std::string slashes(std::string path) {
    std::replace(path.begin(), path.end(), '\\', '/');
    return path;
}

// The path as the run compares targets: absolute and normal, symbolic links of existing parts
// resolved.
std::string normalPath(const std::string& path) {
    std::error_code ec;
    fs::path p = fs::absolute(fs::path(slashes(path)), ec);
    if (ec) p = fs::path(slashes(path));
    const fs::path canonical = fs::weakly_canonical(p, ec);
    return (ec ? p.lexically_normal() : canonical).string();
}

bool sameFile(const std::string& a, const std::string& b) {
    if (a.empty() || b.empty()) return false;
    std::error_code ec;
    if (fs::equivalent(fs::path(slashes(a)), fs::path(slashes(b)), ec)) return true;
    return normalPath(a) == normalPath(b);
}

bool hasData(TRDataStorage* t) {
    return t && t->DataPresent() && t->SetupPresent();
}

std::string entryName(const TSORFlowEntry& e) {
    return ShortTraceName(e.Source.empty() ? e.Target : e.Source);
}

void listEntries(std::string& text, const char* heading, const std::vector<TSORFlowEntry>& entries,
                 const char* separator) {
    if (entries.empty()) return;
    text += "\r\n\r\n";
    text += heading;
    for (size_t i = 0; i < entries.size() && i < kListedTraces; ++i)
        text += "\r\n" + entryName(entries[i]) + separator + entries[i].Reason;
    if (entries.size() > kListedTraces)
        text += "\r\n" + FormatS(kMsgMoreTraces, std::to_string(entries.size() - kListedTraces));
}

} // namespace

std::string* TSORFlowParams::Text(const std::string& key) {
    for (size_t i = 0; i < kSORFlowTextCount; ++i)
        if (SameText(key, kSORFlowTextFields[i].Name)) return &Texts[i];
    return nullptr;
}

const std::string* TSORFlowParams::Text(const std::string& key) const {
    return const_cast<TSORFlowParams*>(this)->Text(key);
}

void FillSORFlowFromTrace(TSORFlowParams& params, TRDataStorage& trace, const std::string& workerNum) {
    for (size_t i = 0; i < kSORFlowTextCount; ++i) {
        const std::string key = kSORFlowTextFields[i].Name;
        std::string text = TrimText(trace.TextField(key));
        if (text.empty() && key == "OP") text = TrimText(workerNum);
        if (!text.empty()) params.Texts[i] = text;
    }
}

std::string SORFlowTargetFolder(const TSORFlowParams& params, const std::string& dataFolder) {
    const std::string text = slashes(TrimText(params.DefPath));
    if (!params.DirActive || text.empty()) return {};
    fs::path folder(text);
    if (folder.is_relative() && !dataFolder.empty()) folder = fs::path(slashes(dataFolder)) / folder;
    std::error_code ec;
    if (folder.is_relative()) folder = fs::absolute(folder, ec);
    std::string out = folder.lexically_normal().string();
    if (out.empty() || out.back() != '/') out += '/';
    return out;
}

bool CreateTargetFolder(const std::string& folder) {
    std::error_code ec;
    fs::create_directories(fs::path(slashes(folder)), ec);
    return fs::is_directory(fs::path(slashes(folder)), ec);
}

std::string SORFlowTargetName(const std::string& traceFile, const std::string& targetFolder) {
    const std::string file = slashes(traceFile);
    const std::string_view extension = PathExtension(file);
    std::string name = file.substr(0, file.size() - extension.size()) + ".sor";
    if (targetFolder.empty()) return name;
    std::string folder = slashes(targetFolder);
    if (folder.back() != '/') folder += '/';
    return folder + std::string(PathNamePart(name));
}

std::string OverwriteQuestion(const std::string& file) {
    return "Перезаписать файл " + file + "?";
}

bool TSORFlowTargets::NeedsQuestion(const std::string& source, const std::string& target) const {
    if (m_written.count(normalPath(target))) return true;
    if (sameFile(source, target)) return false;
    std::error_code ec;
    return fs::exists(fs::path(slashes(target)), ec) && !IsOwnSorFile(target);
}

void TSORFlowTargets::Written(const std::string& target) {
    m_written.insert(normalPath(target));
}

std::string TSORFlowOutcome::Message() const {
    std::string text = kMsgSORFlowDone;
    if (Cancelled) text += std::string("\r\n\r\n") + kMsgCancelled;
    listEntries(text, kMsgNotSaved, Skipped, " — ");
    listEntries(text, kMsgSaveErrors, Failed, ": ");
    return text;
}

TSORFlowOutcome RunSORFlow(const TSORFlowParams& params, const std::vector<TRDataStorage*>& traces,
                           TRDataStorage* current, const std::string& targetFolder, IProgress& progress,
                           const TSORFlowHooks& hooks) {
    TSORFlowOutcome out;
    if (!params.ParT && !params.SaveT) return out;
    TSORFlowTargets targets;
    const int total = static_cast<int>(traces.size());
    for (int k = 0; k < total; ++k) {
        TRDataStorage* trace = traces[static_cast<size_t>(k)];
        if (!hasData(trace)) continue;
        if (progress.Cancelled()) {
            out.Cancelled = true;
            break;
        }
        const std::string source = trace->Caption();
        progress.Step(k, total, ShortTraceName(source));

        if (params.ParT) {
            for (size_t i = 0; i < kSORFlowTextCount; ++i)
                trace->SetTextField(kSORFlowTextFields[i].Name, params.Texts[i]);
            if (trace != current && hasData(current)) CopyTraceSettings(*current, *trace);
        }
        if (!params.SaveT) continue;

        std::string target;
        if (!source.empty()) {
            target = SORFlowTargetName(source, targetFolder);
        } else {
            const std::string chosen = hooks.AskTargetName ? hooks.AskTargetName(*trace) : std::string();
            if (chosen.empty()) {
                out.Skipped.push_back({source, {}, kReasonNoName});
                continue;
            }
            target =
                targetFolder.empty() ? chosen : targetFolder + std::string(PathNamePart(slashes(chosen)));
        }
        if (targets.NeedsQuestion(source, target) &&
            MessageDlg(OverwriteQuestion(target), TMsgDlgType::mtConfirmation, mbYes | mbNo) != mrYes) {
            out.Skipped.push_back({source, target, FormatS(kReasonDeclined, target)});
            continue;
        }

        bool saved = false;
        std::string reason;
        {
            TErrorCollector errors;
            try {
                saved = trace->SaveToFile(target, false);
            } catch (...) {
                errors.Add(ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory));
            }
            reason = errors.Text;
        }
        if (!saved) {
            out.Failed.push_back(
                {source, target, reason.empty() ? FormatS(kMsgCannotWriteFile, target) : reason});
            continue;
        }
        targets.Written(target);
        const std::string problem = SavedFileProblem(target);
        if (!problem.empty())
            out.Failed.push_back({source, target, problem});
        else
            out.Converted.push_back({source, target, {}});
    }
    progress.Step(total, total, {});
    return out;
}

} // namespace lv
