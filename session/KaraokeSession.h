#pragma once

#include "common/CodePage.h"
#include "engine/AudioPlayer.h"
#include "engine/MidiSequencer.h"
#include "engine/RecordingController.h"
#include "midi/MidiSong.h"
#include "session/SongKind.h"

#include <filesystem>
#include <memory>
#include <ostream>
#include <string>

namespace linlangok {

class ILyricsShow;
class ILyricTrackView;

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
    std::ostream& standardOutput;
    std::filesystem::path programFolder;
};

// The karaoke session: turns the chosen accompaniment and lyric files into running engines. It
// knows the song kind, starts and stops the sequencer or the audio player, transposes songs,
// chooses the lyrics, reports position and length, passes recording through and saves a
// transposed copy. It shows nothing itself (the engines report their own errors) and keeps no
// playing or recording flags. Every operation runs on the UI thread.
class CKaraokeSession {
public:
    // Creates the Lyric folder under the program folder (failures are ignored).
    explicit CKaraokeSession(const SessionServices& services);
    ~CKaraokeSession();

    CKaraokeSession(const CKaraokeSession&) = delete;
    CKaraokeSession& operator=(const CKaraokeSession&) = delete;

    // Binds the lyrics show window: the LRC lines it loads and the MIDI lyric track it draws.
    // Until then the lyrics go nowhere. Both outlive the session or are detached with nulls.
    void AttachLyrics(ILyricsShow* show, ILyricTrackView* trackView);
    // The attached lyrics show window, or one that shows nothing.
    ILyricsShow& LyricsShow() { return *m_lyricsShow; }

    const std::u16string& AccompanimentPath() const { return m_accompanimentPath; }
    void SetAccompanimentPath(std::u16string path) { m_accompanimentPath = std::move(path); }
    const std::u16string& LyricPath() const { return m_lyricPath; }
    void SetLyricPath(std::u16string path) { m_lyricPath = std::move(path); }
    int32_t Pitch() const { return m_pitch; }
    // A MIDI song takes the pitch at its next Play; an audio song at once, within -12..12.
    void SetPitch(int32_t pitch);
    // The tempo of audio songs, at once, within 50..150 %; positions and lengths stay in song time.
    void SetTempoPercent(int32_t percent);
    ESongKind Kind() const { return m_kind; }
    // The idle flag: the song has no lyrics and the lyrics window shows its idle lines.
    bool IsIdle() const { return m_idle; }

    // A song picked in a list: the kind is detected and stored without playing.
    void PickKind(const std::u16string& path) { m_kind = DetectSongKind(path); }

    // Stops what played, detects the kind, loads a MIDI song (a failed load stops here), chooses
    // the lyrics, transposes by the pitch and starts the sequencer, or plays the audio file.
    void Play();
    void Stop();
    // Whether a recording now runs; a failure has been reported through the prompts.
    bool StartRecording();
    void StopRecording();
    // Seconds into the song; 0 before anything played and after a MIDI file that did not load.
    double Position() const;
    // The song's length in whole seconds (truncated); 0 as Position is.
    int32_t Length() const;
    // The song-end rule: the position has reached the exact length (not only its whole seconds,
    // which would cut off up to a second of the song). True when nothing plays.
    bool HasReachedEnd() const;
    // Writes the accompaniment file transposed by the pitch. The copy is made from a song object
    // of its own, so a song that plays goes on undisturbed.
    void SaveTransposed(const std::filesystem::path& path);

    CMidiSong& Song() { return *m_song; }
    CMidiSequencer& Sequencer() { return *m_sequencer; }
    CAudioPlayer& AudioPlayer() { return *m_audioPlayer; }
    CRecordingController& Recording() { return *m_recording; }

private:
    // Transposes every track of the song by the pitch; nothing outside -127..127.
    void Transpose(CMidiSong& song) const;

    SessionServices m_services;
    std::filesystem::path m_lyricFolder;
    ILyricsShow* m_lyricsShow = nullptr;
    std::u16string m_accompanimentPath;
    std::u16string m_lyricPath;
    int32_t m_pitch = 0;
    std::unique_ptr<CRecordingController> m_recording;
    ESongKind m_kind = ESongKind::None;
    std::unique_ptr<CMidiSong> m_song;
    bool m_songLoaded = false; // the last MIDI Play loaded its file
    std::unique_ptr<CMidiSequencer> m_sequencer;
    std::unique_ptr<CAudioPlayer> m_audioPlayer;
    bool m_idle = false;
};

} // namespace linlangok
