#include "cli/ConstructionCommand.h"

#include <cmath>
#include <filesystem>
#include <optional>
#include <memory>
#include <sstream>

#include "cli/CliOffice.h"
#include "formats/FileErrors.h"
#include "reports/uConstructionReport.h"
#include "reports/uSpliceEdit.h"
#include "reports/uSpliceFile.h"
#include "trace/uGraphIntfs.h"

namespace lvcli {

using namespace lv;

namespace {

struct Options {
    std::string folder, target;
    std::vector<double> splicesKm;
    std::optional<double> endKm;
};

bool number(const std::string& text, double& v) { return TryParseNumber(text, v) && std::isfinite(v); }

// False on a usage error.
bool parse(const std::vector<std::string>& args, Options& o) {
    if (args.size() < 4 || args[1] != "construction") return false;
    o.folder = args[2];
    o.target = args[3];
    bool splices = false;
    for (size_t i = 4; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return false;
        const std::string& value = args[i + 1];
        if (args[i] == "--splices") {
            splices = true;
            std::stringstream items(value);
            std::string item;
            while (std::getline(items, item, ',')) {
                double km = 0;
                if (!number(item, km) || !(km > 0)) return false;
                o.splicesKm.push_back(km);
            }
            if (o.splicesKm.empty()) return false;
        } else if (args[i] == "--end") {
            double km = 0;
            if (!number(value, km) || !(km > 0)) return false;
            o.endKm = km;
        } else {
            return false;
        }
    }
    // Splices placed from the command line need the line's end to be mirrored for B to A.
    if (splices != o.endKm.has_value()) return false;
    for (double km : o.splicesKm)
        if (km >= *o.endKm) return false;
    return true;
}

// What the marker rule reads from the trace on the graph: here the first trace of the line.
TTraceGeometry geometryOf(const std::string& path) {
    auto store = std::make_unique<TRDataStorage>();
    store->SetAutoFree(false);
    if (!store->LoadFromFile(path, false)) throw Exception(FormatS(kMsgCannotReadFile, path));
    return {static_cast<double>(store->PulseNs), store->RefIndex, store->GetBound(2)};
}

} // namespace

int RunReportCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Options o;
    if (!parse(args, o)) return -1;
    try {
        const std::string folder = NormaliseDataFolder(std::filesystem::absolute(o.folder).string());
        if (!DataFolderHasData(folder, pmConstruction)) {
            err << FormatS(kMsgFolderHasNoData, folder) << "\n";
            return 1;
        }
        TFibreSet set(folder, pmConstruction, [&](const std::vector<TFibreMask>& masks) {
            err << "В папке несколько наборов данных, взят первый: " << masks.front().Caption() << "\n";
            return size_t{0};
        });
        TConstructionInput in;
        in.LineName = LineNameOf(folder);
        in.TracesAB = set.List(kSubFolderAB);
        in.TracesBA = set.List(kSubFolderBA);

        TSpliceEditor table;
        if (o.splicesKm.empty()) {
            table.Load(LoadSpliceFile(SpliceFileName(folder, in.LineName)));
        } else {
            const auto& first = in.TracesAB.empty() ? in.TracesBA : in.TracesAB;
            if (first.empty()) throw Exception(kMsgSetHasNoData);
            const TTraceGeometry trace = geometryOf(first.back().Path); // the lowest fibre number
            for (double km : o.splicesKm) table.PlaceSplice(km, in.Params, trace);
            table.SetEnd(*o.endKm, in.Params, trace);
        }
        in.Splices = table.Table().Records();
        in.StartKm = table.Start();
        in.EndKm = table.End();

        TReportTemplateHolder holder;
        AddConstructionTemplate(holder, {});
        CliOffice office(true);
        TReportRunOptions run;
        run.StoreFile = std::filesystem::absolute(o.target).string();
        TSilentProgress progress;
        const TConstructionReportResult r = MakeConstructionReport(holder, office.app(), in, progress, run);
        if (!r.Generated) return 1;
        out << r.StoredFile << "\n";
        return 0;
    } catch (const std::exception& e) {
        err << e.what() << "\n";
        return 1;
    }
}

} // namespace lvcli
