#pragma once
// An allocator whose containers leave new elements of trivial types unset: a buffer that is
// written whole right after it is made (a file's bytes, decoded samples) would otherwise be
// zero-filled first, touching every page of it twice.

#include <memory>
#include <type_traits>
#include <utility>

namespace lv {

template <class T> class TNoInitAllocator : public std::allocator<T> {
public:
    using value_type = T;
    template <class U> struct rebind { using other = TNoInitAllocator<U>; };

    TNoInitAllocator() noexcept = default;
    template <class U> TNoInitAllocator(const TNoInitAllocator<U>&) noexcept {}

    template <class U, class... Args> void construct(U* p, Args&&... args) {
        if constexpr (sizeof...(Args) == 0 && std::is_trivially_default_constructible_v<U>)
            ::new (static_cast<void*>(p)) U; // left unset
        else
            ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

template <class T, class U> bool operator==(const TNoInitAllocator<T>&, const TNoInitAllocator<U>&) noexcept {
    return true;
}

} // namespace lv
