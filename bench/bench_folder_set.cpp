// A full cable line through the main window, offscreen: 2 × 300 fibres of 30,000 samples ("131/"
// as ".tra", "155/" as ".sor", made by lumvaris-cli synth), entered as incoming inspection (the
// folder chosen, the set listed and opened under the progress window, the graph drawn), then
// "Обработать потоком в Bellcore..." with processing and saving (every trace given the current
// trace's texts and markers and written as ".sor" beside its file). Reports the seconds of each
// part, median over the rounds.
//
// Run: build/bench/bench_folder_set [--rounds N] [--keep FOLDER]   (goals: open under 1 s,
// convert under 3 s; FOLDER keeps the traces between runs, so that they are made only once)

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
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
#include "shell/fSORFlow.h"
#include "shell/mDataOld.h"
#include "shell/uStartup.h"
#include "trace/PromptService.h"

using namespace lv;
namespace fs = std::filesystem;

namespace {

constexpr int kFibres = 300;
constexpr int kSamples = 30000;

// The operator's answers: the data folder in the chooser, OK in every box.
class BenchPrompts : public IPromptService {
public:
    std::string Folder;
    int Boxes = 0;
    std::string LastBox;
    int MessageDlg(const std::string& text, TMsgDlgType, TMsgDlgButtons buttons, int) override {
        ++Boxes;
        LastBox = text;
        return buttons & mbYes ? mrYes : mrOk;
    }
    bool FileDialog(const TFileDialogRequest&, std::vector<std::string>& files) override {
        files = {Folder};
        return true;
    }
};

// "<folder>/131/NNN.tra" and "<folder>/155/NNN.sor", made by the command-line tool when missing.
bool makeLine(const std::string& folder) {
    for (const auto& [sub, nm, ext] :
         {std::tuple{"131", "1310", ".tra"}, std::tuple{"155", "1550", ".sor"}}) {
        fs::create_directories(folder + "/" + sub);
        for (int n = 1; n <= kFibres; ++n) {
            char name[16];
            std::snprintf(name, sizeof name, "%03d%s", n, ext);
            const std::string path = folder + "/" + sub + "/" + name;
            if (fs::exists(path)) continue;
            const std::string cmd = std::string("'") + LUMVARIS_CLI + "' synth '" + path + "' --samples " +
                                    std::to_string(kSamples) + " --length-km 30 --wavelength " + nm +
                                    " --seed " + std::to_string(n);
            if (std::system(cmd.c_str()) != 0) return false;
        }
    }
    return true;
}

// Accepts the batch dialog with processing and saving, without printing, as soon as it shows.
void acceptBatchDialog() {
    auto* timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, [timer] {
        auto* dialog = qobject_cast<TSORFlowForm*>(QApplication::activeModalWidget());
        if (!dialog) return;
        timer->stop();
        timer->deleteLater();
        dialog->Task("ParT")->setChecked(true);
        dialog->Task("SaveT")->setChecked(true);
        dialog->Task("PrintT")->setChecked(false);
        dialog->Task("DirActive")->setChecked(false);
        dialog->accept();
    });
    timer->start(0);
}

double seconds(const QElapsedTimer& clock) {
    return double(clock.nsecsElapsed()) / 1e9;
}

void quietOffscreenNotes(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (message.startsWith(QStringLiteral("This plugin does not support"))) return;
    std::fprintf(stderr, "%s\n", qPrintable(message));
    if (type == QtFatalMsg) std::abort();
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

} // namespace

int main(int argc, char** argv) {
    std::string configHome = (fs::temp_directory_path() / "lumvaris-bench-XXXXXX").string();
    if (!::mkdtemp(configHome.data())) return 1;
    ::setenv("XDG_CONFIG_HOME", configHome.c_str(), 1);
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);

    int rounds = 3;
    std::string keep;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--rounds" && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (a == "--keep" && i + 1 < argc) {
            keep = argv[++i];
        } else {
            std::fprintf(stderr, "Использование: bench_folder_set [--rounds N] [--keep ПАПКА]\n");
            return 2;
        }
    }
    const std::string line = keep.empty() ? configHome + "/Линия 300" : keep;
    QElapsedTimer made;
    made.start();
    if (!makeLine(line)) {
        std::fprintf(stderr, "bench_folder_set: lumvaris-cli synth failed\n");
        return 1;
    }
    std::printf("2 x %d fibres of %d samples in %s (ready in %.1f s)\n", kFibres, kSamples, line.c_str(),
                seconds(made));

    int rc = 0;
    qInstallMessageHandler(quietOffscreenNotes);
    {
        QApplication app(argc, argv);
        SetApplicationIdentity();
        RegisterTRAFormat();
        RegisterBellcoreFormat();
        BenchPrompts prompts;
        prompts.Folder = line;
        TPromptServiceScope scope(prompts);
        TWorkDataOld work;
        auto form = std::make_unique<TMainForm>(work);
        form->resize(1600, 1000);
        form->show();
        QApplication::processEvents();

        std::vector<double> open, convert;
        for (int r = 0; r < rounds; ++r) {
            QElapsedTimer clock;
            clock.start();
            form->Command(QStringLiteral("InControl1"))->trigger();
            QApplication::processEvents();
            open.push_back(seconds(clock));
            if (form->TraceCount() != 2 * kFibres) {
                std::fprintf(stderr, "bench_folder_set: %d traces open\n", form->TraceCount());
                rc = 1;
                break;
            }
            form->MainGraph->PlaceMarker(1, false, 1.0);
            form->MainGraph->PlaceMarker(2, false, 25.0);
            prompts.Boxes = 0;
            acceptBatchDialog();
            clock.restart();
            form->Command(QStringLiteral("ProcessSOR1"))->trigger();
            QApplication::processEvents();
            convert.push_back(seconds(clock));
            if (prompts.Boxes != 1 || prompts.LastBox != "Потоковая обработка завершена!!!") {
                std::fprintf(stderr, "bench_folder_set: %s\n", prompts.LastBox.c_str());
                rc = 1;
                break;
            }
            form->ModeWindow()->close();
            QApplication::processEvents();
        }
        if (rc == 0) {
            std::printf("open the set (choose, list, load, draw): median %.2f s (first round %.2f s)\n",
                        median(open), open.front());
            std::printf("process and convert to .sor:          median %.2f s (first round %.2f s)\n",
                        median(convert), convert.front());
        }
    }
    std::error_code ec;
    fs::remove_all(configHome, ec);
    return rc;
}
