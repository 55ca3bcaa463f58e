#pragma once

#include "support/PrintTo.h"
#include "support/Program.h"
#include "support/SqlProbes.h"

#include "shell/RecordingUiServices.h"

#include "link/ComDevices.h"
#include "store/Database.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

// The program's windows over a fresh folder (its database, its settings
// file, its help pages), started when the test says, with every box and
// beep answered by the test.
class ProgramFixture : public ::testing::Test {
protected:
    using Clock = ProgramClock;

    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        places = {dir.path(), dir.filePath("VEXO_BARCODE.ini"), dir.path()};
    }
    void TearDown() override
    {
        windows.reset();
        ComDeviceTable::clear();
    }

    // Starts the program (again, if it runs) over the folder as it is now.
    void start(Clock clock)
    {
        windows.reset();
        windows = showProgram(places, clock);
        main = windows->mainForm;
        ASSERT_TRUE(main->isActiveWindow());
    }

    void writeSettings(const QByteArray& text)
    {
        QFile file(places.settingsFile);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly)) << places.settingsFile.toStdString();
        file.write(text);
    }
    QByteArray settingsText() const
    {
        QFile file(places.settingsFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    // The meet's tables as the running program's connection sees them.
    QVariant scalar(const QString& statement) { return sqlprobe::scalar(main->database().connection(), statement); }
    QList<QVariantList> rows(const QString& statement) { return sqlprobe::rows(main->database().connection(), statement); }
    QStringList lines(const QString& statement) { return sqlprobe::lines(main->database().connection(), statement); }
    int count(const QString& from) { return sqlprobe::count(main->database().connection(), from); }
    void sql(const QString& statement) { sqlprobe::exec(main->database().connection(), statement); }

    RecordingUiServices ui;
    QTemporaryDir dir;
    MainFormPlaces places;
    std::unique_ptr<ProgramWindows> windows;
    TMainForm* main = nullptr;
};
