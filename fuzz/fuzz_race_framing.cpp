// The framing of received race texts, fed the same bytes in two chunkings
// chosen by the input, on a simulated clock that never lets the link stay
// quiet for the quiet interval until the end. Both must give the same texts
// and keep the same bytes waiting, and every byte received is in a text or
// still waiting, apart from the blanks and line ends that lie between texts.
#include "FuzzStore.h"

#include "link/RaceFraming.h"

#include <cstddef>
#include <cstdint>
#include <random>

namespace {

struct Framed {
    QList<QByteArray> texts;
    QByteArray pending;
};

// Feeds bytes in chunks of random sizes from seed, a millisecond apart;
// maxChunk 0 feeds them whole.
Framed frame(const QByteArray& bytes, std::uint32_t seed, int maxChunk)
{
    RaceFraming framing(1'000'000'000);
    std::minstd_rand random(seed + 1);
    Framed framed;
    qint64 now = 0;
    for (qsizetype at = 0; at < bytes.size();) {
        const qsizetype size = maxChunk == 0 ? bytes.size() : 1 + static_cast<qsizetype>(random() % maxChunk);
        const QByteArray chunk = bytes.mid(at, size);
        at += chunk.size();
        framed.texts += framing.receive(chunk, ++now);
        const auto deadline = framing.deadline();
        fuzzCheck(!deadline || *deadline > now, "a deadline already over", bytes);
    }
    fuzzCheck(framing.received() == bytes.size(), "received() miscounts", bytes);
    framed.texts += framing.quietTimeOver();
    framed.pending = framing.pending();
    return framed;
}

// Whether kept is bytes with only characters up to the blank left out.
bool onlyBlanksDropped(const QByteArray& bytes, const QByteArray& kept)
{
    qsizetype k = 0;
    for (const char c : bytes) {
        if (k < kept.size() && kept[k] == c)
            ++k;
        else if (static_cast<unsigned char>(c) > 32)
            return false;
    }
    return k == kept.size();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::uint32_t seed = data[0];
    const int maxChunk = 1 + data[1] % 32;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 2), static_cast<qsizetype>(size - 2));

    const Framed whole = frame(bytes, seed, 0);
    const Framed chunked = frame(bytes, seed, maxChunk);
    fuzzCheck(whole.texts == chunked.texts, "the chunking changed the texts", bytes);
    fuzzCheck(whole.pending == chunked.pending, "the chunking changed what waits", bytes);

    QByteArray kept;
    for (const QByteArray& text : whole.texts) {
        fuzzCheck(!text.isEmpty(), "an empty text", bytes);
        kept += text;
    }
    kept += whole.pending;
    fuzzCheck(onlyBlanksDropped(bytes, kept), "a byte lost or changed", bytes);
    // After the quiet time only a line without its line end may wait.
    fuzzCheck(!whole.pending.contains('\n') && !whole.pending.contains('\r'), "a whole line left waiting", bytes);
    return 0;
}
