#include "trace/Errors.h"

#include <new>

namespace lv {

std::string ExceptionMessage(const std::exception_ptr& e, const std::string& outOfMemoryText) {
    if (!e) return {};
    try {
        std::rethrow_exception(e);
    } catch (const Exception& ex) {
        return ex.Message();
    } catch (const std::bad_alloc&) {
        return outOfMemoryText;
    } catch (const std::exception& ex) {
        return ex.what();
    } catch (...) {
        return {};
    }
}

bool IsOutOfMemory(const std::exception_ptr& e) {
    if (!e) return false;
    try {
        std::rethrow_exception(e);
    } catch (const EOutOfMemory&) {
        return true;
    } catch (const std::bad_alloc&) {
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace lv
