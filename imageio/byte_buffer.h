#pragma once
// A vector of bytes that a read fills itself: growing it leaves the new bytes
// unset rather than zeroing them first, so a file is passed over once, by the read.
// Only the bytes a read has stored may be used.

#include <memory>
#include <new>
#include <utility>
#include <vector>

template <class T>
class UnsetOnGrowthAllocator : public std::allocator<T> {
public:
    template <class U>
    struct rebind {
        using other = UnsetOnGrowthAllocator<U>;
    };

    UnsetOnGrowthAllocator() = default;
    template <class U>
    UnsetOnGrowthAllocator(const UnsetOnGrowthAllocator<U>&) noexcept {}

    template <class U>
    void construct(U* p) noexcept {
        ::new (static_cast<void*>(p)) U;
    }
    template <class U, class... Args>
    void construct(U* p, Args&&... args) {
        ::new (static_cast<void*>(p)) U(std::forward<Args>(args)...);
    }
};

using ByteBuffer = std::vector<unsigned char, UnsetOnGrowthAllocator<unsigned char>>;
