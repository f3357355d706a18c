#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <optional>

// An INI file with the semantics of the classic private-profile calls:
// [section] headers, key=value lines, case-insensitive names, values taken as
// they stand. Open once, read and write many keys in memory, then save();
// save() writes atomically and says whether it worked, so the caller can
// report "Unable to write to " + path(). Lines it does not understand
// (comments, blank lines) and lines it does not change are written back
// byte for byte, whatever their encoding.
class ProfileFile
{
public:
    // The classic reader copies values into a 2048-character buffer that
    // includes the terminating NUL, so longer values come back cut.
    static constexpr qsizetype ValueBufferSize = 2048;

    // Reads the file if it exists; a missing file reads as empty.
    explicit ProfileFile(QString path);

    QString path() const { return m_path; }
    // False when the file existed but could not be read.
    bool readOk() const { return m_readOk; }

    QString ReadString(const QString &section, const QString &key, const QString &defaultValue) const;
    bool HasKey(const QString &section, const QString &key) const;
    // Decimal, or hexadecimal after "0x"/"0X"; anything else gives the default.
    int ReadInteger(const QString &section, const QString &key, int defaultValue) const;
    // True for any non-zero integer; a value that is no number gives the default.
    bool ReadBool(const QString &section, const QString &key, bool defaultValue) const;

    void WriteString(const QString &section, const QString &key, const QString &value);
    void WriteInteger(const QString &section, const QString &key, int value);
    void WriteBool(const QString &section, const QString &key, bool value);

    // Writes the file through a temporary file renamed into place; on failure
    // the old file is left as it was and errorString() says why.
    bool save();
    QString errorString() const { return m_error; }

    // Parses a value the way ReadInteger does; *ok tells whether it was a number.
    static int parseInteger(const QString &text, bool *ok);

private:
    // Index of the section header line, -1 if absent.
    qsizetype findSection(const QString &section) const;
    // Index of the key line inside the section starting at sectionLine, -1 if absent.
    qsizetype findKey(qsizetype sectionLine, const QString &key) const;
    // One past the last line of the section starting at sectionLine.
    qsizetype sectionEnd(qsizetype sectionLine) const;

    struct Line
    {
        QString text;
        // The bytes read from the file (without the line break); none for a
        // line the program wrote.
        std::optional<QByteArray> raw;
    };

    QString m_path;
    QByteArray m_bom;
    QByteArray m_lineBreak = "\n";
    QList<Line> m_lines;
    bool m_readOk = true;
    QString m_error;
};
