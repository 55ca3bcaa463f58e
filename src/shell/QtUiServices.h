#pragma once

#include "shell/UiServices.h"

// The real boxes and dialogs, on Qt's widgets.
class QtUiServices : public UiServices {
public:
    void showError(QWidget* parent, const QString& message) override;
    void showErrorWithoutFocus(QWidget* parent, const QString& message) override;
    bool confirm(QWidget* parent, const QString& text, Buttons buttons) override;
    QString openFileName(QWidget* parent, const QString& filter) override;
    QString saveFileName(QWidget* parent, const QString& filter, const QString& proposedName) override;
    bool choosePrinter(QWidget* parent, QPrinter& printer) override;
    bool runDialog(QDialog& dialog) override;
    void beep() override;
    void showNotice(QWidget* parent, const QString& text) override;
};
