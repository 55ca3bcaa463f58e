#include "shell/QtUiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {

QtUiServices& realServices()
{
    static QtUiServices real;
    return real;
}

UiServices*& installed()
{
    static UiServices* services = nullptr;
    return services;
}

QWidget* parentOrActive(QWidget* parent)
{
    return parent ? parent : QApplication::activeWindow();
}

} // namespace

UiServices& UiServices::current()
{
    return installed() ? *installed() : realServices();
}

void UiServices::install(UiServices* services)
{
    installed() = services;
}

void showStandardError(const QString& message)
{
    UiServices::current().showError(nullptr, message);
}

void QtUiServices::showError(QWidget* parent, const QString& message)
{
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok,
                    parentOrActive(parent));
    box.exec();
}

void QtUiServices::showErrorWithoutFocus(QWidget* parent, const QString& message)
{
    // A top-level box of its own: modal or parented to the scanning window,
    // it would take the keyboard, and the scanner's Enter would close it.
    auto* box = new QMessageBox(QMessageBox::Critical, QApplication::applicationName(), message, QMessageBox::Ok);
    Q_UNUSED(parent);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    QApplication::beep();
}

bool QtUiServices::confirm(QWidget* parent, const QString& text, Buttons buttons)
{
    const auto choice = buttons == Buttons::YesNo ? QMessageBox::Yes | QMessageBox::No
                                                  : QMessageBox::Ok | QMessageBox::Cancel;
    QMessageBox box(QMessageBox::Question, QApplication::applicationName(), text, choice, parentOrActive(parent));
    const int answer = box.exec();
    return answer == QMessageBox::Yes || answer == QMessageBox::Ok;
}

QString QtUiServices::openFileName(QWidget* parent, const QString& filter)
{
    return QFileDialog::getOpenFileName(parentOrActive(parent), QString(), QString(), filter);
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& filter, const QString& proposedName)
{
    return QFileDialog::getSaveFileName(parentOrActive(parent), QString(), proposedName, filter);
}

bool QtUiServices::choosePrinter(QWidget* parent, QPrinter& printer)
{
    QPrintDialog dialog(&printer, parentOrActive(parent));
    return dialog.exec() == QDialog::Accepted;
}

bool QtUiServices::runDialog(QDialog& dialog)
{
    return dialog.exec() == QDialog::Accepted;
}

void QtUiServices::beep()
{
    QApplication::beep();
}
