#include "link/RaceTextDialog.h"

#include "store/TextEncoding.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

TRaceTextDialog::TRaceTextDialog(QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(QStringLiteral("Race Text"));
    auto* column = new QVBoxLayout(this);
    column->addWidget(new QLabel(QStringLiteral("Correct the race text, then press OK to read it again:"), this));
    meRaceText = new QPlainTextEdit(this);
    // Columns matter in a race of several lines.
    meRaceText->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    meRaceText->setLineWrapMode(QPlainTextEdit::NoWrap);
    column->addWidget(meRaceText, 1);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    column->addWidget(buttons);
    resize(640, 360);
}

void TRaceTextDialog::setRaceText(const QByteArray& text)
{
    meRaceText->setPlainText(TextEncoding::decode8Bit(text).trimmed());
}

QByteArray TRaceTextDialog::raceText() const
{
    QByteArray text = meRaceText->toPlainText().toUtf8();
    return text.replace("\n", "\r\n");
}
