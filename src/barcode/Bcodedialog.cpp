#include "barcode/Bcodedialog.h"

#include "barcode/Barcode.h"
#include "barcode/LabelSheet.h"
#include "shell/Application.h"
#include "shell/UiServices.h"
#include "store/DataSet.h"
#include "store/Exception.h"
#include "store/Miscl.h"

#include <QCheckBox>
#include <QClipboard>
#include <QFont>
#include <QFormLayout>
#include <QGridLayout>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPlainTextEdit>
#include <QPrinter>
#include <QPushButton>
#include <QShowEvent>
#include <QTextBlock>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const QString heightCaption = QStringLiteral("Barcode Height:");
const QString widthCaption = QStringLiteral("Barcode Width:");
const QString numberCaption = QStringLiteral("Include Number In Barcode:");
const QString topCaption = QStringLiteral("Top Margin:");
const QString leftCaption = QStringLiteral("Left Margin:");
const QString verticalCaption = QStringLiteral("Vertical Pitch:");
const QString horizontalCaption = QStringLiteral("Horizontal Pitch:");
const QString acrossCaption = QStringLiteral("Barcodes Across Page:");
const QString downCaption = QStringLiteral("Barcodes Down Page:");

// The picture is blank at this size until a barcode is displayed, and
// never grows past the largest size.
const QSize blankPictureSize(250, 50);
const QSize largestPictureSize(450, 75);

// The label units were laid out against printers of 600 dots per inch.
// Qt's printers draw at whatever resolution they are given, so printing at
// 600 keeps a unit at 1/80 inch on every printer and on PDF.
constexpr int printDotsPerInch = 600;

// The whole number a box holds. The conversion error names the box, so
// that the person knows which of the nine to correct.
qint32 boxValue(const QLineEdit* box, const QString& caption)
{
    try {
        return Miscl::toInteger(box->text().toUtf8());
    } catch (const EConvertError& e) {
        throw EConvertError(caption + QLatin1Char(' ') + e.message());
    }
}

QLineEdit* numberBox(QWidget* parent)
{
    auto* box = new QLineEdit(parent);
    box->setMaximumWidth(80);
    return box;
}

// The displayed barcode: the bars at one pixel per module and, when text
// is not empty, the number in a band across the top, its character cell a
// quarter of the bars' height, as a printed label has it.
QImage displayedLabel(const QImage& bars, const QString& text)
{
    QImage picture(bars.size(), QImage::Format_RGB32);
    picture.fill(Qt::white);
    QPainter painter(&picture);
    QFont font(QStringLiteral("Arial"));
    font.setPixelSize(BARCODE::height / 4);
    painter.setFont(font);
    drawLabel(painter, picture.rect(), bars, text, BARCODE::height / 4);
    return picture;
}

} // namespace

TbcodeForm::TbcodeForm(const QString& settingsFile, QWidget* parent)
    : QWidget(parent, Qt::Window)
    , config(settingsFile)
{
    setWindowTitle(QStringLiteral("VEXO Interleaved 2 of 5 Barcode Generator"));
    buildControls();

    connect(btnDisplayBarcode, &QPushButton::clicked, this, &TbcodeForm::btnDisplayBarcodeClick);
    connect(btnCopyToClipboard, &QPushButton::clicked, this, &TbcodeForm::btnCopyToClipboardClick);
    connect(meNumbers, &QPlainTextEdit::textChanged, this, &TbcodeForm::meNumbersChange);
    connect(btnPrintMemo, &QPushButton::clicked, this, &TbcodeForm::btnPrintMemoClick);
    connect(btnExit, &QPushButton::clicked, this, &TbcodeForm::btnExitClick);
    connect(btnCancel, &QPushButton::clicked, this, &TbcodeForm::btnCancelClick);
}

