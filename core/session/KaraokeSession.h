#pragma once

#include "common/CodePage.h"
#include "common/SongKind.h"
#include "common/TextEncodings.h"
#include "core/cdg/Mp3gSong.h"
#include "core/midiplay/MidiSequencer.h"
#include "core/performance/RecordingController.h"
#include "core/picture/VideoSong.h"
#include "core/playback/AudioPlayer.h"
#include "core/session/DropoutCounter.h"
#include "core/session/KeyAndTempo.h"
#include "core/session/RememberedSong.h"
#include "core/session/SongLeveling.h"
#include "core/session/SongLyrics.h"
#include "core/session/SongTexts.h"
#include "core/session/SongVideo.h"
#include "midi/MidiSong.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <string>

namespace linlangok {

// What the session's engines are built on. Everything is owned by the program's main and
// outlives the session.
struct SessionServices {
    IUserPrompts& prompts;
    IUiThreadPoster& uiThread;
    IPeriodicTimerDriver& timerDriver;
    IMidiOutputDeviceList& midiDevices;
    IAudioOutput& audioOutput;
    AudioFileOpener openAudioFile;
    AudioStretcherFactory makeAudioStretcher; // key and tempo of audio songs
    CInputDeviceList& inputDevices;
    IMixerSystem& mixers;
    IMp3EncoderLibrary* mp3Encoder; // null: recordings fail with the encoder's loading error
    const ICodePage& codePage;
    const ITextEncodings& textEncodings; // of song texts: MIDI meta texts and LRC files
    std::ostream& standardOutput;
    std::filesystem::path programFolder;
    IFileLocks& fileLocks; // between instances on the program folder
    // Measures songs for leveling; null: every song plays at the gain of a typical song of its kind.
    ISongLoudnessAnalyser* loudnessAnalyser = nullptr;
    // Opens MP3+G songs (IsMp3gSong) with their pictures; empty: they play as other audio files.
    Mp3gSongOpener openMp3gSong = {};
    // Video songs' sound and pictures; null: video files do not play.
    IVideoSongs* videoSongs = nullptr;
    // The FFT of the vocal reduction that gives an audio song without a backing of its own one
    // (CSongVideo::HasBacking); empty: such songs have none.
    RealFftFactory makeFft = {};
};

// The karaoke session: turns the chosen accompaniment and lyric files into running engines. It
// knows the song kind, starts and stops the sequencer or the audio player, transposes songs,
// chooses the lyrics, reports position and length, holds the recording controller and saves a
// transposed copy. What belongs to one concern is a part of its own, reached through the session:
// the lyrics, the key and tempo, the video and its pictures, the leveling, the song's texts and
// the dropout count. It shows nothing itself (the engines report their own errors) and keeps no
// playing or recording flags. Every operation runs on the UI thread.
//
// Songs remember, in SongMemory.ini in the program folder (CRememberedSong): the pitch, the lyric
// path, the guide melody, the encoding override, the LRC offset, the vocal layout and the loudness.
class CKaraokeSession {
public:
    // Creates the Lyric folder under the program folder (failures are ignored).
    explicit CKaraokeSession(const SessionServices& services);
    ~CKaraokeSession();

    CKaraokeSession(const CKaraokeSession&) = delete;
    CKaraokeSession& operator=(const CKaraokeSession&) = delete;

    const std::u16string& AccompanimentPath() const { return m_accompanimentPath; }
    void SetAccompanimentPath(std::u16string path) { m_accompanimentPath = std::move(path); }
    ESongKind Kind() const { return m_kind; }
    // A song picked in a list: the kind is detected and stored without playing.
    void PickKind(const std::u16string& path) { m_kind = DetectSongKind(path); }

    // Stops what played, detects the kind, loads a MIDI song (a failed load stops here), chooses
    // the lyrics, transposes by the pitch and starts the sequencer, or plays the audio file: an
    // MP3+G song with its picture; a video's sound, with its original vocal or its backing as the
    // guide-melody switch says, and then its pictures; or "播放文件时出错!" and the reason when it
    // cannot be opened. A video without sound is refused with a message.
    void Play();
    void Stop();
    // Seconds into the song; 0 before anything played and after a MIDI file that did not load.
    double Position() const;
    // The song's length in whole seconds (truncated); 0 as Position is.
    std::int32_t Length() const;
    // The song time the listener hears now: Position less what the output still holds (its
    // latency, in song time). What a song's picture is drawn from.
    double HeardPosition() const;
    // How fast song time runs: the tempo the song plays at (1.5 at 150 %).
    double SongSecondsPerSecond() const;
    // The song-end rule: the position has reached the exact length (not only its whole seconds,
    // which would cut off up to a second of the song). True when nothing plays.
    bool HasReachedEnd() const;
    // Writes the accompaniment file transposed by the pitch. The copy is made from a song object
    // of its own, so a song that plays goes on undisturbed.
    void SaveTransposed(const std::filesystem::path& path);

    // Restores what is remembered of the accompaniment file. The pitch and the lyric path (when
    // that file still exists) are restored when remembered and keep their values otherwise, as
    // the main window's flows want; the guide melody, the encoding override and the LRC offset
    // belong to the song alone and become on, none and 0 when nothing is remembered. The guide
    // melody takes effect at the next Play, so a song that plays meanwhile goes on as it is.
    // Returns what was restored.
    SongMemoryValues RecallSong();
    // The guide melody: the notes of the melody channel (CMidiSong::MelodyChannel) play when on;
    // off mutes them, at once while a MIDI song plays. Of a video song, the original vocal (原唱)
    // when on and the backing (伴唱) when off, heard at once. On at start. Setting it remembers it
    // for the song.
    bool Melody() const { return m_melody; }
    void SetMelody(bool on);

    // What the song remembers, by its identity.
    CRememberedSong& Remembered() { return m_remembered; }
    CSongLyrics& Lyrics() { return m_lyrics; }
    CKeyAndTempo& KeyAndTempo() { return m_keyAndTempo; }
    CSongVideo& Video() { return m_video; }
    CSongLeveling& Leveling() { return m_leveling; }
    CSongTexts& Texts() { return m_texts; }
    // The dropouts from the last Play that started a song to its Stop, so far while it plays.
    const CDropoutCounter& Dropouts() const { return m_dropouts; }

    CMidiSong& Song() { return *m_song; }
    CMidiSequencer& Sequencer() { return *m_sequencer; }
    CAudioPlayer& AudioPlayer() { return *m_audioPlayer; }
    CRecordingController& Recording() { return *m_recording; }

private:
    // Mutes the melody channel of the loaded song, or nothing, as the guide melody says; a video
    // that plays is heard with its vocal or its backing.
    void ApplyMelody();

    SessionServices m_services;
    std::u16string m_accompanimentPath;
    CRememberedSong m_remembered;
    CSongTexts m_texts;
    CSongLyrics m_lyrics;
    std::unique_ptr<CRecordingController> m_recording;
    ESongKind m_kind = ESongKind::None;
    std::unique_ptr<CMidiSong> m_song;
    bool m_songLoaded = false; // the last MIDI Play loaded its file
    std::unique_ptr<CMidiSequencer> m_sequencer;
    std::unique_ptr<CAudioPlayer> m_audioPlayer;
    CKeyAndTempo m_keyAndTempo;
    bool m_melody = true;
    std::optional<std::uint8_t> m_melodyChannel; // of the MIDI song loaded last
    CSongVideo m_video;
    CDropoutCounter m_dropouts;
    CSongLeveling m_leveling; // its analysis stops first
};

} // namespace linlangok
