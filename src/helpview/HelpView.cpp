#include "helpview/HelpView.h"

#include <QTextDocument>

HelpView::HelpView(QWidget* parent)
    : QTextBrowser(parent)
{
    // The help pages only link to each other; nothing leaves the program.
    setOpenExternalLinks(false);
}

QVariant HelpView::loadResource(int type, const QUrl& name)
{
    QVariant data = QTextBrowser::loadResource(type, name);
    if (data.isNull() && type == QTextDocument::HtmlResource)
        return notFoundPage(name);
    return data;
}

QString HelpView::notFoundPage(const QUrl& address)
{
    const QString where = address.isLocalFile() ? address.toLocalFile() : address.toString();
    return QStringLiteral("<html><head><title>Help page not found</title></head><body>"
                          "<h2>Help page not found</h2>"
                          "<p>The help page <b>%1</b> could not be found.</p>"
                          "<p>The help pages belong in the folder <b>help</b> beside the program, or, for "
                          "the installed package, in <b>/usr/share/vexo-barcode/help</b>. Reinstall the "
                          "program, or copy the folder <b>help</b> of the installation there, then open the "
                          "help again.</p>"
                          "</body></html>")
        .arg(where.toHtmlEscaped());
}
