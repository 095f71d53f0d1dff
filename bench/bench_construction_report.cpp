// The construction documentation report of a large line through the real office: 300 fibres
// measured from both ends (600 trace files of 32000 samples, 50 km) at 20 splices, the workbook
// "SimplePasport" filled, recalculated, counted and trimmed, and stored as .xlsx.
//
// "Report" is the whole command as the construction window runs it, progress reported through
// IProgress, with the office already running (as it is after the first report of a session);
// "ReportStartingTheOffice" starts and ends an office of its own each time (the first report of a
// session); "MeasureOnly" is the first part, the 600 traces loaded and read, without the office;
// "ReportCellByCell" is the same report with every block write and every shading split into
// single cells on their way to the office: what writing in blocks saves. The line's files are
// written once before the runs.
//
// Run: build/bench/bench_construction_report   (seconds per run in the Time column)

#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <memory>

#include "reports/uConstructionReport.h"
#include "reports/uno/uSpreadsheetUno.h"
#include "support/ForwardingBook.h"
#include "support/SyntheticLine.h"
#include "support/TempDir.h"

using namespace lv;

namespace {

constexpr int kFibres = 300;
constexpr int kSplices = 20;

// Tells how far the work is, as the shell's progress window would show it: a line every tenth.
class ConsoleProgress : public IProgress {
public:
    void Step(int done, int total, const std::string& text) override {
        ++steps;
        const int tenth = total > 0 ? done * 10 / total : 10;
        if (tenth != m_shown) {
            m_shown = tenth;
            std::fprintf(stderr, "\r%3d%% %-40s", tenth * 10, text.c_str());
            if (done >= total) std::fputc('\n', stderr);
        }
    }
    bool Cancelled() const override { return false; }
    int steps = 0;

private:
    int m_shown = -1;
};

struct Line {
    lvtest::TempDir dir;
    TConstructionInput input;

    Line() {
        lvtest::SyntheticLine line;
        line.LengthKm = 50;
        line.Samples = 32000;
        for (int k = 0; k < kSplices; ++k) line.SplicesKm.push_back(2.5 + 2.3 * k);
        std::vector<lvtest::LineFibre> fibres;
        for (int n = 1; n <= kFibres; ++n) {
            lvtest::LineFibre f;
            f.Number = n;
            for (int k = 0; k < kSplices; ++k) {
                f.LossAB.push_back(0.02 + 0.01 * ((n + k) % 12));
                f.LossBA.push_back(0.04 + 0.01 * ((n * 3 + k) % 9) - 0.03);
            }
            f.CommentAB = "ОВ " + std::to_string(n) + " A-B";
            f.CommentBA = "ОВ " + std::to_string(n) + " B-A";
            fibres.push_back(f);
        }
        const std::string folder = dir.path() + "/Магистраль/";
        std::fprintf(stderr, "writing %d trace files...\n", 2 * kFibres);
        line.Write(folder, fibres);
        input = line.Input(folder);
        input.Params.FibCount = kFibres;
    }
};

Line& line() {
    static Line l;
    return l;
}

struct Office {
    lvtest::TempDir profile;
    std::unique_ptr<TUnoSpreadsheetApp> app;
    explicit Office(bool start) {
        TUnoOfficeOptions o;
        o.PipeName = "lumvaris_bench_" + std::to_string(::getpid()) + (start ? "" : "_cold");
        o.ProfileDir = profile.path();
        o.Headless = true;
        o.OwnOffice = true;
        app = std::make_unique<TUnoSpreadsheetApp>(o);
        if (!start) return;
        app->Connect(); // the report attaches to the running office
        app->Disconnect();
    }
    ~Office() { app->TerminateOffice(); }
};

// Ended in main, before the program's statics go: the office is asked to terminate while the
// UNO runtime is still whole.
std::unique_ptr<Office> g_office;

TUnoSpreadsheetApp& runningOffice() {
    if (!g_office) g_office = std::make_unique<Office>(true);
    return *g_office->app;
}

// Every block write split into single cells and every shading into one call per cell.
class CellByCellOffice : public lvtest::ForwardingOffice {
public:
    using ForwardingOffice::ForwardingOffice;

protected:
    std::unique_ptr<ISpreadsheetBook> wrap(std::unique_ptr<ISpreadsheetBook> book) override {
        return std::make_unique<Book>(std::move(book));
    }

private:
    struct Book : lvtest::ForwardingBook {
        using ForwardingBook::ForwardingBook;
        void PutValues(TSheetHandle s, int row, int column, const TCellBlock& block) override {
            for (size_t i = 0; i < block.size(); ++i)
                for (size_t j = 0; j < block[i].size(); ++j)
                    ForwardingBook::PutValues(s, row + int(i), column + int(j), {{block[i][j]}});
        }
        void SetInterior(TSheetHandle s, const std::vector<TCellRange>& ranges, int colour) override {
            for (const TCellRange& r : ranges)
                for (int row = r.Top; row <= r.Bottom; ++row)
                    for (int c = r.Left; c <= r.Right; ++c) ForwardingBook::SetInterior(s, {TCellRange::Cell(row, c)}, colour);
        }
    };
};

void runReport(benchmark::State& state, ISpreadsheetApp& office, const std::string& file) {
    Line& l = line();
    TReportTemplateHolder holder;
    AddConstructionTemplate(holder, "");
    TReportRunOptions options;
    options.StoreFile = l.dir.path() + "/" + file;
    ConsoleProgress progress;
    const TConstructionReportResult r = MakeConstructionReport(holder, office, l.input, progress, options);
    if (!r.Generated || !r.Skipped.empty()) state.SkipWithError("the report was not made in full");
    state.counters["progress_steps"] = progress.steps;
}

void Report(benchmark::State& state) {
    line();
    TUnoSpreadsheetApp& office = runningOffice();
    for (auto _ : state) runReport(state, office, "report.xlsx");
}

void ReportStartingTheOffice(benchmark::State& state) {
    line();
    for (auto _ : state) {
        Office office(false);
        runReport(state, *office.app, "report-cold.xlsx");
        state.PauseTiming(); // the office's end is not the report's
        office.app->TerminateOffice();
        state.ResumeTiming();
    }
}

void ReportCellByCell(benchmark::State& state) {
    line();
    CellByCellOffice office(runningOffice());
    for (auto _ : state) runReport(state, office, "report-cells.xlsx");
}

void MeasureOnly(benchmark::State& state) {
    Line& l = line();
    for (auto _ : state) {
        TSilentProgress progress;
        const TConstructionReadings r = MeasureConstruction(l.input, progress);
        benchmark::DoNotOptimize(r.AB.size());
        if (r.AB.size() != kFibres || r.BA.size() != kFibres) state.SkipWithError("fibres missing");
    }
}

} // namespace

BENCHMARK(Report)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(ReportStartingTheOffice)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(3);
BENCHMARK(ReportCellByCell)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1);
BENCHMARK(MeasureOnly)->Unit(benchmark::kSecond)->UseRealTime()->Iterations(1)->Repetitions(3);

int main(int argc, char** argv) {
    lvtest::EnsureTraceFormats();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    g_office.reset();
    return 0;
}
