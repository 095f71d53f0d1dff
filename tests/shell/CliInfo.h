#pragma once
// What the command-line tool reads from a trace file with given markers: the reference the
// windows' readings are checked against.

#include <gtest/gtest.h>

#include <QProcess>
#include <QString>

#include <charconv>
#include <string>

#include "support/MiniJson.h"

namespace lvtest {

// The decimal text that reads back as exactly `v`.
inline std::string ExactText(double v) {
    char buf[64];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

#ifdef LUMVARIS_CLI
// `lumvaris-cli info FILE --m1 M1 --m2 M2 --m3 M3` (kilometres) as JSON; a null value, and a
// failure of the test, when the tool fails.
inline Json CliInfo(const QString& file, double m1, double m2, double m3) {
    QProcess cli;
    QStringList args{QStringLiteral("info"), file};
    const std::pair<const char*, double> markers[] = {{"--m1", m1}, {"--m2", m2}, {"--m3", m3}};
    for (const auto& [option, km] : markers)
        args << QString::fromLatin1(option) << QString::fromStdString(ExactText(km));
    cli.start(QStringLiteral(LUMVARIS_CLI), args);
    if (!cli.waitForFinished(30000) || cli.exitCode() != 0) {
        ADD_FAILURE() << "lumvaris-cli info failed: " << cli.readAllStandardError().toStdString();
        return {};
    }
    return Json::parse(cli.readAllStandardOutput().toStdString());
}
#endif

} // namespace lvtest
