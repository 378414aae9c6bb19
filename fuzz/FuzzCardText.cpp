// libFuzzer target for the virtual card's text inputs: the remote socket's
// datagrams, the stations file and a real card's keymap file. Each parser
// must take any bytes; the parsed results are checked against their rules.
#include <cstdint>
#include <string>

#include "strova/card/RemoteKeymap.h"
#include "strova/card/RemoteProtocol.h"
#include "strova/card/Stations.h"
#include "strova/card/Tuner.h"

using namespace strova::card;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    if (auto code = ParseRemoteMessage(text))
        if (*code >= 0x1FF) __builtin_trap();  // "no key" must never come out
    int last = 0;
    for (const Station& s : ParseStations(text)) {  // in range, sorted, 3 MHz apart
        if (s.kHz < kTunerMinKHz || s.kHz > kTunerMaxKHz || (last && s.kHz - last < 3000)) __builtin_trap();
        last = s.kHz;
    }
    int skipped = 0;
    RemoteKeymap map = RemoteKeymap::Parse(text, &skipped);
    if (skipped < 0 || map.Size() > size) __builtin_trap();
    return 0;
}
