#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QQueue>
#include <QRegularExpression>
#include <QSet>
#include <QUrl>

#include <gtest/gtest.h>

// The help pages as they are shipped: every link and picture of every page
// leads to a file that is there, every page can be reached from the start
// page and leads back to it.

namespace {

const QString startPage = QStringLiteral("VEXOBarcodeHelpFrameset.htm");

QDir helpFolder()
{
    return QDir(QStringLiteral(VEXO_SOURCE_DIR "/help"));
}

struct Link {
    QString page;    // the page holding the link
    QString address; // as written
};

QString readPage(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

// Every href and src of a page, in the page's order.
QStringList addresses(const QString& html)
{
    static const QRegularExpression attribute(QStringLiteral("\\b(?:href|src)\\s*=\\s*\"([^\"]*)\""),
                                              QRegularExpression::CaseInsensitiveOption);
    QStringList found;
    for (auto it = attribute.globalMatch(html); it.hasNext();)
        found << it.next().captured(1);
    return found;
}

bool hasAnchor(const QString& html, const QString& name)
{
    const QString quoted = QRegularExpression::escape(name);
    const QRegularExpression anchor(QStringLiteral("\\b(?:name|id)\\s*=\\s*\"") + quoted + QStringLiteral("\""));
    return anchor.match(html).hasMatch();
}

QStringList pageNames()
{
    return helpFolder().entryList({QStringLiteral("*.htm")}, QDir::Files, QDir::Name);
}

TEST(HelpPages, TheStartPageIsThere)
{
    EXPECT_TRUE(QFileInfo::exists(helpFolder().filePath(startPage)));
    EXPECT_GE(pageNames().size(), 8);
}

TEST(HelpPages, EveryLinkAndPictureFindsItsTarget)
{
    const QDir folder = helpFolder();
    int checked = 0;
    for (const QString& name : pageNames()) {
        const QString html = readPage(folder.filePath(name));
        ASSERT_FALSE(html.isEmpty()) << name.toStdString();
        for (const QString& address : addresses(html)) {
            const QUrl url(address);
            // The pages are read offline from the installed folder: every
            // target is a file beside them.
            EXPECT_TRUE(url.scheme().isEmpty())
                << name.toStdString() << " links outside the help pages: " << address.toStdString();
            EXPECT_FALSE(address.contains(u'\\')) << name.toStdString() << ": " << address.toStdString();
            const QString path = url.path();
            const QString target = path.isEmpty() ? name : QDir::cleanPath(path);
            EXPECT_FALSE(target.startsWith(QStringLiteral("..")))
                << name.toStdString() << " leaves the help folder: " << address.toStdString();
            const QString targetPath = folder.filePath(target);
            ASSERT_TRUE(QFileInfo(targetPath).isFile())
                << name.toStdString() << " refers to a missing file: " << address.toStdString();
            if (url.hasFragment()) {
                EXPECT_TRUE(hasAnchor(readPage(targetPath), url.fragment()))
                    << name.toStdString() << " refers to a missing anchor: " << address.toStdString();
            }
            ++checked;
        }
    }
    EXPECT_GT(checked, 0);
}

TEST(HelpPages, EveryPageIsReachedFromTheContentsAndLeadsBackToThem)
{
    const QDir folder = helpFolder();
    QHash<QString, QSet<QString>> linksOf;
    for (const QString& name : pageNames()) {
        for (const QString& address : addresses(readPage(folder.filePath(name)))) {
            const QString path = QUrl(address).path();
            if (path.endsWith(QStringLiteral(".htm")))
                linksOf[name].insert(QDir::cleanPath(path));
        }
    }

    QSet<QString> reached{startPage};
    QQueue<QString> next;
    next.enqueue(startPage);
    while (!next.isEmpty()) {
        for (const QString& target : linksOf.value(next.dequeue())) {
            if (!reached.contains(target)) {
                reached.insert(target);
                next.enqueue(target);
            }
        }
    }

    for (const QString& name : pageNames()) {
        EXPECT_TRUE(reached.contains(name)) << name.toStdString() << " cannot be reached from the contents";
        if (name != startPage) {
            EXPECT_TRUE(linksOf.value(name).contains(startPage))
                << name.toStdString() << " has no link back to the contents";
        }
    }
}

TEST(HelpPages, EveryPageHasATitle)
{
    static const QRegularExpression title(QStringLiteral("<title>\\s*\\S[^<]*</title>"),
                                          QRegularExpression::CaseInsensitiveOption);
    for (const QString& name : pageNames())
        EXPECT_TRUE(title.match(readPage(helpFolder().filePath(name))).hasMatch()) << name.toStdString();
}

} // namespace
