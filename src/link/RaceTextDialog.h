#pragma once

#include "link/RaceJournal.h"

#include <QByteArray>
#include <QDialog>
#include <QList>

class QComboBox;
class QPlainTextEdit;

// "Race Text": a race text in an editable box, with OK and Cancel, for an
// official to mend a text the program refused or stored in part (one wrong
// character in the race number or a time) and have it read again. Every
// such text of the journal is offered in a list, newest first.
class TRaceTextDialog : public QDialog {
public:
    explicit TRaceTextDialog(QWidget* parent = nullptr);

    // The text as the timer unit sent it: UTF-8, or Windows-1252 when not.
    void setRaceText(const QByteArray& text);
    // The texts to choose from, the first shown; none leaves the box empty.
    void setRaceTexts(const QList<RaceJournal::Entry>& entries);
    // The text as edited, in UTF-8, each line ended by CR LF as the timer
    // unit ends them.
    QByteArray raceText() const;
    // The index of the text chosen, -1 when none was offered.
    int chosenText() const;

    QComboBox* cbRaceTexts = nullptr;
    QPlainTextEdit* meRaceText = nullptr;

private:
    QList<RaceJournal::Entry> m_entries;
};
