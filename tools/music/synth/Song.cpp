#include "music/synth/Song.h"

#include <algorithm>
#include <cmath>
#include <memory>

#include "music/synth/Effects.h"
#include "music/synth/Instruments.h"

namespace music {

int64_t beatSample(double beat) {
    return static_cast<int64_t>(std::llround((beat * beatSeconds - beatOffsetSeconds) * sampleRate));
}

int64_t trackSamples() {
    return static_cast<int64_t>(std::llround(trackSeconds * sampleRate));
}

namespace {

// The first drop lands on beat 66 (30.26 s), the beat nearest to where the picture sequence starts
// (30.4 s); every phrase is 8 beats, so phrase p starts on beat 66 + 8p, 0.14 s before picture row p.
//   phrases -8 .. -4   0 - 19.2 s     intro: pads and a soft kick like a heartbeat from the first beat,
//                                      the filtered arpeggio, the hook teased
//   phrases -3 .. -1   19.2 - 30.3 s  the intro's last bar, then the build-up: it drops back and climbs
//                                      to its break, riser from 20.5 s, snare roll, hats, filters
//                                      opening; kick, roll and riser stop two beats before the drop
//   phrases  0 .. 19   30.3 - 104.1 s first drop, in A minor: the hook on the lead over kick, clap and a
//                                      bass on the chords' roots, then the band joins, a breather on the
//                                      electric piano round the circle of fifths, the hook again, and all
//                                      of it at once
//   phrases 20 .. 24   104.1 - 122.6 s breakdown: the beat stops, the electric piano strikes each beat's
//                                      chord under its own theme, then a lead-in over a soft kick and a
//                                      snare roll that climbs, stops on E major, the lead alone for two
//                                      beats
//   phrases 25 .. 44   122.6 - 196.4 s second drop, where the pictures start over: the hook an octave up on
//                                      the big lead with a ride cymbal, a half-time interlude on the
//                                      breakdown's chords, a falling A minor - G - F - E line, then the
//                                      climax: eight phrases a tone up on chords of their own, the
//                                      loudest and fullest of the track
//   phrases 45 .. 47   196.4 - 206 s  outro: the band falls back from 198.3 s to 203.8 s, never to
//                                      silence, then a snare roll and a riser lift on E major and stop
//                                      before the final hit on beat 446 (205.65 s) while the pad holds
//                                      on; the hit dies away by itself before the show ends at 206 s

// Every beat the show counts carries an onset: a kick, the piano's chord, a snare, or a wooden tick.
constexpr int dropBeat = 66;
constexpr int firstPhrase = -8, lastPhrase = 47;
constexpr int breakdownPhrase = 20, secondDropPhrase = 25, outroPhrase = 45;
constexpr double buildUpStartSeconds = 20.5;
constexpr int fadeStartBeat = 430, fadeEndBeat = 442;
// Where the outro's fade takes the band: down, but not into a silence before the ending.
constexpr float outroFloor = 0.25f;
constexpr int finalBeat = 446;
// The final hit is short and dry, and the room's reverberation closes behind it, so it dies away by
// itself; whatever is left is closed to silence 30 ms before the show's end: the lossy encoding
// smears a sound's end by a few tens of milliseconds.
constexpr double roomCloseSeconds = 0.2;
constexpr double closeFromSeconds = 205.935, silenceSeconds = 205.97;

double phraseBeat(int phrase, double sixteenths = 0.0) {
    return dropBeat + 8.0 * phrase + sixteenths / 4.0;
}

enum ChordName { Am, F, C, G, Em, Dm, E, Bhd };

struct Chord {
    int bass;
    int pad[4];
};
const Chord chords[] = {
    {45, {57, 60, 64, 69}}, // A minor
    {41, {57, 60, 65, 69}}, // F
    {48, {55, 60, 64, 67}}, // C
    {43, {55, 59, 62, 67}}, // G
    {40, {55, 59, 64, 67}}, // E minor
    {38, {57, 62, 65, 69}}, // D minor
    {40, {56, 59, 64, 68}}, // E major: its G sharp leads back to A minor
    {47, {57, 59, 62, 65}}, // B half-diminished
};
const ChordName progression[4] = {Am, F, C, G};
// Two chords a phrase, one a bar: the breakdown, and the second drop's interlude that brings its
// harmony back under the beat. The last one ends on E major, which wants to go home to A minor.
const ChordName movingChords[4][2] = {{F, G}, {Em, Am}, {Dm, G}, {C, E}};
// The first drop's breather walks the circle of fifths home; the second drop falls from A minor to
// E major twice.
const ChordName circleChords[4][2] = {{Dm, G}, {C, F}, {Bhd, E}, {Am, E}};
const ChordName descentChords[4][2] = {{Am, G}, {F, E}, {Am, G}, {F, E}};
// The climax, a tone up: the sixth and seventh rising to the tonic, twice, the second time through
// the fourth and a major fifth.
const ChordName climaxChords[8][2] = {{F, G}, {Am, Am}, {F, G}, {E, E}, {F, G}, {Am, Am}, {Dm, E}, {Am, Am}};

// A melody line: start and length in sixteenths from the phrase start, MIDI pitch.
struct Step {
    int at, length, pitch;
};
using Line = std::vector<Step>;

// The hook: a 3-3-2 call in the first bar, an answer in the second, one pair of bars per chord.
const Line hookCall[4] = {
    {{0, 3, 69}, {3, 3, 69}, {6, 2, 67}, {8, 2, 64}, {10, 2, 67}, {12, 2, 69}, {14, 2, 72}},
    {{0, 3, 69}, {3, 3, 69}, {6, 2, 67}, {8, 2, 65}, {10, 2, 67}, {12, 2, 69}, {14, 2, 72}},
    {{0, 3, 67}, {3, 3, 67}, {6, 2, 64}, {8, 2, 60}, {10, 2, 64}, {12, 2, 67}, {14, 2, 72}},
    {{0, 3, 71}, {3, 3, 71}, {6, 2, 69}, {8, 2, 67}, {10, 2, 69}, {12, 2, 71}, {14, 2, 74}},
};
const Line hookAnswer[4] = {
    {{16, 3, 71}, {19, 3, 69}, {22, 2, 67}, {24, 4, 64}, {28, 2, 62}, {30, 2, 64}},
    {{16, 3, 74}, {19, 3, 72}, {22, 2, 69}, {24, 4, 67}, {28, 2, 65}, {30, 2, 64}},
    {{16, 3, 71}, {19, 3, 72}, {22, 2, 74}, {24, 4, 76}, {28, 2, 74}, {30, 2, 72}},
    {{16, 3, 72}, {19, 3, 71}, {22, 2, 67}, {24, 8, 69}},
};
const Line hookAnswerAlt[4] = {
    {{16, 2, 72}, {18, 2, 71}, {20, 2, 69}, {22, 4, 76}, {26, 2, 74}, {28, 2, 72}, {30, 2, 71}},
    {{16, 2, 72}, {18, 2, 69}, {20, 4, 77}, {24, 2, 76}, {26, 2, 74}, {28, 4, 72}},
    {{16, 2, 76}, {18, 2, 74}, {20, 2, 72}, {22, 4, 79}, {26, 2, 76}, {28, 2, 74}, {30, 2, 72}},
    {{16, 3, 74}, {19, 3, 71}, {22, 2, 67}, {24, 2, 71}, {26, 2, 72}, {28, 4, 74}},
};
// The second drop's own answer to the hook: falling runs that land on the chord's root.
const Line hookAnswer2[4] = {
    {{16, 2, 76}, {18, 2, 74}, {20, 4, 72}, {24, 2, 71}, {26, 2, 72}, {28, 4, 69}},
    {{16, 2, 77}, {18, 2, 76}, {20, 4, 72}, {24, 2, 69}, {26, 2, 72}, {28, 4, 76}},
    {{16, 2, 79}, {18, 2, 76}, {20, 4, 72}, {24, 2, 74}, {26, 2, 76}, {28, 4, 79}},
    {{16, 3, 74}, {19, 3, 71}, {22, 2, 74}, {24, 4, 79}, {28, 4, 74}},
};
// The second drop's counter line: a syncopated figure an octave above the first one.
const Line counterMelody2[4] = {
    {{0, 3, 81}, {3, 3, 79}, {6, 2, 76}, {8, 8, 76}, {16, 3, 84}, {19, 3, 83}, {22, 2, 81}, {24, 8, 76}},
    {{0, 3, 81}, {3, 3, 77}, {6, 2, 76}, {8, 8, 72}, {16, 3, 77}, {19, 3, 76}, {22, 2, 72}, {24, 8, 69}},
    {{0, 3, 79}, {3, 3, 76}, {6, 2, 72}, {8, 8, 76}, {16, 3, 84}, {19, 3, 79}, {22, 2, 76}, {24, 8, 79}},
    {{0, 3, 83}, {3, 3, 79}, {6, 2, 74}, {8, 8, 79}, {16, 3, 86}, {19, 3, 83}, {22, 2, 79}, {24, 8, 74}},
};
// The breather's line over the circle of fifths: one figure, a step lower each phrase, that sinks
// onto the E major chord before the hook comes back.
const Line counterMelody[4] = {
    {{0, 6, 77}, {6, 2, 74}, {8, 4, 76}, {12, 4, 77}, {16, 6, 79}, {22, 2, 77}, {24, 8, 74}},
    {{0, 6, 76}, {6, 2, 72}, {8, 4, 74}, {12, 4, 76}, {16, 6, 77}, {22, 2, 76}, {24, 8, 72}},
    {{0, 6, 74}, {6, 2, 71}, {8, 4, 69}, {12, 4, 74}, {16, 6, 76}, {22, 2, 74}, {24, 8, 71}},
    {{0, 6, 72}, {6, 2, 69}, {8, 4, 71}, {12, 4, 72}, {16, 6, 71}, {22, 2, 68}, {24, 8, 64}},
};
// Over the falling chords: the hook's 3-3-2 rhythm stepping down with the bass, then the same figure
// turned upwards and an octave higher, ending on the leading tone.
const Line descentLine[4][2] = {
    {{{0, 3, 76}, {3, 3, 76}, {6, 2, 72}, {8, 4, 69}, {12, 2, 72}, {14, 2, 74}},
     {{16, 3, 74}, {19, 3, 74}, {22, 2, 71}, {24, 4, 67}, {28, 2, 71}, {30, 2, 72}}},
    {{{0, 3, 72}, {3, 3, 72}, {6, 2, 69}, {8, 4, 65}, {12, 2, 69}, {14, 2, 71}},
     {{16, 3, 71}, {19, 3, 71}, {22, 2, 68}, {24, 4, 64}, {28, 4, 68}}},
    {{{0, 2, 81}, {2, 2, 79}, {4, 4, 76}, {8, 2, 79}, {10, 2, 81}, {12, 4, 84}},
     {{16, 2, 83}, {18, 2, 81}, {20, 4, 79}, {24, 2, 74}, {26, 2, 76}, {28, 4, 79}}},
    {{{0, 2, 81}, {2, 2, 77}, {4, 4, 72}, {8, 2, 77}, {10, 2, 81}, {12, 4, 84}},
     {{16, 4, 83}, {20, 2, 80}, {22, 2, 76}, {24, 8, 80}}},
};
// The climax's own line, a phrase each: the hook's 3-3-2 call climbing through the chords to a held
// note, higher the second time round.
const Line climaxLine[8] = {
    {{0, 3, 81}, {3, 3, 77}, {6, 2, 72}, {8, 4, 77}, {12, 4, 79}, {16, 3, 83}, {19, 3, 79}, {22, 2, 74},
     {24, 6, 79}, {30, 2, 81}},
    {{0, 6, 84}, {6, 2, 83}, {8, 4, 81}, {12, 4, 76}, {16, 3, 81}, {19, 3, 84}, {22, 2, 88}, {24, 8, 84}},
    {{0, 3, 81}, {3, 3, 84}, {6, 2, 81}, {8, 4, 77}, {12, 4, 81}, {16, 3, 83}, {19, 3, 86}, {22, 2, 83},
     {24, 4, 79}, {28, 4, 74}},
    {{0, 6, 83}, {6, 2, 80}, {8, 8, 76}, {16, 3, 80}, {19, 3, 83}, {22, 2, 86}, {24, 8, 88}},
    {{0, 3, 84}, {3, 3, 81}, {6, 2, 77}, {8, 4, 81}, {12, 4, 84}, {16, 3, 86}, {19, 3, 83}, {22, 2, 79},
     {24, 6, 83}, {30, 2, 84}},
    {{0, 6, 88}, {6, 2, 86}, {8, 4, 84}, {12, 4, 81}, {16, 3, 81}, {19, 3, 84}, {22, 2, 86}, {24, 8, 88}},
    {{0, 3, 86}, {3, 3, 84}, {6, 2, 81}, {8, 8, 77}, {16, 3, 83}, {19, 3, 80}, {22, 2, 76}, {24, 8, 83}},
    {{0, 6, 81}, {6, 2, 83}, {8, 8, 84}, {16, 3, 88}, {19, 3, 84}, {22, 2, 81}, {24, 8, 81}},
};
// The breakdown's theme, slow, over the moving chords.
const Line breakdownTheme[4] = {
    {{0, 6, 72}, {6, 2, 69}, {8, 8, 77}, {16, 6, 74}, {22, 2, 71}, {24, 8, 79}},
    {{0, 6, 79}, {6, 2, 76}, {8, 8, 71}, {16, 6, 72}, {22, 2, 74}, {24, 8, 76}},
    {{0, 6, 77}, {6, 2, 74}, {8, 8, 69}, {16, 6, 71}, {22, 2, 74}, {24, 8, 79}},
    {{0, 6, 79}, {6, 2, 76}, {8, 8, 72}, {16, 6, 71}, {22, 2, 68}, {24, 8, 76}},
};
// The same chords under the beat again, with a busier line; a bar per chord.
const Line interludeLine[4][2] = {
    {{{0, 4, 72}, {4, 2, 69}, {6, 2, 72}, {8, 6, 77}, {14, 2, 76}},
     {{16, 4, 74}, {20, 2, 71}, {22, 2, 74}, {24, 6, 79}, {30, 2, 77}}},
    {{{0, 4, 76}, {4, 2, 71}, {6, 2, 74}, {8, 8, 79}},
     {{16, 4, 76}, {20, 2, 72}, {22, 2, 74}, {24, 4, 81}, {28, 4, 79}}},
    {{{0, 4, 77}, {4, 2, 74}, {6, 2, 77}, {8, 6, 81}, {14, 2, 79}},
     {{16, 4, 79}, {20, 2, 74}, {22, 2, 71}, {24, 8, 74}}},
    {{{0, 4, 76}, {4, 2, 72}, {6, 2, 76}, {8, 8, 79}},
     {{16, 4, 80}, {20, 2, 76}, {22, 2, 71}, {24, 4, 74}, {28, 4, 80}}},
};
// Over D minor and E major at the end of the breakdown: climbing to the leading tone, which the drop
// resolves. Its last two notes sound alone in the break before the drop.
const Line leadIn = {{0, 2, 69},  {2, 2, 72},  {4, 2, 74},  {6, 2, 77},  {8, 4, 76},  {12, 4, 74},
                     {16, 2, 71}, {18, 2, 74}, {20, 2, 76}, {22, 2, 80}, {24, 4, 83}, {28, 2, 80}};

// Which line the melody plays, and on what. Octaves are counted from the lines as written.
enum class Melody {
    None,
    Tease,        // the hook on a muffled pluck
    Hook,         // on the lead
    HookAndSaw,   // the lead with the big saw an octave under it
    HookAll,      // lead, low saw, and the pluck an octave up
    HookHigh,     // the big saw and the lead together, an octave up
    CallResponse, // the call on the lead, the answer on the big saw, both an octave up
    Counter,      // the circle of fifths' line on the electric piano
    Counter2,     // the syncopated counter line on the lead, the pluck an octave over it
    Descent,      // the falling chords' line on the lead and the big saw
    Interlude,    // the interlude line on the lead, an octave up
    Breakdown,    // the breakdown theme on the electric piano
    LeadIn,       // the climb into the second drop on the lead
    Climax,       // the climax's line on the lead, the big saw an octave under it, the pluck two under
};
enum class Answer { First, Alt, Second };
// Drum fills at the end of a phrase: four sixteenths on the last beat, a crescendo of sixteenths over
// the last two beats, or triplets over the last beat and a half with an open hat on the way out.
enum class Fill { None, LastBeat, TwoBeats, Triplets };
// The bass plays the chord's root between the kicks and never in the first quarter beat after one, so
// each kick stays short and the low end follows the harmony: the root on the off-beat; the root on the
// off-beat and its octave a sixteenth later, the fifth on a bar's last beat; or the root on every
// off-beat, the fifth a sixteenth after every other one and the octave closing each bar.
enum class Bass { None, OffBeat, Gallop, Eighths };

struct Phrase {
    ChordName chords[2] = {Am, Am}; // one per bar
    int chordIndex = 0;             // position in the progression (the climax: 0..7), picks the lines
    bool kick = false, softKick = false, clap = false, offHats = false, openHats = false;
    bool shaker = false;    // sixteenths on the shaker
    float kickLevel = 1.0f; // the soft kick's velocity; the full kick always plays at 1
    bool halfTime = false;  // the clap on the third beat of the bar instead of the second and fourth
    bool ride = false;      // a ride cymbal on every beat
    bool crash = false;
    bool ticks = false; // a tick on every beat without a kick
    float tickLevel = 0.4f;
    bool keyStabs = false; // the electric piano strikes the chord in the hook's 3-3-2 rhythm
    bool keyPulse = false; // the electric piano strikes the chord, short, on every beat
    Fill fill = Fill::None;
    Bass bass = Bass::None;
    int bassBeats = 8;      // the bass plays the phrase's beats [0, bassBeats): a gap before what follows
    float bassLevel = 1.0f; // velocity of the bass line
    Melody melody = Melody::None;
    Answer answer = Answer::First;
    int transpose = 0; // semitones, for every pitched part
    bool arp = false;
    float arpFrom = 0.0f, arpTo = 0.0f; // arpeggio brightness over the phrase, Hz
    float arpLevel = 1.0f;
    float padCutoff = 1500.0f, padLevel = 1.0f;
    int padOctave = 0;    // semitones: the second drop's pads sit higher, where the first drop's lead was
    float levelDb = 0.0f; // the whole mix, so sections can breathe and build-ups stay under their drops
    float levelRiseDb = 0.0f; // how far the level climbs over the phrase, a step on every beat
    int lastKickBeat = 8; // kicks on the phrase's beats [0, lastKickBeat)
    int roll[8] = {};     // build-up snare hits per beat: 0, 1, 2, 4 or 8
    // The last beats before a drop: kick, roll, bass, pads and arpeggio stop; a last accent on the
    // first of them, and what the melody plays there, sound alone.
    int breakBeats = 0;
};

void setChord(Phrase& ph, ChordName chord) {
    ph.chords[0] = ph.chords[1] = chord;
}

void setChords(Phrase& ph, const ChordName bars[2]) {
    ph.chords[0] = bars[0];
    ph.chords[1] = bars[1];
}

// The first drop grows: the hook on the lead and the big saw over kick, clap and bass, then the band
// joins, then a breather on the electric piano, then the hook again, then everything at once.
void planFirstDrop(Phrase& ph, int q) {
    ph.chordIndex = q % 4;
    setChord(ph, progression[ph.chordIndex]);
    ph.kick = ph.clap = ph.offHats = true;
    ph.crash = q % 4 == 0;
    if (q % 4 == 3) ph.fill = Fill::LastBeat;
    ph.padLevel = 0.9f;
    ph.padCutoff = 2800.0f;
    ph.bass = Bass::Gallop;
    switch (q / 4) {
    case 0: // the hook on the lead and the big saw over kick, clap and bass, galloping from halfway
        ph.bass = q < 2 ? Bass::OffBeat : Bass::Gallop;
        ph.shaker = true;
        ph.melody = Melody::HookAndSaw;
        ph.arp = true;
        ph.arpLevel = 0.6f;
        ph.arpFrom = ph.arpTo = 2600.0f;
        ph.levelDb = 0.0f;
        break;
    case 1:
        ph.shaker = true;
        ph.melody = Melody::HookAndSaw;
        if (q % 2 == 1) ph.answer = Answer::Alt;
        ph.levelDb = -0.5f;
        // A bar without the bass before the breather.
        if (q == 7) ph.bassBeats = 4;
        break;
    case 2: // the breather: new chords, the line on the electric piano, the bass soft at first
        setChords(ph, circleChords[q % 4]);
        ph.bass = Bass::OffBeat;
        ph.bassLevel = q % 4 < 2 ? 0.6f : 1.0f;
        ph.shaker = true;
        ph.clap = q % 4 >= 1;
        ph.openHats = q % 4 >= 2;
        ph.melody = Melody::Counter;
        ph.keyStabs = true;
        ph.arp = true;
        ph.arpFrom = 1400.0f + 400.0f * static_cast<float>(q % 4);
        ph.arpTo = ph.arpFrom + 800.0f;
        ph.padLevel = 1.1f;
        ph.levelDb = -3.5f + 0.5f * static_cast<float>(q % 4);
        if (q % 4 == 3) ph.fill = Fill::TwoBeats;
        break;
    case 3:
        ph.shaker = true;
        ph.melody = Melody::HookAndSaw;
        if (q % 2 == 1) ph.answer = Answer::Alt;
        ph.arp = true;
        ph.arpFrom = ph.arpTo = 2400.0f;
        ph.levelDb = -0.5f;
        // The hook's last two chords give way to D minor and a borrowed E major, which turns towards
        // the return of A minor.
        if (q == 14) setChord(ph, Dm);
        if (q == 15) setChord(ph, E);
        break;
    default:
        ph.shaker = ph.openHats = true;
        ph.melody = Melody::HookAll;
        if (q % 4 == 3) ph.answer = Answer::Alt;
        ph.arp = true;
        ph.arpFrom = ph.arpTo = 3600.0f;
        ph.padCutoff = 3000.0f;
        ph.padLevel = 1.0f;
        ph.levelDb = -0.5f;
        // Into the breakdown: the bass leaves for the last two beats under a fill.
        if (q == 19) {
            ph.bassBeats = 6;
            ph.fill = Fill::TwoBeats;
        }
        break;
    }
}

// The second drop keeps the first one's grid but not its sound: the hook an octave up with a ride
// cymbal, a half-time interlude on the breakdown's chords, the falling chords, then eight phrases
// lifted a tone.
void planSecondDrop(Phrase& ph, int q) {
    ph.chordIndex = q % 4;
    setChord(ph, progression[ph.chordIndex]);
    ph.kick = ph.clap = ph.offHats = true;
    ph.padLevel = 0.8f;
    ph.padCutoff = 3400.0f;
    ph.padOctave = 12;
    ph.arp = true;
    ph.bass = Bass::Gallop;
    ph.shaker = true;
    ph.ride = true;
    switch (q / 4) {
    case 0:
        ph.crash = q % 2 == 0;
        ph.openHats = true;
        ph.melody = Melody::HookHigh;
        ph.answer = Answer::Second;
        ph.arpFrom = ph.arpTo = 3000.0f;
        // The first phrase lands a little harder, where the pictures start over.
        ph.levelDb = q == 0 ? 0.5f : 0.0f;

        if (q % 2 == 1) ph.fill = Fill::TwoBeats;
        break;
    case 1: // half time: the clap on three, off-beat eighths in the bass, the piano in the hook's rhythm
        setChords(ph, movingChords[q % 4]);
        ph.crash = q == 4;
        ph.halfTime = true;
        ph.ride = false;
        ph.openHats = true;
        ph.bass = Bass::Eighths;
        ph.melody = Melody::Interlude;
        ph.keyStabs = true;
        ph.arpLevel = 0.6f;
        ph.arpFrom = ph.arpTo = 2200.0f;
        ph.padLevel = 1.25f;
        ph.padCutoff = 2000.0f;
        ph.padOctave = 0;
        ph.levelDb = -3.0f;
        ph.fill = q % 4 == 3 ? Fill::Triplets : Fill::None;
        break;
    case 2:
        setChords(ph, descentChords[q % 4]);
        ph.crash = q % 2 == 0;
        ph.openHats = true;
        ph.melody = Melody::Descent;
        ph.arpFrom = ph.arpTo = 3800.0f;
        ph.levelDb = -1.0f;
        ph.fill = q % 4 == 3 ? Fill::TwoBeats : Fill::LastBeat;
        break;
    default: // the climax: its own chords and line, the pads back down where they fill the middle
        ph.transpose = 2;
        ph.chordIndex = q - 12;
        setChords(ph, climaxChords[ph.chordIndex]);
        ph.crash = q % 4 == 0;
        ph.openHats = true;
        ph.melody = Melody::Climax;
        ph.keyStabs = true;
        ph.arpFrom = ph.arpTo = 4000.0f;
        ph.padOctave = 0;
        ph.padLevel = 1.1f;
        ph.padCutoff = 3000.0f;
        // Its weight is in the middle: the bass stays a little under the first drop's, where it would
        // only add peaks.
        ph.bassLevel = 0.8f;
        ph.levelDb = 1.0f;
        ph.fill = q % 4 == 3 ? Fill::Triplets : (q % 2 == 1 ? Fill::LastBeat : Fill::None);
        break;
    }
}

Phrase plan(int p) {
    Phrase ph;
    if (p < 0) { // intro (-8 .. -4) and build-up (-3 .. -1)
        int n = p - firstPhrase;
        ph.chordIndex = n % 4;
        setChord(ph, progression[ph.chordIndex]);
        ph.padCutoff = 800.0f + 120.0f * static_cast<float>(n);
        ph.padLevel = 0.9f;
        ph.arp = p >= -7;
        ph.arpFrom = 650.0f + 260.0f * static_cast<float>(n - 1);
        ph.arpTo = ph.arpFrom + 260.0f;
        ph.arpLevel = 1.6f;
        // A soft kick from the first phrase, like a heartbeat, fuller from the third, and through the
        // build-up under the snare roll until the break.
        ph.softKick = true;
        ph.kickLevel = p <= -7 ? 0.5f : 0.6f;
        // The intro sits well under the drops, so the first drop lands.
        ph.levelDb = -3.5f;

        ph.ticks = true;
        ph.offHats = p == -4 || p == -3;
        if (p == -4 || p == -3) ph.melody = Melody::Tease;
        // The build-up drops back from the intro and climbs, beat by beat, to its break: louder,
        // busier (the roll doubles, hats and then the shaker join) and brighter.
        if (p == -3) {
            for (int b = 4; b < 8; ++b) ph.roll[b] = 1;
            ph.offHats = false;
            ph.levelDb = -6.0f;
            ph.levelRiseDb = 1.0f;
        } else if (p == -2) {
            for (int& r : ph.roll) r = 2;
            ph.offHats = true;
            ph.kickLevel = 0.7f;
            ph.arpFrom = 2000.0f;
            ph.arpTo = 3500.0f;
            ph.padCutoff = 2000.0f;
            ph.levelDb = -5.0f;
            ph.levelRiseDb = 1.5f;
        } else if (p == -1) {
            for (int b = 0; b < 8; ++b) ph.roll[b] = b < 4 ? 4 : 8;
            ph.offHats = ph.shaker = true;
            ph.kickLevel = 0.8f;
            ph.arpFrom = 3500.0f;
            ph.arpTo = 7500.0f;
            ph.padCutoff = 2600.0f;
            ph.levelDb = -5.5f;
            ph.levelRiseDb = 1.5f;
            ph.breakBeats = 2;
        }
    } else if (p < breakdownPhrase) {
        planFirstDrop(ph, p);
    } else if (p < secondDropPhrase) {
        // The beat stops: the piano alone over the pad, striking each beat's chord; then a soft kick,
        // a bass and a snare roll build up again.
        int n = p - breakdownPhrase;
        ph.chordIndex = n < 4 ? n : 3;
        ph.chords[0] = n < 4 ? movingChords[n][0] : Dm;
        ph.chords[1] = n < 4 ? movingChords[n][1] : E;
        ph.padLevel = n < 2 ? 0.45f : (n == 2 ? 1.0f : 0.7f);
        ph.padCutoff = 1100.0f + 300.0f * static_cast<float>(n);
        ph.melody = n < 4 ? Melody::Breakdown : Melody::LeadIn;
        ph.keyPulse = n < 3;
        ph.keyStabs = n == 3;
        ph.ticks = true;
        ph.tickLevel = 0.5f;
        // The lead-in drops back under the piano's last phrase and climbs to its break.
        ph.levelDb = n < 3 ? -2.0f : (n == 3 ? -9.5f : -7.0f);
        ph.levelRiseDb = n < 3 ? 0.0f : (n == 3 ? 2.0f : 2.5f);
        ph.softKick = n >= 3;
        // The first drop ends on a kick on the breakdown's first beat.
        ph.kick = n == 0;
        ph.lastKickBeat = n == 0 ? 1 : 8;
        ph.kickLevel = n == 3 ? 0.55f : 0.65f;

        ph.bass = n >= 3 ? Bass::OffBeat : Bass::None;
        ph.arp = n >= 1;
        ph.arpFrom = 900.0f + 500.0f * static_cast<float>(n);
        ph.arpTo = ph.arpFrom + 500.0f;
        if (n == 3) {
            for (int& r : ph.roll) r = 1;
        } else if (n == 4) {
            for (int b = 0; b < 8; ++b) ph.roll[b] = b < 4 ? 2 : 4;
            ph.offHats = true;
            ph.arpFrom = 2500.0f;
            ph.arpTo = 7500.0f;
            ph.breakBeats = 2;
        }
    } else if (p < outroPhrase) {
        planSecondDrop(ph, p - secondDropPhrase);
    } else { // outro: the drums carry on under the fade, the melody is gone; the last bar is the ending's
        const ChordName outroChords[3] = {Am, F, E};
        setChord(ph, outroChords[std::min(p - outroPhrase, 2)]);
        ph.kick = p < lastPhrase;
        ph.offHats = p < lastPhrase;
        ph.clap = p == outroPhrase;
        ph.bass = p == outroPhrase ? Bass::OffBeat : Bass::None;
        ph.arp = p < lastPhrase;
        ph.arpFrom = 2400.0f;
        ph.arpTo = 1200.0f;
        ph.padLevel = p < lastPhrase ? 1.0f : 0.0f;
        ph.padCutoff = 1600.0f;
        ph.crash = p == outroPhrase;
    }
    return ph;
}

// A build-up's progress at a beat: 0 `length` beats before it ends, 1 where it ends (its break).
struct BuildUp {
    double end, length;
    float progress(double beat) const {
        return static_cast<float>(std::clamp(1.0 - (end - beat) / length, 0.0, 1.0));
    }
};

struct Arrangement {
    std::vector<Note> kick, clap, snare, hat, shaker, ride, tick, crash, riser, bass, pad, pluck, supersaw,
        lead, keys, keyPulse;
    // The ending's last bar and final hit on parts of their own, which the outro's fade leaves alone.
    std::vector<Note> finalKick, finalCrash, finalChord, finalBass, finalRoll, finalRiser, finalPad;
    // The mix level from each phrase's start, as a gain.
    std::vector<std::pair<int64_t, float>> levels;
};

class Composer {
public:
    Arrangement compose() {
        for (int p = firstPhrase; p <= lastPhrase; ++p) phrase(p, plan(p));
        // The risers stop a sixteenth before the break before each drop, so its accent lands in quiet.
        riser(a_.riser, static_cast<int64_t>(std::llround(buildUpStartSeconds * sampleRate)),
              phraseBeat(0) - 2.25, 0.8f);
        riser(a_.riser, beatSample(phraseBeat(23)), phraseBeat(secondDropPhrase) - 2.25, 0.8f);
        riser(a_.riser, beatSample(phraseBeat(breakdownPhrase - 1, 16)), phraseBeat(breakdownPhrase) - 0.25,
              0.35f);
        // Out of the interlude and into the key change: a short lift each.
        riser(a_.riser, beatSample(phraseBeat(secondDropPhrase + 7, 16)),
              phraseBeat(secondDropPhrase + 8) - 0.25, 0.45f);
        riser(a_.riser, beatSample(phraseBeat(secondDropPhrase + 11)),
              phraseBeat(secondDropPhrase + 12) - 0.25, 0.6f);
        // The first counted beat comes before the first phrase: a lone tick counts it in.
        for (int beat = 1; beat < phraseBeat(firstPhrase); ++beat) {
            Note n = at(beat, 0.0, 0.4f);
            n.param = 1.0f;
            a_.tick.push_back(n);
        }
        ending();
        return std::move(a_);
    }

private:
    // The last bar lifts on E major under a snare roll and a riser, without the kick, a tick on each
    // beat; roll and riser stop a beat and a half early, the pad holds on into the gap and rings out
    // under the last beat: A minor, struck with the kick, a choked crash, a short chord on the big saw
    // and the bass, which die away before the show ends.
    void ending() {
        const double lift = fadeEndBeat, stop = finalBeat - 1.5;
        for (int k = 0; k < 4; ++k) {
            Note n;
            n.start = beatSample(lift);
            n.gate = beatSample(finalBeat - 1) - n.start;
            n.pitch = static_cast<float>(chords[E].pad[k]);
            n.velocity = 0.16f;
            n.param = 2400.0f;
            a_.finalPad.push_back(n);
        }
        const int perBeat[3] = {2, 4, 8};
        for (int b = 0; b < 3; ++b)
            roll(a_.finalRoll, perBeat[b], lift + b, b == 2 ? 0.5 : 1.0, BuildUp{stop, stop - lift});
        riser(a_.finalRiser, beatSample(lift), stop, 0.6f);
        for (int beat = fadeEndBeat; beat < finalBeat; ++beat) {
            Note tick = at(beat, 0.0, 0.9f);
            tick.param = beat == fadeEndBeat || beat == finalBeat - 1 ? 1.0f : 0.0f;
            a_.tick.push_back(tick);
        }

        Note kick = at(finalBeat, 0.0);
        a_.finalKick.push_back(kick);
        Note crash = at(finalBeat, 0.0, 0.8f);
        crash.param = 0.05f;
        a_.finalCrash.push_back(crash);
        for (int pitch : {57, 64, 69, 72, 76}) {
            Note n = at(finalBeat, 0.2, 0.75f);
            n.pitch = static_cast<float>(pitch);
            n.param = 2600.0f;
            a_.finalChord.push_back(n);
        }
        Note bass = at(finalBeat, 0.2, 1.0f);
        bass.pitch = 45.0f;

        bass.param = 1800.0f;
        a_.finalBass.push_back(bass);
    }

