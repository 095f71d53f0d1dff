#include "cli/Commands.h"

#include <cmath>
#include <cstdlib>
#include <map>
#include <memory>
#include <optional>

#include "cli/BatchCommand.h"
#include "cli/InspectionCommand.h"
#include "cli/ConstructionCommand.h"
#include "cli/Json.h"
#include "cli/TemplateCommand.h"
#include "formats/uBellcoreConvs.h"
#include "trace/DateTime.h"
#include "trace/Errors.h"
#include "trace/PromptService.h"
#include "trace/SyntheticTrace.h"
#include "trace/ValueHelpers.h"
#include "trace/uFileFormats.h"
#include "trace/uGraphIntfs.h"

namespace lvcli {

using namespace lv;

namespace {

const char* const kUsage =
    "Использование:\n"
    "  lumvaris-cli info ФАЙЛ... [--m1 КМ] [--m2 КМ] [--m3 КМ] [--y2 КМ] [--ref КМ] [--approx 0|1]\n"
    "  lumvaris-cli convert ВХОД ВЫХОД\n"
    "  lumvaris-cli samples ФАЙЛ\n"
    "  lumvaris-cli synth ВЫХОД [--length-km L] [--wavelength НМ] [--pulse НС] [--samples N]\n"
    "                           [--seed S] [--events splice@КМ:ДБ,connector@КМ:ДБ:ОТРАЖЕНИЕ]\n"
    "  lumvaris-cli template VhPasport|PrPasport|SimplePasport ВЫХОД.fods|.ods|.xlsx|.xls | --show\n"
    "  lumvaris-cli report inspection --incoming|--pre-installation ПАПКА ВЫХОД.xlsx|.ods|.xls\n"
    "                    [--template ФАЙЛ] [--field ИМЯ=ЗНАЧЕНИЕ]... [--cursor КМ] [--m1 КМ] [--m2 КМ] [--ref КМ]\n"
    "                    (ИМЯ: DrumNum, MarkEd, LengthEd, SEd, EEd, OP; курсор и маркеры — на текущей трассе)\n"
    "  lumvaris-cli report construction ПАПКА ВЫХОД.xlsx [--splices КМ[,КМ...] --end КМ]\n"
    "  lumvaris-cli batch ПАПКА [--out ПАПКА] [--texts КЛЮЧ=ЗНАЧЕНИЕ...] [--no-process]\n"
    "                    (набор \"131/\"+\"155/\", \"AB/\"+\"BA/\" или сама папка в Bellcore .sor;\n"
    "                     КЛЮЧ: CID, FID, OL, TL, OP, MFID, OTDR, OMID, OMSN, SN; на вопросы о перезаписи — нет)\n"
    "Формат файла определяется расширением: .sor — Bellcore, .set — настройки, иначе TRA.\n";

struct UsageError {
    std::string text;
};

// Messages of the core go to standard error through the console's boxes, installed for one file
// at a time; nothing ever waits for an answer.
struct CliPrompts {
    explicit CliPrompts(std::ostream& err) : service(err), scope(service) {}
    TConsolePromptService service;
    TPromptServiceScope scope;
};

double parseNumber(const std::string& option, const std::string& text) {
    double v = 0;
    if (!TryParseNumber(text, v)) throw UsageError{"не число для " + option + ": \"" + text + "\""};
    return v;
}

long long parseInteger(const std::string& option, const std::string& text, long long lo, long long hi) {
    char* end = nullptr;
    errno = 0;
    long long v = std::strtoll(text.c_str(), &end, 10);
    if (text.empty() || *end || errno == ERANGE || v < lo || v > hi)
        throw UsageError{"недопустимое значение " + option + ": \"" + text + "\""};
    return v;
}

// Options of the form --name VALUE after the positional arguments.
struct Parsed {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options;
};

Parsed parseArgs(const std::vector<std::string>& args, size_t from, const std::vector<std::string>& known) {
    Parsed p;
    for (size_t i = from; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a.size() > 2 && a.compare(0, 2, "--") == 0) {
            bool ok = false;
            for (const auto& k : known) ok = ok || k == a;
            if (!ok) throw UsageError{"неизвестный параметр " + a};
            if (i + 1 >= args.size()) throw UsageError{"нет значения для " + a};
            p.options[a] = args[++i];
        } else {
            p.positional.push_back(a);
        }
    }
    return p;
}

// Failures the operator would see in a box: the message is already on standard error.
struct FileFailure {};

// Runs one load or save: a false answer or any failure, out of memory included, is reported on
// standard error (once: the core may have said it already) and ends as FileFailure.
template <class Step>
void fileStep(const char* failurePattern, const std::string& path, CliPrompts& prompts, std::ostream& err,
              Step step) {
    bool ok = false;
    try {
        ok = step();
    } catch (...) {
        err << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
        throw FileFailure{};
    }
    if (!ok) {
        if (!prompts.service.ErrorShown()) err << FormatS(failurePattern, path) << "\n";
        throw FileFailure{};
    }
}

// The Map of the ".sor" file a store loaded last, as the instrument wrote it.
struct SorMap {
    bool Read = false;
    uint16_t Revision = 0;
    std::vector<TSorMapEntry> Entries;
};

// The ".sor" reader of a CliStore: keeps the Map of a successful load for the store.
class MapKeepingReader : public TTheManager {
public:
    explicit MapKeepingReader(SorMap& out) : m_out(out) {}
    bool LoadTrace(PDataStruct& params, PDataStruct& samples) override {
        if (!TTheManager::LoadTrace(params, samples)) return false;
        m_out = {true, Map().Revision, Map().Entries};
        return true;
    }

private:
    SorMap& m_out;
};

// A trace store that remembers the Map of the ".sor" it loaded, so that each file is read once.
class CliStore : public TRDataStorage {
public:
    const SorMap& LoadedSorMap() const { return m_map; }

protected:
    std::unique_ptr<IFileFormat> MakeSorConverter() override {
        m_map = {};
        return std::make_unique<MapKeepingReader>(m_map);
    }

private:
    SorMap m_map;
};

// Loads a trace (or a Setup file's parameters) into a new store.
std::unique_ptr<CliStore> loadStore(const std::string& path, CliPrompts& prompts, std::ostream& err) {
    auto store = std::make_unique<CliStore>();
    store->SetAutoFree(false);
    fileStep(kMsgCannotReadFile, path, prompts, err, [&] {
        if (!HasExtension(path, ".set")) return store->LoadFromFile(path, false);
        PDataStruct params;
        if (!store->Converter()->LoadSetupFrom(params, path)) return false;
        store->SetupArrived(params.get());
        return true;
    });
    return store;
}

void writeVariant(JsonWriter& j, const TVariant& v) {
    switch (v.Type()) {
    case TVarType::Integer: j.value(v.AsInteger()); break;
    case TVarType::Double:
    case TVarType::Currency: j.value(v.AsDouble()); break;
    case TVarType::Text: j.value(v.AsText()); break;
    case TVarType::Array:
        j.beginArray();
        for (int i = v.LowBound(); i <= v.HighBound(); ++i) writeVariant(j, v.Element(i));
        j.endArray();
        break;
    default: j.null(); break;
    }
}

std::string formatDateTime(TDateTime t) {
    TDateTimeParts p = DecodeDateTime(t);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", p.Year, p.Month, p.Day, p.Hour, p.Minute);
    return buf;
}

// The Map of a ".sor" file as the instrument wrote it, and whether the file is foreign.
void writeSorInfo(JsonWriter& j, const CliStore& s) {
    const SorMap& map = s.LoadedSorMap();
    if (!s.LoadedAsSor() || !map.Read) return;
    j.key("sor").beginObject();
    j.key("revision").value(static_cast<int>(map.Revision));
    j.key("blocks").beginArray();
    for (const TSorMapEntry& e : map.Entries) {
        j.beginObject();
        j.key("name").value(e.Name);
        j.key("revision").value(static_cast<int>(e.Revision));
        j.key("size").value(static_cast<int>(e.Size));
        j.endObject();
    }
    j.endArray();
    j.key("foreign").value(s.SorForeign());
    j.endObject();
}

// The instrument's event table, when the trace has one: each event where the trace draws it.
void writeKeyEvents(JsonWriter& j, CliStore& s) {
    const TTraceEvents* events = s.KeyEvents();
    j.key("events").beginArray();
    for (const TTraceEvent& e : events ? events->Events : std::vector<TTraceEvent>()) {
        j.beginObject();
        j.key("number").value(e.Number);
        // From the instrument's front panel, and on the trace's distance axis; null without a
        // position.
        j.key("distance_km").value(s.EventDistanceKm(e));
        j.key("trace_km").value(s.EventTraceKm(e));
        j.key("loss_db").value(e.LossDb);
        j.key("reflectance_db").value(e.ReflectanceDb);
        j.key("code").value(e.Code);
        j.key("type").value(EventTypeText(e.Code));
        j.key("comment").value(e.Comment);
        j.endObject();
    }
    j.endArray();
    if (!events) return;
    j.key("end_to_end_loss_db").value(events->EndToEndLossDb);
    j.key("end_to_end_markers_km").beginArray();
    j.value(s.TimeToKm(static_cast<double>(events->EndToEndMarkers.first)));
    j.value(s.TimeToKm(static_cast<double>(events->EndToEndMarkers.second)));
    j.endArray();
    j.key("optical_return_loss_db").value(events->ReturnLossDb);
}

std::string infoJson(const std::string& path, CliStore& s) {
    JsonWriter j;
    PDataStruct samples = s.LockData();
    const int n = samples ? samples->SampleCount() : 0;
    const double* p = samples ? samples->Samples() : nullptr;
    j.beginObject();
    j.key("file").value(path);
    j.key("format").value(s.LoadedAsSor() ? "Bellcore" : "TRA");
    j.key("samples").value(p ? n : 0);
    j.key("origin_km").value(s.GetOrigin());
    j.key("step_km").value(s.GetStep());
    j.key("level_min_db").value(s.GetBound(bkMinLevel));
    j.key("level_max_db").value(s.GetBound(bkMaxLevel));
    j.key("levels_head").beginArray();
    for (int i = 0; p && i < std::min(n, 5); ++i) j.value(p[i]);
    j.endArray();
    j.key("levels_tail").beginArray();
    for (int i = std::max(0, n - 5); p && i < n; ++i) j.value(p[i]);
    j.endArray();
    s.UnlockData();

    j.key("wavelength_um").value(s.WaveLengthUm);
    j.key("pulse_ns").value(static_cast<int>(s.PulseNs));
    j.key("averages").value(static_cast<int>(s.AverageCount));
    j.key("group_index").value(s.RefIndex);
    j.key("range_km").value(s.RangeKm);
    j.key("attenuator_db").value(s.AttenuatorDb);
    j.key("averaging").value(s.AverageModeText);
    j.key("approximation").value(s.GetApproximation());
    j.key("measured_at").value(formatDateTime(s.MeasuredAt));
    j.key("comment").value(s.GetComment());
    j.key("texts").beginObject();
    for (const char* name : kTextFieldNames) j.key(name).value(s.TextField(name));
    j.endObject();
    j.key("markers_km").beginObject();
    const char* markerNames[6] = {"M1", "M2", "M3", "Y1", "Y2", "Y3"};
    for (int i = 0; i < 6; ++i) j.key(markerNames[i]).value(s.GetMarker(i));
    j.endObject();
    j.key("cursor_km").value(s.GetCursor());
    j.key("reference_km").value(s.GetReference());
    j.key("results").beginObject();
    j.key("length12_km").value(s.Length12);
    j.key("loss12_db").value(s.SectionLoss12);
    j.key("length23_km").value(s.Length23);
    j.key("loss23_db").value(s.SectionLoss23);
    j.key("splice_loss_db").value(s.JointLoss);
    j.key("slope12").value(s.Slope12);
    j.key("intercept12").value(s.Intercept12);
    j.key("slope23").value(s.Slope23);
    j.key("intercept23").value(s.Intercept23);
    j.endObject();
    j.key("params").beginObject();
    for (int i = 0; i < kParamCount; ++i) {
        const TVariant& v = s.Param(i);
        if (i == prmDBIR || !v.IsSet()) continue;
        j.key(std::to_string(i));
        writeVariant(j, v);
    }
    j.endObject();
    writeKeyEvents(j, s);
    writeSorInfo(j, s);
    j.endObject();
    return j.text();
}

int cmdInfo(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Parsed a = parseArgs(args, 1, {"--m1", "--m2", "--m3", "--y2", "--ref", "--approx"});
    if (a.positional.empty()) throw UsageError{"не указан файл"};
    std::optional<int> approx;
    if (a.options.count("--approx")) approx = static_cast<int>(parseInteger("--approx", a.options["--approx"], 0, 1));
    std::vector<std::pair<int, double>> markers;
    const std::pair<const char*, int> markerOptions[] = {{"--m1", 0}, {"--m2", 1}, {"--m3", 2}, {"--y2", 4}};
    for (auto [opt, index] : markerOptions)
        if (a.options.count(opt)) markers.push_back({index, parseNumber(opt, a.options[opt])});
    std::optional<double> ref;
    if (a.options.count("--ref")) ref = parseNumber("--ref", a.options["--ref"]);

    int rc = kExitOk;
    for (const std::string& path : a.positional) {
        CliPrompts prompts(err);
        try {
            auto store = loadStore(path, prompts, err);
            if (approx) store->SetApproximation(*approx);
            for (auto [index, km] : markers) store->SetMarker(index, km);
            if (ref) store->SetReference(*ref);
            out << infoJson(path, *store) << "\n";
        } catch (const FileFailure&) {
            rc = kExitFileError;
        }
    }
    return rc;
}

// Saves the store under `path`, the extension choosing the format.
void saveStore(TRDataStorage& s, const std::string& path, CliPrompts& prompts, std::ostream& err) {
    fileStep(kMsgCannotWriteFile, path, prompts, err, [&] {
        if (!HasExtension(path, ".set")) return s.SaveToFile(path, false);
        PDataStruct params = s.LockSetup();
        const bool ok = params && s.Converter()->SaveSetupAs(params.get(), path);
        s.UnlockSetup();
        return ok;
    });
}

int cmdConvert(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    Parsed a = parseArgs(args, 1, {});
    if (a.positional.size() != 2) throw UsageError{"нужны два файла: ВХОД и ВЫХОД"};
    CliPrompts prompts(err);
    try {
        auto store = loadStore(a.positional[0], prompts, err);
        saveStore(*store, a.positional[1], prompts, err);
    } catch (const FileFailure&) {
        return kExitFileError;
    }
    return kExitOk;
}

int cmdSamples(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    Parsed a = parseArgs(args, 1, {});
    if (a.positional.size() != 1) throw UsageError{"нужен один файл"};
    CliPrompts prompts(err);
    try {
        auto store = loadStore(a.positional[0], prompts, err);
        const double x0 = store->GetOrigin(), dx = store->GetStep();
        PDataStruct samples = store->LockData();
        const double* p = samples ? samples->Samples() : nullptr;
        std::string text;
        for (int i = 0; p && i < samples->SampleCount(); ++i) {
            text += FormatDouble(x0 + dx * i);
            text += ',';
            text += FormatDouble(p[i]);
            text += '\n';
            if (text.size() > (1 << 16)) out << text, text.clear();
        }
        out << text;
        store->UnlockData();
    } catch (const FileFailure&) {
        return kExitFileError;
    }
    return kExitOk;
}

int cmdSynth(const std::vector<std::string>& args, std::ostream&, std::ostream& err) {
    Parsed a = parseArgs(args, 1,
                         {"--length-km", "--wavelength", "--pulse", "--samples", "--seed", "--events"});
    if (a.positional.size() != 1) throw UsageError{"нужен один выходной файл"};
    TSynthOptions o;
    if (a.options.count("--length-km")) {
        o.lengthKm = parseNumber("--length-km", a.options["--length-km"]);
        if (!(o.lengthKm > 0 && o.lengthKm <= 1000)) throw UsageError{"длина должна быть от 0 до 1000 км"};
    }
    if (a.options.count("--wavelength"))
        o.wavelengthNm = static_cast<int>(parseInteger("--wavelength", a.options["--wavelength"], 600, 1700));
    if (a.options.count("--pulse"))
        o.pulseNs = static_cast<int>(parseInteger("--pulse", a.options["--pulse"], 1, 100000));
    if (a.options.count("--samples"))
        o.samples = static_cast<int>(parseInteger("--samples", a.options["--samples"], 2, 16000000));
    if (a.options.count("--seed"))
        o.seed = static_cast<uint64_t>(parseInteger("--seed", a.options["--seed"], 0, INT64_MAX));
    if (a.options.count("--events")) {
        std::string error;
        if (!ParseSynthEvents(a.options["--events"], o.events, error)) throw UsageError{"--events: " + error};
    }

    CliPrompts prompts(err);
    try {
        auto store = std::make_unique<TRDataStorage>();
        store->SetAutoFree(false);
        FillSyntheticTrace(*store, o, "Синтетическая трасса " + std::to_string(o.wavelengthNm) + " нм");
        store->SetTextField("OTDR", "lumvaris-cli synth");
        store->SetTextField("OT", "seed " + std::to_string(o.seed));
        saveStore(*store, a.positional[0], prompts, err);
    } catch (const FileFailure&) {
        return kExitFileError;
    } catch (const lv::Exception& e) {
        err << e.Message() << "\n";
        return kExitFileError;
    }
    return kExitOk;
}

} // namespace

