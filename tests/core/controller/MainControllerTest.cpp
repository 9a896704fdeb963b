#include "core/controller/MainController.h"
#include "common/EditText.h"
#include "core/controller/SongScoring.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "tests/core/session/SessionRig.h"
#include "tests/platform/audio/AudioTestSignals.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace linlangok {
namespace {

// The dialog's controls in memory: what the controller wrote.
struct CFakeControls final : IMainControls {
    void WriteControls(const MainControlValues& written) override { values = written; }
    void WritePitchText(const std::u16string& text) override { values.pitch = text; }
    void SetPitchUpDownPosition(int position) override { upDown = position; }
    void WriteTempoPercent(int percent) override { tempo = percent; }
    void WriteMelody(bool on) override { values.melody = on; }
    void ApplyEnableStates(const MainEnableStates& states) override { enables = states; }
    void SetButtonText(EControlRole, std::u16string_view) override { }
    void FocusControl(EControlRole control) override { focus = control; }
    void Beep() override { ++beeps; }
    void SetRecordTickRunning(bool running) override { recordTick = running; }
    void ShowStatus(const StatusValues& shown) override
    {
        status = shown;
        ++statusShown;
    }

    MainControlValues values;
    MainEnableStates enables;
    StatusValues status;
    int upDown = -1;
    int tempo = -1;
    std::optional<EControlRole> focus;
    int beeps = 0;
    int statusShown = 0;
    bool recordTick = false;
};

struct CFakeWindow final : ICompanionWindow, ILevelMeterControl, IDesktopOpener {
    bool IsShown() const override { return shown; }
    void SetShown(bool show) override { shown = show; }
    void Start() override { meterRunning = true; }
    void Stop() override { meterRunning = false; }
    void OpenDocument(const std::filesystem::path&) override { }
    void OpenWebPage(std::u16string_view) override { }

    bool shown = true;
    bool meterRunning = false;
};

// Takes the offered performances, noting whether the song still played when each came.
struct CFakeOffer final : IPerformanceOffer {
    void OfferPerformance(std::unique_ptr<CPerformanceTake> take) override
    {
        offers.push_back({take != nullptr, controller->IsPlaying() || audioPlayer->IsOpen()});
    }

    struct Offer {
        bool take;
        bool songPlaying;
        bool operator==(const Offer&) const = default;
    };
    const CMainController* controller = nullptr;
    const CAudioPlayer* audioPlayer = nullptr;
    std::vector<Offer> offers;
};

class MainControllerTest : public ::testing::Test {
protected:
    MainControllerTest()
        : companions {&window, &window, &window}
        , controller(
              MainControllerParts {rig.session, controls, rig.prompts, window, window, companions, "/help", &offer})
    {
        offer.controller = &controller;
        offer.audioPlayer = &rig.session.AudioPlayer();
        rig.session.SetAccompanimentPath(test::CSessionRig::DemoSong());
        controller.Initialize();
    }

    // (playing, recording) as the controller, the enable rules and the status display show them.
    void ExpectState(bool playing, bool recording)
    {
        EXPECT_EQ(controller.IsPlaying(), playing);
        EXPECT_EQ(controller.IsRecording(), recording);
        EXPECT_EQ(controls.enables, ComputeEnableStates(rig.session.Kind(), playing, recording));
        EXPECT_EQ(controls.status.playing, playing);
        EXPECT_EQ(controls.status.recording, recording);
        EXPECT_EQ(controls.recordTick, recording);
        EXPECT_EQ(window.meterRunning, playing || recording);
    }

    // The user types into the pitch edit: it holds the text, and the controller hears it.
    void TypePitch(const std::u16string& text)
    {
        controls.values.pitch = text;
        controller.Handle(command::PitchEdited {text});
    }

