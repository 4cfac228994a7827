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
//   phrases -8 .. -4   0 - 19.2 s     intro: pads, filtered arpeggio, soft kick from 8.1 s, hook teased
//   phrases -3 .. -1   19.2 - 30.3 s  the intro's last bar, then the build-up: riser from 20.5 s, snare roll
//   phrases  0 .. 19   30.3 - 104.1 s first drop, a new arrangement every 4 phrases
//   phrases 20 .. 24   104.1 - 122.6 s breakdown (F G Em Am), its last two phrases building up again
//   phrases 25 .. 44   122.6 - 196.4 s second drop, where the pictures start over
//   phrases 45 .. 47   196.4 - 206 s  outro, faded out from 198.3 s to silence at 205.5 s
constexpr int dropBeat = 66;
constexpr int firstPhrase = -8, lastPhrase = 47;
constexpr int breakdownPhrase = 20, secondDropPhrase = 25, outroPhrase = 45;
constexpr double buildUpStartSeconds = 20.5;
constexpr double fadeEndSeconds = 205.5;
constexpr int fadeStartBeat = 430;

double phraseBeat(int phrase, double sixteenths = 0.0) {
    return dropBeat + 8.0 * phrase + sixteenths / 4.0;
}

enum ChordName { Am, F, C, G, Em };

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
};
const ChordName progression[4] = {Am, F, C, G};

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
// Long notes over the same chords, for the phrases between hook sections.
const Line counterMelody[4] = {
    {{0, 12, 76}, {12, 4, 74}, {16, 12, 72}, {28, 4, 71}},
    {{0, 12, 72}, {12, 4, 69}, {16, 16, 77}},
    {{0, 12, 76}, {12, 4, 74}, {16, 8, 79}, {24, 8, 76}},
    {{0, 12, 74}, {12, 4, 71}, {16, 8, 74}, {24, 8, 76}},
};
// The breakdown theme over F, G, E minor, A minor.
const Line breakdownTheme[4] = {
    {{0, 6, 69}, {6, 6, 72}, {12, 8, 77}, {20, 4, 76}, {24, 8, 72}},
    {{0, 6, 71}, {6, 6, 74}, {12, 8, 79}, {20, 4, 74}, {24, 8, 71}},
    {{0, 6, 67}, {6, 6, 71}, {12, 12, 76}, {24, 4, 74}, {28, 4, 71}},
    {{0, 6, 72}, {6, 6, 76}, {12, 16, 81}},
};

enum class Lead { None, Tease, Pluck, Saw, SawAndPluck, Counter, Breakdown };
enum class Bass { None, OffBeat, Rolling };

struct Phrase {
    ChordName chord = Am;
    int chordIndex = 0; // position in the progression, picks the hook lines
    bool kick = false, softKick = false, clap = false, offHats = false, hats16 = false, openHats = false;
    bool crash = false, fill = false;
    Bass bass = Bass::None;
    Lead lead = Lead::None;
    bool altAnswer = false;
    bool arp = false;
    float arpFrom = 0.0f, arpTo = 0.0f; // arpeggio brightness over the phrase, Hz
    float arpLevel = 1.0f;
    float padCutoff = 1500.0f, padLevel = 1.0f;
    int lastKickBeat = 8;    // kicks on the phrase's beats [0, lastKickBeat)
    int roll[8] = {};        // build-up snare hits per beat: 0, 1, 2, 4 or 8
    bool stopsEarly = false; // the last half beat before a drop is left empty
};

