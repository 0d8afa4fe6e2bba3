// One RAII holder for every kind of handle the platform hands out: Win32 handles, sockets, file
// descriptors.
#pragma once

#include <utility>

// Owns one handle and frees it at the end. Traits names the handle type, the value that means
// "none" (kNone, what an empty holder keeps), which values are real handles (Holds) and the call
// that frees one (Free).
template <typename Traits>
class UniqueHandleOf {
public:
    using Type = typename Traits::Type;

    UniqueHandleOf() = default;
    explicit UniqueHandleOf(Type h) : h_(h) {}
    UniqueHandleOf(UniqueHandleOf&& other) noexcept : h_(std::exchange(other.h_, Traits::kNone)) {}
    UniqueHandleOf& operator=(UniqueHandleOf&& other) noexcept
    {
        if (this != &other)
            Reset(std::exchange(other.h_, Traits::kNone));
        return *this;
    }
    UniqueHandleOf(const UniqueHandleOf&) = delete;
    UniqueHandleOf& operator=(const UniqueHandleOf&) = delete;
    ~UniqueHandleOf() { Reset(); }

    Type Get() const { return h_; }
    bool Valid() const { return Traits::Holds(h_); }
    explicit operator bool() const { return Valid(); }
    Type Release() { return std::exchange(h_, Traits::kNone); }
    void Reset(Type h = Traits::kNone)
    {
        if (Valid())
            Traits::Free(h_);
        h_ = h;
    }
    // For a call that hands out a handle through a pointer: frees the one held, then takes the new.
    Type* Put()
    {
        Reset();
        return &h_;
    }

private:
    Type h_ = Traits::kNone;
};

// A handle of type T that the call release frees, with none (T{} unless named) for "none".
template <typename T, auto release, T none = T{}>
struct FreedBy {
    using Type = T;
    static constexpr T kNone = none;
    static bool Holds(T h) { return h != none; }
    static void Free(T h) { release(h); }
};
