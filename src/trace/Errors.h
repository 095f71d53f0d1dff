#pragma once
// Exceptions of the system. Messages are Russian UTF-8 texts shown to the operator as they stand.

#include <exception>
#include <string>

namespace lv {

class Exception : public std::exception {
public:
    explicit Exception(std::string message, int helpContext = 0)
        : m_message(std::move(message)), m_helpContext(helpContext) {}
    const char* what() const noexcept override { return m_message.c_str(); }
    const std::string& Message() const { return m_message; }
    void SetMessage(std::string message) { m_message = std::move(message); }
    int HelpContext() const { return m_helpContext; }

private:
    std::string m_message;
    int m_helpContext;
};

// Out of memory with a message of the system (std::bad_alloc carries none).
class EOutOfMemory : public Exception {
public:
    using Exception::Exception;
};

// Malformed input data (files, buffers).
class EInvalidDataFormat : public Exception {
public:
    using Exception::Exception;
};

// A value held in a variant cannot be read as the type asked for.
class EVariantError : public Exception {
public:
    using Exception::Exception;
};

// A lookup by name or index found nothing.
class EListError : public Exception {
public:
    using Exception::Exception;
};

// A number or date cannot be converted (non-finite, out of range).
class EConvertError : public Exception {
public:
    using Exception::Exception;
};

// The text of an exception as the operator sees it; std::bad_alloc becomes `outOfMemoryText`.
std::string ExceptionMessage(const std::exception_ptr& e, const std::string& outOfMemoryText = "Out of memory");

// True when `e` is an out-of-memory failure (std::bad_alloc or EOutOfMemory).
bool IsOutOfMemory(const std::exception_ptr& e);

} // namespace lv
