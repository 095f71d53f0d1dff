// Windows-1251 texts, bounded little-endian reading, and replacing files safely.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <new>

#include "formats/ByteCursor.h"
#include "formats/Cp1251.h"
#include "formats/FileErrors.h"
#include "formats/SafeFile.h"
#include "formats/uMapsFiles.h"
#include "support/TempDir.h"

using namespace lv;
using lvtest::TempDir;

TEST(Cp1251, RoundTripAndReplacement) {
    const std::string text = "Рефлектограмма № 1 — «ёЁ»";
    const std::string enc = Utf8ToCp1251(text);
    EXPECT_EQ(enc.size(), Cp1251Length(text));
    EXPECT_EQ(static_cast<unsigned char>(enc[0]), 0xD0); // Р
    EXPECT_NE(enc.find('\xB9'), std::string::npos); // №
    EXPECT_EQ(Cp1251ToUtf8(enc), text);
    EXPECT_EQ(Utf8ToCp1251("a中b\xFF"), "a?b?"); // no code, malformed byte
    EXPECT_EQ(Cp1251ToUtf8(std::string("\x98", 1)), "\xEF\xBF\xBD");
    EXPECT_EQ(TruncateCp1251("ЖжЖ", 2), "Жж");
    EXPECT_EQ(TruncateCp1251("ab", 5), "ab");
    // Texts of another program: well-formed UTF-8 stays, anything else is Windows-1251.
    EXPECT_EQ(ForeignTextToUtf8("Epissure ajouté"), "Epissure ajouté");
    EXPECT_EQ(ForeignTextToUtf8(enc), text);
    EXPECT_EQ(ForeignTextToUtf8("\xC0\xE1\xE2"), "Абв");
}

TEST(ByteCursor, ReadsLittleEndianAndNeverPastTheEnd) {
    const uint8_t data[] = {0x34, 0x12, 0xFF, 0xFF, 'a', 'b', 0, 'c'};
    TLEReader r(data, sizeof data, "плохо");
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.I16(), -1);
    EXPECT_EQ(r.ZString(), "ab");
    try {
        r.ZString(); // "c" has no terminator inside the block
        FAIL();
    } catch (const EInvalidDataFormat& e) {
        EXPECT_EQ(e.Message(), "плохо");
    }
    EXPECT_EQ(r.Position(), 7u);
    EXPECT_THROW(r.U16(), EInvalidDataFormat);
    EXPECT_THROW(r.Skip(SIZE_MAX), EInvalidDataFormat);
    EXPECT_EQ(r.U8(), 'c');
    EXPECT_TRUE(r.AtEnd());

    TLEReader cut(data, sizeof data);
    cut.Skip(4);
    EXPECT_EQ(cut.ZString(1), "a");
    EXPECT_EQ(cut.Position(), 7u);
}

TEST(SafeFile, ReplacesAndLeavesNothingBehindOnFailure) {
    TempDir dir;
    const std::string target = dir.file("a.bin");
    lvtest::writeBytes(target, {1, 2, 3, 4, 5, 6, 7, 8, 9});
    WriteFileReplacing(target, {7, 7});
    EXPECT_EQ(lvtest::readBytes(target), (std::vector<uint8_t>{7, 7}));

    EXPECT_THROW(WriteFileReplacing(target, 100, [](uint8_t*) { throw std::runtime_error("encode"); }),
                 std::runtime_error);
    EXPECT_EQ(lvtest::readBytes(target), (std::vector<uint8_t>{7, 7}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"a.bin"});

    try {
        WriteFileReplacing(dir.file("no/such/folder.bin"), {1});
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(e.ErrorCode(), ENOENT);
        EXPECT_NE(e.Message().find(dir.file("no/such/folder.bin")), std::string::npos);
    }
    EXPECT_THROW(ReadWholeFile(dir.file("missing")), EFileError);
}

TEST(SafeFile, FileSizeLimitLeavesTheOldFileIntact) {
    TempDir dir;
    const std::string target = dir.file("old.bin");
    std::vector<uint8_t> old(3000, 0x5A);
    lvtest::writeBytes(target, old);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        ::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim {4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &lim);
        try {
            WriteFileReplacing(target, 100000, [](uint8_t* p) { p[0] = 1; });
        } catch (const EFileError& e) {
            ::_exit(e.ErrorCode() == EFBIG ? 0 : 2);
        }
        ::_exit(1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(lvtest::readBytes(target), old);
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"old.bin"});
}

namespace {
int openDescriptors() {
    int n = 0;
    for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator("/proc/self/fd"))
        ++n;
    return n;
}
} // namespace

TEST(SafeFile, AFileTooLargeForMemoryLeavesNoDescriptorOpen) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "AddressSanitizer's allocator ends the process instead of raising std::bad_alloc";
#else
    // A file larger than the memory the process may take (a sparse one: nothing is written).
    TempDir dir;
    const std::string big = dir.file("big.sor");
    const int fd = ::open(big.c_str(), O_CREAT | O_WRONLY, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::ftruncate(fd, off_t(256) << 20), 0);
    ::close(fd);
    pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const int before = openDescriptors();
        long pages = 0;
        std::FILE* statm = std::fopen("/proc/self/statm", "r");
        if (!statm || std::fscanf(statm, "%ld", &pages) != 1) ::_exit(3);
        std::fclose(statm);
        const rlim_t room =
            static_cast<rlim_t>(pages) * static_cast<rlim_t>(::sysconf(_SC_PAGESIZE)) + (64 << 20);
        const struct rlimit lim = {room, room};
        ::setrlimit(RLIMIT_AS, &lim);
        bool outOfMemory = false;
        try {
            ReadWholeFile(big);
        } catch (const std::bad_alloc&) {
            outOfMemory = true;
        } catch (...) {
        }
        ::_exit(!outOfMemory ? 2 : openDescriptors() == before ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: a descriptor was left open; 2: no allocation failure";
#endif
}

TEST(SafeFile, ANamedPipeIsRefusedInsteadOfWaitingForAWriter) {
    // A FIFO named like a trace must not hang the program: both readers refuse it at once.
    TempDir dir;
    const std::string fifo = dir.file("trace.sor");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_THROW(ReadWholeFile(fifo), EFileError);
    EXPECT_THROW(ReadFileMapped(fifo), EFileError);
    EXPECT_THROW(ReadWholeFile(dir.path()), EFileError);
}

TEST(SafeFile, AWriteProtectedFileIsNotReplaced) {
    TempDir dir;
    const std::string target = dir.file("kept.tra");
    lvtest::writeBytes(target, {4, 5, 6});
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    try {
        WriteFileReplacing(target, {1});
        FAIL();
    } catch (const EFileError& e) {
        EXPECT_EQ(e.ErrorCode(), EACCES);
    }
    EXPECT_EQ(lvtest::readBytes(target), (std::vector<uint8_t>{4, 5, 6}));
    EXPECT_EQ(dir.entries(), std::vector<std::string>{"kept.tra"});
}
