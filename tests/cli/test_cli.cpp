// lumvaris-cli as scripts use it: exit codes, messages, and what it writes.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "support/TempDir.h"

using lvtest::TempDir;

namespace {

struct Run {
    int code = -1;
    std::string out, err;
};

std::string quote(const std::string& s) {
    std::string q = "'";
    for (char c : s) q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

Run cli(const std::vector<std::string>& args) {
    TempDir tmp;
    std::string cmd = quote(LUMVARIS_CLI);
    for (const auto& a : args) cmd += " " + quote(a);
    cmd += " >" + quote(tmp.file("out")) + " 2>" + quote(tmp.file("err")) + " </dev/null";
    Run r;
    int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    auto slurp = [](const std::string& p) {
        std::ifstream f(p);
        std::stringstream ss;
        ss << f.rdbuf();
        return ss.str();
    };
    r.out = slurp(tmp.file("out"));
    r.err = slurp(tmp.file("err"));
    return r;
}

} // namespace

TEST(Cli, UsageErrorsExitWithTwoAndAShortUsage) {
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"frobnicate"},
        {"info"},
        {"info", "a.tra", "--m9", "1"},
        {"info", "a.tra", "--m1"},
        {"info", "a.tra", "--m1", "abc"},
        {"info", "a.tra", "--approx", "2"},
        {"convert", "a.tra"},
        {"samples"},
        {"synth"},
        {"synth", "x.tra", "--samples", "1"},
        {"synth", "x.tra", "--events", "weld@3"},
    };
    for (const auto& args : cases) {
        Run r = cli(args);
        std::string line;
        for (const auto& a : args) line += a + " ";
        EXPECT_EQ(r.code, 2) << line;
        EXPECT_NE(r.err.find("Использование:"), std::string::npos) << line;
        EXPECT_TRUE(r.out.empty()) << line;
    }
}

TEST(Cli, UnreadableFilesExitWithOneAndTheMessage) {
    TempDir dir;
    Run r = cli({"info", dir.file("missing.tra")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Не удается открыть файл"), std::string::npos) << r.err;

    lvtest::writeBytes(dir.file("junk.sor"), {1, 2, 3});
    r = cli({"samples", dir.file("junk.sor")});
    EXPECT_EQ(r.code, 1);
    EXPECT_NE(r.err.find("Не удается прочитать файл"), std::string::npos) << r.err;
}
