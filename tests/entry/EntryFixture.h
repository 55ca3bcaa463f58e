#pragma once

#include "shell/GridTyping.h"
#include "shell/RecordingUiServices.h"
#include "store/StoreFixture.h"

#include "entry/Athleteselectdialog.h"
#include "entry/Racedetailsdialog.h"
#include "entry/Timederror.h"
#include "shell/DataGrid.h"
#include "store/DataSet.h"
#include "store/RaceText.h"

#include <QApplication>
#include <QTest>

#include <memory>

// The three results-entry windows over a fresh store holding a few athletes
// with personal bests and records in the 100M, as start-up creates them.
class EntryFixture : public StoreFixture {
protected:
    void SetUp() override
    {
        StoreFixture::SetUp();
        for (const char* row : {"(101, 'Ann', 'Lee', 12, 'Blue', 'F')", "(102, 'Bob', 'Ray', 12, 'Red', 'M')",
                                "(103, 'Cy', 'Smith', 13, 'Red', 'M')", "(104, 'Di', 'O''Brien', 12, 'Blue', 'F')",
                                "(105, 'Ed', 'smithers', 13, 'Blue', 'M')", "(106, 'Fay', 'Adams', 12, 'Red', 'F')"})
            exec(QByteArray("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES ") + row);
        for (const char* row : {"(101, '100M', 13.0)", "(102, '100M', 12.8)", "(103, '100M', 12.4)"})
            exec(QByteArray("INSERT INTO pb (athlete_number, event, value) VALUES ") + row);
        for (const char* row : {"('F', '100M', 12, 12.0, 1)", "('M', '100M', 12, 11.5, 1)"})
            exec(QByteArray("INSERT INTO record (gender, event, age, value, type) VALUES ") + row);

        timedError = std::make_unique<TTimedErrorForm>();
        athleteSelect = std::make_unique<TathleteSelectForm>(*db);
        form = std::make_unique<TRaceDetailsForm>(*db, *query, *timedError, *athleteSelect);
        grid = form->resultDBGrid;
        // No real modal loop ever: a pick no test asked for is cancelled.
        athleteSelect->runModal = [this](TathleteSelectForm&) {
            ++picks;
            return false;
        };
    }
    void TearDown() override
    {
        form.reset();
        athleteSelect.reset();
        timedError.reset();
        StoreFixture::TearDown();
    }

    // A single-line race of the 100M, open to any athlete of the meet unless
    // an age group is given ("U12G": girls of 12), one place per time (00.00
    // for a place without a time), lanes B01 to B99, then 100 on (a lane
    // holds at most three characters).
    static QByteArray raceLine(const QList<QByteArray>& times, const QByteArray& ageGroup = "U99")
    {
        QByteArray line = "00:00,01/01/00,7,LANE," + ageGroup + ",100M,,,";
        for (int i = 0; i < times.size(); ++i) {
            const QByteArray lane =
                i + 1 < 100 ? "B" + QByteArray::number(i + 1).rightJustified(2, '0') : QByteArray::number(i + 1);
            line += QByteArray::number(i + 1) + ',' + times[i] + ',' + lane + ',';
        }
        return line + "\r\n";
    }

    static QByteArray templateRace()
    {
        return "00:00,01/01/00,999,LANE,U99,100M,,,1,88,B01,2,88,B02,3,88,B03,4,88,B04,5,88,B05,6,88,B06,7,88,B07,"
               "8,88,B08,9,88,B09,10,88,B10,11,88,B11,12,88,B12,\r\n";
    }

    qint32 storeRace(const QByteArray& text) { return storeRaceText(text, *query); }

    // Athletes of the meet numbered from first on, for races longer than
    // the fixture's six.
    void addAthletes(qint32 first, int count, int age = 12, const char* gender = "F")
    {
        QByteArrayList rows;
        for (qint32 number = first; number < first + count; ++number)
            rows << "(" + QByteArray::number(number) + ", 'A', 'B', " + QByteArray::number(age) + ", 'T', '" + gender + "')";
        exec("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES " + rows.join(", "));
    }

    // Opens the race as the race list does, and gives the window the
    // keyboard as an official's click would.
    void open(qint32 raceId, const QString& title = QStringLiteral("Race 7 - U12 F 100M, 10/10/2007, 10:35"))
    {
        form->openForRace(raceId, title);
        activate();
    }

    void activate()
    {
        QApplication::setActiveWindow(form.get());
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    }

    // The athlete numbers the store holds for a race, in result order; an
    // empty text for none.
    QStringList storedNumbers(qint32 raceId)
    {
        QStringList out;
        for (const QVariantList& row :
             rows("SELECT athlete_number FROM result WHERE race_id_pk = " + QByteArray::number(raceId)
                  + " ORDER BY result_id_pk"))
            out << (row[0].isNull() ? QString() : row[0].toString());
        return out;
    }

    QByteArray currentPlace() const { return form->resultTable().FieldByName("place").AsString(); }

    // Has the selection dialog answer the next pick as a person would:
    // the number of the athlete chosen from the list, or Cancel for 0.
    void answerPick(qint32 number)
    {
        athleteSelect->runModal = [this, number](TathleteSelectForm& dialog) {
            ++picks;
            dialog.FormShow();
            if (number == 0) {
                dialog.reject();
            } else {
                DataSet& athletes = dialog.athleteTable();
                while (!athletes.Eof() && athletes.FieldByName("number").AsInteger() != number)
                    athletes.Next();
                EXPECT_EQ(athletes.FieldByName("number").AsInteger(), number);
                dialog.btnSelectClick();
            }
            return dialog.result() == QDialog::Accepted;
        };
    }

    RecordingUiServices ui;
    std::unique_ptr<TTimedErrorForm> timedError;
    std::unique_ptr<TathleteSelectForm> athleteSelect;
    std::unique_ptr<TRaceDetailsForm> form;
    DataGrid* grid = nullptr;
    int picks = 0;
};
