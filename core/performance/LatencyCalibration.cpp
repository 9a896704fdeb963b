#include "core/performance/LatencyCalibration.h"

#include "common/FilePath.h"
#include "common/FileSaver.h"
#include "common/Number.h"
#include "common/RegularFile.h"
#include "common/Text.h"
#include "common/Translation.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numbers>
#include <sstream>

namespace linlangok {
namespace {

constexpr double kSampleRate = 44100;
constexpr double kClickAmplitude = 0.5;
// The least correlation between the train and the input that counts as hearing it.
constexpr double kLeastCorrelation = 0.35;
// Input frames kept before the train starts (the input opens first), and the most kept in all.
constexpr size_t kCaptureSlackFrames = 88200;
constexpr size_t kCaptureLimit = ClickTrain::kFrames + kLongestRoundTripFrames + kCaptureSlackFrames;
// Output buffers of the train whose moments are kept: every one, down to 32-frame buffers.
constexpr size_t kPlayedStamps = ClickTrain::kFrames / 32 + 1;

double ClickSample(size_t frame)
{
    constexpr double from = 500, to = 8000;
    const double seconds = frame / kSampleRate;
    const double duration = ClickTrain::kClickFrames / kSampleRate;
    const double phase = 2 * std::numbers::pi * (from * seconds + (to - from) * seconds * seconds / (2 * duration));
    const double window = 0.5 - 0.5 * std::cos(2 * std::numbers::pi * frame / (ClickTrain::kClickFrames - 1));
    return kClickAmplitude * window * std::sin(phase);
}

} // namespace

float ClickTrain::Sample(std::uint64_t frame)
{
    if (frame < kLeadFrames)
        return 0;
    const std::uint64_t sinceFirst = frame - kLeadFrames;
    const std::uint64_t click = sinceFirst / kClickSpacingFrames;
    const std::uint64_t within = sinceFirst % kClickSpacingFrames;
    if (click >= kClicks || within >= kClickFrames)
        return 0;
    return static_cast<float>(ClickSample(within));
}

std::optional<double> FindClickTrain(const std::vector<float>& captured)
{
    // Both sides are differenced, which keeps the clicks (500 Hz and up) and drops hum and DC.
    constexpr size_t kNeeded = ClickTrain::kFrames + kLongestRoundTripFrames + 2;
    std::vector<double> signal(kNeeded, 0.0);
    for (size_t n = 1; n < std::min(captured.size(), kNeeded); ++n)
        signal[n] = static_cast<double>(captured[n]) - captured[n - 1];
    std::vector<double> energy(kNeeded + 1, 0.0); // energy[n]: the sum of squares before frame n
    for (size_t n = 0; n < kNeeded; ++n)
        energy[n + 1] = energy[n] + signal[n] * signal[n];
    std::array<double, ClickTrain::kClickFrames + 1> click;
    double clickEnergy = 0;
    for (size_t m = 0; m < click.size(); ++m) {
        click[m] = (m < ClickTrain::kClickFrames ? ClickSample(m) : 0.0) - (m > 0 ? ClickSample(m - 1) : 0.0);
        clickEnergy += click[m] * click[m] * ClickTrain::kClicks;
    }
    // The least energy that is more than the rounding of silence to 16 bits.
    constexpr double kLeastEnergy = ClickTrain::kClicks * ClickTrain::kClickFrames / (32768.0 * 32768.0);

    std::vector<double> match(kLongestRoundTripFrames + 1, 0.0);
    std::optional<size_t> best;
    double bestCorrelation = 0;
    for (size_t lag = 0; lag <= kLongestRoundTripFrames; ++lag) {
        double sum = 0, heard = 0;
        for (int i = 0; i < ClickTrain::kClicks; ++i) {
            const size_t start = ClickTrain::kLeadFrames + i * ClickTrain::kClickSpacingFrames + lag;
            for (size_t m = 0; m < click.size(); ++m)
                sum += click[m] * signal[start + m];
            heard += energy[start + click.size()] - energy[start];
        }
        match[lag] = std::abs(sum);
        if (heard < kLeastEnergy)
            continue;
        const double correlation = match[lag] / std::sqrt(clickEnergy * heard);
        if (correlation > bestCorrelation) {
            bestCorrelation = correlation;
            best = lag;
        }
    }
    if (!best || bestCorrelation < kLeastCorrelation)
        return std::nullopt;
    // The peak of the parabola through the best match and its neighbours.
    const size_t lag = *best;
    if (lag == 0 || lag == kLongestRoundTripFrames)
        return static_cast<double>(lag);
    const double before = match[lag - 1], at = match[lag], after = match[lag + 1];
    const double curvature = before - 2 * at + after;
    const double shift = curvature < 0 ? 0.5 * (before - after) / curvature : 0.0;
    return lag + std::clamp(shift, -0.5, 0.5);
}

CLatencyCalibration::CLatencyCalibration(IAudioOutput& output, IWaveInSystem& waveIn, std::uint32_t deviceNumber)
    : m_output(output)
    , m_waveIn(waveIn)
    , m_deviceNumber(deviceNumber)
{
}

CLatencyCalibration::~CLatencyCalibration()
{
    Stop();
}

bool CLatencyCalibration::Start()
{
    Stop();
    m_trainStart.reset();
    m_framesPlayed = 0;
    m_inputAtStart = INT64_MIN;
    m_framesCaptured = 0;
    m_captured.clear();
    m_captured.reserve(kCaptureLimit);
    m_arrived.clear();
    m_played.clear();
    m_played.reserve(kPlayedStamps);
    if (m_waveIn.Open(m_deviceNumber, *this, m_handle) != kWaveInOk) {
        m_handle.reset();
        return false;
    }
    m_memory.assign(m_buffers.size() * kBufferFrames * 2, 0);
    {
        std::lock_guard lock(m_captureLock);
        m_capturing = true;
    }
    bool started = true;
    for (size_t i = 0; i < m_buffers.size(); ++i) {
        m_buffers[i] = {reinterpret_cast<std::uint8_t*>(m_memory.data() + i * kBufferFrames * 2),
            static_cast<std::uint32_t>(kBufferFrames * 4)};
        started = started && m_handle->PrepareBuffer(m_buffers[i]) == kWaveInOk
            && m_handle->AddBuffer(m_buffers[i]) == kWaveInOk;
    }
    if (!started || m_handle->Start() != kWaveInOk) {
        Stop();
        return false;
    }
    m_reportedMs
        = std::chrono::duration<double, std::milli>(m_output.OutputLatency() + m_handle->InputLatency()).count();
    WaveInCapabilities capabilities;
    const std::uint32_t device = m_deviceNumber == kWaveMapper ? 0 : m_deviceNumber; // the mapper opens the first
    m_inputName = m_waveIn.Capabilities(device, capabilities) == kWaveInOk ? Utf16ToUtf8(capabilities.name) : "";
    m_output.AddSource(*this);
    m_playing = true;
    return true;
}

void CLatencyCalibration::Stop()
{
    if (m_playing)
        m_output.RemoveSource(*this);
    m_playing = false;
    if (!m_handle)
        return;
    {
        std::lock_guard lock(m_captureLock);
        m_capturing = false;
    }
    m_handle->Reset();
    for (WaveInBuffer& buffer : m_buffers)
        m_handle->UnprepareBuffer(buffer);
    m_handle->Close();
    m_handle.reset();
}

bool CLatencyCalibration::IsDone() const
{
    const std::int64_t inputAtStart = m_inputAtStart.load();
    if (m_framesPlayed.load() < ClickTrain::kFrames || inputAtStart == INT64_MIN)
        return false;
    const std::uint64_t captured = m_framesCaptured.load();
    return captured >= kCaptureLimit
        || static_cast<std::int64_t>(captured) >= inputAtStart + std::int64_t {kCapturedFrames};
}

std::optional<double> CLatencyCalibration::Finish()
{
    Stop();
    // The input frame, to a fraction, that reached the input as the train started.
    double start = 0;
    const auto played = FitMeasuredFrameClock(std::move(m_played), static_cast<int>(kSampleRate));
    const auto arrived = FitMeasuredFrameClock(std::move(m_arrived), static_cast<int>(kSampleRate));
    if (played && arrived)
        start = arrived->FrameAt(played->SecondsAt(0));
    else if (m_inputAtStart.load() != INT64_MIN)
        start = static_cast<double>(m_inputAtStart.load());
    else
        return std::nullopt;
    if (!(std::abs(start) < static_cast<double>(kCaptureLimit)))
        return std::nullopt;
    const auto whole = static_cast<std::int64_t>(std::floor(start));
    std::vector<float> heard;
    if (whole < 0)
        heard.assign(static_cast<size_t>(-whole), 0.0f);
    const size_t from = static_cast<size_t>(std::max<std::int64_t>(whole, 0));
    if (from < m_captured.size())
        heard.insert(heard.end(), m_captured.begin() + static_cast<long>(from), m_captured.end());
    const auto offset = FindClickTrain(heard);
    if (!offset)
        return std::nullopt;
    return (*offset - (start - static_cast<double>(whole))) * 1000.0 / kSampleRate;
}

void CLatencyCalibration::MixInto(float* mix, size_t frames, const AudioBufferTiming& timing) noexcept
{
    if (!m_trainStart)
        m_trainStart = timing.firstFrame;
    const std::uint64_t first = timing.firstFrame - *m_trainStart;
    if (first < ClickTrain::kFrames) {
        const std::int64_t inputNow
            = static_cast<std::int64_t>(m_framesCaptured.load()) - static_cast<std::int64_t>(first);
        if (inputNow > m_inputAtStart.load())
            m_inputAtStart = inputNow;
        if (m_played.size() < m_played.capacity())
            m_played.push_back({static_cast<double>(first), SteadySeconds(timing.playTime)});
    }
    for (size_t i = 0; i < frames; ++i) {
        const float sample = ClickTrain::Sample(first + i);
        mix[i * 2] += sample;
        mix[i * 2 + 1] += sample;
    }
    m_framesPlayed = first + frames;
}

void CLatencyCalibration::OnWaveInData(WaveInBuffer& buffer)
{
    std::lock_guard lock(m_captureLock);
    const auto* samples = reinterpret_cast<const std::int16_t*>(buffer.data);
    const size_t frames = std::min<size_t>(buffer.bytesRecorded / 4, kCaptureLimit - m_captured.size());
    for (size_t i = 0; i < frames; ++i)
        m_captured.push_back((samples[i * 2] + samples[i * 2 + 1]) / 65536.0f);
    if (frames > 0)
        m_arrived.push_back({static_cast<double>(m_framesCaptured.load()), SteadySeconds(buffer.firstFrameTime)});
    m_framesCaptured += buffer.bytesRecorded / 4;
    if (m_capturing)
        m_handle->AddBuffer(buffer);
}

LatencyCorrection CLatencyCalibration::Correction(double roundTripMs) const
{
    return {roundTripMs, roundTripMs - m_reportedMs, m_output.Name(), m_inputName};
}

namespace {

// A device name as Latency.ini keeps it: on one line.
std::string OneLine(std::string name)
{
    std::replace_if(
        name.begin(), name.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
    return name;
}

} // namespace

bool LatencyCorrection::AppliesTo(const std::string& outputName, const std::string& inputName) const
{
    return (output.empty() && input.empty()) || (output == OneLine(outputName) && input == OneLine(inputName));
}

bool SaveLatencyCorrection(const std::filesystem::path& programFolder, const LatencyCorrection& correction)
{
    std::ostringstream text;
    text.precision(3);
    text << std::fixed << "[Latency]\nRoundTripMs=" << correction.roundTripMs
         << "\nCorrectionMs=" << correction.correctionMs << "\nOutput=" << OneLine(correction.output)
         << "\nInput=" << OneLine(correction.input) << '\n';
    return SaveFile(programFolder / "Latency.ini", text.str());
}

std::optional<LatencyCorrection> LoadLatencyCorrection(
    const std::filesystem::path& programFolder, IUserPrompts& prompts)
{
    const std::filesystem::path path = programFolder / "Latency.ini";
    const FileContent content = ReadRegularFile(path, kMaximumLatencyFileBytes);
    std::istringstream file(content.bytes);
    std::optional<double> roundTrip, correction;
    std::string output, input;
    for (std::string line; std::getline(file, line);) {
        const auto entry = SplitKeyValueLine(line);
        if (!entry)
            continue;
        const std::string_view key = entry->key;
        if (key == "Output" || key == "Input") {
            (key == "Output" ? output : input) = entry->value;
            continue;
        }
        if (key != "RoundTripMs" && key != "CorrectionMs")
            continue;
        const std::optional<double> value = ParseNumber<double>(entry->value);
        if (!value || !std::isfinite(*value))
            continue;
        if (std::abs(*value) > kLargestLatencyMs) {
            prompts.ShowError(CaptionWarning(),
                Formatted(Tr("LatencyCalibration", "%1 中的 %2=%3 超出 ±10 秒, 已忽略。"),
                    {PathToUtf16(path), Utf8ToUtf16(key), Utf8ToUtf16(entry->value)}));
            continue;
        }
        (key == "RoundTripMs" ? roundTrip : correction) = *value;
    }
    if (!roundTrip || !correction)
        return std::nullopt;
    return LatencyCorrection {*roundTrip, *correction, output, input};
}

} // namespace linlangok