    void phrase(int p, const Phrase& ph) {
        const Chord bars[2] = {transposed(chords[ph.chords[0]], ph.transpose),
                               transposed(chords[ph.chords[1]], ph.transpose)};
        const double start = phraseBeat(p);
        // Where the band stops: the end of the phrase, or the start of the break before a drop.
        const double end = start + 8.0 - ph.breakBeats;
        const int playedBeats = 8 - ph.breakBeats;
        for (int b = 0; b < (ph.levelRiseDb != 0.0f ? 8 : 1); ++b) {
            const float db = ph.levelDb + ph.levelRiseDb * static_cast<float>(b) / 8.0f;
            a_.levels.emplace_back(p == firstPhrase ? 0 : beatSample(start + b), dbToGain(db));
        }

        // The first chord fades in from the very first sample. A chord held over both bars is struck once.
        const bool oneChord = ph.chords[0] == ph.chords[1];
        for (int bar = 0; bar < (oneChord ? 1 : 2) && ph.padLevel > 0.0f; ++bar) {
            int64_t padStart = p == firstPhrase ? 0 : beatSample(start + 4.0 * bar);
            for (int k = 0; k < 4; ++k) {
                Note n;
                n.start = padStart;
                n.gate = beatSample(std::min(end, start + (oneChord ? 8.0 : 4.0 * (bar + 1)))) - padStart;
                n.pitch = static_cast<float>(bars[bar].pad[k] + ph.padOctave);
                n.velocity = 0.2f * ph.padLevel;
                n.param = ph.padCutoff;
                a_.pad.push_back(n);
            }
        }

        for (int b = 0; b < 8; ++b) {
            double beat = start + b;
            const Chord& chord = bars[b / 4];
            const bool kicks = (ph.kick || ph.softKick) && b < std::min(ph.lastKickBeat, playedBeats);
            if (kicks) {
                Note n = at(beat, 0.0);
                n.velocity = ph.kick ? 1.0f : ph.kickLevel;
                n.param = ph.kick ? 0.0f : 1.0f;
                a_.kick.push_back(n);
            }
            // Ticks keep the count where no kick does, and lightly over the soft kick.
            if (ph.ticks && (!kicks || ph.softKick) && beat < finalBeat) {
                Note n = at(beat, 0.0, kicks ? 0.22f : ph.tickLevel);
                n.param = b % 4 == 0 ? 1.0f : 0.0f;
                n.pan = b % 2 == 0 ? -0.2f : 0.25f;
                a_.tick.push_back(n);
            }
            if (b >= playedBeats) continue;
            const bool clapHere = ph.halfTime ? b % 4 == 2 : b % 2 == 1;
            if (ph.clap && clapHere) {
                Note n = at(beat, 0.0, 0.95f + 0.05f * jitter());
                a_.clap.push_back(n);
            }
            if (ph.offHats) {
                Note n = at(beat + 0.5, 0.0, ph.openHats ? 0.55f : 0.85f + 0.1f * jitter());
                n.param = ph.openHats ? 1.0f : 0.0f;
                n.pan = -0.45f;
                a_.hat.push_back(n);
            }
            if (ph.shaker) {
                for (double s : {0.25, 0.5, 0.75}) {
                    Note n = at(beat + s, 0.0, (s == 0.5 ? 0.8f : 0.55f) + 0.15f * jitter());
                    n.pan = s == 0.5 ? 0.3f : 0.5f;
                    a_.shaker.push_back(n);
                }
            }
            if (ph.offHats && ph.openHats) {
                Note n = at(beat + 0.5, 0.0, 0.5f);
                n.pan = 0.45f;
                a_.hat.push_back(n);
            }
            if (ph.ride) {
                Note n = at(beat, 0.0, b % 2 == 0 ? 0.9f : 0.7f + 0.1f * jitter());
                n.pan = 0.45f;
                a_.ride.push_back(n);
            }
            if (ph.keyPulse) pulse(chord, beat);
            if (b < ph.bassBeats) bassBeat(ph, chord, beat, b);
            // The roll leaves the last half beat before the break's accent empty, so the accent lands.
            roll(a_.snare, ph.roll[b], beat, b + 1 == playedBeats && ph.breakBeats > 0 ? 0.5 : 1.0,
                 rollBuildUp(p));
        }
        if (ph.breakBeats > 0) {
            // The accent that stops the build-up, ringing into the break.
            Note snare = at(end, 0.0, 0.9f);
            snare.param = 0.18f;
            a_.snare.push_back(snare);
            a_.clap.push_back(at(end, 0.0, 0.8f));
        }
        if (ph.keyStabs) keyStabs(ph, bars, start);
        fill(ph.fill, start);
        if (ph.crash) a_.crash.push_back(at(start, 0.0, 0.6f));
        if (ph.arp) arpeggio(ph, bars, start, end);
        melody(ph, start);
    }

