#include "helpview/Helpdialog1.h"

#include "helpview/HelpView.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QShowEvent>
#include <QTextCursor>
#include <QTextDocument>
#include <QVBoxLayout>

namespace {

const char* const startPage = "help/VEXOBarcodeHelpFrameset.htm";

// Enter in the find box looks for the next occurrence, Shift+Enter for the
// previous one, as in the find bars officials know from web browsers.
class FindKeys : public QObject {
public:
    FindKeys(THelpDialog* dialog)
        : QObject(dialog)
        , m_dialog(dialog)
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress)
            return QObject::eventFilter(watched, event);
        const auto* key = static_cast<QKeyEvent*>(event);
        if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter)
            return QObject::eventFilter(watched, event);
        if (key->modifiers() & Qt::ShiftModifier)
            m_dialog->findPrevious();
        else
            m_dialog->findNext();
        return true;
    }

private:
    THelpDialog* m_dialog;
};

} // namespace

THelpDialog::THelpDialog(QWidget* parent, const QString& programFolder)
    : QWidget(parent, Qt::Window)
    , m_programFolder(programFolder)
{
    setObjectName(QStringLiteral("HelpDialog"));
    setWindowTitle(QStringLiteral("VEXO Barcode System - Help"));
    resize(699, 479);

    Panel1 = new QFrame(this);
    Panel1->setFixedHeight(49);
    btnBack = new QPushButton(QStringLiteral("Back"), Panel1);
    btnForward = new QPushButton(QStringLiteral("Forward"), Panel1);
    btnSearch = new QPushButton(QStringLiteral("Find"), Panel1);
    btnBack->setToolTip(QStringLiteral("Back to the page shown before (Alt+Left)"));
    btnForward->setToolTip(QStringLiteral("Forward again (Alt+Right)"));
    btnSearch->setToolTip(QStringLiteral("Find a word on this page (Ctrl+F)"));
    auto* panelLayout = new QHBoxLayout(Panel1);
    panelLayout->setContentsMargins(8, 8, 8, 8);
    panelLayout->addWidget(btnBack);
    panelLayout->addWidget(btnForward);
    panelLayout->addStretch(1);
    panelLayout->addWidget(btnSearch);

    WebBrowser1 = new HelpView(this);

    findBar = new QFrame(this);
    findBar->setFrameShape(QFrame::StyledPanel);
    edtFind = new QLineEdit(findBar);
    edtFind->setPlaceholderText(QStringLiteral("Find on this page"));
    edtFind->setClearButtonEnabled(true);
    btnFindNext = new QPushButton(QStringLiteral("Next"), findBar);
    btnFindPrevious = new QPushButton(QStringLiteral("Previous"), findBar);
    cbMatchCase = new QCheckBox(QStringLiteral("Match case"), findBar);
    lblFindStatus = new QLabel(findBar);
    lblFindStatus->setStyleSheet(QStringLiteral("color: #b00000;"));
    btnFindClose = new QPushButton(QStringLiteral("Close"), findBar);
    btnFindNext->setToolTip(QStringLiteral("Next occurrence (Enter, F3)"));
    btnFindPrevious->setToolTip(QStringLiteral("Previous occurrence (Shift+Enter, Shift+F3)"));
    btnFindClose->setToolTip(QStringLiteral("Close the find bar (Esc)"));
    auto* findLayout = new QHBoxLayout(findBar);
    findLayout->setContentsMargins(8, 4, 8, 4);
    findLayout->addWidget(edtFind, 1);
    findLayout->addWidget(btnFindNext);
    findLayout->addWidget(btnFindPrevious);
    findLayout->addWidget(cbMatchCase);
    findLayout->addWidget(lblFindStatus);
    findLayout->addWidget(btnFindClose);
    findBar->hide();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(WebBrowser1, 1);
    layout->addWidget(findBar);

    btnBack->setEnabled(false);
    btnForward->setEnabled(false);
    connect(WebBrowser1, &QTextBrowser::backwardAvailable, btnBack, &QWidget::setEnabled);
    connect(WebBrowser1, &QTextBrowser::forwardAvailable, btnForward, &QWidget::setEnabled);

    connect(btnBack, &QPushButton::clicked, this, &THelpDialog::btnBackClick);
    connect(btnForward, &QPushButton::clicked, this, &THelpDialog::btnForwardClick);
    connect(btnSearch, &QPushButton::clicked, this, &THelpDialog::btnSearchClick);
    connect(btnFindNext, &QPushButton::clicked, this, &THelpDialog::findNext);
    connect(btnFindPrevious, &QPushButton::clicked, this, &THelpDialog::findPrevious);
    connect(btnFindClose, &QPushButton::clicked, this, &THelpDialog::closeFindBar);
    connect(edtFind, &QLineEdit::textEdited, this, &THelpDialog::findTextEdited);
    connect(cbMatchCase, &QCheckBox::toggled, this, &THelpDialog::findTextEdited);
    edtFind->installEventFilter(new FindKeys(this));

    // The keys the button hints promise, wherever the focus is in the
    // window; the view alone would take them only while it has the focus.
    auto* backKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Left), this);
    connect(backKey, &QShortcut::activated, this, &THelpDialog::btnBackClick);
    auto* forwardKey = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Right), this);
    connect(forwardKey, &QShortcut::activated, this, &THelpDialog::btnForwardClick);
    auto* findKey = new QShortcut(QKeySequence::Find, this);
    connect(findKey, &QShortcut::activated, this, &THelpDialog::btnSearchClick);
    auto* nextKey = new QShortcut(QKeySequence::FindNext, this);
    connect(nextKey, &QShortcut::activated, this, &THelpDialog::findNext);
    auto* previousKey = new QShortcut(QKeySequence::FindPrevious, this);
    connect(previousKey, &QShortcut::activated, this, &THelpDialog::findPrevious);
    auto* escapeKey = new QShortcut(QKeySequence(Qt::Key_Escape), this);
    connect(escapeKey, &QShortcut::activated, this, [this] {
        if (findBar->isVisible())
            closeFindBar();
        else
            close();
    });
}

