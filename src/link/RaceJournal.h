#pragma once

#include <QByteArray>
#include <QString>

// The race journal: every race text the program handles, byte for byte,
// with when and where it came from and what became of it. It is plain text,
// for an official to open in any editor and answer "did the timer send race
// 12, and what exactly?". An entry is
//
//   === 2026-12-09 10:35:12.345 port A, 212 bytes
//   <the text exactly as received>
//   --- stored as race 12 (key 84012345), 8 places
//
// or "--- refused: " and the message. The text reaches the disk before it is
// read, so a text that arrived is never lost, not with the program and not
// with the power; the outcome line is written as soon as it is known,
// before any box is shown.
//
// A journal that cannot be written (a full disk) does not hold the race
// back: the failure is reported once, through reportError, until a write
// succeeds again, and an entry the disk took only part of is cut off.
//
// A journal past maxBytes is renamed to the older journal (VEXO_COMS.old.log,
// replacing the one before) and a new one begun, so the two together never
// take more than twice that.
class RaceJournal {
public:
    static constexpr qint64 maxBytes = 8 * 1024 * 1024;

    // The journal VEXO_COMS.log in folder.
    explicit RaceJournal(const QString& folder);

    const QString& fileName() const { return m_fileName; }
    QString olderFileName() const;

    // source is "A" or "B" for a port, "hand" for a text given by hand.
    void received(const QByteArray& text, const QString& source);
    void stored(qint32 number, qint32 key, int places);
    void refused(const QString& message);

private:
    void append(const QByteArray& bytes, bool toDisk);
    void failed(const QString& reason);

    QString m_fileName;
    bool m_failing = false;
};
