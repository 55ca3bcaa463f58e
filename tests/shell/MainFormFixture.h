#pragma once

#include "RecordingUiServices.h"
#include "store/StoreFixture.h"

#include "shell/StartUp.h"

#include <QSqlError>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

// The program's windows over a fresh folder, as start-up makes them, with
// every box answered by the test.
class MainFormFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        places = {dir.path(), dir.filePath("VEXO_BARCODE.ini"), dir.path()};
        prepareSettings();
        if (IsSkipped() || HasFatalFailure())
            return;
        windows = createProgramWindows(places);
        main = windows->mainForm;
        main->show();
        QApplication::setActiveWindow(main);
        ASSERT_TRUE(QTest::qWaitForWindowActive(main));
        // No timer unit is plugged in here: port A's failed open at start-up
        // is not what these tests look at, nor are the status checks.
        main->Timer1->stop();
        ui.errors.clear();
        ui.beeps = 0;
    }
    void TearDown() override { windows.reset(); }

    // Writes what the settings file must hold before the program starts.
    virtual void prepareSettings() {}

    void sql(const QString& statement)
    {
        QSqlQuery q(main->database().connection());
        ASSERT_TRUE(q.exec(statement)) << statement.toStdString() << q.lastError().text().toStdString();
    }

    QVariant scalar(const QString& statement)
    {
        QSqlQuery q(main->database().connection());
        q.exec(statement);
        q.next();
        return q.value(0);
    }

    RecordingUiServices ui;
    QTemporaryDir dir;
    MainFormPlaces places;
    std::unique_ptr<ProgramWindows> windows;
    TMainForm* main = nullptr;
};
