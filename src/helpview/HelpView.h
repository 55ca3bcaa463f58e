#pragma once

#include <QTextBrowser>

// The HTML view of the help window. It opens the help pages from their file
// addresses like QTextBrowser, and shows a page of its own, saying which
// file is missing and where the help pages belong, when a page cannot be
// found: an official then reads what went wrong in the window itself
// instead of facing an empty view.
class HelpView : public QTextBrowser {
    Q_OBJECT

public:
    explicit HelpView(QWidget* parent = nullptr);

    QVariant loadResource(int type, const QUrl& name) override;

    // The page shown for a missing page file, for the given address.
    static QString notFoundPage(const QUrl& address);
};