    test::CSessionRig rig;
    CFakeControls controls;
    CFakeWindow window;
    CompanionWindows companions;
    CFakeOffer offer;
    CMainController controller;
};

TEST(StatusTexts, DropoutsOfPlaybackAndRecordingAreCountedAndTold)
{
    StatusValues values;
    EXPECT_EQ(ComposeStatusTexts(values).dropouts, u"");
    values.playbackDropouts = 2;
    values.recordingDropouts = 5;
    const StatusTexts texts = ComposeStatusTexts(values);
    EXPECT_EQ(texts.dropouts, u"断音 7 次");
    EXPECT_EQ(texts.dropoutNotice, u"播放中出现 2 次断音，录音中出现 5 次断音(机器负载过高?)");
}

TEST_F(MainControllerTest, EveryTransitionOfTheStateTable)
{
    struct Step {
        MainCommand command;
        bool startTogether, stopTogether;
        bool playing, recording;
    };
    // Idle → Playing → Both (restart) → Recording → Both → Playing (no stop-together) → Idle →
    // Recording (no start-together) → Idle → Both → Idle (stop-together).
    const Step steps[] = {
        {command::Play {}, true, true, true, false},
        {command::Record {}, true, true, true, true},
        {command::Stop {}, true, true, false, true},
        {command::Play {}, true, true, true, true},
        {command::StopRecording {}, true, false, true, false},
        {command::Stop {}, true, true, false, false},
        {command::Record {}, false, true, false, true},
        {command::StopRecording {}, false, true, false, false},
        {command::Record {}, true, true, true, true},
        {command::StopRecording {}, true, true, false, false},
    };
    int step = 0;
    for (const Step& row : steps) {
        SCOPED_TRACE(step++);
        controller.Handle(command::SetStartTogether {row.startTogether});
        controller.Handle(command::SetStopTogether {row.stopTogether});
        controller.Handle(row.command);
        ExpectState(row.playing, row.recording);
        rig.Advance(100);
    }
    // Every take ended in the save-as flow, which the scripted prompts cancelled.
    EXPECT_EQ(rig.prompts.m_fileDialogs.size(), 3u);
}

TEST_F(MainControllerTest, RecordRestartsAPlayingSongOnlyWithStartTogether)
{
    controller.Handle(command::Play {});
    rig.Advance(3000);
    controller.Handle(command::Record {});
    EXPECT_LT(rig.session.Position(), 0.5); // started again from its beginning
    controller.Handle(command::StopRecording {});

    controller.Handle(command::Play {});
    rig.Advance(3000);
    controller.Handle(command::SetStartTogether {false});
    controller.Handle(command::Record {});
    EXPECT_GE(rig.session.Position(), 3.0);
    ExpectState(true, true);
}

TEST_F(MainControllerTest, TheSongEndsWhileTheRecordingGoesOn)
{
    const auto song = rig.home.Path() / "short.wav";
    test::WriteWavFile(song, test::SineFrames(44100, 440, 0.5)); // one second
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, Utf8ToUtf16(song.string())});
    controller.Handle(command::Record {});
    ExpectState(true, true);
    rig.Advance(1500);
    controller.DisplayTick();
    ExpectState(false, true);
    controller.RecordTick();
    controller.RecordTick();
    controller.DisplayTick();
    EXPECT_EQ(controls.status.recordingSeconds, 2);
    EXPECT_EQ(ComposeStatusTexts(controls.status).state, u"状态:  录音");
}