void THelpDialog::setProgramFolder(const QString& folder)
{
    m_programFolder = folder;
}

QString THelpDialog::programFolder() const
{
    return m_programFolder.isEmpty() ? QCoreApplication::applicationDirPath() : m_programFolder;
}

QUrl THelpDialog::startAddressFor(const QString& programFolder)
{
    const QDir folder(QFileInfo(programFolder).absoluteFilePath());
    return QUrl::fromLocalFile(QDir::cleanPath(folder.filePath(QString::fromLatin1(startPage))));
}

QUrl THelpDialog::startAddress() const
{
    return m_startAddress;
}

void THelpDialog::ShowHelp()
{
    if (isVisible()) {
        if (isMinimized())
            setWindowState(windowState() & ~Qt::WindowMinimized);
        raise();
        activateWindow();
        return;
    }
    show();
}

void THelpDialog::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // A spontaneous show is the window system restoring a minimised
    // window: the official goes on reading the page shown.
    if (!event->spontaneous())
        FormShow();
}

void THelpDialog::FormShow()
{
    m_startAddress = startAddressFor(programFolder());
    const bool sameDocument = WebBrowser1->source().adjusted(QUrl::RemoveFragment) == m_startAddress;
    WebBrowser1->setSource(m_startAddress);
    // The view does not read a document again that it shows already; the
    // pages may have been put in place since the last showing.
    if (sameDocument)
        WebBrowser1->reload();
    // Each showing starts afresh: Back leads nowhere from the start page.
    WebBrowser1->clearHistory();
}

void THelpDialog::btnBackClick()
{
    WebBrowser1->backward();
}

void THelpDialog::btnForwardClick()
{
    WebBrowser1->forward();
}

void THelpDialog::btnSearchClick()
{
    if (WebBrowser1->source().isEmpty())
        return;
    findBar->show();
    edtFind->setFocus(Qt::ShortcutFocusReason);
    edtFind->selectAll();
}

bool THelpDialog::findNext()
{
    return find(false);
}

bool THelpDialog::findPrevious()
{
    return find(true);
}

void THelpDialog::closeFindBar()
{
    findBar->hide();
    lblFindStatus->clear();
    WebBrowser1->setFocus(Qt::OtherFocusReason);
}

bool THelpDialog::find(bool backward)
{
    if (WebBrowser1->source().isEmpty())
        return false;
    const QString text = edtFind->text();
    if (text.isEmpty()) {
        lblFindStatus->clear();
        return false;
    }
    QTextDocument::FindFlags flags;
    if (backward)
        flags |= QTextDocument::FindBackward;
    if (cbMatchCase->isChecked())
        flags |= QTextDocument::FindCaseSensitively;

    bool found = WebBrowser1->find(text, flags);
    if (!found) {
        // Wrap round: go on from the other end of the page.
        const QTextCursor keep = WebBrowser1->textCursor();
        QTextCursor from(WebBrowser1->document());
        from.movePosition(backward ? QTextCursor::End : QTextCursor::Start);
        WebBrowser1->setTextCursor(from);
        found = WebBrowser1->find(text, flags);
        if (!found)
            WebBrowser1->setTextCursor(keep);
    }
    showFindResult(found);
    return found;
}

void THelpDialog::findTextEdited()
{
    // Typing refines the match in place: search again from where the
    // current match begins, so that it grows rather than jumping on.
    QTextCursor cursor = WebBrowser1->textCursor();
    cursor.setPosition(cursor.selectionStart());
    WebBrowser1->setTextCursor(cursor);
    find(false);
}

void THelpDialog::showFindResult(bool found)
{
    lblFindStatus->setText(found ? QString() : QStringLiteral("Not found"));
}