    void fill(Fill style, double phraseStart) {
        auto hit = [&](double beat, float velocity) {
            Note n = at(beat, 0.0, velocity);
            n.param = 0.09f;
            a_.snare.push_back(n);
        };
        switch (style) {
        case Fill::None:
            break;
        case Fill::LastBeat:
            for (int s = 0; s < 4; ++s)
                hit(phraseStart + 7.0 + 0.25 * s, 0.45f + 0.15f * static_cast<float>(s));
            break;
        case Fill::TwoBeats:
            for (int s = 0; s < 8; ++s)
                hit(phraseStart + 6.0 + 0.25 * s, 0.3f + 0.08f * static_cast<float>(s));
            break;
        case Fill::Triplets: {
            for (int s = 0; s < 5; ++s) hit(phraseStart + 6.5 + s / 3.0, 0.5f + 0.1f * static_cast<float>(s));
            Note open = at(phraseStart + 7.5, 0.0, 0.6f);
            open.param = 1.0f;
            a_.hat.push_back(open);
            break;
        }
        }
    }

    // Raised chords keep their bass below D3, where it is heard as a pitch under the kick.
    static Chord transposed(Chord chord, int semitones) {
        chord.bass += semitones;
        if (chord.bass > 49) chord.bass -= 12;
        for (int& pitch : chord.pad) pitch += semitones;
        return chord;
    }

