// Track data files of arbitrary bytes: the import completes, with as many
// rows as it counted, or stops at a named line of the file; either way the
// database file stays sound.
#include "FuzzStore.h"

#include "exchange/TrackDataImport.h"

#include <QDir>
#include <QFile>

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzStore store;
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QString path = QDir(store.folder()).filePath(QStringLiteral("track.csv"));
    {
        QFile file(path);
        fuzzCheck(file.open(QIODevice::WriteOnly | QIODevice::Truncate), "cannot write the track data file");
        file.write(bytes);
    }
    const auto count = [&](const char* table) {
        return store.scalar(QStringLiteral("select count(*) from ") + QString::fromLatin1(table)).toInt();
    };
    try {
        const TrackDataCounts counts = ImportTrackData(store.db(), store.query(), path);
        fuzzCheck(count("athletes") == counts.athletes, "athletes counted are not stored", bytes);
        fuzzCheck(count("record") == counts.records, "records counted are not stored", bytes);
        fuzzCheck(count("pb") == counts.pbests, "personal bests counted are not stored", bytes);
    } catch (const ETrackDataLine& e) {
        fuzzCheck(e.line() >= 0 && !e.reason().trimmed().isEmpty(), "a refusal that names no line or reason",
                  e.message().toUtf8());
    }
    fuzzCheck(count("races") == 0 && count("result") == 0, "race data left after an import", bytes);
    store.checkIntegrity();
    return 0;
}
