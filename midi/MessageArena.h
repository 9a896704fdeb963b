#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <span>
#include <utility>
#include <vector>

namespace linlangok {

// Storage for the messages of one song: a bump allocator over large blocks, so a message costs its
// own size and no heap bookkeeping. Objects made here are destroyed by their owner (the track entry
// holding them) with std::destroy_at; their memory returns only when the arena is released.
// Used on the UI thread only.
class CMessageArena {
public:
    CMessageArena() = default;
    CMessageArena(const CMessageArena&) = delete;
    CMessageArena& operator=(const CMessageArena&) = delete;

    // Storage of `size` bytes aligned to 8, valid until Release. Throws std::bad_alloc.
    void* Allocate(size_t size)
    {
        size = (size + kAlignment - 1) & ~(kAlignment - 1);
        if (size > static_cast<size_t>(m_end - m_next))
            return AllocateInNewBlock(size);
        void* result = m_next;
        m_next += size;
        return result;
    }

    // Constructs a T in the arena. If the constructor throws, its storage is simply left unused.
    template <typename T, typename... Arguments> T* New(Arguments&&... arguments)
    {
        static_assert(alignof(T) <= kAlignment);
        return ::new (Allocate(sizeof(T))) T(std::forward<Arguments>(arguments)...);
    }

    // A copy of the bytes in the arena (null for none).
    std::uint8_t* CopyBytes(std::span<const std::uint8_t> bytes);

    // Takes over storage of `size` bytes, released with the blocks; the caller keeps it when this
    // throws std::bad_alloc. None of it is handed out until parts are given with Reuse.
    void Adopt(std::unique_ptr<std::byte[]>&& storage, size_t size);
    // Bytes of adopted storage that are no longer needed: the next allocation that does not fit the
    // current block takes them before a new block. Only the latest run of such bytes is kept; runs
    // given one right after the other join.
    void Reuse(std::byte* begin, size_t size) noexcept;

    // Frees every block. Every object made in the arena must have been destroyed before.
    void Release();

private:
    static constexpr size_t kAlignment = 8;
    static constexpr size_t kFirstBlockSize = 4096;
    static constexpr size_t kLargestBlockSize = size_t(1) << 20;

    void* AllocateInNewBlock(size_t size);

    std::vector<std::unique_ptr<std::byte[]>> m_blocks;
    std::byte* m_next = nullptr;
    std::byte* m_end = nullptr;
    std::byte* m_reusableBegin = nullptr; // aligned
    std::byte* m_reusableEnd = nullptr;
    size_t m_nextBlockSize = kFirstBlockSize;
};

} // namespace linlangok