void TbcodeForm::buildControls()
{
    edtHeight = numberBox(this);
    edtWidth = numberBox(this);
    cbNumber = new QCheckBox(this);
    edtTop = numberBox(this);
    edtLeft = numberBox(this);
    edtVertical = numberBox(this);
    edtHorizontal = numberBox(this);
    edtHorizontalCount = numberBox(this);
    edtVerticalCount = numberBox(this);

    // Until the first showing fills them from the settings, the boxes hold
    // the settings' defaults.
    const LabelLayout defaults;
    edtHeight->setText(QString::number(defaults.height));
    edtWidth->setText(QString::number(defaults.width));
    cbNumber->setChecked(defaults.includeNumber);
    edtTop->setText(QString::number(defaults.topMargin));
    edtLeft->setText(QString::number(defaults.leftMargin));
    edtVertical->setText(QString::number(defaults.verticalPitch));
    edtHorizontal->setText(QString::number(defaults.horizontalPitch));
    edtHorizontalCount->setText(QString::number(defaults.columns));
    edtVerticalCount->setText(QString::number(defaults.rows));

    auto* sizes = new QFormLayout;
    sizes->addRow(heightCaption, edtHeight);
    sizes->addRow(widthCaption, edtWidth);
    sizes->addRow(numberCaption, cbNumber);
    auto* margins = new QFormLayout;
    margins->addRow(topCaption, edtTop);
    margins->addRow(leftCaption, edtLeft);
    margins->addRow(verticalCaption, edtVertical);
    auto* grid = new QFormLayout;
    grid->addRow(horizontalCaption, edtHorizontal);
    grid->addRow(acrossCaption, edtHorizontalCount);
    grid->addRow(downCaption, edtVerticalCount);
    auto* settings = new QHBoxLayout;
    settings->addLayout(sizes);
    settings->addSpacing(16);
    settings->addLayout(margins);
    settings->addSpacing(16);
    settings->addLayout(grid);
    settings->addStretch();

    auto* single = new QGroupBox(QStringLiteral("Single Barcode"), this);
    edtNumber = new QLineEdit(QStringLiteral("1234567890"), single);
    Image1 = new QLabel(single);
    Image1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Image1->setFixedSize(blankPictureSize);
    btnDisplayBarcode = new QPushButton(QStringLiteral("&Display Barcode"), single);
    btnCopyToClipboard = new QPushButton(QStringLiteral("&Copy To Clipboard"), single);
    auto* numberRow = new QFormLayout;
    numberRow->addRow(QStringLiteral("Barcode Number:"), edtNumber);
    auto* singleButtons = new QHBoxLayout;
    singleButtons->addWidget(btnDisplayBarcode);
    singleButtons->addWidget(btnCopyToClipboard);
    singleButtons->addStretch();
    auto* singleLayout = new QVBoxLayout(single);
    singleLayout->addLayout(numberRow);
    // Room for the largest picture, so that displaying one never moves
    // the buttons.
    auto* pictureArea = new QWidget(single);
    pictureArea->setMinimumSize(largestPictureSize);
    auto* pictureLayout = new QVBoxLayout(pictureArea);
    pictureLayout->setContentsMargins(0, 0, 0, 0);
    pictureLayout->addWidget(Image1, 0, Qt::AlignLeft | Qt::AlignTop);
    singleLayout->addWidget(pictureArea);
    singleLayout->addLayout(singleButtons);
    singleLayout->addStretch();

    auto* multiple = new QGroupBox(QStringLiteral("Multiple Barcodes"), this);
    meNumbers = new QPlainTextEdit(multiple);
    meNumbers->setLineWrapMode(QPlainTextEdit::NoWrap);
    meNumbers->setMinimumWidth(140);
    lblCount = new QLabel(QStringLiteral("Count:"), multiple);
    auto* note = new QLabel(QStringLiteral("Copy/Paste a list of numbers here to print\n"
                                           "multiple barcodes, or create a list by \n"
                                           "selecting athletes on the Athletes Page\n"
                                           "prior to opening this window."),
                            multiple);
    btnPrintMemo = new QPushButton(QStringLiteral("Print Barcodes"), multiple);
    auto* side = new QVBoxLayout;
    side->addWidget(lblCount);
    side->addWidget(note);
    side->addStretch();
    side->addWidget(btnPrintMemo, 0, Qt::AlignLeft);
    auto* multipleLayout = new QHBoxLayout(multiple);
    multipleLayout->addWidget(meNumbers, 1);
    multipleLayout->addLayout(side);

    btnExit = new QPushButton(QStringLiteral("&OK"), this);
    btnCancel = new QPushButton(QStringLiteral("&Cancel"), this);
    // Enter in a box must not close the window.
    btnExit->setAutoDefault(false);
    btnCancel->setAutoDefault(false);
    auto* closing = new QHBoxLayout;
    closing->addStretch();
    closing->addWidget(btnExit);
    closing->addWidget(btnCancel);

    auto* groups = new QHBoxLayout;
    groups->addWidget(single);
    groups->addWidget(multiple, 1);

    auto* window = new QVBoxLayout(this);
    window->addLayout(settings);
    window->addLayout(groups, 1);
    window->addLayout(closing);
}

