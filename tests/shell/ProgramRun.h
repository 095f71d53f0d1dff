#pragma once
// The program itself run as a process, the way a script runs it (`lumvaris --print-pdf`,
// `lumvaris --export`).

#include <gtest/gtest.h>

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <string>

#include "support/TempDir.h"
#include "support/TraceFiles.h"

namespace lvtest {

struct ProgramRun {
    int Exit = -1;
    QString Errors;
};

// The program with `args`, its settings in `configHome`, and a display it must not try to use
// (without one, a window would end the program).
inline ProgramRun RunProgram(const QStringList& args, const QString& configHome,
                             const QString& workingFolder = QString()) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    // A system without a configured locale: the program's own Russian numbers and dates.
    env.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    env.remove(QStringLiteral("DISPLAY"));
    p.setProcessEnvironment(env);
    if (!workingFolder.isEmpty()) p.setWorkingDirectory(workingFolder);
#ifdef LUMVARIS_PROGRAM
    p.start(QStringLiteral(LUMVARIS_PROGRAM), args);
#endif
    if (!p.waitForFinished(60000)) return {};
    return {p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2,
            QString::fromUtf8(p.readAllStandardError())};
}

// Runs of the program in a temporary folder, with settings of their own there (Config); skipped
// where the program is not built.
class ProgramTest : public ::testing::Test {
protected:
    void SetUp() override {
#ifndef LUMVARIS_PROGRAM
        GTEST_SKIP() << "the program is not built";
#endif
    }
    QString Path(const std::string& name) const { return QString::fromStdString(Dir.file(name)); }
    // A trace file `name` in the folder.
    QString Trace(const std::string& name, int wavelengthNm, const std::string& caption, uint64_t seed = 1) const {
        WriteTraceFile(Dir.file(name), wavelengthNm, caption, seed);
        return Path(name);
    }
    ProgramRun Run(const QStringList& args, const QString& workingFolder = QString()) const {
        return RunProgram(args, Config, workingFolder);
    }

    TempDir Dir;
    const QString Config = Path("config");
};

} // namespace lvtest
