#include "helpview/HelpView.h"
#include "helpview/Helpdialog1.h"
#include "shell/RecordingUiServices.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>

#include <gtest/gtest.h>

#include <ostream>

// Readable texts in failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace {

// Every warning Qt prints while a test runs (the view's "No document for"
// among them): the help window must report nothing, neither in a box nor
// on the console.
class WarningLog {
public:
    WarningLog()
    {
        s_messages.clear();
        m_previous = qInstallMessageHandler(&WarningLog::record);
    }
    ~WarningLog() { qInstallMessageHandler(m_previous); }

    static QStringList messages() { return s_messages; }

private:
    static void record(QtMsgType type, const QMessageLogContext&, const QString& message)
    {
        // The offscreen platform's own notice about window size hints says
        // nothing about the help window.
        if (message.contains(QLatin1String("propagateSizeHints")))
            return;
        if (type != QtDebugMsg && type != QtInfoMsg)
            s_messages << message;
    }

    static inline QStringList s_messages;
    QtMessageHandler m_previous = nullptr;
};

int openMessageBoxes()
{
    int boxes = 0;
    for (QWidget* w : QApplication::topLevelWidgets())
        if (qobject_cast<QMessageBox*>(w) && w->isVisible())
            ++boxes;
    return boxes;
}

void writeFile(const QString& path, const QByteArray& content)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(content);
}

// Clicks the link with the given address as an official would: with the
// mouse, on the link's text in the view.
bool clickLink(QTextBrowser* view, const QString& href)
{
    QTextDocument* document = view->document();
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isAnchor() || fragment.charFormat().anchorHref() != href)
                continue;
            QTextCursor cursor(document);
            cursor.setPosition(fragment.position() + fragment.length() / 2);
            view->setTextCursor(cursor);
            view->ensureCursorVisible();
            const QPoint point = view->cursorRect(cursor).center();
            QTest::mouseClick(view->viewport(), Qt::LeftButton, Qt::NoModifier, point);
            return true;
        }
    }
    return false;
}

class HelpDialogTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        writeFile(folder.filePath(QStringLiteral("help/VEXOBarcodeHelpFrameset.htm")),
                  "<html><head><title>Contents</title></head><body>"
                  "<h1>Contents</h1><p>Welcome to the start page.</p>"
                  "<p><a href=\"scanning.htm\">Scanning a race</a></p>"
                  "<p><a href=\"gone.htm\">A page that is missing</a></p>"
                  "</body></html>");
        writeFile(folder.filePath(QStringLiteral("help/scanning.htm")),
                  "<html><head><title>Scanning</title></head><body>"
                  "<h1>Scanning a race</h1>"
                  "<p>Scanning fills the Number column. After scanning, check the race.</p>"
                  "<p><a href=\"VEXOBarcodeHelpFrameset.htm\">Contents</a></p>"
                  "</body></html>");
    }

    QUrl page(const QString& name) const { return QUrl::fromLocalFile(folder.filePath(QStringLiteral("help/") + name)); }

    // The dialog, shown and laid out like the real one.
    void open(THelpDialog& dialog)
    {
        dialog.ShowHelp();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
        // Keyboard focus and the window's shortcuts need the active window.
        dialog.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    }

    QTemporaryDir folder;
    RecordingUiServices ui;
    WarningLog warnings;
};

const QString startPageName = QStringLiteral("VEXOBarcodeHelpFrameset.htm");

