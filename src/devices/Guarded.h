#pragma once
// A value and the lock that guards it, reachable only through With(fn): the
// function runs with the lock held, so no caller can touch the value without
// it. The lock is not recursive: a function given to With must not call back
// into something that takes the same lock.
#include <mutex>
#include <utility>

namespace velkor {

template <class T> class Guarded {
public:
    Guarded() = default;
    explicit Guarded(T value) : m_value(std::move(value)) {}
    Guarded(const Guarded&) = delete;
    Guarded& operator=(const Guarded&) = delete;

    // Runs fn(T&) with the lock held and returns what it returns. Any thread.
    template <class Fn> decltype(auto) With(Fn&& fn) {
        std::lock_guard lock(m_mutex);
        return std::forward<Fn>(fn)(m_value);
    }
    template <class Fn> decltype(auto) With(Fn&& fn) const {
        std::lock_guard lock(m_mutex);
        return std::forward<Fn>(fn)(std::as_const(m_value));
    }
    // A copy taken under the lock.
    T Copy() const {
        std::lock_guard lock(m_mutex);
        return m_value;
    }

private:
    mutable std::mutex m_mutex;
    T m_value{};
};

} // namespace velkor
