#pragma once

#include <QByteArray>
#include <QList>
#include <QSet>
#include <QString>

#include <optional>

struct StoredRace;

// The race journal: every race text the program handles, byte for byte,
// with when and where it came from and what became of it. It is plain text,
// for an official to open in any editor and answer "did the timer send race
// 12, and what exactly?". An entry is
//
//   === 2026-12-09 10:35:12.345 port A, 212 bytes
//   <the text exactly as received>
//   --- stored as race 12 (key 84012345), 8 places
//
// or "--- waiting: " and why (stored when the database is back), or
// "--- stored in part (key 84012345): race 12 stored with 2 of 8 places;
// place line 3 could not be read: ...", or "--- refused: " and the message.
// A text given again by hand names the entry it mends in its first line
// ("=== ... hand, 212 bytes, again for 2026-12-09 10:35:12.345 port A").
// The text reaches the disk before it is read, so a text that arrived is
// never lost, not with the program and not with the power; the outcome line
// is written as soon as it is known, before any box is shown.
//
// A journal that cannot be written (a full disk) does not hold the race
// back: each write gives back the failure to tell, once until a write
// succeeds again, for the window to show; an entry the disk took only part
// of is cut off. The texts to mend that it could not keep are kept in
// memory for as long as the program runs.
//
// A journal past maxBytes is renamed to the older journal (VEXO_COMS.old.log,
// replacing the one before) and a new one begun, so the two together never
// take more than twice that.
class RaceJournal {
public:
    static constexpr qint64 maxBytes = 8 * 1024 * 1024;

    // A text that was refused or stored in part, to be mended.
    struct Entry {
        QString id; // "2026-12-09 10:35:12.345 port A"
        QByteArray text;
        QString outcome; // what became of it, as the journal says
        qint32 partKey = 0; // the race stored in part; 0 when refused whole
    };

    // The journal VEXO_COMS.log in folder.
    explicit RaceJournal(const QString& folder);

    const QString& fileName() const { return m_fileName; }
    QString olderFileName() const;

    // source is "A" or "B" for a port, "hand" for a text given by hand;
    // mends, the id of the entry a text given by hand mends.
    // Each returns the failure to tell the official, empty when none.
    QString received(const QByteArray& text, const QString& source, const QString& mends = {});
    QString stored(qint32 number, qint32 key, int places);
    QString storedInPart(const StoredRace& race);
    QString refused(const QString& message);
    // The meet database could not be reached: the text waits, and is
    // stored as soon as the connection is back, journalled again then as
    // "reconnected, ..., again for" this entry. A program ended before
    // that offers it in Process Again.
    QString waiting(const QString& message);
    // The entry journalled last.
    const Entry& current() const { return m_current; }

    // Every text of the journal (the older one too), and of this run, that
    // was refused or stored in part and not yet mended by hand, newest first.
    QList<Entry> textsToMend() const;
    // The next text given by hand mends entry: it is journalled as such,
    // and no longer offered.
    void mendNext(const Entry& entry) { m_mending = entry; }
    std::optional<Entry> takeMending();

private:
    QString outcome(const QByteArray& line, qint32 partKey);
    QString append(const QByteArray& bytes, bool toDisk);
    QString failed(const QString& reason);

    QString m_fileName;
    bool m_failing = false;
    // The entry being written, and whether the disk took all of it.
    Entry m_current;
    bool m_currentKept = true;
    std::optional<Entry> m_mending;
    // What the disk did not take: texts to mend, and the ids mended.
    QList<Entry> m_unwritten;
    QSet<QString> m_mended;
};