void dropPhrase(Phrase& ph, int phraseInDrop, int block) {
    ph.chordIndex = phraseInDrop % 4;
    ph.chord = progression[ph.chordIndex];
    ph.kick = ph.clap = ph.offHats = true;
    ph.crash = phraseInDrop % 4 == 0;
    ph.fill = phraseInDrop % 4 == 3;
    ph.padLevel = 0.8f;
    ph.padCutoff = 1900.0f;
    switch (block) {
    case 0: // first statement of the hook, plucked
        ph.bass = Bass::OffBeat;
        ph.lead = Lead::Pluck;
        break;
    case 1: // the hook on the big lead, rolling bass
        ph.bass = Bass::Rolling;
        ph.hats16 = ph.openHats = true;
        ph.lead = Lead::Saw;
        break;
    case 2: // a breather: counter melody over the arpeggio
        ph.bass = Bass::OffBeat;
        ph.hats16 = true;
        ph.lead = Lead::Counter;
        ph.arp = true;
        ph.arpFrom = 2200.0f;
        ph.arpTo = 3000.0f;
        ph.padLevel = 1.0f;
        break;
    case 3: // the hook again, answered differently every other phrase
        ph.bass = Bass::Rolling;
        ph.hats16 = ph.openHats = true;
        ph.lead = Lead::Saw;
        ph.altAnswer = phraseInDrop % 2 == 1;
        ph.arp = true;
        ph.arpFrom = ph.arpTo = 1800.0f;
        break;
    default: // everything, the pluck doubling the lead an octave up
        ph.bass = Bass::Rolling;
        ph.hats16 = ph.openHats = true;
        ph.lead = Lead::SawAndPluck;
        ph.altAnswer = phraseInDrop % 4 == 3;
        ph.arp = true;
        ph.arpFrom = ph.arpTo = 3200.0f;
        ph.padCutoff = 2500.0f;
        ph.padLevel = 0.9f;
        break;
    }
}

Phrase plan(int p) {
    Phrase ph;
    if (p < 0) { // intro (-8 .. -4) and build-up (-3 .. -1)
        int n = p - firstPhrase;
        ph.chordIndex = n % 4;
        ph.chord = progression[ph.chordIndex];
        ph.padCutoff = 800.0f + 120.0f * static_cast<float>(n);
        ph.padLevel = 0.9f;
        ph.arp = p >= -7;
        ph.arpFrom = 650.0f + 260.0f * static_cast<float>(n - 1);
        ph.arpTo = ph.arpFrom + 260.0f;
        ph.arpLevel = 1.6f;
        ph.softKick = p >= -6 && p <= -3;
        if (p == -4 || p == -3) ph.lead = Lead::Tease;
        if (p == -3) {
            ph.lastKickBeat = 4;
            for (int b = 4; b < 8; ++b) ph.roll[b] = 1;
        } else if (p == -2) {
            for (int& r : ph.roll) r = 2;
            ph.arpFrom = 2000.0f;
            ph.arpTo = 3500.0f;
            ph.padCutoff = 2000.0f;
        } else if (p == -1) {
            for (int b = 0; b < 8; ++b) ph.roll[b] = b < 4 ? 4 : 8;
            ph.arpFrom = 3500.0f;
            ph.arpTo = 7500.0f;
            ph.padCutoff = 2600.0f;
            ph.stopsEarly = true;
        }
    } else if (p < breakdownPhrase) {
        dropPhrase(ph, p, p / 4);
    } else if (p < secondDropPhrase) {
        const ChordName breakdownChords[5] = {F, G, Em, Am, G};
        int n = p - breakdownPhrase;
        ph.chord = breakdownChords[n];
        ph.chordIndex = n < 4 ? n : 3;
        ph.padLevel = 1.1f;
        ph.padCutoff = 1300.0f + 250.0f * static_cast<float>(n);
        ph.crash = n == 0;
        ph.lead = n < 4 ? Lead::Breakdown : Lead::Pluck;
        ph.arp = n >= 1;
        ph.arpFrom = 700.0f + 400.0f * static_cast<float>(n);
        ph.arpTo = ph.arpFrom + 400.0f;
        if (n == 3) {
            for (int& r : ph.roll) r = 1;
        } else if (n == 4) {
            for (int b = 0; b < 8; ++b) ph.roll[b] = b < 4 ? 2 : (b < 6 ? 4 : 8);
            ph.arpFrom = 2500.0f;
            ph.arpTo = 7500.0f;
            ph.stopsEarly = true;
        }
    } else if (p < outroPhrase) {
        int q = p - secondDropPhrase;
        const int blocks[5] = {1, 2, 3, 4, 4};
        dropPhrase(ph, q, blocks[q / 4]);
        if (q >= 16) ph.altAnswer = q % 2 == 1;
    } else { // outro: the drums carry on under the fade, the melody is gone
        const ChordName outroChords[3] = {Am, F, Am};
        ph.chord = outroChords[std::min(p - outroPhrase, 2)];
        ph.kick = true;
        ph.offHats = true;
        ph.clap = p == outroPhrase;
        ph.bass = p == outroPhrase ? Bass::OffBeat : Bass::None;
        ph.arp = true;
        ph.arpFrom = 2400.0f;
        ph.arpTo = 1200.0f;
        ph.padLevel = 1.0f;
        ph.padCutoff = 1600.0f;
        ph.crash = p == outroPhrase;
    }
    return ph;
}

