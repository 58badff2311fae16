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
    // The same text moved into a block: for strings built piece by piece
    // that a record keeps. An empty one is returned as it is.
    QString keep(const QString& text);

private:
    using Data = QTypedArrayData<char16_t>;

    void release();
    // Where a text of this many units (its terminating zero included) goes.
    char16_t* room(qsizetype units);
    QString finish(char16_t* start, qsizetype size);

    Data* m_block = nullptr;
    char16_t* m_next = nullptr;
    char16_t* m_end = nullptr;
    qsizetype m_blockUnits = qsizetype(64) << 10; // of the next block
    QStringDecoder m_decoder{QStringDecoder::Utf8, QStringDecoder::Flag::Stateless};
};
