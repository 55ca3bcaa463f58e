#pragma once

#include "shell/UiServices.h"

#include <QDialog>
#include <QPrinter>
#include <QQueue>
#include <QStringList>

#include <functional>

// UI services for tests: every box, dialog and beep is recorded and
// answered from queues, so no real modal box ever opens. Installed for the
// lifetime of the object.
class RecordingUiServices : public UiServices {
public:
    RecordingUiServices() { UiServices::install(this); }
    ~RecordingUiServices() override { UiServices::install(nullptr); }

    void showError(QWidget*, const QString& message) override
    {
        errors << message;
        if (whileErrorOpen)
            whileErrorOpen(message);
    }

    void showErrorWithoutFocus(QWidget*, const QString& message) override
    {
        errors << message;
        errorsWithoutFocus << message;
    }

    bool confirm(QWidget*, const QString& text, Buttons) override
    {
        confirmations << text;
        return confirmAnswers.isEmpty() ? false : confirmAnswers.dequeue();
    }

    QString openFileName(QWidget*, const QString& filter) override
    {
        fileFilters << filter;
        return openAnswers.isEmpty() ? QString() : openAnswers.dequeue();
    }

    QString saveFileName(QWidget*, const QString& filter, const QString& proposedName) override
    {
        fileFilters << filter;
        proposedNames << proposedName;
        return saveAnswers.isEmpty() ? QString() : saveAnswers.dequeue();
    }

    bool choosePrinter(QWidget*, QPrinter& printer) override
    {
        ++printDialogs;
        if (preparePrinter)
            preparePrinter(printer);
        return printAnswers.isEmpty() ? false : printAnswers.dequeue();
    }

    bool runDialog(QDialog& dialog) override
    {
        ++dialogs;
        return dialogAnswers.isEmpty() ? false : dialogAnswers.dequeue()(dialog);
    }

    void beep() override { ++beeps; }

    void showNotice(QWidget*, const QString& text) override
    {
        showInNoticePanel(text);
        notices << text;
    }

    QStringList errors; // every error box, with or without focus
    QStringList errorsWithoutFocus;
    QStringList notices;
    QStringList confirmations;
    QStringList fileFilters;
    QStringList proposedNames;
    int printDialogs = 0;
    int dialogs = 0;
    int beeps = 0;

    QQueue<bool> confirmAnswers;
    QQueue<QString> openAnswers;
    QQueue<QString> saveAnswers;
    QQueue<bool> printAnswers;
    // Runs while an error box is open, as the event loop does under a real
    // box: a test can feed the program from here and so keep the box open.
    std::function<void(const QString&)> whileErrorOpen;
    // Each answers one dialog: it may fill the dialog in, and returns
    // whether the dialog is accepted. None left: cancelled.
    QQueue<std::function<bool(QDialog&)>> dialogAnswers;
    // Called with the printer before the print dialog answers, e.g. to
    // send the output to a PDF file.
    std::function<void(QPrinter&)> preparePrinter;
};