struct Arrangement {
    std::vector<Note> kick, clap, snare, hat, crash, riser, bass, pad, pluck, supersaw;
};

class Composer {
  public:
    Arrangement compose() {
        for (int p = firstPhrase; p <= lastPhrase; ++p) phrase(p, plan(p));
        riser(static_cast<int64_t>(std::llround(buildUpStartSeconds * sampleRate)), phraseBeat(0) - 0.25,
              0.9f);
        riser(beatSample(phraseBeat(23)), phraseBeat(secondDropPhrase) - 0.25, 0.9f);
        riser(beatSample(phraseBeat(breakdownPhrase - 1, 16)), phraseBeat(breakdownPhrase), 0.35f);
        return std::move(a_);
    }

  private:
    void phrase(int p, const Phrase& ph) {
        const Chord& chord = chords[ph.chord];
        const double start = phraseBeat(p);
        const double end = ph.stopsEarly ? start + 7.5 : start + 8.0;

        // The first chord fades in from the very first sample.
        int64_t padStart = p == firstPhrase ? 0 : beatSample(start);
        for (int k = 0; k < 4; ++k) {
            Note n;
            n.start = padStart;
            n.gate = beatSample(start + 8.0) - padStart;
            n.pitch = static_cast<float>(chord.pad[k]);
            n.velocity = 0.2f * ph.padLevel;
            n.param = ph.padCutoff;
            a_.pad.push_back(n);
        }

        for (int b = 0; b < 8; ++b) {
            double beat = start + b;
            if ((ph.kick || ph.softKick) && b < ph.lastKickBeat) {
                Note n = at(beat, 0.0);
                n.velocity = ph.kick ? 1.0f : 0.55f;
                n.param = ph.kick ? 0.0f : 1.0f;
                a_.kick.push_back(n);
            }
            if (ph.clap && b % 2 == 1) a_.clap.push_back(at(beat, 0.0, 0.95f + 0.05f * jitter()));
            if (ph.offHats) {
                Note n = at(beat + 0.5, 0.0, ph.openHats ? 0.55f : 0.85f + 0.1f * jitter());
                n.param = ph.openHats ? 1.0f : 0.0f;
                n.pan = -0.1f;
                a_.hat.push_back(n);
            }
            if (ph.hats16) {
                for (double s : {0.25, 0.75}) {
                    Note n = at(beat + s, 0.0, 0.3f + 0.12f * jitter());
                    n.pan = 0.3f;
                    a_.hat.push_back(n);
                }
            }
            if (ph.offHats && ph.openHats) {
                Note n = at(beat + 0.5, 0.0, 0.5f);
                n.pan = 0.1f;
                a_.hat.push_back(n);
            }
            bassBeat(ph, chord, beat, b);
            roll(ph.roll[b], beat, p, ph.stopsEarly && b == 7);
        }
        if (ph.fill) {
            for (int s = 0; s < 4; ++s) {
                Note n = at(start + 7.0 + 0.25 * s, 0.0, 0.45f + 0.15f * static_cast<float>(s));
                n.param = 0.09f;
                a_.snare.push_back(n);
            }
        }
        if (ph.crash) a_.crash.push_back(at(start, 0.0, 0.6f));
        if (ph.arp) arpeggio(ph, chord, start, end);
        lead(ph, start);
    }

    void bassBeat(const Phrase& ph, const Chord& chord, double beat, int b) {
        int root = chord.bass;
        if (ph.bass == Bass::OffBeat) {
            Note n = at(beat + 0.5, 0.4, 1.0f);
            n.pitch = static_cast<float>(b == 7 ? root + 12 : root);
            n.param = 1600.0f;
            a_.bass.push_back(n);
        } else if (ph.bass == Bass::Rolling) {
            const int offsets[3] = {0, 12, 0};
            for (int s = 1; s <= 3; ++s) {
                Note n = at(beat + 0.25 * s, 0.2, s == 2 ? 1.0f : 0.85f);
                n.pitch = static_cast<float>(root + offsets[s - 1]);
                n.param = s == 2 ? 2200.0f : 1300.0f;
                a_.bass.push_back(n);
            }
        }
    }

