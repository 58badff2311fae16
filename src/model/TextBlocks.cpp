#include "model/TextBlocks.h"

#include <cstdint>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {
// In UTF-16 units. Large enough for huge pages inside; small enough that a
// few texts kept after their data set is gone hold little memory.
constexpr qsizetype kBlockUnits = qsizetype(2) << 20;
// Longer texts get a string of their own.
constexpr qsizetype kLongText = 64 * 1024;
constexpr std::uintptr_t kHugePage = 2 * 1024 * 1024;
} // namespace

TextBlocks::~TextBlocks()
{
    release();
}

void TextBlocks::release()
{
    if (m_block && !m_block->deref())
        Data::deallocate(m_block);
    m_block = nullptr;
    m_next = m_end = nullptr;
}

QString TextBlocks::fromUtf8(QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return QString();
    if (utf8.size() > kLongText)
        return QString::fromUtf8(utf8);
    // One unit more for the terminating zero every QString carries.
    const qsizetype room = m_decoder.requiredSpace(utf8.size()) + 1;
    if (m_end - m_next < room) {
        release();
        auto [block, data] = Data::allocate(kBlockUnits);
        if (!block)
            return QString::fromUtf8(utf8);
#ifdef Q_OS_LINUX
        // Only the whole huge pages inside the block; a hint, nothing more.
        const auto from = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
        const auto to = reinterpret_cast<std::uintptr_t>(data + kBlockUnits) & ~(kHugePage - 1);
        if (to > from)
            madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
        m_block = block;
        m_next = data;
        m_end = data + kBlockUnits;
    }
    char16_t* const start = m_next;
    m_decoder.resetState(); // each text may start with its own byte order mark, which goes
    const QChar* const end = m_decoder.appendToBuffer(reinterpret_cast<QChar*>(start), utf8);
    const qsizetype size = reinterpret_cast<const char16_t*>(end) - start;
    start[size] = u'\0';
    m_next = start + size + 1;
    m_block->ref();
    return QString(QString::DataPointer(m_block, start, size));
}