TEST_F(MainControllerTest, ThePerformanceIsOfferedOnlyForASavedVoiceWithTheSongHeard)
{
    const auto song = rig.home.Path() / "song.wav";
    test::WriteWavFile(song, test::SineFrames(44100 * 5, 440, 0.5));
    struct Row {
        const char* what;
        bool startTogether, stopTogether;
        std::optional<std::filesystem::path> voicePath;
        std::vector<CFakeOffer::Offer> offers;
    };
    const Row rows[] = {
        {"saved, song heard", true, true, rig.home.Path() / "voice.mp3", {{true, false}}},
        {"song still playing: it plays on", true, false, rig.home.Path() / "voice2.mp3", {{true, true}}},
        {"voice not saved", true, true, std::nullopt, {}},
        {"no song heard", false, true, rig.home.Path() / "voice3.mp3", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        offer.offers.clear();
        controller.Handle(command::Stop {});
        controller.Handle(command::PathEdited {EPathEdit::Accompaniment, Utf8ToUtf16(song.string())});
        controller.Handle(command::SetStartTogether {row.startTogether});
        controller.Handle(command::SetStopTogether {row.stopTogether});
        controller.Handle(command::Record {});
        for (int step = 0; step < 10; ++step) {
            rig.Advance(100);
            rig.waveIn.Capture(4410, 1000, -1000);
        }
        rig.prompts.m_paths = {row.voicePath};
        rig.prompts.m_answers = {EPromptAnswer::Yes}; // discarded, when not saved
        controller.Handle(command::StopRecording {});
        EXPECT_EQ(offer.offers, row.offers);
        ExpectState(!row.stopTogether, false);
    }
    EXPECT_EQ(rig.prompts.MessageTexts(), std::vector<std::string> {"这段录音还没有保存, 要放弃它吗?"});
    // Offered or dropped, no take leaves its temporary files behind.
    for (const auto& entry : std::filesystem::directory_iterator(rig.home.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".$$performance"), std::string::npos) << entry.path();
}

// A venue's catalogue: the demo song, which another room scored 90, and the scores this room sends.
struct CVenueStore final : ICatalogStore, ITextFolding, IPinyin {
    std::vector<std::filesystem::path> Folders() override { return {}; }
    void AddFolder(const std::filesystem::path&) override { }
    void RemoveFolder(const std::filesystem::path&) override { }
    std::vector<CatalogSong> LoadSongs() override { return songs; }
    std::vector<SongFile> LoadUnreadable() override { return {}; }
    void Apply(CatalogChanges&) override { }
    void CountSung(std::int64_t) override { }
    void KeepBestScore(std::int64_t id, std::int32_t score) override { sent.push_back({id, 0, score}); }
    std::u16string Fold(std::u16string_view text) override { return std::u16string(text); }
    std::vector<std::string> Readings(char32_t) override { return {}; }

    std::vector<CatalogSong> songs;
    std::vector<SongCount> sent;
};

TEST(SongScoring, ASongWithAMelodyIsJudgedWhenItStopsAndRemembersItsBestAnotherSaysItHasNone)
{
    test::CSessionRig rig;
    CLiveScoring live(rig.waveIn, MakeAubioPitchTracker);
    CSongScoring scoring({rig.session, live, nullptr, nullptr, rig.home.Path()});
    CFakeControls controls;
    CFakeWindow window;
    const CompanionWindows companions {&window, &window, &window};
    CMainController controller(MainControllerParts {
        rig.session, controls, rig.prompts, window, window, companions, "/help", nullptr, &scoring});
    rig.session.SetAccompanimentPath(test::CSessionRig::DemoSong());
    CVenueStore venue;
    venue.songs.emplace_back().identity = rig.session.Remembered().Identity().value();
    venue.songs[0].id = 5;
    venue.songs[0].bestScore = 90;
    const CPathDisplay names(rig.gbk, NoEncodingDetection());
    CCatalogService catalogue(
        {[&venue] { return std::make_unique<CVenueStore>(venue); }, {}, venue, venue, names, rig.uiThread});
    ASSERT_TRUE(catalogue.Refresh(false));
    for (int waits = 0; waits < 100 && catalogue.IsBusy(); ++waits) {
        rig.uiThread.WaitForTask(std::chrono::milliseconds(100));
        rig.uiThread.RunPending();
    }
    scoring.ShareBestScores(catalogue, venue);
    controller.Initialize();
    controller.Handle(command::Play {});
    ASSERT_TRUE(scoring.View());
    EXPECT_FALSE(scoring.View()->notes.empty()) << "the first notes are in the lane";
    rig.Advance(1000);
    controller.Handle(command::Stop {});
    ASSERT_TRUE(scoring.LastResult());
    EXPECT_EQ(scoring.LastResult()->score, 0) << "nobody sang";
    EXPECT_GT(scoring.LastResult()->notes, 40);
    EXPECT_TRUE(scoring.View()->result) << "the score screen";
    EXPECT_EQ(rig.session.Remembered().RecallAnew().bestScore, 0);
    EXPECT_EQ(controls.status.notice, u"得分 0 (最高 90)") << "the venue's best";
    EXPECT_TRUE(venue.sent.empty()) << "a worse score than the venue's is not sent";

    const auto song = rig.home.Path() / "song.wav";
    test::WriteWavFile(song, test::SineFrames(44100, 440, 0.5));
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, Utf8ToUtf16(song.string())});
    controller.Handle(command::Play {});
    EXPECT_EQ(scoring.Notice(), u"本歌曲无评分数据");
    EXPECT_FALSE(scoring.View());
}