TEST(HelpStartAddress, IsAProperFileAddressBuiltFromTheProgramFolder)
{
    const QUrl plain = THelpDialog::startAddressFor(QStringLiteral("/opt/vexo"));
    EXPECT_EQ(plain.toString(), QStringLiteral("file:///opt/vexo/help/VEXOBarcodeHelpFrameset.htm"));

    // A trailing separator gives no doubled one; a blank is escaped in the
    // address and comes back unchanged as a path.
    EXPECT_EQ(THelpDialog::startAddressFor(QStringLiteral("/opt/vexo/")), plain);
    const QUrl spaced = THelpDialog::startAddressFor(QStringLiteral("/home/official/Meet 2026"));
    EXPECT_TRUE(spaced.isLocalFile());
    EXPECT_EQ(spaced.toLocalFile(), QStringLiteral("/home/official/Meet 2026/help/VEXOBarcodeHelpFrameset.htm"));
    EXPECT_EQ(spaced.toEncoded(), QByteArray("file:///home/official/Meet%202026/help/VEXOBarcodeHelpFrameset.htm"));

    // A relative folder is taken from the working folder, never left
    // relative in the address.
    const QUrl relative = THelpDialog::startAddressFor(QStringLiteral("meet"));
    EXPECT_EQ(relative.toLocalFile(), QDir::current().filePath(QStringLiteral("meet/help/VEXOBarcodeHelpFrameset.htm")));
}

TEST_F(HelpDialogTest, WithoutAFolderTheExecutablesFolderIsUsed)
{
    THelpDialog dialog;
    EXPECT_TRUE(dialog.startAddress().isEmpty());
    dialog.FormShow();
    EXPECT_EQ(dialog.startAddress(), THelpDialog::startAddressFor(QCoreApplication::applicationDirPath()));
    EXPECT_EQ(dialog.WebBrowser1->source(), dialog.startAddress());
}

TEST_F(HelpDialogTest, EveryShowingStartsAtTheStartPage)
{
    THelpDialog dialog(nullptr, folder.path());
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("VEXO Barcode System - Help"));
    open(dialog);
    EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName));
    EXPECT_TRUE(dialog.WebBrowser1->toPlainText().contains(QStringLiteral("Welcome to the start page")));

    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("scanning.htm")));
    EXPECT_EQ(dialog.WebBrowser1->source(), page(QStringLiteral("scanning.htm")));

    dialog.close();
    EXPECT_FALSE(dialog.isVisible());
    open(dialog);
    EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName));
    EXPECT_TRUE(dialog.WebBrowser1->toPlainText().contains(QStringLiteral("Welcome to the start page")));
    // The new showing starts with an empty history.
    EXPECT_FALSE(dialog.WebBrowser1->isBackwardAvailable());
    EXPECT_FALSE(dialog.btnBack->isEnabled());
}

TEST_F(HelpDialogTest, HelpWhileOpenBringsTheWindowToTheFrontWithThePageKept)
{
    THelpDialog dialog(nullptr, folder.path());
    open(dialog);
    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("scanning.htm")));

    dialog.ShowHelp();
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(dialog.WebBrowser1->source(), page(QStringLiteral("scanning.htm")));
    EXPECT_TRUE(dialog.WebBrowser1->isBackwardAvailable());

    // The main window stays usable while the help is open.
    EXPECT_FALSE(dialog.isModal());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

TEST_F(HelpDialogTest, BackAndForwardWithNothingToGoToChangeNothingAndSayNothing)
{
    THelpDialog dialog(nullptr, folder.path());
    open(dialog);
    EXPECT_FALSE(dialog.btnBack->isEnabled());
    EXPECT_FALSE(dialog.btnForward->isEnabled());

    dialog.btnBackClick();
    EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName));
    dialog.btnForwardClick();
    EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName));

    // With somewhere to go, the buttons step through the history.
    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("scanning.htm")));
    ASSERT_TRUE(dialog.btnBack->isEnabled());
    QTest::mouseClick(dialog.btnBack, Qt::LeftButton);
    EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName));
    ASSERT_TRUE(dialog.btnForward->isEnabled());
    QTest::mouseClick(dialog.btnForward, Qt::LeftButton);
    EXPECT_EQ(dialog.WebBrowser1->source(), page(QStringLiteral("scanning.htm")));
    EXPECT_FALSE(dialog.btnForward->isEnabled());

    dialog.btnForwardClick();
    EXPECT_EQ(dialog.WebBrowser1->source(), page(QStringLiteral("scanning.htm")));

    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(ui.beeps, 0);
    EXPECT_EQ(openMessageBoxes(), 0);
    EXPECT_TRUE(WarningLog::messages().isEmpty()) << WarningLog::messages().join(u'\n').toStdString();
}

