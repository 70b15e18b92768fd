// SoundManager: the one music file of a script, loaded as a tracker module or else as a stream,
// played, positioned, and read back as the demo clock (ms) and a level (VU).
#pragma once

#include <memory>
#include <string>

#include "foundation/StringC.h"

class AudioOutput;
class MusicBuffer;
class MusicDecoder;
class MusicPlayback;

// Plays through the installed audio output (platform().createAudioOutput); headless, or with
// no output installed, the music is decoded but not played and its time follows
// platform().clock. Without an audio device it runs the same way with one warning.
// The music is decoded once, from its start, into memory (MusicBuffer) while the script goes
// on loading; everything that sounds or is captured comes from there.
class SoundManager {
public:
    // How much music is decoded, counted from where it starts (a stream's start offset on):
    // the demo's 285 s and a second more. About 101 MB of samples.
    static constexpr int kDefaultHorizonMs = 286000;
    // Sets the horizon of the music loaded from now on (the renderer's --end beyond the demo).
    static void setHorizonMs(int ms);

    SoundManager();
    ~SoundManager();
    SoundManager(const SoundManager&) = delete;
    SoundManager& operator=(const SoundManager&) = delete;

    // Opens the file as a module, else as a stream (the decoders decide, not the extension), and
    // the audio device unless `onDevice` is false. False with a warning (caption "SoundManager")
    // when it is neither or music cannot start.
    bool load(const StringC& fileName, bool onDevice = true);
    // Starts the music; nothing without music or when already playing.
    void play();
    // Streams only: moves to `ms`, and the time then includes it. Nothing for a module.
    void setTime(int ms);
    // Streams and modules: moves the music to `ms` (the authoring mode's seek).
    void seek(int ms);
    // Holds the music and its time, or lets them go on.
    void pause(bool paused);
    // A reader of the decoded music from `ms` on (the music of a capture); its reads wait for
    // the decoding. Null without music.
    [[nodiscard]] std::unique_ptr<MusicDecoder> openDecoder(int ms) const;
    // Waits until the music is decoded up to `ms` (or ends before it); nothing without music.
    void waitUntilDecoded(int ms) const;
    // Playing position in ms (a module counts from 0); 0 without music.
    int getTime();
    // Streams: peak level 0..1 of what is playing now; modules and no music: 0.0.
    float getVU();
    // Stops and frees the music and the audio output.
    void close();

    // Offers this music's decoded samples to the loads that follow (a reload of the same
    // script): one of the same file, unchanged on disk, takes them instead of decoding again.
    void keepMusicForNextLoads() const;
    // Ends the offer (the memory goes with the last SoundManager using it).
    static void dropKeptMusic();

    const StringC& getFileName() const { return m_fileName; }
    bool isModule() const { return m_pPlayback && m_isModule; }
    bool isStream() const { return m_pPlayback && !m_isModule; }

private:
    StringC m_fileName;
    std::unique_ptr<AudioOutput> m_pOutput;      // opened by load, until a playback takes it
    std::shared_ptr<MusicBuffer> m_pMusic;       // the decoded music, shared with the playback
    std::string m_identity;                      // the file as loaded: path, size and change time
    std::unique_ptr<MusicPlayback> m_pPlayback;  // null: no music (the module or stream handle)
    bool m_isModule = false;
};
