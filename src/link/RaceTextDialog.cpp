#include "link/RaceTextDialog.h"

#include "store/TextEncoding.h"

#include <QComboBox>
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
    cbRaceTexts = new QComboBox(this);
    cbRaceTexts->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    column->addWidget(cbRaceTexts);
    connect(cbRaceTexts, &QComboBox::currentIndexChanged, this, [this](int index) {
        if (index >= 0 && index < m_entries.size())
            setRaceText(m_entries[index].text);
    });
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

void TRaceTextDialog::setRaceTexts(const QList<RaceJournal::Entry>& entries)
{
    m_entries = entries;
    cbRaceTexts->clear();
    for (const RaceJournal::Entry& entry : entries)
        cbRaceTexts->addItem(entry.id + QStringLiteral(": ") + entry.outcome);
    cbRaceTexts->setEnabled(!entries.isEmpty());
    if (entries.isEmpty())
        setRaceText({});
}

int TRaceTextDialog::chosenText() const
{
    return m_entries.isEmpty() ? -1 : cbRaceTexts->currentIndex();
}

QByteArray TRaceTextDialog::raceText() const
{
    QByteArray text = meRaceText->toPlainText().toUtf8();
    return text.replace("\n", "\r\n");
}
