#include "link/RaceFraming.h"

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
    m_buffer += chunk;
    m_received += chunk.size();
    texts += takeCompleteRaces();
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
    // What follows the last line end waits for its own.
    dropLeadingBlanks();
    return texts;
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