    // Snare hits per beat rise through a build-up; the velocity rises with them.
    void roll(int perBeat, double beat, int phrase, bool lastBeat) {
        if (perBeat == 0) return;
        int hits = lastBeat ? perBeat / 2 : perBeat;
        for (int h = 0; h < hits; ++h) {
            double hitBeat = beat + static_cast<double>(h) / perBeat;
            // 0 at the first build-up beat, 1 at the drop.
            double dropAt = phrase < breakdownPhrase ? phraseBeat(0) : phraseBeat(secondDropPhrase);
            double length = phrase < breakdownPhrase ? 20.0 : 16.0;
            float progress = static_cast<float>(std::clamp(1.0 - (dropAt - hitBeat) / length, 0.0, 1.0));
            Note n = at(hitBeat, 0.0, 0.25f + 0.6f * progress);
            n.param = perBeat >= 4 ? 0.07f : 0.12f;
            n.pan = 0.15f * static_cast<float>(h % 2 == 0 ? -1 : 1);
            a_.snare.push_back(n);
        }
    }

    void arpeggio(const Phrase& ph, const Chord& chord, double start, double end) {
        const int pattern[8] = {0, 1, 2, 3, 4, 3, 2, 1};
        for (int s = 0; s < 32; ++s) {
            double beat = start + 0.25 * s;
            if (beat >= end) break;
            int k = pattern[s % 8];
            Note n = at(beat, 0.2, (s % 4 == 0 ? 0.75f : 0.55f) * ph.arpLevel);
            n.pitch = static_cast<float>(k == 4 ? chord.pad[0] + 24 : chord.pad[k] + 12);
            n.param = ph.arpFrom + (ph.arpTo - ph.arpFrom) * static_cast<float>(s) / 32.0f;
            n.pan = s % 2 == 0 ? -0.35f : 0.35f;
            a_.pluck.push_back(n);
        }
    }

    void lead(const Phrase& ph, double start) {
        int c = ph.chordIndex;
        switch (ph.lead) {
        case Lead::None:
            break;
        case Lead::Tease:
            line(a_.pluck, hookCall[c], start, 0, 0.55f, 700.0f);
            line(a_.pluck, hookAnswer[c], start, 0, 0.55f, 700.0f);
            break;
        case Lead::Pluck:
            line(a_.pluck, hookCall[c], start, 0, 0.9f, 3800.0f);
            line(a_.pluck, ph.altAnswer ? hookAnswerAlt[c] : hookAnswer[c], start, 0, 0.9f, 3800.0f);
            break;
        case Lead::Saw:
        case Lead::SawAndPluck: {
            const Line& answer = ph.altAnswer ? hookAnswerAlt[c] : hookAnswer[c];
            line(a_.supersaw, hookCall[c], start, 0, 0.85f, 3800.0f);
            line(a_.supersaw, answer, start, 0, 0.85f, 3800.0f);
            if (ph.lead == Lead::SawAndPluck) {
                line(a_.pluck, hookCall[c], start, 12, 0.5f, 4500.0f);
                line(a_.pluck, answer, start, 12, 0.5f, 4500.0f);
            }
            break;
        }
        case Lead::Counter:
            line(a_.supersaw, counterMelody[c], start, 0, 0.7f, 2200.0f);
            break;
        case Lead::Breakdown:
            line(a_.supersaw, breakdownTheme[c], start, 0, 0.6f, 1600.0f);
            break;
        }
    }

    void line(std::vector<Note>& out, const Line& steps, double phraseStart, int transpose, float velocity,
              float brightness) {
        for (const Step& s : steps) {
            double beat = phraseStart + s.at / 4.0;
            Note n = at(beat, s.length / 4.0 * 0.85, velocity);
            n.pitch = static_cast<float>(s.pitch + transpose);
            n.param = brightness;
            out.push_back(n);
        }
    }

    void riser(int64_t startSample, double endBeat, float velocity) {
        Note n;
        n.start = startSample;
        n.gate = beatSample(endBeat) - startSample;
        n.velocity = velocity;
        a_.riser.push_back(n);
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
};

struct Bus {
    Track track;
    float gain, reverbSend, delaySend, duck;
    std::unique_ptr<Chorus> chorus;
};

// How far the kick pushes the other parts down, 0..1, `n` samples after a kick started.
float duckShape(int64_t n) {
    if (n < 0) return 0.0f;
    float t = static_cast<float>(n) / sampleRate;
    return (1.0f - std::exp(-t / 0.003f)) * std::exp(-t / 0.11f);
}

float fadeAt(int64_t sample) {
    const int64_t from = beatSample(fadeStartBeat);
    const int64_t to = static_cast<int64_t>(std::llround(fadeEndSeconds * sampleRate));
    if (sample <= from) return 1.0f;
    if (sample >= to) return 0.0f;
    double x = static_cast<double>(sample - from) / static_cast<double>(to - from);
    return static_cast<float>(0.5 * (1.0 + std::cos(pi * x)));
}

} // namespace

