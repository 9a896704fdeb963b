#pragma once

#include "core/recording/RecordingDevices.h"
#include "platform/audio/EarMonitorDevices.h"
#include "platform/codepage/UchardetTextEncodings.h"
#include "platform/collation/IcuCollator.h"
#include "platform/database/CatalogSelection.h"
#include "platform/files/FlockFileLocks.h"
#include "platform/loudness/SongLoudnessAnalyser.h"
#include "platform/lv2/Lv2VoiceEffects.h"
#include "platform/midi/MidiOutputDeviceList.h"
#include "platform/mixer/AlsaMixer.h"
#include "platform/mp3/LameMp3Encoder.h"
#include "platform/pinyin/IcuTextReadings.h"
#include "platform/qrcode/QrencodeEncoder.h"
#include "platform/timer/ThreadTimerDriver.h"
#include "platform/video/FfmpegVideoSongs.h"
#include "platform/video/VideoMelody.h"
#include "ui/catalog/CatalogWindow.h"
#include "ui/desktop/QtDesktopOpener.h"
#include "ui/desktop/QtProgramLauncher.h"
#include "ui/desktop/QtUiThreadPoster.h"
#include "ui/desktop/QtUserPrompts.h"
#include "ui/main/KaraokeApplication.h"
#include "ui/phone/PhoneWindow.h"

#include <QApplication>

#include <filesystem>
#include <memory>

namespace linlangok {

// The platform's services for one run of the application, built once from the environment
// (LINLANGOK_HOME, LINLANGOK_AUDIO_OUT, LINLANGOK_AUDIO_IN, LINLANGOK_SOUNDFONT,
// LINLANGOK_CODEPAGE, LINLANGOK_CATALOG) and handed down. Constructed on the UI thread after the QApplication.
class CPlatformServices {
public:
    explicit CPlatformServices(QApplication& application);
    ~CPlatformServices();

    CPlatformServices(const CPlatformServices&) = delete;
    CPlatformServices& operator=(const CPlatformServices&) = delete;

    ApplicationServices Services();
    CQtUserPrompts& Prompts() { return m_prompts; }

private:
    std::shared_ptr<const ICodePage> m_codePage;
    CUchardetTextEncodings m_textEncodings;
    CPathDisplay m_pathDisplay {*m_codePage, m_textEncodings};
    CIcuCollator m_collator;
    std::filesystem::path m_programFolder;
    CFlockFileLocks m_fileLocks;
    CLameMp3EncoderLibrary m_mp3Encoder;
    CAlsaMixerSystem m_mixers;
    CQtUserPrompts m_prompts;
    CQtUiThreadPoster m_uiThread;
    CQtDesktopOpener m_desktop;
    CQtProgramLauncher m_programs;
    CThreadTimerDriver m_timerDriver;
    std::unique_ptr<IAudioOutput> m_audioOutput;
    std::unique_ptr<CMidiOutputDeviceList> m_midiDevices;
    std::unique_ptr<IWaveInSystem> m_waveIn;
    std::unique_ptr<CInputDeviceList> m_inputDevices;
    CFfmpegVideoSongs m_videoSongs;
    CVideoSongReader m_videoSongReader;
    CSongLoudnessAnalyser m_loudnessAnalyser;
    CVideoMelodyDeriver m_videoMelodies;
    CLv2VoiceEffects m_voiceEffects {EffectHostPath()};
    std::unique_ptr<CEarMonitor> m_earMonitor; // on the same selections as the other devices
    // The catalogue's services; null when its database cannot be opened (the user was told).
    std::unique_ptr<CIcuTextReadings> m_textReadings;
    std::unique_ptr<CCatalogSelection> m_catalogSelection;
    std::unique_ptr<CPendingCounts> m_pendingCounts; // a venue's room's, else null
    std::unique_ptr<ICatalogStore> m_catalogStore;
    std::unique_ptr<CatalogServices> m_catalog;
    CQrencodeEncoder m_qrEncoder;
    std::unique_ptr<PhoneServices> m_phone; // with the catalogue
};

// The folder with help/ and demo/: beside the program in a build tree, else the installed
// share/linlangok under the program's prefix.
std::filesystem::path DataFolder();

} // namespace linlangok
