#pragma once

#include <QDialog>

#include <functional>
#include <memory>

class Database;
class DataGrid;
class DataSet;
class QLineEdit;
class QPushButton;

// The list of athletes in surname order from which an official picks the
// athlete of a result whose bib did not scan. Created once and shown
// modally for each pick; each showing starts again from the whole list.
class TathleteSelectForm : public QDialog {
    Q_OBJECT

public:
    // Opens its athletes table at once; throws what the dataset throws.
    explicit TathleteSelectForm(Database& database, QWidget* parent = nullptr);
    ~TathleteSelectForm() override;

    // Shows the dialog modally; true when it ended with Select (or a
    // double-click) on an athlete, and selectedNumber then holds the athlete
    // picked. On an empty list Select ends it as Cancel does.
    bool ShowModal();
    // How ShowModal runs the dialog; empty: a real modal loop. Tests answer
    // here in place of a person, since a real modal loop would wait for one.
    std::function<bool(TathleteSelectForm&)> runModal;

    // The search condition for a typed surname: every surname at or after
    // the text. Quotes in the text are doubled, so that a surname such as
    // O'Brien can be searched for.
    static QString surnameFilter(const QString& typed);

    DataGrid* DBGrid1 = nullptr;
    QLineEdit* edtSurname = nullptr;
    QPushButton* btnSurname = nullptr;
    QPushButton* btnCancel = nullptr;
    QPushButton* btnSelect = nullptr;

    DataSet& athleteTable() { return *AthleteTable; }

    // The athlete number picked; 0 while nothing has been picked.
    qint32 selectedNumber = 0;

    // Enter in the surname box searches, and is swallowed (set to 0) so
    // that the dialog stays open.
    void edtSurnameKeyDown(int& key);

public slots:
    void FormShow();
    void btnSurnameClick();
    void btnSelectClick();

protected:
    void showEvent(QShowEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildControls();
    // Runs work and shows what it throws; false when it threw.

    std::unique_ptr<DataSet> AthleteTable;
};