    void bassBeat(const Phrase& ph, const Chord& chord, double beat, int b) {
        const int root = chord.bass;
        auto play = [&](double at16, double gateBeats, int pitch, float velocity, float brightness) {
            Note n = at(beat + at16 / 4.0, gateBeats, velocity * ph.bassLevel);
            n.pitch = static_cast<float>(pitch);
            n.param = brightness;
            a_.bass.push_back(n);
        };
        switch (ph.bass) {
        case Bass::None:
            break;
        case Bass::OffBeat:
            play(2, 0.4, b == 7 ? root + 12 : root, 1.0f, 1600.0f);
            break;
        case Bass::Gallop:
            // The last beat of each bar walks: the fifth, then the octave into the next chord.
            play(2, 0.2, root, 1.0f, 2000.0f);
            play(3, 0.12, b % 4 == 3 ? root + 7 : root + 12, 0.8f, 1400.0f);
            break;
        case Bass::Eighths:
            play(2, 0.4, b % 4 == 3 ? root + 12 : root, 1.0f, b % 2 == 1 ? 2600.0f : 1800.0f);
            if (b % 2 == 1) play(3, 0.12, root + 7, 0.7f, 1400.0f);
            break;
        }
    }

    // The chord on the electric piano, struck in the hook's 3-3-2 rhythm in every bar.
    void keyStabs(const Phrase& ph, const Chord bars[2], double start) {
        for (int bar = 0; bar < 2; ++bar) {
            for (int s : {0, 6, 12}) {
                for (int k = 0; k < 4; ++k) {
                    Note n = at(start + 4.0 * bar + s / 4.0, s == 12 ? 0.9 : 1.3, s == 0 ? 0.3f : 0.24f);
                    // Under the beat the stabs go up an octave, out of the bass's way.
                    n.pitch = static_cast<float>(bars[bar].pad[k] + (ph.halfTime ? 12 : 0));
                    n.param = ph.halfTime ? 0.8f : 0.45f;
                    n.pan = -0.6f + 0.4f * static_cast<float>(k);
                    a_.keys.push_back(n);
                }
            }
        }
    }

