// Start-up with traces named on the command line: from the main window's construction to the
// main graph drawn with all of them, offscreen, the way the program opens its arguments (the
// operator's registration left out). Reports the median over several rounds and how often the
// main graph painted on the way.
//
// Run: build/bench/bench_open [FOLDER] [--files N] [--rounds N]   (the first N ".sor" files of
// FOLDER, by default the shared corpus beside the checkout)

#include <QApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "display/uGraphsCmps.h"
#include "formats/uBellcoreConvs.h"
#include "formats/uTRAConvs.h"
#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uStartup.h"
#include "trace/uGraphIntfs.h"

using namespace lv;

namespace {

// Counts the paints of a graph's viewport that draw traces (a graph whose updates are held skips
// its paints), and the traces at the last one.
class PaintCounter : public QObject {
public:
    PaintCounter(QWidget* viewport, TGraphView* graph) : m_graph(graph) {
        viewport->installEventFilter(this);
    }
    int Paints = 0;
    int TracesAtLastPaint = 0;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint && m_graph->UpdateCount() == 0) {
            TracesAtLastPaint = m_graph->Data().Count();
            if (TracesAtLastPaint > 0) ++Paints;
        }
        return false;
    }

private:
    TGraphView* m_graph;
};

struct Round {
    double ms = 0;
    int paints = 0;
};

Round openOnce(const QStringList& files) {
    QElapsedTimer clock;
    clock.start();
    TWorkDataOld work;
    auto form = std::make_unique<TMainForm>(work);
    PaintCounter counter(form->MainGraph->viewport(), form->MainGraph);
    form->resize(1600, 1000);
    form->show();
    QTimer::singleShot(0, form.get(), [&form, files] { form->OpenCommandLineFiles(files); });
    // Until the graph has painted itself with every trace and nothing is left to do.
    while (!(counter.TracesAtLastPaint == files.size() && form->MainGraph->Data().Count() == files.size()) &&
           clock.elapsed() < 60000)
        QApplication::processEvents(QEventLoop::AllEvents, 5);
    Round r{double(clock.nsecsElapsed()) / 1e6, counter.Paints};
    form.reset();
    QApplication::processEvents();
    return r;
}

// The offscreen platform reports every window operation it cannot perform.
void quietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) std::abort();
}

int usage() {
    std::fprintf(stderr, "Использование: bench_open [ПАПКА] [--files N] [--rounds N]\n");
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    // The main window reads and writes the operator's settings: give it a fresh folder of its own.
    std::string configHome = (std::filesystem::temp_directory_path() / "lumvaris-bench-XXXXXX").string();
    if (!::mkdtemp(configHome.data())) return 1;
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    std::string dir = LUMVARIS_DEFAULT_CORPUS;
    int count = 24, rounds = 9;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if ((a == "--files" || a == "--rounds") && i + 1 < argc) {
            const int v = std::atoi(argv[++i]);
            if (v < 1) return usage();
            (a == "--files" ? count : rounds) = v;
        } else if (!a.empty() && a[0] != '-') {
            dir = a;
        } else {
            return usage();
        }
    }
    std::vector<std::string> paths;
    if (std::filesystem::is_directory(dir))
        for (const auto& e : std::filesystem::directory_iterator(dir))
            if (e.is_regular_file() && HasSorExtension(e.path().string())) paths.push_back(e.path().string());
    std::sort(paths.begin(), paths.end());
    if (int(paths.size()) < count) {
        std::fprintf(stderr, "bench_open: fewer than %d .sor files in %s\n", count, dir.c_str());
        return 1;
    }
    QStringList files;
    for (int i = 0; i < count; ++i)
        files << QString::fromStdString(paths[size_t(i)]);

    int rc = 0;
    qInstallMessageHandler(quietOffscreenNotes);
    {
        QApplication app(argc, argv);
        SetApplicationIdentity();
        RegisterTRAFormat();
        RegisterBellcoreFormat();
        std::vector<double> ms;
        std::vector<int> paints;
        for (int r = 0; r < rounds; ++r) {
            const Round one = openOnce(files);
            ms.push_back(one.ms);
            paints.push_back(one.paints);
        }
        const double first = ms.front();
        std::sort(ms.begin(), ms.end());
        std::sort(paints.begin(), paints.end());
        std::printf("%d files from %s, %d rounds\n", count, dir.c_str(), rounds);
        std::printf("start to all drawn: median %.1f ms (first round %.1f ms, range %.1f .. %.1f ms)\n",
                    ms[ms.size() / 2], first, ms.front(), ms.back());
        std::printf("paints of the main graph with traces: median %d\n", paints[paints.size() / 2]);
    }
    std::error_code ec;
    std::filesystem::remove_all(configHome, ec);
    return rc;
}