int RunCli(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        if (args.empty()) throw UsageError{"не указана команда"};
        const std::string& cmd = args[0];
        if (cmd == "info") return cmdInfo(args, out, err);
        if (cmd == "convert") return cmdConvert(args, out, err);
        if (cmd == "samples") return cmdSamples(args, out, err);
        if (cmd == "synth") return cmdSynth(args, out, err);
        if (cmd == "template") {
            const int rc = RunTemplateCommand(args, out, err);
            if (rc < 0) throw UsageError{"нужны имя встроенного шаблона и выходной файл или --show"};
            return rc;
        }
        if (cmd == "batch") {
            std::string usage;
            const int rc = RunBatchCommand(args, out, err, usage);
            if (rc < 0) throw UsageError{usage};
            return rc;
        }
        if (cmd == "report" && args.size() > 1 && args[1] == "inspection") {
            std::string usage;
            const int rc = RunInspectionCommand(args, out, err, usage);
            if (rc < 0) throw UsageError{usage};
            return rc;
        }
        if (cmd == "report") {
            CliPrompts prompts(err);
            const int rc = RunReportCommand(args, out, err);
            if (rc < 0) throw UsageError{"нужны construction, папка линии и выходной файл; --splices только вместе с --end"};
            return rc;
        }
        if (cmd == "--help" || cmd == "-h" || cmd == "help") {
            out << kUsage;
            return kExitOk;
        }
        throw UsageError{"неизвестная команда \"" + cmd + "\""};
    } catch (const UsageError& e) {
        err << "lumvaris-cli: " << e.text << "\n" << kUsage;
        return kExitUsage;
    } catch (...) {
        err << ExceptionMessage(std::current_exception(), kMsgNotEnoughMemory) << "\n";
        return kExitFileError;
    }
}

} // namespace lvcli