TEST_F(MainControllerTest, PitchAndTempoAreClampedAndOnlyEditableForAStoppedMidiSong)
{
    struct Row {
        std::u16string typed;
        std::u16string shown;
        std::int32_t stored;
        int beeps;
    };
    const Row rows[] = {{u"200", u"127", 127, 0}, {u"-300", u"-127", -127, 0}, {u"-", u"-", 0, 1}, {u"5", u"5", 5, 0}};
    for (const Row& row : rows) {
        controls.beeps = 0;
        TypePitch(row.typed);
        EXPECT_EQ(controls.values.pitch, row.shown);
        EXPECT_EQ(rig.session.KeyAndTempo().Pitch(), row.stored);
        EXPECT_EQ(controls.upDown, row.stored + kPitchUpDownOffset);
        EXPECT_EQ(controls.beeps, row.beeps);
    }
    // The up-down's lowest position gives -128, which the edit clamps back.
    controller.Handle(command::PitchStepped {0});
    EXPECT_EQ(controls.values.pitch, u"-127");
    EXPECT_EQ(controls.upDown, 1);
    EXPECT_EQ(controls.focus, EControlRole::PitchEdit);

    EXPECT_EQ(controls.tempo, 100);
    const std::pair<int, int> tempos[] = {{40, 50}, {200, 150}, {85, 150}}; // typed, shown: 85 is not rewritten
    for (const auto& [typed, shown] : tempos) {
        controller.Handle(command::TempoEdited {typed});
        EXPECT_EQ(controls.tempo, shown);
        EXPECT_EQ(controller.TempoPercent(), std::clamp(typed, 50, 150));
    }

    controller.Handle(command::Play {});
    EXPECT_EQ(rig.session.Sequencer().Clock().TempoPercent(), 85);
    EXPECT_FALSE(controls.enables.pitch); // the tempo too
    controller.Handle(command::Stop {});
    EXPECT_TRUE(controls.enables.pitch);
}

// The key is remembered when it is used (Play, another song, quitting), not at each keystroke.
TEST_F(MainControllerTest, TypingThePitchWritesNothingUntilTheKeyIsUsed)
{
    const auto remembered = [this](std::string_view pitch) {
        const auto memory = rig.home.Path() / kSongMemoryFileName;
        const std::string text = std::filesystem::exists(memory) ? test::ReadWholeFile(memory) : "";
        return text.find("pitch=" + std::string(pitch) + "\n") != std::string::npos;
    };
    for (const auto& [pitch, use] : {std::pair<std::string_view, MainCommand> {"-11", command::Play {}},
             {"-12", command::PickSong {u"/songs/other.mid"}}, {"-13", command::Quit {}}}) {
        controller.Handle(command::Stop {});
        controller.Handle(command::PickSong {test::CSessionRig::DemoSong()});
        TypePitch(u"-1");
        TypePitch(Utf8ToUtf16(pitch));
        EXPECT_FALSE(remembered("-1") || remembered(pitch)) << pitch;
        controller.Handle(use);
        EXPECT_TRUE(remembered(pitch)) << pitch;
    }
}

