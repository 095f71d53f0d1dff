#pragma once
// The main window with data folders of synthetic fibre traces, entered through the processing
// commands with a scripted folder choice; and a watch on the progress windows that appear.

#include <QApplication>
#include <QLabel>

#include <filesystem>
#include <string>
#include <vector>

#include "MainFormFixture.h"
#include "shell/fInBeforeForm.h"
#include "shell/fIndicateOperation.h"

namespace lvtest {

// Notes the caption and text of every progress window shown while it lives.
class IndicatorWatch : public QObject {
public:
    IndicatorWatch() { qApp->installEventFilter(this); }
    ~IndicatorWatch() override { qApp->removeEventFilter(this); }
    std::vector<QString> Shown;

protected:
    bool eventFilter(QObject* o, QEvent* e) override {
        if (e->type() == QEvent::Show)
            if (auto* w = qobject_cast<lv::TIndicateOperationForm*>(o))
                Shown.push_back(w->windowTitle() + u'|' + w->MessageLabel()->text());
        return false;
    }
};

class ModeTest : public MainFormTest {
protected:
    // "<temp>/<line>/<sub>/<name>" for each name, as synthetic traces at `nm`; a name ending in "!"
    // is written without it, as three bytes that are no trace. Answers the line folder.
    std::string WriteSet(const std::string& line, const std::string& sub,
                         const std::vector<std::string>& names, int nm = 1310) {
        const std::string folder = Dir.file(line);
        std::filesystem::create_directories(folder + "/" + sub);
        int seed = 1;
        for (const std::string& n : names) {
            const std::string path = folder + "/" + sub + "/" + n;
            if (n.back() == '!')
                writeBytes(path.substr(0, path.size() - 1), {1, 2, 3});
            else
                WriteTraceFile(path, nm, n, static_cast<uint64_t>(seed++));
        }
        return folder;
    }

    // The operator picks `folder` in the chooser of `command` ("InControl1", …).
    void Enter(const char* command, const std::string& folder) {
        Prompts.FileAnswers.push_back({folder});
        Trigger(command);
        Settle();
    }

    lv::TInBeforeForm* Inspection() const { return qobject_cast<lv::TInBeforeForm*>(Form->ModeWindow()); }

    void TearDown() override {
        if (QWidget* w = Form ? Form->ModeWindow() : nullptr) w->close();
        MainFormTest::TearDown();
    }
};

} // namespace lvtest
