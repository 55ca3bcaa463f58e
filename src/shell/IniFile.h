#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One key of a section as read: its name as written in the file and its
// value, trimmed and cut to IniFile::maxValueLength characters.
struct IniEntry {
    QByteArray key;
    QByteArray value;
};

// The settings file as an INI text: "[Section]" lines, each followed by
// "key=value" lines. Section and key names match without regard to case.
// Every operation opens the file, does its work and lets the file go, so that
// two objects over the same file (the main window's settings and the barcode
// window's) always see what the other last wrote. A write changes only the
// lines of the keys it writes; every other line, including keys and sections
// that other programs put there, is written back as it was.
class IniFile {
public:
    // Longer values are read as their first maxValueLength characters.
    static constexpr qsizetype maxValueLength = 2047;

    explicit IniFile(const QString& fileName);

    // The full path of the file, as error messages name it.
    QString fileName() const;

    // The value of key in section, or fallback when the file, the section
    // or the key is missing. Of a key written twice, the first counts.
    QByteArray readString(const QByteArray& section, const QByteArray& key,
                          const QByteArray& fallback) const;

    // The names of the keys of section, in file order, each once. A missing
    // file or section has none.
    QList<QByteArray> keys(const QByteArray& section) const;

    // The keys of section with their values, in file order.
    QList<IniEntry> entries(const QByteArray& section) const;

    // Writes one key; see writeStrings.
    void writeString(const QByteArray& section, const QByteArray& key, const QByteArray& value);

    // Writes the keys of section in one pass over the file: a key already in
    // the section has its line replaced, a new key is added at the end of its
    // section, a new section at the end of the file. Throws Exception
    // "Unable to write to <path>" when the file cannot be written (on a
    // full disk followed by what to do), and leaves the file as it was; a value
    // holding a line break is refused, as it would end the key's line and
    // turn the rest of the value into lines of its own.
    void writeStrings(const QByteArray& section, const QList<IniEntry>& values);

private:
    // The lines of the file without their line ends; empty when the file is
    // missing or cannot be read. lineEnd gets the file's own line end (that
    // of its first line), for lines written new; lineEnds gets each line's
    // own, empty for a last line that has none.
    QList<QByteArray> readLines(QByteArray* lineEnd = nullptr, QList<QByteArray>* lineEnds = nullptr) const;

    QString m_fileName;
};
