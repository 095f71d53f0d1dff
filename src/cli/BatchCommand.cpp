#include "cli/BatchCommand.h"

#include <filesystem>
#include <memory>

#include "reports/uFolderSets.h"
#include "reports/uSORFlow.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/ValueHelpers.h"
#include "trace/uDeviceIntfs.h"
#include "trace/uGraphIntfs.h"

namespace lvcli {

using namespace lv;

namespace {

struct Usage {
    std::string text;
};

// The files of FOLDER as the processing windows list them: the inspection pair "155/" then "131/",
// or the construction pair "AB/" then "BA/", or else the folder itself by its own mask.
std::vector<TFibreFile> listSet(const std::string& folder, std::ostream& err) {
    auto firstMask = [&err](const std::vector<TFibreMask>& masks) {
        err << "Несколько наборов данных, выбран " << masks.front().Caption() << "\n";
        return size_t(0);
    };
    if (DataFolderHasData(folder, pmIncoming))
        return TFibreSet(folder, pmIncoming, firstMask).ListInspection();
    if (DataFolderHasData(folder, pmConstruction)) {
        TFibreSet set(folder, pmConstruction, firstMask);
        std::vector<TFibreFile> files = set.List(kSubFolderAB);
        const std::vector<TFibreFile> ba = set.List(kSubFolderBA);
        files.insert(files.end(), ba.begin(), ba.end());
        return files;
    }
    return ListFibreFiles(folder, BuildMask(std::vector<std::string>{folder}, firstMask), ReadFolder);
}

} // namespace

int RunBatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
                    std::string& usage) {
    try {
        std::vector<std::string> positional;
        std::vector<std::string> texts;
        std::string outDir;
        bool process = true;
        for (size_t i = 1; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--no-process") {
                process = false;
            } else if (a == "--out") {
                if (i + 1 >= args.size()) throw Usage{"нет значения для --out"};
                outDir = args[++i];
            } else if (a == "--texts") {
                // Every following KEY=VALUE belongs to it.
                while (i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0 &&
                       args[i + 1].find('=') != std::string::npos)
                    texts.push_back(args[++i]);
                if (texts.empty()) throw Usage{"нет значений для --texts"};
            } else if (a.rfind("--", 0) == 0) {
                throw Usage{"неизвестный параметр " + a};
            } else {
                positional.push_back(a);
            }
        }
        if (positional.size() != 1) throw Usage{"нужна одна ПАПКА"};

        TSORFlowParams params;
        params.ParT = process;
        params.PrintT = false;
        std::vector<std::pair<std::string, std::string>> given;
        for (const std::string& t : texts) {
            const size_t eq = t.find('=');
            if (!params.Text(t.substr(0, eq)))
                throw Usage{
                    "--texts КЛЮЧ=ЗНАЧЕНИЕ, КЛЮЧ: CID, FID, OL, TL, OP, MFID, OTDR, OMID, OMSN или SN"};
            given.push_back({t.substr(0, eq), t.substr(eq + 1)});
        }

        // Boxes of the core go to standard error; every question is answered No there.
        TConsolePromptService console(err);
        TPromptServiceScope scope(console);

        namespace fs = std::filesystem;
        const std::string folder =
            NormaliseDataFolder(fs::absolute(positional[0]).lexically_normal().string());
        const std::vector<TFibreFile> files = listSet(folder, err);
        if (files.empty()) {
            err << kMsgSetHasNoData << "\n";
            return 1;
        }

        // Opened in list order, each in front: the graph's order is the list's reverse and the
        // last file opened is the current trace.
        std::vector<std::unique_ptr<TRDataStorage>> stores;
        std::vector<TRDataStorage*> traces;
        std::vector<std::string> notOpened;
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            auto store = std::make_unique<TRDataStorage>();
            store->SetAutoFree(false);
            bool ok = false;
            try {
                ok = store->LoadFromFile(it->Path, false);
            } catch (...) {
                err << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
            }
            if (!ok) {
                notOpened.push_back(it->Path);
                continue;
            }
            traces.push_back(store.get());
            stores.push_back(std::move(store));
        }
        TRDataStorage* current = traces.empty() ? nullptr : traces.front();

        if (current) FillSORFlowFromTrace(params, *current, {});
        for (const auto& [key, value] : given)
            *params.Text(key) = value;
        if (!outDir.empty()) {
            params.DirActive = true;
            // A script's relative folder is the shell's: the working folder.
            params.DefPath = fs::absolute(outDir).lexically_normal().string();
        }
        const std::string target = SORFlowTargetFolder(params, folder);
        if (!target.empty() && !CreateTargetFolder(target)) {
            err << kMsgCannotCreateFolder << "\n";
            return 1;
        }

        TSilentProgress progress;
        const TSORFlowOutcome r = RunSORFlow(params, traces, current, target, progress);
        for (const TSORFlowEntry& e : r.Converted)
            out << "Сохранен: " << e.Source << " -> " << e.Target << "\n";
        for (const TSORFlowEntry& e : r.Skipped)
            out << "Пропущен: " << e.Source << " (" << e.Reason << ")\n";
        for (const TSORFlowEntry& e : r.Failed)
            out << "Ошибка: " << e.Source << ": " << e.Reason << "\n";
        for (const std::string& f : notOpened)
            out << "Не открыт: " << f << "\n";
        out << kMsgSORFlowDone << " Сохранено: " << r.Converted.size() << ", пропущено: " << r.Skipped.size()
            << ", ошибок: " << r.Failed.size() + notOpened.size() << ".\n";
        return r.AllConverted() && notOpened.empty() ? 0 : 1;
    } catch (const Usage& u) {
        usage = u.text;
        return -1;
    } catch (...) {
        err << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
        return 1;
    }
}

} // namespace lvcli
