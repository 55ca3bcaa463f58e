// Race data reception: the characters of ports A and B framed into race
// texts (link/RaceFraming.h says how), each journalled, logged on the Coms
// page and stored as a race and its timed places.
//
// A text is processed outside the receive handler that completed it: the
// handler runs while the port's event thread waits for it, and a box shown
// from there would stop the port being read until its OK. Processed from
// the event loop instead, a box that stays open lets the port go on
// receiving, and the texts completed meanwhile are processed in turn.

#include "entry/Racedetailsdialog.h"
#include "link/CPort.h"
#include "link/RaceTextDialog.h"
#include "shell/AppWindows.h"
#include "shell/Application.h"
#include "shell/DataGrid.h"
#include "shell/Main.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Database.h"
#include "store/ErrorReport.h"
#include "store/Exception.h"
#include "store/Miscl.h"
#include "store/Race.h"
#include "store/RaceText.h"
#include "store/TextEncoding.h"

#include <QMutexLocker>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTimer>

#include <algorithm>
#include <exception>
#include <limits>
#include <optional>

void TMainForm::PortARxChar(QObject* Sender, int Count)
{
    Q_UNUSED(Sender);
    receiveChunk(*comPortA, rxDataA, rxDataTimer1, QStringLiteral("A"), Count);
}

void TMainForm::PortBRxChar(QObject* Sender, int Count)
{
    Q_UNUSED(Sender);
    receiveChunk(*comPortB, rxDataB, rxDataTimer2, QStringLiteral("B"), Count);
}

void TMainForm::receiveChunk(TComPort& port, RaceFraming& framing, QTimer* quietTimer, const QString& source,
                             int count)
{
    framing.setQuietInterval(rxQuietIntervalMs);
    const qint64 now = m_rxClock.elapsed();
    // Count can be more than one read returns when characters queue up
    // faster than they are handled; every one is framed, in order, and what
    // was read is kept even if a later read fails.
    try {
        int left = count;
        while (left > 0) {
            QByteArray part;
            const int got = port.ReadStr(part, left);
            if (got <= 0)
                break;
            queueRaceTexts(framing.receive(part, now), source);
            left -= got;
        }
    } catch (...) {
        armQuietTimer(framing, quietTimer, now);
        throw;
    }
    armQuietTimer(framing, quietTimer, now);
}

void TMainForm::armQuietTimer(const RaceFraming& framing, QTimer* quietTimer, qint64 now)
{
    // One timer per port, always matching the framing's deadline: stopped
    // when no text waits for a quiet link, so that it can never fire into a
    // race that is still arriving.
    const auto deadline = framing.deadline();
    if (!deadline) {
        quietTimer->stop();
        return;
    }
    quietTimer->start(int(std::clamp<qint64>(*deadline - now, 0, std::numeric_limits<int>::max())));
}

void TMainForm::queueRaceTexts(const QList<QByteArray>& texts, const QString& source)
{
    if (texts.isEmpty())
        return;
    for (const QByteArray& text : texts)
        m_waitingTexts.append({text, source});
    QMetaObject::invokeMethod(this, [this] { processWaitingTexts(); }, Qt::QueuedConnection);
}

void TMainForm::processWaitingTexts()
{
    // Each text is taken off the list before it is processed: one whose box
    // stays open is never met again by the processing that runs meanwhile.
    while (!m_waitingTexts.isEmpty()) {
        const auto [text, source] = m_waitingTexts.takeFirst();
        runGuarded([&] { ProcessRaceData(text, source); });
    }
}

void TMainForm::rxDataTimer1Timer()
{
    rxDataTimer1->stop();
    queueRaceTexts(rxDataA.quietTimeOver(), QStringLiteral("A"));
    processWaitingTexts();
}

void TMainForm::rxDataTimer2Timer()
{
    rxDataTimer2->stop();
    queueRaceTexts(rxDataB.quietTimeOver(), QStringLiteral("B"));
    processWaitingTexts();
}

