#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

// The framing of one port's race texts: chunks of characters and the time
// each arrived go in, whole race texts come out, with the moment at which
// the text still being received counts as complete if the link stays quiet.
// There is no timer inside: the owner arms one for deadline() and calls
// quietTimeOver() when it fires. Times are milliseconds on a steady clock.
//
// The rules:
// - A single-line race (its first line a comma-separated race line) is
//   complete as soon as the line feed that ends it arrives.
// - Any other text, a multi-line race, is complete once the link has been
//   quiet for the quiet interval after the last chunk that carried a line
//   end. A chunk without a line end neither starts nor restarts that wait.
// - Races sent back to back become one text each, as soon as the line
//   where the next race begins has arrived (RaceLayout::nextRaceStart).
// - Races back to back are told apart at line ends only: a line counts
//   once its line end has come.
// - At the quiet time the text waiting is one race, its last line without
//   a line end included: a timer unit may leave the line end off its last
//   place. Only characters that cannot be a line of that race (the
//   beginning of the next race, paused on the way) wait for their own line
//   end, so no race is ever cut short or merged with the next.
// - A line that never ends is handed out on its own once it passes
//   RaceLayout::longestLine, to be refused, rather than held without end;
//   what follows on that line, up to its line end, is dropped.
// - Blanks and line ends before a text are no part of it.
class RaceFraming {
public:
    explicit RaceFraming(qint64 quietMs = 2000);

    qint64 quietInterval() const { return m_quietMs; }
    void setQuietInterval(qint64 ms) { m_quietMs = ms; }

    // A chunk received at now. Returns the texts it completes, oldest first;
    // a text whose quiet time was already over at now comes first.
    QList<QByteArray> receive(const QByteArray& chunk, qint64 now);

    // The link has been quiet for the quiet interval: every race waiting
    // for it is complete. Returns them, oldest first.
    QList<QByteArray> quietTimeOver();

    // Every text still waiting, complete or not, the last one ending where
    // the characters received end: for a program that closes and must not
    // drop what has come.
    QList<QByteArray> flush();

    // When quietTimeOver is due; none while no text waits for a quiet link.
    std::optional<qint64> deadline() const { return m_deadline; }

    // What was received and not yet handed out in a text.
    const QByteArray& pending() const { return m_buffer; }
    // Every character received so far, counted.
    qint64 received() const { return m_received; }

private:
    QList<QByteArray> takeCompleteRaces();
    QList<QByteArray> takeWholeLines();
    void takeEndlessLine(QList<QByteArray>& texts);
    QByteArray take(qsizetype count);
    void dropLeadingBlanks();

    QByteArray m_buffer;
    std::optional<qint64> m_deadline;
    qint64 m_quietMs;
    qint64 m_received = 0;
    bool m_skippingLine = false;
};
