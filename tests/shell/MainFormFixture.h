#pragma once
// A main window on the offscreen platform with a fresh settings store, scripted message boxes
// and file dialogs, and a temporary folder for trace files.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QSettings>

#include <filesystem>
#include <memory>

#include "shell/fMainForm.h"
#include "shell/mDataOld.h"
#include "shell/uGraphData.h"
#include "shell/uMainSettings.h"
#include "support/Corpus.h"
#include "support/ScriptedPrompts.h"
#include "support/TempDir.h"
#include "support/TraceFiles.h"

namespace lvtest {

class MainFormTest : public ::testing::Test {
protected:
    void SetUp() override {
        EnsureTraceFormats();
        ClearStoredSettings();
        Form = std::make_unique<lv::TMainForm>(Work);
    }
    void TearDown() override {
        Form.reset();
        ClearStoredSettings();
    }

    static void ClearStoredSettings() {
        lv::OpenSettings()->clear();
        QFile::remove(lv::MainGraphDataPath());
    }
    static bool SettingsWritten() { return !lv::OpenSettings()->allKeys().isEmpty(); }

    // A trace file in the temporary folder.
    QString TraceFile(const std::string& name, int wavelengthNm = 1550,
                      const std::string& caption = "Волокно", uint64_t seed = 1, int approximation = -1) {
        const std::string path = Dir.file(name);
        WriteTraceFile(path, wavelengthNm, caption, seed, approximation);
        return QString::fromStdString(path);
    }
    QString Folder() const { return QString::fromStdString(Dir.path()) + u'/'; }

    // A writable copy of the shared corpus's `corpusName` (a file of another maker's instrument)
    // as `name` in the temporary folder; empty when the corpus is missing (see LVTEST_NEEDS_CORPUS).
    QString CorpusCopy(const std::string& corpusName, const std::string& name) {
        const std::filesystem::path source =
            std::filesystem::path(LUMVARIS_SHARED_DIR) / "corpus/sor" / corpusName;
        if (!std::filesystem::exists(source)) return {};
        const std::string copy = Dir.file(name);
        std::filesystem::copy_file(source, copy);
        // The corpus is read-only; the copy stands for a file the operator may write.
        std::filesystem::permissions(copy, std::filesystem::perms::owner_write,
                                     std::filesystem::perm_options::add);
        return QString::fromStdString(copy);
    }

    // n traces captioned "Волокно 1" … "Волокно n" at 1550 nm, opened in one go (the last is the
    // active one).
    void OpenNumbered(int n) {
        QStringList files;
        for (int i = 0; i < n; ++i)
            files << TraceFile("t" + std::to_string(i) + ".tra", 1550, "Волокно " + std::to_string(i + 1),
                               uint64_t(i + 1));
        ASSERT_EQ(Form->OpenTraceFiles(files), n);
        Settle();
    }
    // The operator picks `index` in ComboBox1 (the print queue's marking).
    void ChooseMarking(int index) {
        Form->FramesPerPage()->setCurrentIndex(index);
        emit Form->FramesPerPage()->activated(index);
    }

    void Trigger(const char* command) { Form->Command(QString::fromLatin1(command))->trigger(); }
    bool Enabled(const char* command) const {
        return Form->Command(QString::fromLatin1(command))->isEnabled();
    }
    static void Settle() {
        for (int i = 0; i < 3; ++i)
            QApplication::processEvents();
    }

    ScriptedPrompts Prompts;
    TempDir Dir;
    lv::TWorkDataOld Work; // outlives the form, as the program's data module does
    std::unique_ptr<lv::TMainForm> Form;
};

} // namespace lvtest
