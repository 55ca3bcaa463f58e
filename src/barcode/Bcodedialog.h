#pragma once

#include "barcode/LabelGeometry.h"
#include "shell/Config.h"

#include <QImage>
#include <QString>
#include <QWidget>

#include <functional>

class DataSet;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPrinter;
class QPushButton;

// The barcode window: shows the barcode of one number and copies it to the
// clipboard, and prints the number list as sheets of labels laid out by the
// nine boxes that its own settings keep. It is created once, hidden, and
// shown without blocking the main window; closing only hides it.
//
// Every handler shows its own failures in the standard error box, so that
// none leaves the window half done.
class TbcodeForm : public QWidget {
    Q_OBJECT

public:
    // settingsFile is the settings file its CONFIG reads now and writes on
    // OK. Throws Exception when that file cannot be written.
    explicit TbcodeForm(const QString& settingsFile, QWidget* parent = nullptr);

    // Fills the number list with the athletes that athletes shows, under its
    // filter and in its order, keeps the list when it shows none, shows the
    // window (or brings it to the front) and leaves athletes on the first
    // shown athlete. Throws what the dataset throws, before anything changed.
    void ShowForAthletes(DataSet& athletes);

    // The number list as printing takes it.
    QStringList numbers() const;
    // The picture as displayed and copied.
    const QImage& picture() const { return m_picture; }

    CONFIG config;

    QLineEdit* edtHeight = nullptr;
    QLineEdit* edtWidth = nullptr;
    QCheckBox* cbNumber = nullptr;
    QLineEdit* edtTop = nullptr;
    QLineEdit* edtLeft = nullptr;
    QLineEdit* edtVertical = nullptr;
    QLineEdit* edtHorizontal = nullptr;
    QLineEdit* edtHorizontalCount = nullptr;
    QLineEdit* edtVerticalCount = nullptr;

    QLineEdit* edtNumber = nullptr;
    QLabel* Image1 = nullptr;
    QPushButton* btnDisplayBarcode = nullptr;
    QPushButton* btnCopyToClipboard = nullptr;

    QPlainTextEdit* meNumbers = nullptr;
    QLabel* lblCount = nullptr;
    QPushButton* btnPrintMemo = nullptr;

    QPushButton* btnExit = nullptr;
    QPushButton* btnCancel = nullptr;

public slots:
    void FormShow();
    void btnDisplayBarcodeClick();
    void btnCopyToClipboardClick();
    void meNumbersChange();
    void btnPrintMemoClick();
    void btnExitClick();
    void btnCancelClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void buildControls();
    void setPicture(const QImage& picture);
    // The label layout the boxes hold, converted in the order of the boxes;
    // throws at the first box that is not a whole number.
    LabelLayout boxLayout() const;
    // Prints the sheets and answers the number of pages printed.
    int printOn(QPrinter& printer, const QStringList& lines, const LabelLayout& layout);
    // Runs a handler's work and shows what it throws.

    QImage m_picture;
};
