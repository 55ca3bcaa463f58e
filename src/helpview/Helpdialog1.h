#pragma once

#include <QString>
#include <QUrl>
#include <QWidget>

class HelpView;
class QCheckBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;

// The help window: "Back", "Forward" and "Find" over the view of the help
// pages, which lie in the folder help beside the program or in the installed
// share folder (chosen at start-up with the program's files). It never blocks
// the main window, so an official can keep working while reading, and it
// never shows a message box: a missing page shows its own page in the view.
class THelpDialog : public QWidget {
    Q_OBJECT

public:
    // programFolder: the folder the help folder lies in; empty means the
    // executable's folder, looked up each time the window is shown.
    explicit THelpDialog(QWidget* parent = nullptr, const QString& programFolder = QString());

    void setProgramFolder(const QString& folder);
    QString programFolder() const;

    // The start page's file address for a program in the given folder.
    static QUrl startAddressFor(const QString& programFolder);
    // The address the last showing opened; empty before the first showing.
    QUrl startAddress() const;

    // What the main window's Help button does: shows the window, or brings
    // it to the front with its page unchanged when it is already open.
    void ShowHelp();

    // Opens the start page; runs each time the window becomes visible.
    void FormShow();
    void btnBackClick();
    void btnForwardClick();
    // Opens the find bar over the page shown; nothing before a page loaded.
    void btnSearchClick();

    // The find bar's next and previous: select the next occurrence of the
    // find text after (or before) the selection, wrapping round the page.
    // False when the page holds no occurrence.
    bool findNext();
    bool findPrevious();
    void closeFindBar();

    HelpView* WebBrowser1 = nullptr;
    QFrame* Panel1 = nullptr;
    QPushButton* btnBack = nullptr;
    QPushButton* btnForward = nullptr;
    QPushButton* btnSearch = nullptr;

    QFrame* findBar = nullptr;
    QLineEdit* edtFind = nullptr;
    QPushButton* btnFindNext = nullptr;
    QPushButton* btnFindPrevious = nullptr;
    QCheckBox* cbMatchCase = nullptr;
    QLabel* lblFindStatus = nullptr;
    QPushButton* btnFindClose = nullptr;

protected:
    void showEvent(QShowEvent* event) override;

private:
    bool find(bool backward);
    void findTextEdited();
    void showFindResult(bool found);

    QString m_programFolder;
    QUrl m_startAddress;
};
