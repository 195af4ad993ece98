#pragma once

// SpscQueue: a bounded lock-free queue of pointers for exactly one producer thread and
// one consumer thread. Storage is fixed at compile time, so push and pop never allocate.
//
// Threading: push() only from the producer, pop() and empty() only from the consumer.

#include <array>
#include <atomic>
#include <cstddef>

namespace volaro::deck {

template <typename T, std::size_t Capacity> class SpscQueue {
    static_assert((Capacity & (Capacity - 1)) == 0, "capacity must be a power of two");

public:
    bool push(T value) {
        const std::size_t tail = m_tail.load(std::memory_order_relaxed);
        if (tail - m_head.load(std::memory_order_acquire) == Capacity)
            return false;
        m_items[tail & (Capacity - 1)] = value;
        m_tail.store(tail + 1, std::memory_order_release);
        return true;
    }

    bool pop(T& value) {
        const std::size_t head = m_head.load(std::memory_order_relaxed);
        if (head == m_tail.load(std::memory_order_acquire))
            return false;
        value = m_items[head & (Capacity - 1)];
        m_head.store(head + 1, std::memory_order_release);
        return true;
    }

    // How many items are queued; exact for either side's own view, a snapshot otherwise.
    std::size_t size() const {
        return m_tail.load(std::memory_order_acquire) - m_head.load(std::memory_order_acquire);
    }

    bool empty() const {
        return m_head.load(std::memory_order_acquire) == m_tail.load(std::memory_order_acquire);
    }

private:
    std::array<T, Capacity> m_items{};
    alignas(64) std::atomic<std::size_t> m_head{0};
    alignas(64) std::atomic<std::size_t> m_tail{0};
};

} // namespace volaro::deck
