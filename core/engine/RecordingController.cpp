#include "core/engine/RecordingController.h"

#include "common/Text.h"
#include "core/engine/LatencyCalibration.h"

#include <exception>
#include <stdexcept>

namespace linlangok {

namespace {

constexpr int kBitrate = 128;
constexpr int kResampleRate = 0;

} // namespace

CRecordingController::Recording::Recording(
    CWaveRecorder& recorder, IMp3EncoderLibrary* encoder, const std::filesystem::path& programFolder)
    : writer(encoder, programFolder, kBitrate, kResampleRate)
    , recorder(recorder)
{
}

void CRecordingController::Recording::Write(
    const uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point firstFrameTime)
{
    writer.Write(samples, byteCount);
    if (performance)
        performance->WriteVoice(samples, byteCount, firstFrameTime);
}

CRecordingController::CRecordingController(CInputDeviceList& devices, IMixerSystem& mixers, IMp3EncoderLibrary* encoder,
    std::filesystem::path programFolder, IUserPrompts& prompts, std::ostream& standardOutput, IAudioOutput* output)
    : m_devices(devices)
    , m_encoder(encoder)
    , m_programFolder(std::move(programFolder))
    , m_prompts(prompts)
    , m_standardOutput(standardOutput)
    , m_output(output)
    , m_stereoMixSlider(prompts, mixers)
{
}

CRecordingController::~CRecordingController()
{
    if (!m_recording)
        return;
    m_recording->recorder.StopRecording();
    try {
        m_recording->writer.Close();
    } catch (const std::exception& error) {
        Report(error);
    }
}

void CRecordingController::StartRecording()
{
    if (m_recording)
        return;
    try {
        if (!m_selected)
            throw std::runtime_error("没有可用的录音设备,无法录音。");
        auto recording = std::make_unique<Recording>(*m_selected, m_encoder, m_programFolder);
        recording->writer.OpenTemporaryFile(m_prompts);
        StartPerformance(*recording);
        m_selected->StartRecording(*recording);
        recording->inputLatency = m_selected->InputLatency();
        m_recording = std::move(recording);
    } catch (const std::exception& error) {
        Report(error);
    }
}

std::optional<std::filesystem::path> CRecordingController::StopRecording()
{
    if (!m_recording)
        return std::nullopt;
    const std::unique_ptr<Recording> recording = std::move(m_recording);
    try {
        recording->recorder.StopRecording();
        recording->writer.Close();
    } catch (const std::exception& error) {
        Report(error); // the blocks written before the failure are in the file, to be saved all the same
    }
    if (recording->performance) {
        try {
            const auto stored = LoadLatencyCorrection(m_programFolder);
            const bool applies
                = stored && stored->AppliesTo(m_output->Name(), Utf16ToUtf8(recording->recorder.Capabilities().name));
            m_take = recording->performance->Finish(recording->inputLatency, applies ? stored->correctionMs : 0);
        } catch (const std::exception& error) {
            Report(error);
        }
    }
    try {
        return recording->writer.SaveAs(m_prompts);
    } catch (const std::exception& error) {
        Report(error);
        return std::nullopt;
    }
}

std::unique_ptr<CPerformanceTake> CRecordingController::TakePerformance()
{
    return std::move(m_take);
}

void CRecordingController::StartPerformance(Recording& recording)
{
    if (!m_output)
        return;
    auto performance = std::make_unique<CPerformanceRecorder>(*m_output, m_programFolder);
    try {
        if (performance->Start())
            recording.performance = std::move(performance);
    } catch (const std::exception& error) {
        Report(error); // the voice is recorded all the same
    }
}

void CRecordingController::SelectDevice(const std::u16string& name)
{
    m_selected = &m_devices.FindInputDevice(name);
    m_lineNames.clear();
    m_selected->MixerLines().Open();
    m_lineNames = m_selected->MixerLines().LineNames();
}

void CRecordingController::BindStereoMixSlider()
{
    MixerLine* line = nullptr;
    if (m_selected) {
        for (const char16_t* name : {u"Stereo Mix", u"StereoMix", u"立体声混音", u"立體聲混音"}) {
            if ((line = m_selected->MixerLines().FindLine(name)))
                break;
        }
    }
    m_stereoMixSlider.Bind(line);
}

std::vector<std::u16string> CRecordingController::DeviceNames()
{
    std::vector<std::u16string> names;
    for (const auto& recorder : m_devices.InputDevices())
        names.push_back(recorder->Capabilities().name);
    return names;
}

void CRecordingController::Report(const std::exception& error)
{
    m_standardOutput << error.what() << '\n';
    m_standardOutput.flush();
    // A desktop user never reads standard output.
    m_prompts.ShowError(kCaptionError, Utf8ToUtf16(error.what()));
}

} // namespace linlangok