void TMainForm::ProcessRaceData(const QByteArray& text, const QString& source)
{
    storeRace(text, source, nullptr);
}

void TMainForm::storeRacesThatWaited()
{
    QMutexLocker lock(&rxSection);
    // In arrival order; one that finds the database gone again goes back
    // to the head of the list, and the rest wait behind it.
    while (!m_racesWaitingForDatabase.isEmpty() && !m_database->lost()) {
        const RaceWaiting waited = m_racesWaitingForDatabase.takeFirst();
        runGuarded([&] { storeRace(waited.text, waited.source, &waited); });
    }
}

void TMainForm::storeRace(const QByteArray& text, const QString& source, const RaceWaiting* waited)
{
    // Re-entrant: while an error box is open, timers and receive events of
    // either port run again and may come back here.
    QMutexLocker lock(&rxSection);
    const QByteArray trimmed = Miscl::trim(text);
    const std::optional<RaceJournal::Entry> mending =
        source == QLatin1String("hand") ? raceJournal.takeMending() : std::nullopt;
    const auto wait = [&](const QString& why) {
        // Nothing is refused for want of a connection: the text waits, in
        // arrival order, and is stored as soon as the connection is back.
        RaceWaiting waiting = waited ? *waited : RaceWaiting{text, source, {}, RACE::now()};
        if (const QString failure = raceJournal.waiting(why); !failure.isEmpty())
            showReceptionError(failure);
        waiting.journalId = raceJournal.current().id;
        if (waited)
            m_racesWaitingForDatabase.prepend(waiting);
        else
            m_racesWaitingForDatabase.append(waiting);
        comsMemo->moveCursor(QTextCursor::End);
        comsMemo->insertPlainText(QStringLiteral("Waiting for the meet database, stored as soon as it can be "
                                                 "reached: ")
                                  + why + QLatin1Char('\n'));
    };
    // Everything to tell of this text, told together once the Races page
    // shows what was stored: the race's own message first.
    QString failure;
    bool replaced = false;
    QStringList notes;
    const auto note = [&notes](const QString& message) {
        if (!message.isEmpty())
            notes << message;
    };
    if (!trimmed.isEmpty()) {
        if (waited)
            note(raceJournal.received(text, QStringLiteral("reconnected"), waited->journalId));
        else
            note(raceJournal.received(text, source, mending ? mending->id : QString()));
    }

    // A text that is not UTF-8 came from a PC writing Windows-1252; the
    // log shows a multi-line race as lines, whatever ends them.
    QString shown = TextEncoding::decode8Bit(trimmed);
    shown.replace(QLatin1String("\r\n"), QLatin1String("\n"));
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    comsMemo->moveCursor(QTextCursor::End);
    if (waited)
        comsMemo->insertPlainText(QStringLiteral("The meet database is back: storing the race text received at %1\n")
                                      .arg(waited->arrived.toString(QStringLiteral("HH:mm:ss"))));
    comsMemo->insertPlainText(QLatin1Char('<') + shown + QLatin1String(">Len=") + QString::number(trimmed.size())
                              + QLatin1Char('\n'));
    comsMemo->ensureCursorVisible();
    if (trimmed.isEmpty())
        return;
    // Behind the texts that wait, in arrival order; and while the server
    // is known to be away, without a try that would only wait for it.
    if (!waited && !mending && (m_database->lost() || !m_racesWaitingForDatabase.isEmpty())) {
        wait(m_database->lost() ? m_database->lostMessage()
                                : QStringLiteral("race texts that arrived before it wait to be stored first"));
        return;
    }

    try {
        std::optional<RACE::ArrivalStamp> arrival;
        if (waited)
            arrival.emplace(waited->arrived);
        const StoredRace race = ::storeRace(TextEncoding::toUtf8(trimmed), Query1(), mending ? mending->partKey : 0);
        replaced = mending && mending->partKey != 0;
        if (race.whole()) {
            note(raceJournal.stored(race.number, race.key, race.places));
            if (mending && lastRefusedText == mending->text)
                lastRefusedText.clear();
        } else {
            // Stored, but not all of it: said as exactly as the journal says it.
            failure = race.partMessage()
                + QStringLiteral("\nProcess Again on the Coms page offers its text to mend; the race is then "
                                 "replaced.");
            note(raceJournal.storedInPart(race));
            lastRefusedText = text;
        }
    } catch (const EConnectionLost& e) {
        // Told once for the whole outage by the status panel's box.
        wait(e.message());
        return;
    } catch (...) {
        failure = QStringLiteral("Failed to Read race data correctly\n") + exceptionMessage(std::current_exception());
        if (meansDiskFull(failure))
            failure += QStringLiteral("\nThe race was not stored; its text is on the Coms page, and Process Again "
                                      "offers it once there is space.");
        note(raceJournal.refused(failure));
        lastRefusedText = text;
    }

    // The Races page follows new races as it follows other stations'
    // changes: read again at once when no edit is open in it, otherwise as
    // soon as the edit ends, so that an official's edit is never posted or
    // dropped by a race's arrival. Read at once, it moves to the new race.
    // A failure here is told after the race's own message, never instead.
    DataSet& races = RaceTable();
    try {
        if (!catchUpWithOtherStations(races, *raceDBGrid)) {
            if (!m_pagesBehind.contains(&races))
                m_pagesBehind << &races;
        } else if (races.Active()) {
            races.Last();
        }
        // A race replaced under its key may be open for scanning: its places
        // are read again there as soon as no scan is in progress.
        if (replaced && m_windows.raceDetailsForm) {
            m_windows.raceDetailsForm->resultsChangedElsewhere();
            m_windows.raceDetailsForm->catchUpWithOtherStations();
        }
    } catch (...) {
        // Tried again with the other stations' changes, every second.
        if (!m_pagesBehind.contains(&races))
            m_pagesBehind << &races;
        note(QStringLiteral("The Races page could not be read again, so it may not show the new race yet: ")
             + exceptionMessage(std::current_exception()));
    }
    if (!failure.isEmpty())
        notes.prepend(failure);
    if (!notes.isEmpty())
        showReceptionError(notes.join(QStringLiteral("\n\n")));
}

