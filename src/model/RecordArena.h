#pragma once

#include <cstddef>
#include <new>
#include <utility>
#include <vector>

// Memory for the records of one data set, handed out from large blocks
// instead of one heap allocation per record: a million messages load
// noticeably faster, and large blocks are backed by huge pages where the
// system offers them on request. The arena never runs destructors; whoever
// makes a record here destroys it (ViberData does, through owns()) before the
// arena goes.
class RecordArena
{
public:
    RecordArena() = default;
    ~RecordArena();
    RecordArena(const RecordArena&) = delete;
    RecordArena& operator=(const RecordArena&) = delete;

    template <typename T, typename... Args> T* make(Args&&... args)
    {
        return new (allocate(sizeof(T), alignof(T))) T(std::forward<Args>(args)...);
    }

    // Makes the next block large enough for this many bytes more (a loader
    // that knows its row count asks once instead of growing block by block).
    void reserve(std::size_t bytes);
    bool owns(const void* p) const;

private:
    struct Block
    {
        char* base;
        std::size_t size;
        bool mapped; // from mmap, else from operator new
    };

    void* allocate(std::size_t size, std::size_t align);
    void addBlock(std::size_t atLeast);

    std::vector<Block> m_blocks;
    char* m_next = nullptr;
    char* m_end = nullptr;
    std::size_t m_nextSize = 64 * 1024;
};
