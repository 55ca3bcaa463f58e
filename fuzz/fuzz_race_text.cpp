// Race texts as the timer unit might send them, or as line noise turns them:
// each is stored whole (the race row and one result per place it read) or
// refused with the system's own Exception, which names what is wrong. Any
// other exception escapes and libFuzzer reports it.
#include "FuzzStore.h"

#include "store/Exception.h"
#include "store/RaceText.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static FuzzStore store;
    static bool seeded = false;
    if (!seeded) {
        // Event codes for the header's mapping: one plain, one empty.
        store.exec("insert into event (event, tg_event) values ('100 Metres', '100M')");
        store.exec("insert into event (event, tg_event) values ('Hurdles', '')");
        seeded = true;
    }
    store.exec("delete from result");
    store.exec("delete from races");

    const QByteArray text(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    try {
        const StoredRace stored = storeRace(text, store.query());
        const QString key = QString::number(stored.key);
        fuzzCheck(store.scalar(QStringLiteral("select count(*) from races where race_id_pk = ") + key).toInt() == 1,
                  "a stored race has no row", text);
        fuzzCheck(store.scalar(QStringLiteral("select count(*) from result where race_id_pk = ") + key).toInt()
                      == stored.places,
                  "the places stored are not those read", text);
        fuzzCheck(store.scalar(QStringLiteral("select number from races where race_id_pk = ") + key).toInt()
                      == stored.number,
                  "the race number stored is not the one read", text);
    } catch (const Exception& e) {
        fuzzCheck(!e.message().trimmed().isEmpty(), "a refusal without a message", text);
        fuzzCheck(store.scalar(QStringLiteral("select count(*) from races")).toInt() <= 1, "more than one race",
                  text);
    }
    return 0;
}
