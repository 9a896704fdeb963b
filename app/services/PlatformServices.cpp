#include "app/services/PlatformServices.h"

#include "common/ProgramFolder.h"
#include "common/Text.h"
#include "core/catalog/RoomCatalogStore.h"
#include "core/lyrics/LyricFileLookup.h"
#include "platform/audio/AudioOutputDevices.h"
#include "platform/audio/RubberBandStretcher.h"
#include "platform/audio/WaveInSystem.h"
#include "platform/codepage/IconvCodePage.h"
#include "platform/database/PostgresCatalogStore.h"
#include "platform/fft/FftwRealFft.h"
#include "platform/http/HttplibServer.h"
#include "platform/mp3g/Mp3gSongFiles.h"
#include "platform/pitch/AubioPitchTracker.h"
#include "platform/tags/SongFileReader.h"

#include <cstdlib>
#include <iostream>
#include <stdexcept>

namespace linlangok {

std::filesystem::path DataFolder()
{
    const std::filesystem::path beside = ExecutableFolder();
    if (std::filesystem::is_directory(beside / "demo"))
        return beside;
    return InstalledDataFolder(beside);
}

CPlatformServices::CPlatformServices(QApplication& application)
    : m_codePage(CreateLegacyCodePage())
    , m_textEncodings(*m_codePage)
    , m_programFolder(ProgramFolder())
    , m_uiThread(application)
    , m_loudnessAnalyser(MeasuredSoundOpener(OpenSongAudio, &m_videoSongs, *m_codePage), *m_codePage)
    , m_videoMelodies(m_videoSongs, MakeAubioPitchTracker)
{
    const char* output = std::getenv("LINLANGOK_AUDIO_OUT");
    const auto loopback = std::make_shared<CLoopbackLine>();
    // A refused selection is shown, and the program runs on the null devices.
    try {
        m_audioOutput = OpenAudioOutput(output && *output ? output : "default", kDefaultBufferFrames, loopback);
    } catch (const std::exception& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        m_audioOutput = OpenAudioOutput("null");
    }
    m_midiDevices = std::make_unique<CMidiOutputDeviceList>(
        FindSoundFont(std::getenv("LINLANGOK_SOUNDFONT")), *m_audioOutput, true);
    try {
        m_waveIn = CreateWaveInSystem(loopback);
    } catch (const std::invalid_argument& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
        m_waveIn = std::make_unique<CWaveInSystem>(CaptureDevicesForSelection("null"));
    }
    m_inputDevices = std::make_unique<CInputDeviceList>(*m_waveIn, m_mixers);
    m_earMonitor
        = std::make_unique<CEarMonitor>(CreateEarMonitorDevices(kEarMonitorQuantum, loopback), CFftwRealFft::Create);
    try {
        m_textReadings = std::make_unique<CIcuTextReadings>();
        const char* environment = std::getenv("LINLANGOK_CATALOG");
        m_catalogSelection = std::make_unique<CCatalogSelection>(m_programFolder, RememberedCatalogConnection());
        const CCatalogSelection& selection = *m_catalogSelection;
        SharedCatalogParts shared;
        if (selection.IsShared()) {
            // A room never waits for the server at start: the service connects on its own threads.
            m_pendingCounts = std::make_unique<CPendingCounts>(m_programFolder / kPendingCountsFileName, m_fileLocks);
            m_catalogStore
                = std::make_unique<CRoomCatalogStore>([&selection] { return selection.Connect(); }, *m_pendingCounts);
            shared = selection.Shared(*m_pendingCounts);
        } else {
            std::u16string warning;
            m_catalogStore = selection.Open(&warning);
            if (!warning.empty())
                m_prompts.ShowError(CaptionWarning(), warning);
        }
        m_catalog = std::make_unique<CatalogServices>(
            CatalogServices {*m_catalogStore, [&selection]() { return selection.Open(); },
                [this]() -> std::unique_ptr<ISongReader> {
                    return std::make_unique<CSongFileReader>(
                        *m_codePage, m_textEncodings, LyricFolder(m_programFolder), &m_videoSongReader);
                },
                *m_textReadings, *m_textReadings, m_pathDisplay, m_programFolder / kSongQueueFileName, shared,
                {environment ? environment : "", MaskedConnection, ConnectionWithoutPassword, CatalogServerError}});
        m_phone = std::make_unique<PhoneServices>(
            PhoneServices {[] { return std::make_unique<CHttplibServer>(); }, m_qrEncoder, LanAddresses, {}});
    } catch (const std::runtime_error& error) {
        m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
    }
}

CPlatformServices::~CPlatformServices() = default;

ApplicationServices CPlatformServices::Services()
{
    return ApplicationServices {
        SessionServices {m_prompts, m_uiThread, m_timerDriver, *m_midiDevices, *m_audioOutput, OpenSongAudio,
            CRubberBandStretcher::Create, *m_inputDevices, m_mixers, &m_mp3Encoder, *m_codePage, m_textEncodings,
            std::cout, m_programFolder, m_fileLocks, &m_loudnessAnalyser,
            [](const std::filesystem::path& song) { return OpenMp3gSong(song); }, &m_videoSongs, CFftwRealFft::Create},
        *m_waveIn, m_desktop, m_programs, DataFolder(), m_collator, m_catalog.get(), m_phone.get(),
        MakeAubioPitchTracker, &m_videoMelodies, &m_voiceEffects, m_earMonitor.get()};
}

} // namespace linlangok
