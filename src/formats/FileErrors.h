#pragma once
// File failures carry the platform's error code (errno here) beside their Russian message.

#include <cerrno>
#include <string>

#include "trace/Errors.h"
#include "trace/ValueHelpers.h" // FormatS, for the messages that name a file

namespace lv {

class EFileError : public Exception {
public:
    // The code is taken from errno when the exception is made.
    explicit EFileError(std::string message) : Exception(std::move(message)), m_code(errno) {}
    EFileError(std::string message, int code) : Exception(std::move(message)), m_code(code) {}
    int ErrorCode() const { return m_code; }

private:
    int m_code;
};

class EFileMapError : public EFileError {
public:
    using EFileError::EFileError;
};

} // namespace lv
