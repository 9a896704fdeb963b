#pragma once

#include <algorithm>
#include <atomic>
#include <bit>
#include <cstddef>
#include <memory>
#include <span>
#include <vector>

namespace linlangok {

// A lock-free first-in, first-out queue between one producer thread and one consumer thread.
//
// Items sit in a ring whose capacity is a power of two. Write takes what fits in it; Push never
// refuses: when the ring is full, the producer links a ring twice the size behind it and goes on
// there, and the consumer moves over once it has emptied the old ring, which the producer then
// frees. So the producer allocates only when the queue holds more than it has ever held, and the
// consumer never allocates, frees, locks or waits. Order is kept across rings.
//
// T is copied in and read in place; it must be default-constructible and copy-assignable.
template <typename T> class CSpscQueue {
public:
    // The first ring holds `capacity` items (rounded up to a power of two, at least 1).
    explicit CSpscQueue(size_t capacity)
    {
        m_rings.push_back(std::make_unique<Ring>(std::bit_ceil(std::max<size_t>(capacity, 1))));
        m_writeRing = m_readRing = m_rings.back().get();
        m_consumerRing.store(m_readRing, std::memory_order_relaxed);
    }

    CSpscQueue(const CSpscQueue&) = delete;
    CSpscQueue& operator=(const CSpscQueue&) = delete;

    // Producer: the number of items Write takes now.
    size_t Free() const
    {
        const Ring& ring = *m_writeRing;
        return ring.items.size()
            - (ring.tail.load(std::memory_order_relaxed) - ring.head.load(std::memory_order_acquire));
    }

    // Producer: copies as many items as fit (Free()) and returns their number; never allocates.
    size_t Write(const T* items, size_t count)
    {
        Ring& ring = *m_writeRing;
        count = std::min(count, Free());
        const size_t tail = ring.tail.load(std::memory_order_relaxed);
        for (size_t i = 0; i < count; ++i)
            ring.items[(tail + i) & ring.Mask()] = items[i];
        ring.tail.store(tail + count, std::memory_order_release);
        return count;
    }

    // Producer: appends the items, all at once, growing the queue until they fit. Raises
    // std::bad_alloc when a larger ring cannot be allocated; none of them is then queued.
    void Push(const T* items, size_t count)
    {
        while (Free() < count)
            Grow();
        Write(items, count);
    }
    void Push(const T& item) { Push(&item, 1); }

    // Consumer: the oldest items ready now that lie together in memory; empty when none is ready.
    // More may follow once these are consumed.
    std::span<const T> Readable()
    {
        for (;;) {
            Ring& ring = *m_readRing;
            const size_t head = ring.head.load(std::memory_order_relaxed);
            const size_t tail = ring.tail.load(std::memory_order_acquire);
            if (head != tail) {
                const size_t start = head & ring.Mask();
                return {ring.items.data() + start, std::min(tail - head, ring.items.size() - start)};
            }
            Ring* next = ring.next.load(std::memory_order_acquire);
            if (!next)
                return {};
            // The producer links the next ring only after its last write to this one: seen the
            // link, a second look at the tail is final.
            if (ring.tail.load(std::memory_order_acquire) != head)
                continue;
            m_readRing = next;
            m_consumerRing.store(next, std::memory_order_release);
        }
    }

    // Consumer: removes the first `count` items of Readable().
    void Consume(size_t count)
    {
        Ring& ring = *m_readRing;
        ring.head.store(ring.head.load(std::memory_order_relaxed) + count, std::memory_order_release);
    }

    // Consumer: true when no item is ready.
    bool Empty() { return Readable().empty(); }

    // Empties the queue, keeping its largest ring. Only while neither side runs.
    void Clear()
    {
        m_rings.erase(m_rings.begin(), m_rings.end() - 1);
        Ring& ring = *m_rings.back();
        ring.head.store(0, std::memory_order_relaxed);
        ring.tail.store(0, std::memory_order_relaxed);
        m_writeRing = m_readRing = &ring;
        m_consumerRing.store(&ring, std::memory_order_relaxed);
    }

private:
    static constexpr size_t kCacheLine = 64; // keeps the two ends from sharing a cache line

    struct Ring {
        explicit Ring(size_t capacity)
            : items(capacity)
        {
        }
        size_t Mask() const { return items.size() - 1; }

        std::vector<T> items;
        alignas(kCacheLine) std::atomic<size_t> head {0}; // consumer writes
        alignas(kCacheLine) std::atomic<size_t> tail {0}; // producer writes
        std::atomic<Ring*> next {nullptr}; // producer writes once, after its last item here
    };

    void Grow()
    {
        // Rings before the one the consumer reads are done with.
        const Ring* reading = m_consumerRing.load(std::memory_order_acquire);
        const auto firstInUse = std::find_if(
            m_rings.begin(), m_rings.end(), [reading](const auto& ring) { return ring.get() == reading; });
        m_rings.erase(m_rings.begin(), firstInUse);
        m_rings.reserve(m_rings.size() + 1);
        m_rings.push_back(std::make_unique<Ring>(m_writeRing->items.size() * 2));
        m_writeRing->next.store(m_rings.back().get(), std::memory_order_release);
        m_writeRing = m_rings.back().get();
    }

    std::vector<std::unique_ptr<Ring>> m_rings; // producer: from the consumer's ring to the producer's
    Ring* m_writeRing; // producer only
    Ring* m_readRing; // consumer only
    std::atomic<Ring*> m_consumerRing; // consumer writes: the ring it reads, so older ones may go
};

} // namespace linlangok
