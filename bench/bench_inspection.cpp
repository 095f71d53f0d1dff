// The inspection protocol of a full cable: 300 fibres at 1310 and 1550 nm (600 synthetic traces of
// 8000 samples, ".tra" in "131/" and ".sor" in "155/"), through a private headless LibreOffice.
//
// "Report" is the whole report command as lumvaris-cli runs it: the workbook made from the
// template, the settings copied onto every trace, the cells read once and written in blocks, the
// line under fibre 300, the workbook stored as .xlsx and closed. "ReportCellByCell" is the same
// report through an office that reads and writes every cell on its own, as the protocol is written
// in the rule: the figure before the block writes. "TraceWork" is the report on the in-memory
// office: what the traces cost (settings copied, readings recalculated) without the office.
//
// Run: build/bench/bench_inspection   (seconds per protocol; the goal is under 5 s)

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <memory>
#include <vector>

#include "reports/uFolderSets.h"
#include "reports/uInspection.h"
#include "reports/uSpreadsheetFake.h"
#include "reports/uno/uSpreadsheetUno.h"
#include "support/TempDir.h"
#include "support/TraceFiles.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

// Every cell read and written on its own: one bridge call per cell.
class CellByCellBook : public ISpreadsheetBook {
public:
    explicit CellByCellBook(std::unique_ptr<ISpreadsheetBook> inner) : m(std::move(inner)) {}
    std::vector<std::string> SheetNames() override { return m->SheetNames(); }
    bool HasSheet(const std::string& name) override { return m->HasSheet(name); }
    TSheetHandle Sheet(const std::string& name) override { return m->Sheet(name); }
    std::string SheetName(TSheetHandle s) override { return m->SheetName(s); }
    void RenameSheet(TSheetHandle s, const std::string& name) override { m->RenameSheet(s, name); }
    TSheetHandle CopySheet(TSheetHandle a, TSheetHandle b, const std::string& n) override { return m->CopySheet(a, b, n); }
    void PutValues(TSheetHandle s, int row, int column, const TCellBlock& block) override {
        for (size_t i = 0; i < block.size(); ++i)
            for (size_t j = 0; j < block[i].size(); ++j)
                m->PutValues(s, row + int(i), column + int(j), {{block[i][j]}});
    }
    TCellBlock GetValues(TSheetHandle s, const TCellRange& range) override {
        TCellBlock block(size_t(range.Rows()), TCellRow(size_t(range.Columns())));
        for (int r = range.Top; r <= range.Bottom; ++r)
            for (int c = range.Left; c <= range.Right; ++c)
                block[size_t(r - range.Top)][size_t(c - range.Left)] = m->GetValues(s, TCellRange::Cell(r, c))[0][0];
        return block;
    }
    std::string ShownText(TSheetHandle s, int row, int column) override { return m->ShownText(s, row, column); }
    void SetBorder(TSheetHandle s, const std::vector<TCellRange>& r, TBorderEdge e) override { m->SetBorder(s, r, e); }
    void SetInterior(TSheetHandle s, const std::vector<TCellRange>& r, int c) override { m->SetInterior(s, r, c); }
    void DeleteRange(TSheetHandle s, const TCellRange& r, TDeleteShift d) override { m->DeleteRange(s, r, d); }
    void ClearRange(TSheetHandle s, const TCellRange& r, TClearWhat w) override { m->ClearRange(s, r, w); }
    void SetColumnWidth(TSheetHandle s, int column, double w) override { m->SetColumnWidth(s, column, w); }
    void SetAutomaticCalculation(bool a) override { m->SetAutomaticCalculation(a); }
    void Calculate() override { m->Calculate(); }
    void Select(TSheetHandle s, const TCellRange& r) override { m->Select(s, r); }
    void Show() override { m->Show(); }
    void StoreTo(const std::string& path) override { m->StoreTo(path); }
    void Close() override { m->Close(); }

private:
    std::unique_ptr<ISpreadsheetBook> m;
};

