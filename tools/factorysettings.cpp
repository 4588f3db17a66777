#include "tools/factorysettings.h"

namespace qj::sim {

namespace {

// User1: a plain karaoke setting, every tone control flat.
constexpr Settings kBase{
    0,   // status: running, not muted
    120, // echo delay
    20,  // echo repeat
    16,  // reverb time
    18,  // reverb level
    24,  // effect level
    10,  // microphone equaliser 100 Hz, 0 dB
    10,  // 300 Hz
    10,  // 900 Hz
    10,  // 2.7 kHz
    10,  // 8 kHz
    8,   // exciter
    2,   // echo mode Stereo
    1,   // feedback Class1
    100, // feedback time, ms
    10,  // treble, 0 dB
    10,  // middle
    10,  // bass
    5,   // key: no shift
    0,   // vocal L+R
    100, // subwoofer low-pass, Hz
    10,  // balance centre
    0,   // super bass off
    6,   // noise gate
    0,   // surround L/R
    8,   // singing subwoofer level
    1,   // source CD
    0,   // karaoke layout L-C-R-AUTO
    0,   // subwoofer phase normal
    62,  // music level limit
    42,  // microphone level limit
    40,  // music level
    30,  // microphone level
    12,  // surround level
    12,  // centre level
    12,  // subwoofer level
    30,  // background music level
    0,   // run mode User1
};

struct Override
{
    int slot;
    std::uint8_t wireId;
    std::uint8_t value;
};

// What User2 to User5 change from User1; rows grouped by slot.
constexpr Override kOverrides[] = {
    // User2: hall, long reverb.
    {1, 1, 160},
    {1, 3, 30},
    {1, 4, 28},
    {1, 12, 3},
    // User3: ballad, long echo and a brighter voice.
    {2, 1, 200},
    {2, 2, 30},
    {2, 10, 13},
    {2, 15, 12},
    {2, 32, 34},
    // User4: party, loud music with heavy bass.
    {3, 17, 15},
    {3, 22, 1},
    {3, 24, 1},
    {3, 27, 3},
    {3, 31, 52},
    {3, 35, 16},
    // User5: speech, dry and clear, quiet background.
    {4, 1, 40},
    {4, 2, 6},
    {4, 4, 6},
    {4, 7, 13},
    {4, 13, 3},
    {4, 31, 20},
    {4, 36, 10},
};

} // namespace

Settings factorySettings(int slot)
{
    Settings s = kBase;
    for (const Override &o : kOverrides)
        if (o.slot == slot)
            s[o.wireId] = o.value;
    s[wire::kRunMode] = static_cast<std::uint8_t>(slot);
    return s;
}

bool isSlotParameter(int wireId)
{
    return wireId > wire::kStatus && wireId < wire::kRunMode && wireId != wire::kMaxMusicVolume &&
           wireId != wire::kMaxMicVolume;
}

} // namespace qj::sim
