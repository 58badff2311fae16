#pragma once

#include <QByteArrayView>
#include <QString>
#include <QStringDecoder>

// Decodes the many short texts of one load into large shared blocks instead
// of one heap allocation each (a million messages spent a tenth of their
// load in the allocator and its page faults). Each text is an ordinary
// QString that holds one reference to its block: Qt's copy-on-write keeps
// the texts of a block apart, and the block is freed with its last text.
// Decoding is exactly QString::fromUtf8's.
class TextBlocks
{
public:
    TextBlocks() = default;
    ~TextBlocks();
    TextBlocks(const TextBlocks&) = delete;
    TextBlocks& operator=(const TextBlocks&) = delete;

    // A null string for empty input, as the cursor's getText gives.
    QString fromUtf8(QByteArrayView utf8);

private:
    using Data = QTypedArrayData<char16_t>;

    void release();

    Data* m_block = nullptr;
    char16_t* m_next = nullptr;
    char16_t* m_end = nullptr;
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};