void TbcodeForm::showEvent(QShowEvent* event)
{
    // A window restored from the task bar was not closed, so its boxes keep
    // what the person was typing.
    if (!event->spontaneous())
        FormShow();
    QWidget::showEvent(event);
}

void TbcodeForm::FormShow()
{
    edtHeight->setText(QString::number(config.bcHeight));
    edtWidth->setText(QString::number(config.bcWidth));
    cbNumber->setChecked(config.bcIncludeNumber);
    edtTop->setText(QString::number(config.bcTopMargin));
    edtLeft->setText(QString::number(config.bcLeftMargin));
    edtVertical->setText(QString::number(config.bcVerticalPitch));
    edtHorizontal->setText(QString::number(config.bcHorizontalPitch));
    edtHorizontalCount->setText(QString::number(config.bcColumns));
    edtVerticalCount->setText(QString::number(config.bcRows));

    // Blank until a barcode is displayed; a displayed one is kept whole, so
    // that copying it after the window is shown again still gives a symbol
    // that scans.
    if (m_picture.isNull()) {
        QImage blank(blankPictureSize, QImage::Format_RGB32);
        blank.fill(Qt::white);
        setPicture(blank);
    }
    meNumbersChange();
}

void TbcodeForm::meNumbersChange()
{
    // Counted from the blocks, not by splitting the text, so that typing
    // into a list of thousands of numbers stays quick.
    const QTextDocument* document = meNumbers->document();
    int count = document->blockCount();
    if (document->lastBlock().text().isEmpty())
        --count;
    lblCount->setText(QStringLiteral("Count: %1").arg(count));
}

QStringList TbcodeForm::numbers() const
{
    return numberLines(meNumbers->toPlainText());
}

void TbcodeForm::setPicture(const QImage& picture)
{
    m_picture = picture;
    Image1->setPixmap(QPixmap::fromImage(picture));
    Image1->setFixedSize(picture.size().boundedTo(largestPictureSize));
}

void TbcodeForm::btnDisplayBarcodeClick()
{
    runGuarded([this] {
        // The sizes do not change the picture, but a box the person got
        // wrong is reported here rather than only when printing.
        boxValue(edtHeight, heightCaption);
        boxValue(edtWidth, widthCaption);

        const QString text = edtNumber->text();
        const QString fault = numberFault(text);
        if (!fault.isEmpty())
            throw Exception(QStringLiteral("Barcode Number \"%1\" %2.").arg(text, fault));

        BARCODE& barcode = BARCODE::instance();
        barcode.Encode(paddedNumber(text));
        setPicture(displayedLabel(barcode.bitmap, cbNumber->isChecked() ? text : QString()));
    });
}

void TbcodeForm::btnCopyToClipboardClick()
{
    QGuiApplication::clipboard()->setImage(m_picture);
}

LabelLayout TbcodeForm::boxLayout() const
{
    LabelLayout layout;
    layout.height = boxValue(edtHeight, heightCaption);
    layout.width = boxValue(edtWidth, widthCaption);
    layout.topMargin = boxValue(edtTop, topCaption);
    layout.leftMargin = boxValue(edtLeft, leftCaption);
    layout.verticalPitch = boxValue(edtVertical, verticalCaption);
    layout.horizontalPitch = boxValue(edtHorizontal, horizontalCaption);
    layout.columns = boxValue(edtHorizontalCount, acrossCaption);
    layout.rows = boxValue(edtVerticalCount, downCaption);
    layout.includeNumber = cbNumber->isChecked();
    return layout;
}