TEST_F(HelpDialogTest, AltLeftAndAltRightStepThroughTheHistoryWhereverTheFocusIs)
{
    THelpDialog dialog(nullptr, folder.path());
    open(dialog);
    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("scanning.htm")));
    dialog.btnSearchClick();
    // The find box, a button and the page itself each hold the focus in turn.
    for (QWidget* focus : {static_cast<QWidget*>(dialog.edtFind), static_cast<QWidget*>(dialog.btnSearch),
                           static_cast<QWidget*>(dialog.WebBrowser1)}) {
        focus->setFocus();
        ASSERT_TRUE(focus->hasFocus());
        QTest::keyClick(focus, Qt::Key_Left, Qt::AltModifier);
        EXPECT_EQ(dialog.WebBrowser1->source(), page(startPageName)) << focus->metaObject()->className();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Right, Qt::AltModifier);
        EXPECT_EQ(dialog.WebBrowser1->source(), page(QStringLiteral("scanning.htm")))
            << focus->metaObject()->className();
    }
}

TEST_F(HelpDialogTest, FindBeforeAPageHasLoadedDoesNothing)
{
    THelpDialog dialog(nullptr, folder.path());
    dialog.btnSearchClick();
    EXPECT_TRUE(dialog.findBar->isHidden());
    dialog.edtFind->setText(QStringLiteral("Scanning"));
    EXPECT_FALSE(dialog.findNext());
    EXPECT_FALSE(dialog.findPrevious());
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(WarningLog::messages().isEmpty()) << WarningLog::messages().join(u'\n').toStdString();
}

TEST_F(HelpDialogTest, FindLocatesAWordOnThePageShown)
{
    THelpDialog dialog(nullptr, folder.path());
    open(dialog);
    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("scanning.htm")));

    QTest::mouseClick(dialog.btnSearch, Qt::LeftButton);
    ASSERT_TRUE(dialog.findBar->isVisible());
    EXPECT_TRUE(dialog.edtFind->hasFocus());

    // Typing finds as it goes; the match ignores case until asked.
    QTest::keyClicks(dialog.edtFind, QStringLiteral("scanning"));
    QTextCursor match = dialog.WebBrowser1->textCursor();
    EXPECT_EQ(match.selectedText(), QStringLiteral("Scanning"));
    const int first = match.selectionStart();

    // "Scanning" stands in the heading and twice in the paragraph.
    QTest::keyClick(dialog.edtFind, Qt::Key_Return);
    const int second = dialog.WebBrowser1->textCursor().selectionStart();
    EXPECT_GT(second, first);
    QTest::keyClick(dialog.edtFind, Qt::Key_Return);
    const int third = dialog.WebBrowser1->textCursor().selectionStart();
    EXPECT_GT(third, second);
    // At the end of the page the search goes round to the top.
    QTest::keyClick(dialog.edtFind, Qt::Key_Return);
    EXPECT_EQ(dialog.WebBrowser1->textCursor().selectionStart(), first);
    // And backwards round to the bottom.
    QTest::keyClick(dialog.edtFind, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(dialog.WebBrowser1->textCursor().selectionStart(), third);
    QTest::mouseClick(dialog.btnFindPrevious, Qt::LeftButton);
    EXPECT_EQ(dialog.WebBrowser1->textCursor().selectionStart(), second);
    EXPECT_TRUE(dialog.lblFindStatus->text().isEmpty());

    // Lower-case "scanning" stands only in "After scanning".
    dialog.cbMatchCase->setChecked(true);
    EXPECT_TRUE(dialog.findNext());
    EXPECT_EQ(dialog.WebBrowser1->textCursor().selectedText(), QStringLiteral("scanning"));
    dialog.edtFind->setText(QStringLiteral("SCANNING"));
    EXPECT_FALSE(dialog.findNext());
    EXPECT_EQ(dialog.lblFindStatus->text(), QStringLiteral("Not found"));

    // Only the page shown is searched: the start page's welcome is not here.
    dialog.cbMatchCase->setChecked(false);
    dialog.edtFind->setText(QStringLiteral("Welcome"));
    EXPECT_FALSE(dialog.findNext());

    QTest::keyClick(dialog.edtFind, Qt::Key_Escape);
    EXPECT_TRUE(dialog.findBar->isHidden());
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_TRUE(ui.errors.isEmpty());
}

