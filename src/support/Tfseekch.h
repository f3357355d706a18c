#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <functional>

class Dialogs;

// A forward-only scanner that finds texts in a file of any size while holding
// one block of it. Positions are 1-based. A file that cannot be opened
// or is empty is reported through dialogs and answers every search with -1.
class Tfseekch
{
public:
    // 512 KB, not 32 KB: from the page cache, reading a file in 32 KB blocks
    // alone takes about 1.5 to 2 times as long as `cat`'s 128 KB reads (the
    // cost is per read, not per byte), so the block size bounds the speed of
    // the whole scan. Memory stays constant either way, well under 1 MB.
    static constexpr qsizetype BlockSize = 512 * 1024;

    // afterBlock runs after each block read on from the file; the program lets
    // its window handle pending events there so a long scan keeps it alive.
    Tfseekch(const QString &path, Dialogs &dialogs, std::function<void()> afterBlock = {});
    virtual ~Tfseekch();
    Tfseekch(const Tfseekch &) = delete;
    Tfseekch &operator=(const Tfseekch &) = delete;

    // Delivers the byte at the current position (currentByte()) and advances.
    virtual void NextByte();
    // Reads on until text has been read completely and returns the position
    // of its first byte, or -1 when the file ends first. The scanner then
    // stands just after the occurrence. Without caseSensitive, ASCII letters
    // match in either case. passed, when given, receives every byte read over
    // that is not part of the occurrence, in order, straight from the block:
    // a caller copying what lies between occurrences reads the file once.
    using Passed = std::function<void(const char *data, qsizetype size)>;
    qint64 FindNext(const QByteArray &text, bool caseSensitive, const Passed &passed = {});
    // Moves to a position and reads the block that starts there.
    void SeekTo(qint64 position);

    unsigned char currentByte() const { return m_current; }
    // The position of the next byte to deliver; fileSize() + 1 once every
    // byte has been delivered.
    qint64 position() const { return m_position; }
    qint64 fileSize() const { return m_fileSize; }
    bool found() const { return m_found; }
    bool atEnd() const { return m_atEnd; }

private:
    // Delivers the next n bytes of the current block at once.
    void consume(qsizetype n);
    void readBlock();

    Dialogs &m_dialogs;
    std::function<void()> m_afterBlock;
    QFile m_file;
    QString m_fileName;
    QByteArray m_buffer = QByteArray(BlockSize, '\0');
    qsizetype m_count = 0;
    qsizetype m_index = 1;
    unsigned char m_current = 0;
    qint64 m_position = 1;
    qint64 m_fileSize = 0;
    qsizetype m_patternLength = 0;
    bool m_found = false;
    bool m_atEnd = false;
};
