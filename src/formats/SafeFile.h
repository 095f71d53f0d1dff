#pragma once
// Files are never half-written: a new content goes to a temporary file in the target's folder
// (its space reserved first, so a full disk is an error and never a SIGBUS), is flushed, and is
// renamed over the target. A failure leaves the old file byte-identical and no temporary file.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "trace/NoInitAllocator.h"

namespace lv {

extern const char* const kMsgCannotOpenFile;  // "Не удается открыть файл \"%s\""
extern const char* const kMsgCannotSaveFile;  // "Не удается записать файл \"%s\""

// Reads the whole file into memory (a file cut by another program meanwhile cannot hurt).
// Raises EFileError "Не удается открыть файл \"<path>\"" with errno.
std::vector<uint8_t> ReadWholeFile(const std::string& path);
// The same into a buffer that is not zero-filled before the file's bytes go in.
using TFileBytes = std::vector<uint8_t, TNoInitAllocator<uint8_t>>;
TFileBytes ReadFileBytes(const std::string& path);

// Replaces `path` with `size` bytes that `fill` writes into a zeroed view of the temporary file
// (the mapped-file component's whole-file write). Raises EFileError with errno; an exception from
// `fill` propagates after the temporary file is removed.
void WriteFileReplacing(const std::string& path, size_t size, const std::function<void(uint8_t* dst)>& fill);
void WriteFileReplacing(const std::string& path, const std::vector<uint8_t>& bytes);

// The check of a trace file just written: empty when it exists, holds at least 1024 bytes and not
// only zero bytes; otherwise the operator's message, naming the file as `shownName` (the path
// when empty): "Файл … не существует.", "Файл … имеет длину менее 1К." or the zero-data message.
std::string SavedFileProblem(const std::string& path, const std::string& shownName = {});

} // namespace lv
