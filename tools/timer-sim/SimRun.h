#pragma once

#include "timer-sim/SimOptions.h"

#include <QByteArray>
#include <QList>
#include <QString>

class SimLine;

// One run of the simulator: the race texts of a file or generated ones,
// sent on the line with the pauses, chunks and repeats of the options.
class SimRun {
public:
    SimRun(const SimOptions& options, SimLine& line, QList<QByteArray> fileRaces = {});

    // Returns the exit status: 0 when everything was sent or a stop signal
    // ended the run. Throws Exception when the line fails.
    int run();

private:
    struct Sending {
        QByteArray text;
        QString description;
        int generatedIndex = -1; // a generated race, stamped again when sent
        int races = 1;
    };

    QList<Sending> pass() const;
    Sending generated(int index) const;
    bool waitForReader();
    bool waitForEnter();
    bool send(const QByteArray& text);
    int stopped() const;

    const SimOptions& m_options;
    SimLine& m_line;
    QList<QByteArray> m_fileRaces;
    QByteArray m_keys; // typed ahead of the next --wait-key prompt
    int m_sent = 0;
};