void TMainForm::showReceptionError(const QString& message)
{
    // An official scanning bibs into the race details window must not lose
    // a scan to the box: there it shows without taking the keyboard.
    if (m_windows.raceDetailsForm && m_windows.raceDetailsForm->isActiveWindow())
        UiServices::current().showErrorWithoutFocus(this, message);
    else
        UiServices::current().showError(this, message);
}

void TMainForm::btnProcessAgainClick()
{
    // Every text still to mend is offered, newest first, read back from
    // the journal when the dialog opens: one refused while it is open is
    // offered the next time.
    TRaceTextDialog dialog(this);
    const QList<RaceJournal::Entry> texts = raceJournal.textsToMend();
    dialog.setRaceTexts(texts);
    if (!UiServices::current().runDialog(dialog))
        return;
    if (const int chosen = dialog.chosenText(); chosen >= 0 && chosen < texts.size())
        raceJournal.mendNext(texts[chosen]);
    ProcessRaceData(dialog.raceText(), QStringLiteral("hand"));
}

void TMainForm::flushWaitingTexts()
{
    // The program is closing: nothing more will arrive to end a line or let
    // the quiet time pass, so what waits is taken as it stands.
    rxDataTimer1->stop();
    rxDataTimer2->stop();
    for (const QByteArray& text : rxDataA.flush())
        m_waitingTexts.append({text, QStringLiteral("A")});
    for (const QByteArray& text : rxDataB.flush())
        m_waitingTexts.append({text, QStringLiteral("B")});
    processWaitingTexts();
}