    // The chord short on one beat, with the root an octave down, where nothing else marks the beat.
    void pulse(const Chord& chord, double beat) {
        for (int k = -1; k < 4; ++k) {
            Note n = at(beat, 0.3, k < 0 ? 0.3f : 0.2f);
            n.pitch = static_cast<float>(k < 0 ? chord.bass + 12 : chord.pad[k]);
            n.param = 0.55f;
            n.pan = k < 0 ? 0.0f : -0.5f + 0.33f * static_cast<float>(k);
            a_.keyPulse.push_back(n);
        }
    }

    // The build-up a phrase belongs to: its roll starts 18 beats before the first drop's break and 14
    // before the second's.
    static BuildUp rollBuildUp(int phrase) {
        if (phrase < breakdownPhrase) return {phraseBeat(0) - 2.0, 18.0};
        return {phraseBeat(secondDropPhrase) - 2.0, 14.0};
    }

    // Snare hits per beat over the first `share` of the beat; the velocity rises with the build-up and
    // the hit on the beat is the strongest, so the count stays clear under the roll.
    void roll(std::vector<Note>& out, int perBeat, double beat, double share, const BuildUp& buildUp) {
        for (int h = 0; h < perBeat * share; ++h) {
            double hitBeat = beat + static_cast<double>(h) / perBeat;
            Note n = at(hitBeat, 0.0, 0.25f + 0.5f * buildUp.progress(hitBeat) + (h == 0 ? 0.15f : 0.0f));
            n.param = perBeat >= 4 ? 0.07f : 0.12f;
            n.pan = 0.2f * static_cast<float>(h % 2 == 0 ? -1 : 1);
            out.push_back(n);
        }
    }

