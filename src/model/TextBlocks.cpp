#include "model/TextBlocks.h"

#include <algorithm>
#include <cstdint>

#ifdef Q_OS_LINUX
#include <sys/mman.h>
#endif

namespace {
// In UTF-16 units. Blocks start small for small stores and double up to a
// size whose inside is mostly whole huge pages; a few texts kept after their
// data set is gone hold at most that much.
constexpr qsizetype kMaxBlockUnits = qsizetype(4) << 20;
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

char16_t* TextBlocks::room(qsizetype units)
{
    if (m_end - m_next >= units)
        return m_next;
    release();
    const qsizetype size = qMax(m_blockUnits, units);
    m_blockUnits = qMin(m_blockUnits * 2, kMaxBlockUnits);
    auto [block, data] = Data::allocate(size);
    if (!block)
        return nullptr;
#ifdef Q_OS_LINUX
    // Only the whole huge pages inside the block; a hint, nothing more.
    const auto from = (reinterpret_cast<std::uintptr_t>(data) + kHugePage - 1) & ~(kHugePage - 1);
    const auto to = reinterpret_cast<std::uintptr_t>(data + size) & ~(kHugePage - 1);
    if (to > from)
        madvise(reinterpret_cast<void*>(from), to - from, MADV_HUGEPAGE);
#endif
    m_block = block;
    m_next = data;
    m_end = data + size;
    return m_next;
}

QString TextBlocks::finish(char16_t* start, qsizetype size)
{
    start[size] = u'\0'; // every QString carries one after its end
    m_next = start + size + 1;
    m_block->ref();
    return QString(QString::DataPointer(m_block, start, size));
}

QString TextBlocks::fromUtf8(QByteArrayView utf8)
{
    if (utf8.isEmpty())
        return QString();
    char16_t* const start = utf8.size() > kLongText ? nullptr : room(m_decoder.requiredSpace(utf8.size()) + 1);
    if (!start)
        return QString::fromUtf8(utf8);
    m_decoder.resetState(); // each text may start with its own byte order mark, which goes
    const QChar* const end = m_decoder.appendToBuffer(reinterpret_cast<QChar*>(start), utf8);
    return finish(start, reinterpret_cast<const char16_t*>(end) - start);
}

QString TextBlocks::keep(const QString& text)
{
    if (text.isEmpty())
        return text;
    char16_t* const start = text.size() > kLongText ? nullptr : room(text.size() + 1);
    if (!start)
        return text;
    std::copy_n(text.utf16(), text.size(), start);
    return finish(start, text.size());
}
