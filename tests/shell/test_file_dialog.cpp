// The real file dialog over the folder that holds the database: listing it
// must leave the engine's hold on the file as it was.

#include "shell/QtUiServices.h"
#include "store/Database.h"
#include "store/OtherProgram.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

// Closes the open file dialog after it has had most of a second to list
// the folder and show what it holds. Under load it may list less; the test
// can then miss the fault but never reports one that is not there.
void closeDialogSoon(int ticksLeft = 40)
{
    QTimer::singleShot(20, [ticksLeft] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (dialog && ticksLeft <= 0)
            dialog->reject();
        else
            closeDialogSoon(ticksLeft - 1);
    });
}

} // namespace

TEST(FileDialog, ListingTheDatabasesFolderKeepsTheEnginesLocks)
{
    QTemporaryDir dir;
    Database database(dir.path(), QStringLiteral("file_dialog"));
    const QString file = database.filePath();
    if (otherProgramReads(file, QStringLiteral("select 1")) != QStringLiteral("1"))
        GTEST_SKIP() << "the sqlite3 shell is not installed";
    ASSERT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));

    const QString before = QDir::currentPath();
    QDir::setCurrent(dir.path());
    closeDialogSoon();
    QtUiServices services;
    EXPECT_TRUE(services.openFileName(nullptr, QStringLiteral("VEXO Track Data files (*.csv)")).isEmpty());
    QDir::setCurrent(before);

    // Had the dialog opened and closed the files in this process, the
    // reader would take itself for the last user and remove the log.
    EXPECT_EQ(otherProgramReads(file, QStringLiteral("select count(*) from athletes")), QStringLiteral("0"));
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-wal")));
    EXPECT_TRUE(QFileInfo::exists(file + QStringLiteral("-shm")));
}
