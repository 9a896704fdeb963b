#include "midi/MessageArena.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace linlangok {

void CMessageArena::Adopt(std::unique_ptr<std::byte[]>&& storage, size_t size)
{
    m_blocks.reserve(m_blocks.size() + 1);
    m_blocks.push_back(std::move(storage));
}

void CMessageArena::Reuse(std::byte* begin, size_t size) noexcept
{
    if (begin == m_reusableEnd) {
        m_reusableEnd += size;
        return;
    }
    const size_t skip = (kAlignment - reinterpret_cast<uintptr_t>(begin) % kAlignment) % kAlignment;
    if (size > skip) {
        m_reusableBegin = begin + skip;
        m_reusableEnd = begin + size;
    }
}

void* CMessageArena::AllocateInNewBlock(size_t size)
{
    if (size <= static_cast<size_t>(m_reusableEnd - m_reusableBegin)) {
        m_next = m_reusableBegin + size;
        m_end = m_reusableEnd;
        m_reusableBegin = m_reusableEnd = nullptr;
        return m_next - size;
    }
    // A request larger than a quarter of the next block gets a block of its own, so the current
    // block's free tail stays usable.
    if (size > m_nextBlockSize / 4) {
        m_blocks.push_back(std::unique_ptr<std::byte[]>(new std::byte[size]));
        return m_blocks.back().get();
    }
    m_blocks.push_back(std::unique_ptr<std::byte[]>(new std::byte[m_nextBlockSize]));
    m_next = m_blocks.back().get();
    m_end = m_next + m_nextBlockSize;
    m_nextBlockSize = std::min(m_nextBlockSize * 2, kLargestBlockSize);
    void* result = m_next;
    m_next += size;
    return result;
}

std::uint8_t* CMessageArena::CopyBytes(std::span<const std::uint8_t> bytes)
{
    if (bytes.empty())
        return nullptr;
    auto* copy = static_cast<std::uint8_t*>(Allocate(bytes.size()));
    std::memcpy(copy, bytes.data(), bytes.size());
    return copy;
}

void CMessageArena::Release()
{
    m_blocks.clear();
    m_blocks.shrink_to_fit();
    m_reusableBegin = m_reusableEnd = nullptr;
    m_next = nullptr;
    m_end = nullptr;
    m_nextBlockSize = kFirstBlockSize;
}

} // namespace linlangok