// The edit shows the song that plays: a typed path reaches the session at Play as at Record.
TEST_F(MainControllerTest, TypedPathsReachTheSessionThroughPlayAndRecord)
{
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, u"/typed/other.mid"});
    controller.Handle(command::Play {});
    EXPECT_EQ(rig.session.AccompanimentPath(), u"/typed/other.mid");
    controller.Handle(command::Stop {});
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, u"/typed/third.mid"});
    controller.Handle(command::Record {});
    EXPECT_EQ(rig.session.AccompanimentPath(), u"/typed/third.mid");
}

// Every way out asks first while recording, then ends the take through its save flow: saved,
// discarded on the user's word, or, when nobody answers (a termination signal), kept under a
// dated name in the program folder.
TEST_F(MainControllerTest, QuittingNeverLosesATake)
{
    const auto saved = rig.home.Path() / "take.mp3";
    using enum EPromptAnswer;
    // The answers (the question, then the save flow's), the dialog's path, whether the program
    // quits, and the MP3 files in the program folder after.
    const std::tuple<std::deque<EPromptAnswer>, std::optional<std::filesystem::path>, bool, long> rows[] = {
        {{No}, std::nullopt, false, 0}, // stays
        {{Yes}, saved, true, 1}, {{Yes, Yes}, std::nullopt, true, 1}, // discarded
        {{}, std::nullopt, true, 2}, // nobody answers: "未保存的录音 …"
    };
    for (const auto& [answers, path, quits, mp3Files] : rows) {
        if (!controller.IsRecording())
            controller.Handle(command::Record {});
        rig.waveIn.Capture(4410, 1000, -1000);
        rig.prompts.m_messages.clear();
        rig.prompts.m_answers = answers;
        rig.prompts.m_paths = {path};
        controller.Handle(command::Quit {});
        EXPECT_EQ(controller.IsRecording(), !quits);
        EXPECT_EQ(rig.prompts.MessageTexts().at(0), "当前正在录音,需要退出程序吗?");
        EXPECT_EQ(std::count_if(std::filesystem::directory_iterator(rig.home.Path()), {},
                      [](const auto& entry) { return entry.path().extension() == ".mp3"; }),
            mp3Files);
        EXPECT_EQ(std::filesystem::exists(rig.home.Path() / ".$$a.tmp"), !quits);
    }
    EXPECT_FALSE(test::ReadWholeFile(saved).empty());
}

TEST_F(MainControllerTest, TimersLeaveTheSessionAloneWhileABoxIsOpen)
{
    // A file that is no MIDI file raises a box in the middle of the load; the box's event loop
    // runs the display tick, which would otherwise find position 0 ≥ length 0 and stop.
    controller.Handle(
        command::PathEdited {EPathEdit::Accompaniment, PathToUtf16(rig.home.WriteFile("bad.mid", "not a midi file"))});
    int ticksDuringBox = 0;
    rig.prompts.m_whileShowing = [&] {
        const int shownBefore = controls.statusShown;
        controller.DisplayTick();
        ticksDuringBox += controls.statusShown - shownBefore;
        EXPECT_FALSE(controller.TimersMayRun());
    };
    controller.Handle(command::Play {});
    EXPECT_FALSE(rig.prompts.m_messages.empty());
    EXPECT_EQ(ticksDuringBox, 0);
    EXPECT_TRUE(controller.IsPlaying());
    rig.prompts.m_whileShowing = nullptr;
    controller.DisplayTick(); // now the song-end rule ends it
    EXPECT_FALSE(controller.IsPlaying());
}

TEST_F(MainControllerTest, ARecordingThatCannotStartIsNotShownAsRunning)
{
    rig.waveIn.FailOn("open", 1, 4);
    controller.Handle(command::Record {}); // nor is the song it would have started
    ExpectState(false, false);
    ASSERT_FALSE(rig.prompts.m_messages.empty());
    EXPECT_EQ(rig.prompts.MessageTexts().back(), "Can't open WaveIN Device.");
}

