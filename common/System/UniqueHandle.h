#pragma once
// A move-only owner for one platform handle; Traits names the handle type, its "none" value and its closer.
#include <utility>

template <class Traits>
class UniqueHandle {
public:
    using pointer = typename Traits::type;

    UniqueHandle() = default;
    explicit UniqueHandle(pointer h) : m_h(h) {}
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept
    {
        reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    pointer get() const { return m_h; }
    explicit operator bool() const { return m_h != Traits::None(); }
    pointer release() { return std::exchange(m_h, Traits::None()); }
    void reset(pointer h = Traits::None())
    {
        pointer old = std::exchange(m_h, h);
        if (old != Traits::None())
            Traits::Close(old);
    }

private:
    pointer m_h = Traits::None();
};
