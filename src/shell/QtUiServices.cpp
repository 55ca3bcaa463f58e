#include "shell/QtUiServices.h"

#include <QApplication>
#include <QFileDialog>
#include <QFileIconProvider>
#include <QMessageBox>
#include <QMimeDatabase>
#include <QPrintDialog>
#include <QPrinter>
#include <QTimer>

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

// File kinds told by their names alone. The dialog's own provider reads the
// first bytes of every listed file whose name leaves its kind open, the
// database's VEXO_ACC.db, -wal and -shm among them; opening and closing
// them in this process drops the file locks by which the engine shares
// them with other programs, and another program reading the file then
// removes the log under the running program.
class FileKindsByName : public QFileIconProvider {
public:
    QString type(const QFileInfo& info) const override
    {
        if (!info.isFile())
            return QFileIconProvider::type(info);
        return QMimeDatabase().mimeTypeForFile(info, QMimeDatabase::MatchExtension).comment();
    }
};

// Qt's own dialog, since the platform's may read the files it lists inside
// this process too.
QString chooseFile(QWidget* parent, QFileDialog::AcceptMode mode, const QString& filter,
                   const QString& proposedName)
{
    FileKindsByName kinds;
    QFileDialog dialog(parentOrActive(parent), QString(), QString(), filter);
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setIconProvider(&kinds);
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    if (!proposedName.isEmpty())
        dialog.selectFile(proposedName);
    return dialog.exec() == QDialog::Accepted ? dialog.selectedFiles().value(0) : QString();
}

// A top-level box of its own that stays on top and never takes the keyboard:
// modal or parented to the scanning window, it would take it, and the
// scanner's Enter would close it. It deletes itself when closed.
QMessageBox* showBoxWithoutFocus(QMessageBox::Icon icon, const QString& text)
{
    auto* box = new QMessageBox(icon, QApplication::applicationName(), text, QMessageBox::Ok);
    box->setWindowModality(Qt::NonModal);
    box->setWindowFlag(Qt::WindowStaysOnTopHint);
    box->setWindowFlag(Qt::WindowDoesNotAcceptFocus);
    box->setAttribute(Qt::WA_ShowWithoutActivating);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->show();
    return box;
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

namespace {

std::function<void(const QString&)>& noticePanel()
{
    static std::function<void(const QString&)> panel;
    return panel;
}

} // namespace

void UiServices::setNoticePanel(std::function<void(const QString&)> panel)
{
    noticePanel() = std::move(panel);
}

void UiServices::showInNoticePanel(const QString& text)
{
    if (noticePanel())
        noticePanel()(text);
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
    Q_UNUSED(parent);
    showBoxWithoutFocus(QMessageBox::Critical, message);
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
    return chooseFile(parent, QFileDialog::AcceptOpen, filter, QString());
}

QString QtUiServices::saveFileName(QWidget* parent, const QString& filter, const QString& proposedName)
{
    return chooseFile(parent, QFileDialog::AcceptSave, filter, proposedName);
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

void QtUiServices::showNotice(QWidget* parent, const QString& text)
{
    showInNoticePanel(text);
    // Like the error box that keeps away from the keyboard, but it closes
    // itself: the official need not dismiss a report of work that went well.
    Q_UNUSED(parent);
    QTimer::singleShot(5000, showBoxWithoutFocus(QMessageBox::Information, text), &QWidget::close);
}
