#include "cli/InspectionCommand.h"

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <memory>
#include <optional>

#include "cli/CliOffice.h"
#include "formats/FileErrors.h"
#include "reports/uFolderSets.h"
#include "reports/uInspection.h"
#include "trace/PromptService.h"
#include "trace/Variant.h"
#include "trace/uGraphIntfs.h"

namespace lvcli {

using namespace lv;

namespace {

struct Usage {
    std::string text;
};

// The window's fields a script may fill, by their control names.
std::string* headerField(TInspectionHeader& h, const std::string& name) {
    if (name == "DrumNum") return &h.DrumNum;
    if (name == "MarkEd") return &h.MarkEd;
    if (name == "LengthEd") return &h.LengthEd;
    if (name == "SEd") return &h.SEd;
    if (name == "EEd") return &h.EEd;
    if (name == "OP") return &h.Operator;
    return nullptr;
}

double kilometres(const std::string& option, const std::string& text) {
    double v = 0;
    if (!TryParseNumber(text, v)) throw Usage{"не число для " + option + ": \"" + text + "\""};
    return v;
}

std::string lowerExtension(const std::string& path) {
    std::string ext = std::filesystem::path(path).extension().string();
    std::transform(ext.begin(), ext.end(), ext.begin(), [](unsigned char c) { return char(std::tolower(c)); });
    return ext;
}

} // namespace

int RunInspectionCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err, std::string& usage) {
    try {
        int mode = 0;
        TInspectionRequest request;
        std::vector<std::string> positional;
        std::optional<double> cursor, m1, m2, start;
        for (size_t i = 2; i < args.size(); ++i) {
            const std::string& a = args[i];
            if (a == "--incoming" || a == "--pre-installation") {
                if (mode) throw Usage{"укажите один вид контроля: --incoming или --pre-installation"};
                mode = a == "--incoming" ? pmIncoming : pmPreInstall;
                continue;
            }
            if (a.rfind("--", 0) != 0) {
                positional.push_back(a);
                continue;
            }
            if (i + 1 >= args.size()) throw Usage{"нет значения для " + a};
            const std::string& value = args[++i];
            if (a == "--template") {
                request.TemplateFile = value;
            } else if (a == "--field") {
                const size_t eq = value.find('=');
                std::string* field = eq == std::string::npos ? nullptr : headerField(request.Data.Header, value.substr(0, eq));
                if (!field) throw Usage{"--field ИМЯ=ЗНАЧЕНИЕ, ИМЯ: DrumNum, MarkEd, LengthEd, SEd, EEd или OP"};
                *field = value.substr(eq + 1);
            } else if (a == "--cursor") {
                cursor = kilometres(a, value);
            } else if (a == "--m1") {
                m1 = kilometres(a, value);
            } else if (a == "--m2") {
                m2 = kilometres(a, value);
            } else if (a == "--ref") {
                start = kilometres(a, value);
            } else {
                throw Usage{"неизвестный параметр " + a};
            }
        }
        if (!mode) throw Usage{"укажите вид контроля: --incoming или --pre-installation"};
        if (positional.size() != 2) throw Usage{"нужны ПАПКА и ВЫХОД"};
        const std::string target = std::filesystem::absolute(positional[1]).string();
        const std::string ext = lowerExtension(target);
        if (ext != ".xlsx" && ext != ".ods" && ext != ".xls") throw Usage{"ВЫХОД: файл .xlsx, .ods или .xls"};

        const std::string folder = NormaliseDataFolder(std::filesystem::absolute(positional[0]).lexically_normal().string());
        if (!DataFolderHasData(folder, mode)) {
            err << FormatS(kMsgFolderHasNoData, folder) << "\n";
            return 1;
        }
        TFibreSet set(folder, mode, [&](const std::vector<TFibreMask>& masks) {
            err << "Несколько наборов данных, выбран " << masks.front().Caption() << "\n";
            return size_t(0);
        });
        const std::vector<TFibreFile> files = set.ListInspection();
        if (files.empty()) {
            err << kMsgSetHasNoData << "\n";
            return 1;
        }
        // The window opens the list in order, each new trace in front of the others: the graph's
        // order is the list's reverse, and the last one opened is the current trace.
        // Each trace keeps the fibre number its listing gave it ("a005.tra" is fibre 5).
        std::vector<std::unique_ptr<TRDataStorage>> stores;
        TInspectionData& data = request.Data;
        for (auto it = files.rbegin(); it != files.rend(); ++it) {
            auto store = std::make_unique<TRDataStorage>();
            store->SetAutoFree(false);
            try {
                if (!store->LoadFromFile(it->Path, false)) continue;
            } catch (const std::exception& e) {
                err << e.what() << "\n";
                continue;
            }
            data.Traces.push_back({store.get(), it->Number});
            stores.push_back(std::move(store));
        }
        data.Reference = data.Traces.empty() ? nullptr : data.Traces.front().Store;
        if (TRDataStorage* ref = data.Reference) {
            if (start) ref->SetReference(*start);
            if (cursor) ref->SetCursor(*cursor);
            if (m1) ref->SetMarker(0, *m1);
            if (m2) ref->SetMarker(1, *m2);
        }
        data.Header.LineName = LineNameOf(folder);
        data.Header.Today = std::floor(Now());

        request.Mode = mode;
        request.StoreFile = target;
        CliOffice office(true);
        TInspectionReport report;
        TSilentProgress progress;
        const TInspectionResult r = report.Generate(request, office.app(), progress);
        out << r.Run.StoredFile << "\n";
        return 0;
    } catch (const Usage& u) {
        usage = u.text;
        return -1;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}

} // namespace lvcli