    void arpeggio(const Phrase& ph, const Chord bars[2], double start, double end) {
        const int pattern[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        for (int s = 0; s < 32; ++s) {
            double beat = start + 0.25 * s;
            if (beat >= end) break;
            const Chord& chord = bars[s / 16];
            int k = pattern[s % 8];
            Note n = at(beat, 0.2, (s % 4 == 0 ? 0.75f : 0.55f) * ph.arpLevel);
            n.pitch = static_cast<float>(k == 4 ? chord.pad[0] + 24 : chord.pad[k] + 12);
            n.param = ph.arpFrom + (ph.arpTo - ph.arpFrom) * static_cast<float>(s) / 32.0f;
            n.pan = s % 2 == 0 ? -0.6f : 0.6f;
            a_.pluck.push_back(n);
        }
    }

    void melody(const Phrase& ph, double start) {
        barChords_[0] = ph.chords[0];
        barChords_[1] = ph.chords[1];
        // The climax counts its eight phrases; every other line repeats over four.
        const int c = ph.chordIndex % 4;
        const int up = ph.transpose;
        const Line& call = hookCall[c];
        const Line& answer = ph.answer == Answer::First ? hookAnswer[c]
                             : ph.answer == Answer::Alt ? hookAnswerAlt[c]
                                                        : hookAnswer2[c];
        switch (ph.melody) {
        case Melody::None:
            break;
        case Melody::Tease:
            line(a_.pluck, call, start, 0, 0.55f, 700.0f);
            line(a_.pluck, hookAnswer[c], start, 0, 0.55f, 700.0f);
            break;
        case Melody::Hook:
        case Melody::HookAndSaw:
        case Melody::HookAll:
            for (const Line* part : {&call, &answer}) {
                line(a_.lead, *part, start, up, 0.9f, 4000.0f);
                if (ph.melody != Melody::Hook) line(a_.supersaw, *part, start, up - 12, 0.45f, 2600.0f);
                if (ph.melody == Melody::HookAll) line(a_.pluck, *part, start, up + 12, 0.5f, 5000.0f);
            }
            break;
        case Melody::HookHigh:
            for (const Line* part : {&call, &answer}) {
                line(a_.supersaw, *part, start, up + 12, 0.8f, 4400.0f);
                line(a_.lead, *part, start, up + 12, 0.6f, 3600.0f);
            }
            break;
        case Melody::CallResponse:
            line(a_.lead, call, start, up + 12, 0.8f, 3400.0f);
            line(a_.supersaw, answer, start, up + 12, 0.85f, 4600.0f);
            line(a_.pluck, answer, start, up + 24, 0.4f, 3600.0f);
            break;
        case Melody::Counter:
            line(a_.keys, counterMelody[c], start, up, 0.55f, 0.9f);
            break;
        case Melody::Counter2:
            line(a_.pluck, counterMelody2[c], start, up + 12, 0.6f, 4600.0f);
            line(a_.lead, counterMelody2[c], start, up, 0.7f, 3200.0f);
            break;
        case Melody::Descent: {
            // The first statement an octave up on the lead over the big saw; the upward answer as written.
            const int octave = c < 2 ? 12 : 0;
            for (const Line& bar : descentLine[c]) {
                line(a_.lead, bar, start, up + octave, 0.75f, 3400.0f);
                line(a_.supersaw, bar, start, up + octave - 12, 0.6f, 3800.0f);
                if (c >= 2) line(a_.pluck, bar, start, up + 12, 0.4f, 4400.0f);
            }
            break;
        }
        case Melody::Interlude:
            for (const Line& bar : interludeLine[c]) line(a_.lead, bar, start, up + 12, 0.7f, 3200.0f);
            break;
        case Melody::Breakdown:
            line(a_.keys, breakdownTheme[c], start, 0, 0.5f, 1.0f);
            break;
        case Melody::LeadIn:
            line(a_.lead, leadIn, start, 0, 0.8f, 2400.0f);
            break;
        case Melody::Climax:
            line(a_.lead, climaxLine[ph.chordIndex], start, up, 0.8f, 3600.0f);
            line(a_.supersaw, climaxLine[ph.chordIndex], start, up - 12, 0.75f, 3000.0f);
            line(a_.pluck, climaxLine[ph.chordIndex], start, up - 24, 0.45f, 2400.0f);
            break;
        }
    }

    // The lines are written in A minor; over E major their G is sharpened, as the harmonic minor has it.
    void line(std::vector<Note>& out, const Line& steps, double phraseStart, int transpose, float velocity,
              float brightness) {
        for (const Step& s : steps) {
            double beat = phraseStart + s.at / 4.0;
            Note n = at(beat, s.length / 4.0 * 0.85, velocity);
            const bool sharpen = barChords_[std::min(s.at / 16, 1)] == E && s.pitch % 12 == 7;
            n.pitch = static_cast<float>(s.pitch + (sharpen ? 1 : 0) + transpose);

            n.param = brightness;
            out.push_back(n);
        }
    }

    void riser(std::vector<Note>& out, int64_t startSample, double endBeat, float velocity) {
        Note n;
        n.start = startSample;
        n.gate = beatSample(endBeat) - startSample;
        n.velocity = velocity;
        out.push_back(n);
    }

    Note at(double beat, double gateBeats, float velocity = 1.0f) {
        Note n;
        n.start = beatSample(beat);
        n.gate = beatSample(beat + gateBeats) - n.start;
        n.velocity = velocity;
        return n;
    }

    // A fixed sequence of small variations in [0, 1), so repeated hits do not sound copied.
    float jitter() { return 0.5f * (humanise_.next() + 1.0f); }

    Arrangement a_;
    Noise humanise_{0x1234567u};
    ChordName barChords_[2] = {Am, Am}; // under the melody being written, one per bar
};

struct Bus {
    Track track;
    float gain, reverbSend, delaySend, duck;
    float outroFade; // how far the outro's fade takes the part down: 1 to silence, 0 not at all
    std::unique_ptr<Chorus> chorus;
    // Where the part's peaks are bent down (0: never): noise hits and bass attacks whose tips
    // would otherwise set the limiter working on every off-beat.
    float peakCeiling = 0.0f;
};

// How far the kick pushes the other parts down, 0..1, `n` samples after a kick started.
float duckShape(int64_t n) {
    if (n < 0) return 0.0f;
    float t = static_cast<float>(n) / sampleRate;
    return (1.0f - std::exp(-t / 0.003f)) * std::exp(-t / 0.11f);
}

// A raised-cosine fade from 1 at sample `from` to 0 at sample `to`.
float fadeBetween(int64_t sample, int64_t from, int64_t to) {
    if (sample <= from) return 1.0f;
    if (sample >= to) return 0.0f;
    double x = static_cast<double>(sample - from) / static_cast<double>(to - from);
    return static_cast<float>(0.5 * (1.0 + std::cos(pi * x)));
}

int64_t secondsSample(double seconds) {
    return static_cast<int64_t>(std::llround(seconds * sampleRate));
}

} // namespace

StereoBuffer renderSong(int64_t sampleCount) {
    Arrangement arrangement = Composer().compose();

    std::vector<int64_t> duckers;
    for (const std::vector<Note>* kicks : {&arrangement.kick, &arrangement.finalKick})
        for (const Note& n : *kicks)
            if (n.param < 0.5f) duckers.push_back(n.start);
    std::sort(duckers.begin(), duckers.end());

    std::vector<Bus> buses;
    auto bus = [&](Instrument instrument, std::vector<Note>& notes, float gain, float reverb, float delay,
                   float duck, float outroFade = 1.0f) {
        buses.push_back(
            Bus{Track(instrument, std::move(notes)), gain, reverb, delay, duck, outroFade, nullptr});
    };
    // Noise has peaks far above its level: the hats' and the shaker's are bent down hard, those of the
    // claps, snares and cymbals a little, so the sum of the off-beat does not set the pace of the limiter.
    const float noisePeak = 0.3f, strikePeak = 0.4f;
    // The kick and the ticks fade only part of the way: the count goes on, quietly, up to the last bar.
    bus(Instrument::Kick, arrangement.kick, 0.56f, 0.0f, 0.0f, 0.0f, 0.75f);

    bus(Instrument::Clap, arrangement.clap, 0.32f, 0.35f, 0.0f, 0.0f);
    buses.back().peakCeiling = strikePeak;
    bus(Instrument::Snare, arrangement.snare, 0.3f, 0.3f, 0.0f, 0.0f);
    buses.back().peakCeiling = strikePeak;
    bus(Instrument::Hat, arrangement.hat, 0.85f, 0.15f, 0.0f, 0.2f);
    buses.back().peakCeiling = noisePeak;
    bus(Instrument::Shaker, arrangement.shaker, 1.0f, 0.15f, 0.0f, 0.2f);
    buses.back().peakCeiling = noisePeak;
    bus(Instrument::Ride, arrangement.ride, 0.24f, 0.1f, 0.0f, 0.1f);
    buses.back().peakCeiling = strikePeak;
    bus(Instrument::Tick, arrangement.tick, 0.3f, 0.3f, 0.0f, 0.0f, 0.6f);
    bus(Instrument::Crash, arrangement.crash, 0.3f, 0.15f, 0.0f, 0.0f);
    buses.back().peakCeiling = strikePeak;
    bus(Instrument::Riser, arrangement.riser, 0.3f, 0.25f, 0.0f, 0.0f);
    bus(Instrument::Bass, arrangement.bass, 0.5f, 0.0f, 0.0f, 0.7f);
    bus(Instrument::Pad, arrangement.pad, 1.0f, 0.4f, 0.0f, 0.55f);
    buses.back().chorus = std::make_unique<Chorus>(0.35f, 0.0035f, 0.5f);
    bus(Instrument::Pluck, arrangement.pluck, 0.3f, 0.3f, 0.3f, 0.35f);
    bus(Instrument::Supersaw, arrangement.supersaw, 0.42f, 0.3f, 0.18f, 0.35f);
    bus(Instrument::Lead, arrangement.lead, 0.4f, 0.22f, 0.22f, 0.25f);
    buses.back().chorus = std::make_unique<Chorus>(0.5f, 0.002f, 0.45f);
    bus(Instrument::Keys, arrangement.keys, 0.22f, 0.45f, 0.2f, 0.3f);
    // Dry, so each beat's chord stands out of the last one's tail.
    bus(Instrument::Keys, arrangement.keyPulse, 0.55f, 0.12f, 0.0f, 0.0f);
    bus(Instrument::Snare, arrangement.finalRoll, 0.3f, 0.15f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Riser, arrangement.finalRiser, 0.3f, 0.25f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Pad, arrangement.finalPad, 1.0f, 0.4f, 0.0f, 0.0f, 0.0f);
    // The final hit is dry: the room closes behind it.
    bus(Instrument::Kick, arrangement.finalKick, 0.85f, 0.0f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Crash, arrangement.finalCrash, 0.4f, 0.0f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Supersaw, arrangement.finalChord, 0.36f, 0.0f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Bass, arrangement.finalBass, 0.4f, 0.0f, 0.0f, 0.0f, 0.0f);

    Reverb reverb(0.86f, 0.35f);
    PingPongDelay delay(static_cast<int64_t>(std::llround(0.75 * beatSeconds * sampleRate)), 0.42f, 3500.0f);
    const float reverbReturn = 2.2f, delayReturn = 0.45f, masterGain = 0.99f;

    StereoBuffer out;
    out.left.assign(static_cast<size_t>(std::max<int64_t>(sampleCount, 0)), 0.0f);
    out.right.assign(out.left.size(), 0.0f);

    constexpr int block = 256;
    float busL[block], busR[block], mixL[block], mixR[block], revL[block], revR[block], delL[block],
        delR[block];
    float duck[block], outro[block];
    size_t lastKick = 0;
    const int64_t outroFrom = beatSample(fadeStartBeat), outroTo = beatSample(fadeEndBeat);
    const int64_t finalHit = beatSample(finalBeat), roomClosed = finalHit + secondsSample(roomCloseSeconds);
    const int64_t closeFrom = secondsSample(closeFromSeconds), silence = secondsSample(silenceSeconds);
    // The kick's falling sweep leaves a little DC; a high pass far below the music removes it.
    const float dcPole = static_cast<float>(std::exp(-2.0 * pi * 8.0 / sampleRate));
    float dcInL = 0.0f, dcInR = 0.0f, dcOutL = 0.0f, dcOutR = 0.0f;
    // Section levels change at phrase starts, glided over a few milliseconds so no step is heard.
    const float levelGlide = static_cast<float>(1.0 - std::exp(-1.0 / (0.008 * sampleRate)));
    size_t section = 0;
    float level = arrangement.levels.front().second;
    for (int64_t blockStart = 0; blockStart < sampleCount; blockStart += block) {
        const int count = static_cast<int>(std::min<int64_t>(block, sampleCount - blockStart));
        for (int i = 0; i < count; ++i) {
            int64_t s = blockStart + i;
            while (lastKick + 1 < duckers.size() && duckers[lastKick + 1] <= s) ++lastKick;
            float d = 0.0f;
            if (!duckers.empty()) {
                d += duckShape(s - duckers[lastKick]);
                if (lastKick > 0) d += duckShape(s - duckers[lastKick - 1]);
            }
            duck[i] = std::min(d, 1.0f);
        }
        std::fill(mixL, mixL + block, 0.0f);
        std::fill(mixR, mixR + block, 0.0f);
        std::fill(revL, revL + block, 0.0f);
        std::fill(revR, revR + block, 0.0f);
        std::fill(delL, delL + block, 0.0f);
        std::fill(delR, delR + block, 0.0f);
        for (int i = 0; i < count; ++i)
            outro[i] = outroFloor + (1.0f - outroFloor) * fadeBetween(blockStart + i, outroFrom, outroTo);
        for (Bus& b : buses) {
            std::fill(busL, busL + block, 0.0f);
            std::fill(busR, busR + block, 0.0f);
            // A bus without a sounding voice adds nothing, unless its chorus still holds some.
            if (!b.track.render(busL, busR, blockStart, count) && !b.chorus) continue;
            if (b.chorus) b.chorus->process(busL, busR, count);
            const float knee = 0.5f * b.peakCeiling;
            for (int i = 0; i < count; ++i) {
                float g = b.gain * (1.0f - b.duck * duck[i]) * (1.0f - b.outroFade * (1.0f - outro[i]));
                float l = busL[i] * g, r = busR[i] * g;
                if (b.peakCeiling > 0.0f) {
                    l = softClip(l, knee, b.peakCeiling);
                    r = softClip(r, knee, b.peakCeiling);
                }
                mixL[i] += l;
                mixR[i] += r;
                revL[i] += l * b.reverbSend;
                revR[i] += r * b.reverbSend;
                delL[i] += l * b.delaySend;
                delR[i] += r * b.delaySend;
            }
        }
        delay.process(delL, delR, count);
        for (int i = 0; i < count; ++i) {
            mixL[i] += delL[i] * delayReturn;
            mixR[i] += delR[i] * delayReturn;
            revL[i] += delL[i] * 0.3f;
            revR[i] += delR[i] * 0.3f;
        }
        reverb.process(revL, revR, count);
        for (int i = 0; i < count; ++i) {
            const int64_t s = blockStart + i;
            while (section + 1 < arrangement.levels.size() && arrangement.levels[section + 1].first <= s)
                ++section;
            level += (arrangement.levels[section].second - level) * levelGlide;
            float wet = reverbReturn * (1.0f - 0.4f * duck[i]) * fadeBetween(s, finalHit, roomClosed);
            float gain = masterGain * level;
            float l = (mixL[i] + revL[i] * wet) * gain, r = (mixR[i] + revR[i] * wet) * gain;
            dcOutL = l - dcInL + dcPole * dcOutL;
            dcOutR = r - dcInR + dcPole * dcOutR;
            dcInL = l;
            dcInR = r;
            // Closed after the DC filter, whose own decay would otherwise ring past the end.
            float close = fadeBetween(s, closeFrom, silence);
            out.left[static_cast<size_t>(s)] = dcOutL * close;
            out.right[static_cast<size_t>(s)] = dcOutR * close;
        }
    }
    // The master: the tips of the loudest moments are bent down (by up to a few dB), then the limiter
    // holds the true peak; its slow release keeps it from pumping with the beat.
    clipPeaks(out.left, out.right, dbToGain(clipKneeDb), dbToGain(clipCeilingDb));
    limit(out.left, out.right, dbToGain(masterCeilingDb), static_cast<int>(0.004 * sampleRate), 0.2f);
    return out;
}

} // namespace music