TEST_F(MainControllerTest, PickOnlyWhenIdleAndPlayNowInAnyState)
{
    const std::u16string wav = Utf8ToUtf16(rig.home.Path().string()) + u"/song.wav";
    test::WriteWavFile(Utf16ToPath(wav), test::SineFrames(44100 * 3, 440, 0.5));
    controller.Handle(command::PickSong {wav});
    EXPECT_EQ(rig.session.Kind(), ESongKind::Audio);
    EXPECT_EQ(controls.values.accompaniment, wav);
    EXPECT_FALSE(controls.enables.saveAs);
    EXPECT_TRUE(controls.enables.pitch);

    TypePitch(u"3");
    controller.Handle(command::PlayNow {test::CSessionRig::DemoSong()}); // no key remembered: it plays at the 0 shown
    EXPECT_TRUE(controller.IsPlaying());
    EXPECT_EQ(rig.session.Kind(), ESongKind::Midi);
    EXPECT_EQ(controls.values.pitch, u"0");
    const auto notesPlayed = [this] {
        rig.Advance(2000);
        std::vector<std::uint32_t> notes = rig.midi.ShortMessages();
        std::erase_if(notes, [](std::uint32_t message) { return (message & 0xF0) != 0x90; });
        rig.midi.Clear();
        return notes;
    };
    const std::vector<std::uint32_t> playedNow = notesPlayed();
    controller.Handle(command::Play {});
    EXPECT_EQ(notesPlayed(), playedNow);

    controller.Handle(command::PickSong {wav}); // playing: nothing changes
    EXPECT_EQ(rig.session.AccompanimentPath(), test::CSessionRig::DemoSong());
    TypePitch(u"3");
    controller.Handle(command::PlayNow {wav}); // an audio song takes the pitch at once: it plays at the 0 shown
    EXPECT_EQ(rig.session.Kind(), ESongKind::Audio);
    EXPECT_TRUE(controller.IsPlaying());
    EXPECT_EQ(controls.values.pitch, u"0");
    EXPECT_EQ(rig.session.AudioPlayer().Settings().semitones, 0);
}

TEST_F(MainControllerTest, AnAudioSongChangesKeyWhileItPlaysWithinTwelveSemitones)
{
    const auto wav = rig.home.Path() / "song.wav";
    test::WriteWavFile(wav, test::SineFrames(44100 * 3, 440, 0.5));
    controller.Handle(command::PathEdited {EPathEdit::Accompaniment, Utf8ToUtf16(wav.string())});
    TypePitch(u"20"); // in the MIDI range while no song has played
    EXPECT_EQ(controls.values.pitch, u"20");
    controller.Handle(command::Play {});
    EXPECT_TRUE(controls.enables.pitch);
    const std::pair<std::function<void()>, std::u16string_view> rows[] = {
        {[] {}, u"12"}, // the edit shows what plays
        {[&] { controller.Handle(command::StepPitch {+1}); }, u"12"},
        {[&] { controller.Handle(command::StepPitch {-1}); }, u"11"},
        {[&] { controller.Handle(command::PitchStepped {kPitchUpDownOffset - 13}); }, u"-12"},
        {[&] { TypePitch(u"-3"); }, u"-3"},
    };
    for (const auto& [change, text] : rows) {
        change();
        const std::int32_t shown = *ParseSignedNumber(text);
        EXPECT_EQ(controls.values.pitch, text);
        EXPECT_EQ(controls.upDown, shown + kPitchUpDownOffset);
        EXPECT_EQ(rig.session.AudioPlayer().Settings().semitones, shown); // at once, while playing
    }
    controller.Handle(command::TempoEdited {200});
    EXPECT_EQ(controls.tempo, 150);
    EXPECT_EQ(rig.session.AudioPlayer().Settings().tempoPercent, 150);
    controller.Handle(command::Stop {});
    EXPECT_TRUE(controls.enables.pitch);
}