TEST_F(HelpDialogTest, AMissingHelpFolderShowsTheViewsNotFoundPageWithoutAMessage)
{
    QTemporaryDir empty;
    THelpDialog dialog(nullptr, empty.path());
    open(dialog);

    const QString shown = dialog.WebBrowser1->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("could not be found"))) << shown.toStdString();
    EXPECT_TRUE(shown.contains(empty.filePath(QStringLiteral("help/VEXOBarcodeHelpFrameset.htm"))));
    EXPECT_EQ(dialog.WebBrowser1->source(), THelpDialog::startAddressFor(empty.path()));

    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_EQ(openMessageBoxes(), 0);
    EXPECT_TRUE(WarningLog::messages().isEmpty()) << WarningLog::messages().join(u'\n').toStdString();

    // Back and Find on that page say nothing either.
    dialog.btnBackClick();
    dialog.btnSearchClick();
    dialog.edtFind->setText(QStringLiteral("help"));
    EXPECT_TRUE(dialog.findNext());
    EXPECT_TRUE(ui.errors.isEmpty());

    // Once the pages are put in place, the next showing reads them.
    dialog.close();
    writeFile(empty.filePath(QStringLiteral("help/VEXOBarcodeHelpFrameset.htm")),
              "<html><body><p>Now installed.</p></body></html>");
    open(dialog);
    EXPECT_TRUE(dialog.WebBrowser1->toPlainText().contains(QStringLiteral("Now installed.")));
}

TEST_F(HelpDialogTest, ALinkToAMissingPageShowsTheNotFoundPageAndBackReturns)
{
    THelpDialog dialog(nullptr, folder.path());
    open(dialog);
    ASSERT_TRUE(clickLink(dialog.WebBrowser1, QStringLiteral("gone.htm")));
    EXPECT_TRUE(dialog.WebBrowser1->toPlainText().contains(folder.filePath(QStringLiteral("help/gone.htm"))));
    dialog.btnBackClick();
    EXPECT_TRUE(dialog.WebBrowser1->toPlainText().contains(QStringLiteral("Welcome to the start page")));
    EXPECT_TRUE(ui.errors.isEmpty());
    EXPECT_TRUE(WarningLog::messages().isEmpty()) << WarningLog::messages().join(u'\n').toStdString();
}

TEST_F(HelpDialogTest, TheInstalledStartPageShowsTheContents)
{
    // The project's own pages, from the folder the build copies them from.
    THelpDialog dialog(nullptr, QStringLiteral(VEXO_SOURCE_DIR));
    open(dialog);
    EXPECT_EQ(dialog.WebBrowser1->documentTitle(), QStringLiteral("VEXO Barcode System - Help"));
    const QString shown = dialog.WebBrowser1->toPlainText();
    EXPECT_TRUE(shown.contains(QStringLiteral("Contents")));
    EXPECT_FALSE(shown.contains(QStringLiteral("could not be found")));
    EXPECT_TRUE(WarningLog::messages().isEmpty()) << WarningLog::messages().join(u'\n').toStdString();
}

} // namespace