void TbcodeForm::btnPrintMemoClick()
{
    runGuarded([this] {
        // Everything that can be refused is refused before the print dialog,
        // so that no print document is ever begun for a sheet that cannot
        // be finished.
        const LabelLayout layout = boxLayout();
        checkLabelLayout(layout);
        const QStringList lines = numbers();
        checkNumberLines(lines);

        QPrinter printer(QPrinter::HighResolution);
        if (!UiServices::current().choosePrinter(this, printer))
            return;
        const int pages = printOn(printer, lines, layout);
        UiServices::current().showNotice(this, printedSummary(lines.size(), pages));
    });
}

int TbcodeForm::printOn(QPrinter& printer, const QStringList& lines, const LabelLayout& layout)
{
    // A page range chosen in the print dialog is not consulted: a sheet is
    // always printed whole, as the labels are counted from its first page.
    printer.setResolution(printDotsPerInch);
    QPainter painter;
    if (!painter.begin(&printer)) {
        throw Exception(QStringLiteral("The printer \"%1\" could not begin printing; nothing was printed. "
                                       "Check that it is ready, or choose another.")
                            .arg(printer.outputFileName().isEmpty() ? printer.printerName()
                                                                    : printer.outputFileName()));
    }
    int printed = 0;
    try {
        int page = 1;
        printed = printLabelSheets(
            painter,
            [&] {
                ++page;
                if (!printer.newPage()) {
                    throw Exception(QStringLiteral("The printer could not begin page %1; the print job "
                                                   "was abandoned.")
                                        .arg(page));
                }
            },
            lines, layout);
    } catch (...) {
        // Abandon the job rather than leave it open; printers that cannot
        // abort get the document ended.
        printer.abort();
        painter.end();
        throw;
    }
    // The pages count only once the printer has taken the document whole.
    if (!painter.end())
        throw Exception(QStringLiteral("The printer could not finish the print job; check what it printed."));
    return printed;
}

void TbcodeForm::btnExitClick()
{
    runGuarded([this] {
        // Each value is stored as soon as its box converts: a box that
        // fails stops here, and those before it show at the next showing.
        config.bcHeight = boxValue(edtHeight, heightCaption);
        config.bcWidth = boxValue(edtWidth, widthCaption);
        config.bcIncludeNumber = cbNumber->isChecked();
        config.bcTopMargin = boxValue(edtTop, topCaption);
        config.bcLeftMargin = boxValue(edtLeft, leftCaption);
        config.bcVerticalPitch = boxValue(edtVertical, verticalCaption);
        config.bcHorizontalPitch = boxValue(edtHorizontal, horizontalCaption);
        config.bcColumns = boxValue(edtHorizontalCount, acrossCaption);
        config.bcRows = boxValue(edtVerticalCount, downCaption);
        // Only the label layout: the port settings in the file are the main
        // window's, and may have changed since this copy was read.
        config.save(ConfigSections::Barcode);
        close();
    });
}

void TbcodeForm::btnCancelClick()
{
    close();
}

void TbcodeForm::ShowForAthletes(DataSet& athletes)
{
    // Moving first posts a row the person is editing, so that the list
    // holds what is stored; if that fails nothing has changed yet.
    athletes.First();
    const int numberField = athletes.fieldIndex("number");
    if (numberField < 0)
        throw EDatabaseError(QStringLiteral("The athletes table has no field 'number'"));

    // Read row by row without moving the cursor, so that a grid bound to
    // the dataset does not scroll through every athlete.
    QStringList list;
    list.reserve(athletes.RecordCount());
    for (int row = 0; row < athletes.RecordCount(); ++row) {
        // An athlete without a number reads 0, as every empty number does.
        list << QString::number(athletes.value(row, numberField).toLongLong());
    }
    if (!list.isEmpty())
        meNumbers->setPlainText(list.join(QLatin1Char('\n')));

    show();
    raise();
    activateWindow();
}