TEST_F(MainControllerTest, ShortcutsAndDroppedFilesDoWhatTheirControlsDo)
{
    controller.Handle(command::DropFile {rig.home.WriteFile("words.LRC", "[00:01]x\n")});
    EXPECT_EQ(controls.values.lyric, Utf8ToUtf16((rig.home.Path() / "words.LRC").string()));
    controller.Handle(command::DropFile {"/songs/b.mid"});
    EXPECT_EQ(controls.values.accompaniment, u"/songs/b.mid");
    EXPECT_EQ(rig.session.AccompanimentPath(), u"/songs/b.mid");

    controller.Handle(command::PickSong {test::CSessionRig::DemoSong()}); // a MIDI song: the pitch can change
    controls.focus.reset();
    controller.Handle(command::StepPitch {+1});
    controller.Handle(command::StepPitch {+1});
    EXPECT_EQ(controls.values.pitch, u"2");
    EXPECT_EQ(controls.focus, std::nullopt); // the next key press is a shortcut again

    controller.Handle(command::Play {});
    controller.Handle(command::StepPitch {-1}); // the pitch cannot change while a MIDI song plays
    EXPECT_EQ(rig.session.KeyAndTempo().Pitch(), 2);
}

TEST_F(MainControllerTest, ASongComesBackWithWhatItRemembersWhereverItWasMoved)
{
    const auto song = rig.home.Path() / "song.mid";
    std::filesystem::copy_file(Utf16ToPath(test::CSessionRig::DemoSong()), song);
    const std::u16string wav = Utf8ToUtf16((rig.home.Path() / "song.wav").string());
    test::WriteWavFile(Utf16ToPath(wav), test::SineFrames(44100, 440, 0.5));
    const auto lyric = rig.home.WriteFile("words.lrc", "[00:00.00]啊\n");
    const auto melodyNotesSent = [this] {
        const std::vector<std::uint32_t> sent = rig.midi.ShortMessages();
        return std::count_if(sent.begin(), sent.end(), [](std::uint32_t message) { return (message & 0xFF) == 0x90; });
    };

    controller.Handle(command::PickSong {Utf8ToUtf16(song.string())});
    TypePitch(u"3");
    controller.Handle(command::SetMelody {false});
    controller.Handle(command::PickSong {wav});
    rig.prompts.m_paths = {lyric};
    controller.Handle(command::Browse {EPathEdit::Lyric});
    TypePitch(u"-5"); // a WAV file has no key to remember

    // Moved and renamed, played now: the remembered key wins over the 0 that Play now sets.
    std::filesystem::create_directory(rig.home.Path() / "moved");
    const auto moved = rig.home.Path() / "moved" / "改名.mid";
    std::filesystem::rename(song, moved);
    controller.Handle(command::PlayNow {Utf8ToUtf16(moved.string())});
    EXPECT_EQ(controls.values.pitch, u"3");
    EXPECT_EQ(rig.session.KeyAndTempo().Pitch(), 3);
    EXPECT_FALSE(controls.values.melody);
    rig.Advance(3000);
    EXPECT_EQ(melodyNotesSent(), 0);
    controller.Handle(command::ToggleMelody {}); // F2: at once, while playing, and the box shows it
    EXPECT_TRUE(controls.values.melody);
    rig.Advance(3000);
    EXPECT_GT(melodyNotesSent(), 0);
    controller.Handle(command::SetMelody {false});
    controller.Handle(command::Stop {});

    controller.Handle(command::PlayNow {wav});
    EXPECT_EQ(controls.values.lyric, Utf8ToUtf16(lyric.string()));
    EXPECT_EQ(controls.values.pitch, u"0");
    EXPECT_TRUE(controls.values.melody); // on, as for every song that remembers no switch
    controller.Handle(command::Stop {});
    controller.Handle(command::PickSong {Utf8ToUtf16(moved.string())});
    EXPECT_EQ(controls.values.pitch, u"3");
    EXPECT_FALSE(controls.values.melody);
    // Nothing remembered: the key and the lyric file stay.
    controller.Handle(command::PickSong {Utf8ToUtf16(rig.home.WriteFile("other.mid", "MThd").string())});
    EXPECT_EQ(controls.values.pitch, u"3");
    EXPECT_EQ(controls.values.lyric, Utf8ToUtf16(lyric.string()));
    EXPECT_TRUE(controls.values.melody);
    EXPECT_TRUE(rig.prompts.m_messages.empty());
}

} // namespace
} // namespace linlangok