class CellByCellApp : public ISpreadsheetApp {
public:
    explicit CellByCellApp(ISpreadsheetApp& inner) : m(inner) {}
    void Connect() override { m.Connect(); }
    bool Connected() const override { return m.Connected(); }
    void Disconnect() override { m.Disconnect(); }
    std::unique_ptr<ISpreadsheetBook> AddBook(const std::string& file) override {
        return std::make_unique<CellByCellBook>(m.AddBook(file));
    }
    std::unique_ptr<ISpreadsheetBook> FindBookWithSheet(const std::string& name) override {
        auto b = m.FindBookWithSheet(name);
        return b ? std::make_unique<CellByCellBook>(std::move(b)) : nullptr;
    }
    bool CanShow() const override { return false; }

private:
    ISpreadsheetApp& m;
};

struct Fixture {
    lvtest::TempDir data, profile;
    std::unique_ptr<TUnoSpreadsheetApp> office;
    std::vector<std::unique_ptr<TRDataStorage>> stores;
    TInspectionRequest request;

    Fixture() {
        lvtest::EnsureTraceFormats();
        for (const auto& [sub, nm] : {std::pair{"131", 1310}, std::pair{"155", 1550}}) {
            std::filesystem::create_directories(data.file(sub));
            for (int n = 1; n <= kMaxFibreNumber; ++n) {
                TSynthOptions o;
                o.lengthKm = 12;
                o.samples = 8000;
                o.wavelengthNm = nm;
                o.seed = uint64_t(n);
                char name[16];
                std::snprintf(name, sizeof name, nm == 1310 ? "%03d.tra" : "%03d.sor", n);
                const std::string path = data.file(std::string(sub) + "/" + name);
                lvtest::WriteTraceFile(path, o, name);
                auto store = std::make_unique<TRDataStorage>();
                store->SetAutoFree(false);
                if (!store->LoadFromFile(path, false)) throw Exception("not loaded: " + path);
                request.Data.Traces.push_back({store.get(), n});
                stores.push_back(std::move(store));
            }
        }
        TRDataStorage* ref = request.Data.Reference = stores.front().get();
        ref->SetReference(0.05);
        ref->SetCursor(12.0);
        ref->SetMarker(0, 1.0);
        ref->SetMarker(1, 11.0);
        request.Data.Header = {"Линия", "0012", "ОКЛ-0,22-16", "12000", "1000", "13000", "Петров", Now()};
        request.Mode = pmIncoming;
        request.StoreFile = data.file("protocol.xlsx");

        TUnoOfficeOptions o;
        o.PipeName = "lumvaris_bench_" + std::to_string(::getpid());
        o.ProfileDir = profile.path();
        o.Headless = true;
        o.OwnOffice = true;
        office = std::make_unique<TUnoSpreadsheetApp>(o);
        office->Connect();
    }
    ~Fixture() {
        if (office) office->TerminateOffice();
    }
};

Fixture* fixture = nullptr;

void report(benchmark::State& state, ISpreadsheetApp& app) {
    for (auto _ : state) {
        TInspectionReport r;
        TSilentProgress progress;
        const TInspectionResult result = r.Generate(fixture->request, app, progress);
        if (result.Outcome.LastRow != kVhPasportLayout.LastRow) state.SkipWithError("fibre 300 missing");
    }
}

void BM_Report(benchmark::State& state) {
    report(state, *fixture->office);
}

void BM_ReportCellByCell(benchmark::State& state) {
    CellByCellApp app(*fixture->office);
    report(state, app);
}

void BM_TraceWork(benchmark::State& state) {
    TFakeSpreadsheetApp fake;
    report(state, fake);
}

BENCHMARK(BM_Report)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(3)->Repetitions(3);
BENCHMARK(BM_ReportCellByCell)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(BM_TraceWork)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(3);

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    try {
        Fixture f;
        fixture = &f;
        benchmark::RunSpecifiedBenchmarks();
        fixture = nullptr;
    } catch (const std::exception& e) {
        std::cerr << e.what() << "\n";
        return 1;
    }
    benchmark::Shutdown();
    return 0;
}
