#pragma once

#include <QByteArray>
#include <QDialog>

class QPlainTextEdit;

// "Race Text": a race text in an editable box, with OK and Cancel, for an
// official to mend a text the program refused (one wrong character in the
// race number) and have it read again.
class TRaceTextDialog : public QDialog {
public:
    explicit TRaceTextDialog(QWidget* parent = nullptr);

    // The text as the timer unit sent it: UTF-8, or Windows-1252 when not.
    void setRaceText(const QByteArray& text);
    // The text as edited, in UTF-8, each line ended by CR LF as the timer
    // unit ends them.
    QByteArray raceText() const;

    QPlainTextEdit* meRaceText = nullptr;
};
