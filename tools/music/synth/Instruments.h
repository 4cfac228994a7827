#pragma once
// Notes, voices and the tracks that play them. A track owns a time-sorted list of notes and the voices
// currently sounding; it renders block by block, so a voice may start on any sample inside a block.

#include <cstdint>
#include <memory>
#include <vector>

namespace music {

struct Note {
    int64_t start = 0;     // first sample of the note, from the start of the track
    int64_t gate = 0;      // held length, samples (the release follows)
    float pitch = 0.0f;    // MIDI note number; 69 = 440 Hz
    float velocity = 1.0f; // 0..1
    float pan = 0.0f;      // -1 left .. 1 right
    float param = 0.0f;    // per instrument: filter brightness in Hz, open hat, soft kick, low tick...
};

class Voice {
public:
    explicit Voice(const Note& note) : note(note) {}
    virtual ~Voice() = default;
    // Adds the voice into left/right for the samples [blockStart, blockStart + count).
    // Returns false once the voice has finished (its envelope is back at zero).
    virtual bool render(float* left, float* right, int64_t blockStart, int count) = 0;

protected:
    Note note;
};

enum class Instrument {
    Kick,
    Clap,
    Snare,
    Hat,
    Shaker,
    Ride,
    Tick,
    Crash,
    Riser,
    Bass,
    Pad,
    Pluck,
    Supersaw,
    Lead,
    Keys
};

std::unique_ptr<Voice> makeVoice(Instrument instrument, const Note& note);

class Track {
public:
    Track(Instrument instrument, std::vector<Note> notes);
    // Adds every voice sounding in [blockStart, blockStart + count) into left/right; returns whether
    // any did.
    bool render(float* left, float* right, int64_t blockStart, int count);
    const std::vector<Note>& notes() const { return notes_; }

private:
    Instrument instrument_;
    std::vector<Note> notes_;
    size_t next_ = 0;
    std::vector<std::unique_ptr<Voice>> active_;
};

} // namespace music
