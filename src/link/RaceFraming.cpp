#include "link/RaceFraming.h"

#include "store/Miscl.h"
#include "store/RaceText.h"

#include <algorithm>

namespace {

// The position of the first CR or LF in text; -1 for none.
qsizetype firstLineEnd(const QByteArray& text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text[i] == '\r' || text[i] == '\n')
            return i;
    return -1;
}

bool hasLineEnd(const QByteArray& text)
{
    return text.contains('\n') || text.contains('\r');
}

// The length of text up to and including its last line end; 0 for none.
qsizetype wholeLines(const QByteArray& text)
{
    return std::max(text.lastIndexOf('\n'), text.lastIndexOf('\r')) + 1;
}

// Whether line, which came without a line end at the quiet time, is the
// last line of race rather than the beginning of the next race: the second
// line (the race number) of a multi-line race that has only its first, or a
// place (two digits or blanks, then two blanks) or the C.T.K. line of one
// that has more. A single-line race is whole at its line end. Fewer than
// four characters cannot be told apart from the start of a single-line race
// ("10:35,...") and wait.
bool continuesRace(const QByteArray& race, const QByteArray& line)
{
    if (Miscl::trim(line).isEmpty())
        return true;
    const qsizetype firstEnd = firstLineEnd(race);
    if (firstEnd < 0 || RaceLayout::isSingleLineRace(race.left(firstEnd)))
        return false;
    if (Miscl::trim(race.mid(firstEnd)).isEmpty())
        return true;
    if (line.contains("C.T.K."))
        return true;
    const auto placeCharacter = [](char c) { return Miscl::isDigit(c) || c == ' '; };
    return line.size() >= 4 && placeCharacter(line[0]) && placeCharacter(line[1]) && line[2] == ' '
        && line[3] == ' ';
}

} // namespace

RaceFraming::RaceFraming(qint64 quietMs)
    : m_quietMs(quietMs)
{
}

QList<QByteArray> RaceFraming::receive(const QByteArray& chunk, qint64 now)
{
    QList<QByteArray> texts;
    if (m_deadline && now >= *m_deadline)
        texts = quietTimeOver();
    m_received += chunk.size();
    // The rest of a line refused for its length is no race: it goes up to
    // its line end, with a box for the line once, not for every 64 KB.
    qsizetype from = 0;
    if (m_skippingLine) {
        from = firstLineEnd(chunk);
        m_skippingLine = from < 0;
        if (m_skippingLine)
            return texts;
    }
    m_buffer += chunk.mid(from);
    texts += takeCompleteRaces();
    takeEndlessLine(texts);
    if (!hasLineEnd(m_buffer))
        m_deadline.reset();
    else if (hasLineEnd(chunk))
        m_deadline = now + m_quietMs;
    return texts;
}

QList<QByteArray> RaceFraming::takeCompleteRaces()
{
    QList<QByteArray> texts;
    for (;;) {
        dropLeadingBlanks();
        const qsizetype firstEnd = firstLineEnd(m_buffer);
        if (firstEnd < 0)
            return texts;
        if (RaceLayout::isSingleLineRace(m_buffer.left(firstEnd))) {
            qsizetype end = firstEnd;
            while (end < m_buffer.size() && m_buffer[end] == '\r')
                ++end;
            if (end == m_buffer.size())
                return texts; // its line feed may be on the way
            if (m_buffer[end] == '\n')
                ++end;
            texts.append(take(end));
            continue;
        }
        // A multi-line race ends where the next race begins; judged on
        // whole lines only, since the last may still be arriving.
        const qsizetype next = RaceLayout::nextRaceStart(m_buffer.left(wholeLines(m_buffer)));
        if (next <= 0)
            return texts;
        texts.append(take(next));
    }
}

QList<QByteArray> RaceFraming::quietTimeOver()
{
    m_deadline.reset();
    QList<QByteArray> texts = takeWholeLines();
    if (!texts.isEmpty() && continuesRace(texts.last(), m_buffer))
        texts.last() += take(m_buffer.size());
    dropLeadingBlanks();
    return texts;
}

QList<QByteArray> RaceFraming::flush()
{
    QList<QByteArray> texts = quietTimeOver();
    if (!m_buffer.isEmpty())
        texts.append(take(m_buffer.size()));
    return texts;
}

QList<QByteArray> RaceFraming::takeWholeLines()
{
    dropLeadingBlanks();
    QByteArray complete = take(wholeLines(m_buffer));
    QList<QByteArray> texts;
    while (!complete.isEmpty()) {
        const qsizetype next = RaceLayout::nextRaceStart(complete);
        if (next <= 0) {
            texts.append(complete);
            break;
        }
        texts.append(complete.left(next));
        complete.remove(0, next);
    }
    return texts;
}

void RaceFraming::takeEndlessLine(QList<QByteArray>& texts)
{
    // Whatever came before the endless line is over: the link has moved on.
    if (m_buffer.size() - wholeLines(m_buffer) <= RaceLayout::longestLine)
        return;
    texts += takeWholeLines();
    texts.append(take(m_buffer.size()));
    m_skippingLine = true;
}

QByteArray RaceFraming::take(qsizetype count)
{
    QByteArray text = m_buffer.left(count);
    m_buffer.remove(0, count);
    return text;
}

void RaceFraming::dropLeadingBlanks()
{
    qsizetype blanks = 0;
    while (blanks < m_buffer.size() && static_cast<unsigned char>(m_buffer[blanks]) <= 32)
        ++blanks;
    m_buffer.remove(0, blanks);
}
