#pragma once
// The program itself run as a process, the way a script runs it (`lumvaris --print-pdf`,
// `lumvaris --export`).

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

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

} // namespace lvtest
