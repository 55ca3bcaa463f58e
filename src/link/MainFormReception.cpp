// Race data reception: the characters of ports A and B gathered into one
// race text each, framed by where the first line feed stands, logged on
// the Coms page and stored as a race and its timed places.

#include "link/CPort.h"
#include "shell/Application.h"
#include "shell/Main.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Miscl.h"
#include "store/RaceText.h"

#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <exception>

namespace {

// A first line feed after this position ends a single-line race at once;
// one at or before it starts a multi-line race, ended by a quiet link.
constexpr qsizetype firstLineFeedLimit = 25;

bool hasLineEnd(const QByteArray& text)
{
    return text.contains('\n') || text.contains('\r');
}

// A single-line race reads its eight header fields, and its timed places,
// from one comma-separated line. The fixed-column first line of a
// multi-line race is not such a line, even when it runs past position 25.
bool isSingleLineRace(const QByteArray& line)
{
    return line.count(',') >= 7;
}

} // namespace

void TMainForm::PortARxChar(QObject* Sender, int Count)
{
    Q_UNUSED(Sender);
    receiveChunk(*comPortA, rxDataA, rxDataTimer1, Count);
}

void TMainForm::PortBRxChar(QObject* Sender, int Count)
{
    Q_UNUSED(Sender);
    receiveChunk(*comPortB, rxDataB, rxDataTimer2, Count);
}

void TMainForm::receiveChunk(TComPort& port, QByteArray& buffer, QTimer* quietTimer, int count)
{
    // Count can be more than one read returns when characters queue up
    // faster than they are handled; every one reaches the buffer, in order,
    // and what was read stays there even if a later read fails.
    bool lineEnd = false;
    int left = count;
    while (left > 0) {
        QByteArray part;
        const int got = port.ReadStr(part, left);
        if (got <= 0)
            break;
        buffer += part;
        lineEnd = lineEnd || hasLineEnd(part);
        left -= got;
    }
    if (lineEnd)
        frameRaceData(buffer, quietTimer);
}

void TMainForm::frameRaceData(QByteArray& buffer, QTimer* quietTimer)
{
    for (;;) {
        const qsizetype lineFeed = buffer.indexOf('\n') + 1; // 1-based, 0 for none
        if (lineFeed <= firstLineFeedLimit) {
            // The timer now fires a full interval after this chunk.
            quietTimer->stop();
            quietTimer->setInterval(rxQuietIntervalMs);
            quietTimer->start();
            return;
        }
        if (Miscl::trim(buffer.mid(lineFeed)).isEmpty() || !isSingleLineRace(buffer.left(lineFeed))) {
            ProcessRaceData(buffer);
            return;
        }
        // Races sent back to back (a timer unit resending its memory): the
        // first goes on its own, so that one text holding several races
        // does not fail as a whole, and the rest is framed again.
        QByteArray race = buffer.left(lineFeed);
        buffer.remove(0, lineFeed);
        ProcessRaceData(race);
        if (!hasLineEnd(buffer))
            return;
    }
}

void TMainForm::rxDataTimer1Timer()
{
    rxDataTimer1->stop();
    ProcessRaceData(rxDataA);
}

void TMainForm::rxDataTimer2Timer()
{
    rxDataTimer2->stop();
    ProcessRaceData(rxDataB);
}

void TMainForm::ProcessRaceData(QByteArray& buffer)
{
    // Re-entrant: while the error box below is open, timers and receive
    // events of either port run again and may come back here.
    QMutexLocker lock(&rxSection);
    buffer = Miscl::trim(buffer);

    // The log shows a multi-line race as lines, whatever ends them.
    QString shown = QString::fromUtf8(buffer);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    comsMemo->moveCursor(QTextCursor::End);
    comsMemo->insertPlainText(QLatin1Char('<') + shown + QLatin1String(">Len=") + QString::number(buffer.size())
                              + QLatin1Char('\n'));
    comsMemo->ensureCursorVisible();

    if (buffer.isEmpty())
        return;
    try {
        storeRaceText(buffer, Query1());
    } catch (...) {
        // What was stored before the failing place stays stored.
        UiServices::current().showError(this, QStringLiteral("Failed to Read race data correctly\n")
                                                  + exceptionMessage(std::current_exception()));
    }
    buffer.clear();
    RaceTable().Refresh();
    RaceTable().Last();
}
