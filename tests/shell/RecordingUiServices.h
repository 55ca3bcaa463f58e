#pragma once

#include "shell/UiServices.h"

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

    void showError(QWidget*, const QString& message) override { errors << message; }

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

    void beep() override { ++beeps; }

    QStringList errors;
    QStringList confirmations;
    QStringList fileFilters;
    QStringList proposedNames;
    int printDialogs = 0;
    int beeps = 0;

    QQueue<bool> confirmAnswers;
    QQueue<QString> openAnswers;
    QQueue<QString> saveAnswers;
    QQueue<bool> printAnswers;
    // Called with the printer before the print dialog answers, e.g. to
    // send the output to a PDF file.
    std::function<void(QPrinter&)> preparePrinter;
};
