#include "core/performance/RecordingController.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/performance/LatencyCalibration.h"

#include <algorithm>
#include <exception>
#include <stdexcept>

namespace linlangok {

namespace {

constexpr int kBitrate = 128;
constexpr int kResampleRate = 0;

} // namespace

CRecordingController::Recording::Recording(
    CWaveRecorder& recorder, IMp3EncoderLibrary* encoder, CTakeFolder& takes, std::uint64_t frameLimit)
    : bytesLeft(frameLimit > UINT64_MAX / kCaptureBytesPerFrame ? UINT64_MAX : frameLimit * kCaptureBytesPerFrame)
    , writer(encoder, takes, kBitrate, kResampleRate)
    , recorder(recorder)
{
}

void CRecordingController::Recording::Write(
    const std::uint8_t* samples, size_t byteCount, std::chrono::steady_clock::time_point firstFrameTime)
{
    byteCount = static_cast<size_t>(std::min<std::uint64_t>(byteCount, bytesLeft));
    bytesLeft -= byteCount;
    if (byteCount == 0)
        return;
    writer.Write(samples, byteCount);
    if (performance)
        performance->WriteVoice(samples, byteCount, firstFrameTime);
}

CRecordingController::CRecordingController(CInputDeviceList& devices, IMixerSystem& mixers, IMp3EncoderLibrary* encoder,
    std::filesystem::path programFolder, IFileLocks& fileLocks, IUserPrompts& prompts, std::ostream& standardOutput,
    IAudioOutput* output)
    : m_devices(devices)
    , m_encoder(encoder)
    , m_takes(fileLocks, std::move(programFolder))
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

void CRecordingController::StartRecording(std::uint64_t frameLimit)
{
    if (m_recording)
        return;
    m_lastDropouts = 0;
    try {
        if (!m_selected)
            throw std::runtime_error(TrUtf8("CRecordingController", "没有可用的录音设备,无法录音。"));
        auto recording = std::make_unique<Recording>(*m_selected, m_encoder, m_takes, frameLimit);
        recording->writer.OpenTemporaryFile(m_prompts);
        StartPerformance(*recording);
        m_selected->StartRecording(*recording);
        recording->inputLatency = m_selected->InputLatency();
        m_recording = std::move(recording);
    } catch (const std::exception& error) {
        Report(error);
    }
}

TakeSaveResult CRecordingController::StopRecording()
{
    if (!m_recording)
        return {ETakeFate::Discarded, {}};
    const std::unique_ptr<Recording> recording = std::move(m_recording);
    try {
        recording->recorder.StopRecording();
        m_lastDropouts = recording->recorder.DropoutCount();
        recording->writer.Close();
    } catch (const std::exception& error) {
        Report(error); // the blocks written before the failure are in the file, to be saved all the same
    }
    if (recording->performance) {
        try {
            m_take = recording->performance->Finish(recording->inputLatency, CorrectionMsFor(recording->recorder));
        } catch (const std::exception& error) {
            Report(error);
        }
    }
    TakeSaveResult result = recording->writer.SaveAs(m_prompts);
    if (result.fate == ETakeFate::Unanswered) {
        // Nobody chose where: say where the take is, for the log and the console.
        const std::filesystem::path& kept = result.path.empty() ? recording->writer.TemporaryPath() : result.path;
        const std::u16string text
            = Formatted(Tr("CRecordingController", "这段录音没有另存, 保留在 %1"), {PathToUtf16(kept)});
        m_standardOutput << Utf16ToUtf8(text) << std::endl;
        m_prompts.ShowMessage({CaptionWarning(), text, EMessageButtons::Ok, EMessageIcon::Warning});
    }
    return result;
}

std::unique_ptr<CPerformanceTake> CRecordingController::TakePerformance()
{
    return std::move(m_take);
}

void CRecordingController::OfferDeadTakes()
{
    linlangok::OfferDeadTakes(m_takes, m_prompts, m_encoder);
}

void CRecordingController::StartPerformance(Recording& recording)
{
    if (!m_output)
        return;
    auto performance = std::make_unique<CPerformanceRecorder>(*m_output, m_takes, recording.writer.TakeNumber());
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
    CMixerLine* line = nullptr;
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

double CRecordingController::CorrectionMsFor(const CWaveRecorder& recorder) const
{
    if (!m_output)
        return 0;
    const auto stored = LoadLatencyCorrection(m_takes.Folder(), m_prompts);
    const bool applies = stored && stored->AppliesTo(m_output->Name(), Utf16ToUtf8(recorder.Capabilities().name));
    return applies ? stored->correctionMs : 0;
}

double CRecordingController::CalibratedCorrectionMs() const
{
    return m_selected ? CorrectionMsFor(*m_selected) : 0;
}

void CRecordingController::Report(const std::exception& error)
{
    m_standardOutput << error.what() << '\n';
    m_standardOutput.flush();
    // A desktop user never reads standard output.
    m_prompts.ShowError(CaptionError(), Utf8ToUtf16(error.what()));
}

} // namespace linlangok
