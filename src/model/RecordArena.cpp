#include "model/RecordArena.h"

#include <QtGlobal>

#include <algorithm>
#include <cstdint>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {
constexpr std::size_t kHugePage = 2 * 1024 * 1024;
constexpr std::size_t kMaxGrownBlock = 64 * 1024 * 1024;
// A reservation beyond this is not made in one piece; blocks grow instead.
constexpr std::size_t kMaxReservedBlock = std::size_t(1) << 30;

std::uintptr_t address(const void* p)
{
    return reinterpret_cast<std::uintptr_t>(p);
}
} // namespace

RecordArena::~RecordArena()
{
    for (const Block& b : m_blocks) {
#ifdef Q_OS_LINUX
        if (b.mapped) {
            munmap(b.base, b.size);
            continue;
        }
#endif
        ::operator delete(b.base);
    }
}

void RecordArena::reserve(std::size_t bytes)
{
    if (bytes > std::size_t(m_end - m_next) && bytes <= kMaxReservedBlock)
        addBlock(bytes);
}

bool RecordArena::owns(const void* p) const
{
    const std::uintptr_t at = address(p);
    for (const Block& b : m_blocks) {
        if (at >= address(b.base) && at < address(b.base) + b.size)
            return true;
    }
    return false;
}

void* RecordArena::allocate(std::size_t size, std::size_t align)
{
    const auto aligned = [align](char* p) { return p + (align - address(p) % align) % align; };
    char* p = m_next ? aligned(m_next) : nullptr;
    if (!p || p > m_end || std::size_t(m_end - p) < size) {
        addBlock(size + align);
        p = aligned(m_next);
    }
    m_next = p + size;
    return p;
}

void RecordArena::addBlock(std::size_t atLeast)
{
    std::size_t size = std::max(m_nextSize, atLeast);
    m_blocks.reserve(m_blocks.size() + 1);
    Block block{nullptr, size, false};
#ifdef Q_OS_LINUX
    if (size >= kHugePage) {
        // Mapped one huge page larger and trimmed, so that the block starts
        // on a huge-page boundary; then the kernel is asked for huge pages,
        // which spare a page fault per 4 KiB and many TLB misses.
        size = (size + kHugePage - 1) / kHugePage * kHugePage;
        void* raw = mmap(nullptr, size + kHugePage, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
        if (raw != MAP_FAILED) {
            char* const first = static_cast<char*>(raw);
            char* const start = first + (kHugePage - address(first) % kHugePage) % kHugePage;
            if (start > first)
                munmap(first, std::size_t(start - first));
            const std::size_t tail = std::size_t(first + size + kHugePage - (start + size));
            if (tail > 0)
                munmap(start + size, tail);
            madvise(start, size, MADV_HUGEPAGE); // a hint: without it the block still works
            block = Block{start, size, true};
        }
    }
#endif
    if (!block.base)
        block = Block{static_cast<char*>(::operator new(size)), size, false};
    m_blocks.push_back(block);
    m_next = block.base;
    m_end = block.base + block.size;
    m_nextSize = std::min(kMaxGrownBlock, std::max(m_nextSize, block.size * 2));
}
