#pragma once

#include <QString>

#include <functional>

class QDialog;
class QPrinter;
class QWidget;

// Every box, file dialog, print dialog and beep of the program goes through
// this one interface, so that tests can answer them and no real modal box
// ever opens in a test. The application installs QtUiServices; tests install
// a recording double.
class UiServices {
public:
    enum class Buttons { YesNo, OkCancel };

    virtual ~UiServices() = default;

    // The standard error box: error icon, one OK button.
    virtual void showError(QWidget* parent, const QString& message) = 0;
    // The same box with the beep, for errors that come while an official is
    // scanning: it stays on top until its OK is clicked but does not take
    // the keyboard, so the next scan still goes where it was going. Returns
    // at once.
    virtual void showErrorWithoutFocus(QWidget* parent, const QString& message) = 0;
    // A confirmation box; true for Yes or OK.
    virtual bool confirm(QWidget* parent, const QString& text, Buttons buttons) = 0;
    // Empty when the user cancelled. filter is in Qt's form ("Name (*.csv)").
    virtual QString openFileName(QWidget* parent, const QString& filter) = 0;
    virtual QString saveFileName(QWidget* parent, const QString& filter, const QString& proposedName) = 0;
    // Lets the user choose and set up the printer; false when cancelled.
    virtual bool choosePrinter(QWidget* parent, QPrinter& printer) = 0;
    // Runs one of the program's own modal dialogs; true when accepted.
    virtual bool runDialog(QDialog& dialog) = 0;
    // The system's default beep.
    virtual void beep() = 0;
    // A word on what a big step did ("Imported 60 athletes, ..."): shown for
    // a few seconds in the main window's status panel and in a box that
    // closes itself and never takes the keyboard, so a scan's Enter still
    // goes where it was going. Returns at once. Implementations hand the
    // text to showInNoticePanel and show their box.
    virtual void showNotice(QWidget* parent, const QString& text) = 0;

    // The services in force. Installing takes no ownership; nullptr
    // restores the real ones.
    static UiServices& current();
    static void install(UiServices* services);
    // Where notices show besides their box: the main window's status panel
    // while it exists; an empty function for none.
    static void setNoticePanel(std::function<void(const QString&)> panel);

protected:
    static void showInNoticePanel(const QString& text);
};

// The error box of the program, for callers that have no window at hand.
void showStandardError(const QString& message);