StereoBuffer renderSong(int64_t sampleCount) {
    Arrangement arrangement = Composer().compose();

    std::vector<int64_t> duckers;
    for (const Note& n : arrangement.kick) {
        if (n.param < 0.5f) duckers.push_back(n.start);
    }
    std::sort(duckers.begin(), duckers.end());

    std::vector<Bus> buses;
    auto bus = [&](Instrument instrument, std::vector<Note>& notes, float gain, float reverb, float delay,
                   float duck) {
        buses.push_back(Bus{Track(instrument, std::move(notes)), gain, reverb, delay, duck, nullptr});
    };
    bus(Instrument::Kick, arrangement.kick, 0.85f, 0.0f, 0.0f, 0.0f);
    bus(Instrument::Clap, arrangement.clap, 0.32f, 0.35f, 0.0f, 0.0f);
    bus(Instrument::Snare, arrangement.snare, 0.3f, 0.3f, 0.0f, 0.0f);
    bus(Instrument::Hat, arrangement.hat, 0.2f, 0.05f, 0.0f, 0.2f);
    bus(Instrument::Crash, arrangement.crash, 0.3f, 0.15f, 0.0f, 0.0f);
    bus(Instrument::Riser, arrangement.riser, 0.3f, 0.25f, 0.0f, 0.0f);
    bus(Instrument::Bass, arrangement.bass, 0.42f, 0.0f, 0.0f, 0.7f);
    bus(Instrument::Pad, arrangement.pad, 1.0f, 0.4f, 0.0f, 0.55f);
    buses.back().chorus = std::make_unique<Chorus>(0.35f, 0.0035f, 0.5f);
    bus(Instrument::Pluck, arrangement.pluck, 0.3f, 0.3f, 0.3f, 0.35f);
    bus(Instrument::Supersaw, arrangement.supersaw, 0.42f, 0.3f, 0.18f, 0.35f);

    Reverb reverb(0.86f, 0.35f);
    PingPongDelay delay(static_cast<int64_t>(std::llround(0.75 * beatSeconds * sampleRate)), 0.42f, 3500.0f);
    const float reverbReturn = 2.2f, delayReturn = 0.45f, masterGain = 0.6f;

    StereoBuffer out;
    out.left.assign(static_cast<size_t>(std::max<int64_t>(sampleCount, 0)), 0.0f);
    out.right.assign(out.left.size(), 0.0f);

    constexpr int block = 256;
    float busL[block], busR[block], mixL[block], mixR[block], revL[block], revR[block], delL[block],
        delR[block];
    float duck[block];
    size_t lastKick = 0;
    // The kick's falling sweep leaves a little DC; a high pass far below the music removes it.
    const float dcPole = static_cast<float>(std::exp(-2.0 * pi * 8.0 / sampleRate));
    float dcInL = 0.0f, dcInR = 0.0f, dcOutL = 0.0f, dcOutR = 0.0f;
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
        for (Bus& b : buses) {
            std::fill(busL, busL + block, 0.0f);
            std::fill(busR, busR + block, 0.0f);
            b.track.render(busL, busR, blockStart, count);
            if (b.chorus) b.chorus->process(busL, busR, count);
            for (int i = 0; i < count; ++i) {
                float g = b.gain * (1.0f - b.duck * duck[i]);
                float l = busL[i] * g, r = busR[i] * g;
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
            float wet = reverbReturn * (1.0f - 0.4f * duck[i]);
            float fade = fadeAt(blockStart + i) * masterGain;
            float l = (mixL[i] + revL[i] * wet) * fade, r = (mixR[i] + revR[i] * wet) * fade;
            dcOutL = l - dcInL + dcPole * dcOutL;
            dcOutR = r - dcInR + dcPole * dcOutR;
            dcInL = l;
            dcInR = r;
            out.left[static_cast<size_t>(blockStart + i)] = dcOutL;
            out.right[static_cast<size_t>(blockStart + i)] = dcOutR;
        }
    }
    limit(out.left, out.right, dbToGain(masterCeilingDb), static_cast<int>(0.004 * sampleRate), 0.12f);
    return out;
}

} // namespace music
