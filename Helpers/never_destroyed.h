#pragma once
// An object built on first use and never destroyed: for state that static
// destruction must not touch, because at process exit the DLLs it refers to
// may already have been detached.
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class never_destroyed {
public:
    template <class... Args>
    explicit never_destroyed(Args&&... args) {
        ::new (static_cast<void*>(&storage_)) T(std::forward<Args>(args)...);
    }
    never_destroyed(const never_destroyed&) = delete;
    never_destroyed& operator=(const never_destroyed&) = delete;
    T& get() { return *std::launder(reinterpret_cast<T*>(&storage_)); }

private:
    std::aligned_storage_t<sizeof(T), alignof(T)> storage_;
};
