// Opening the athletes dataset of a large meet and filtering it by a surname
// prefix, as the Athletes page's search does.

#include "BenchSize.h"
#include "store/DataSet.h"
#include "store/Database.h"

#include <benchmark/benchmark.h>

#include <QSqlQuery>
#include <QTemporaryDir>

#include <fstream>
#include <string>

namespace {

const int athleteCount = benchRows(100000);

struct Meet {
    QTemporaryDir dir;
    std::unique_ptr<Database> db;

    Meet()
    {
        db = std::make_unique<Database>(dir.path(), QStringLiteral("bench"));
        static const char* surnames[] = {"Smith", "Jones", "Taylor", "Brown", "Williams", "Wilson", "Johnson",
                                         "Davies", "Robinson", "Wright", "Thompson", "Evans", "Walker", "White"};
        db->inTransaction([&] {
            QSqlQuery q(db->connection());
            q.prepare(QStringLiteral("INSERT INTO athletes (number, firstname, surname, age, team, gender) VALUES (?, ?, ?, ?, ?, ?)"));
            for (int i = 0; i < athleteCount; ++i) {
                q.addBindValue(1000 + i);
                q.addBindValue(QStringLiteral("First%1").arg(i % 977));
                q.addBindValue(QString::fromLatin1(surnames[i % 14]) + QString::number(i % 100));
                q.addBindValue(8 + i % 12);
                q.addBindValue(QStringLiteral("Team%1").arg(i % 40));
                q.addBindValue(i % 2 ? QStringLiteral("M") : QStringLiteral("F"));
                q.exec();
            }
        });
    }
};

Meet& meet()
{
    static Meet m;
    return m;
}

long residentKiB()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_OpenAndFilterBySurnamePrefix(benchmark::State& state)
{
    Meet& m = meet();
    const long before = residentKiB();
    long peak = before;
    for (auto _ : state) {
        DataSet athletes(*m.db, "athletes");
        athletes.setCaseInsensitive(true);
        athletes.Open();
        // The grid asks for the rows it shows.
        for (int row = 0; row < 30; ++row)
            benchmark::DoNotOptimize(athletes.value(row, 2));
        athletes.setFilter(QStringLiteral("surname = 'wil*'"));
        athletes.setFiltered(true);
        for (int row = 0; row < 30; ++row)
            benchmark::DoNotOptimize(athletes.value(row, 2));
        peak = std::max(peak, residentKiB());
        benchmark::DoNotOptimize(athletes.RecordCount());
    }
    state.counters["extra_MiB"] = double(peak - before) / 1024.0;
    state.counters["resident_MiB"] = double(peak) / 1024.0;
}
BENCHMARK(BM_OpenAndFilterBySurnamePrefix)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace
