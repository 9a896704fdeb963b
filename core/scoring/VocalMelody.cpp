#include "core/scoring/VocalMelody.h"

#include "common/Translation.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace linlangok {
namespace {

// The coarse search runs on the signals averaged over this many samples (689 Hz at 44.1 kHz).
constexpr size_t kCoarseFactor = 64;
// The fine search: ±this many coarse steps around the coarse lag, on kExcerpts stretches of
// kExcerptSeconds spread over the song.
constexpr std::ptrdiff_t kFineSteps = 2;
constexpr size_t kExcerpts = 32;
constexpr double kExcerptSeconds = 0.25;
// Blocks whose backing is this far below the song's mean block are left out of the check.
constexpr double kQuietBlockShare = 1e-3;
// Unvoiced hops a note bridges, and the hops its recent pitch is the mean of.
constexpr size_t kBridgedHops = 2;
// How far before its first pitched hop a note that follows a rest begins.
constexpr double kConsonantSeconds = 0.05;
constexpr size_t kRecentHops = 8;
// Hops that must leave the recent pitch before a new note starts.
constexpr size_t kJumpHops = 2;
constexpr size_t kTrackedChunk = 1 << 16;

std::vector<float> Decimated(std::span<const float> samples)
{
    std::vector<float> coarse(samples.size() / kCoarseFactor);
    for (size_t block = 0; block < coarse.size(); ++block) {
        const float* from = samples.data() + block * kCoarseFactor;
        coarse[block] = std::accumulate(from, from + kCoarseFactor, 0.0f);
    }
    return coarse;
}

// The lag in [lowest, highest] of the largest Σ original[n] × backing[n − lag] over the
// excerpts' n. The lags are the inner loop, so that it vectorizes.
std::optional<std::ptrdiff_t> BestLag(std::span<const float> original, std::span<const float> backing,
    std::ptrdiff_t lowest, std::ptrdiff_t highest, const std::vector<std::pair<size_t, size_t>>& excerpts,
    const std::stop_token& stop)
{
    std::vector<double> sums(size_t(highest - lowest + 1), 0.0);
    std::vector<float> excerptSums(sums.size());
    const auto backingEnd = std::ptrdiff_t(backing.size());
    for (const auto& [first, end] : excerpts) {
        if (stop.stop_requested())
            return std::nullopt;
        std::fill(excerptSums.begin(), excerptSums.end(), 0.0f);
        for (size_t at = first; at < end; ++at) {
            const auto n = std::ptrdiff_t(at);
            const std::ptrdiff_t from = std::max(lowest, n - backingEnd + 1);
            const std::ptrdiff_t to = std::min(highest, n);
            const float sample = original[at];
            float* sum = excerptSums.data() + (from - lowest);
            const float* reversed = backing.data() + (n - from);
            for (std::ptrdiff_t step = 0; step <= to - from; ++step)
                sum[step] += sample * reversed[-step];
        }
        std::transform(sums.begin(), sums.end(), excerptSums.begin(), sums.begin(), std::plus<>());
    }
    return lowest + std::distance(sums.begin(), std::max_element(sums.begin(), sums.end()));
}

float Median(std::vector<float>& values)
{
    const auto middle = values.begin() + std::ptrdiff_t(values.size() / 2);
    std::nth_element(values.begin(), middle, values.end());
    return *middle;
}

// The backing's share of each block, compared with what is left of it after the subtraction:
// NotSameMix unless enough blocks cancel.
bool BackingCancels(std::vector<double>& leftovers)
{
    if (leftovers.empty())
        return false;
    const auto rank = leftovers.begin() + std::ptrdiff_t(double(leftovers.size()) * kCancelledShare);
    std::nth_element(leftovers.begin(), rank, leftovers.end());
    return *rank <= std::pow(10.0, kMaximumLeftoverDb / 10);
}

} // namespace

std::u16string VocalMelodyVerdictText(EVocalMelodyVerdict verdict)
{
    switch (verdict) {
    case EVocalMelodyVerdict::Melody:
        break;
    case EVocalMelodyVerdict::NotSameMix:
        return Tr("VocalMelody", "原唱与伴唱不是同一混音，本歌曲无法评分");
    case EVocalMelodyVerdict::NoVoice:
        return Tr("VocalMelody", "原唱与伴唱之差中没有歌声，本歌曲无法评分");
    case EVocalMelodyVerdict::Unreadable:
        return Tr("VocalMelody", "读不出原唱与伴唱，本歌曲无法评分");
    }
    return {};
}

std::optional<BackingAlignment> AlignBacking(
    std::span<const float> original, std::span<const float> backing, int sampleRate, std::stop_token stop)
{
    const auto maximumLag = static_cast<std::ptrdiff_t>(kMaximumBackingLagSeconds * sampleRate);
    const std::vector<float> coarseOriginal = Decimated(original);
    const std::vector<float> coarseBacking = Decimated(backing);
    const auto coarseMaximum = maximumLag / std::ptrdiff_t(kCoarseFactor);
    const std::optional<std::ptrdiff_t> coarse = BestLag(
        coarseOriginal, coarseBacking, -coarseMaximum, coarseMaximum, {{size_t(0), coarseOriginal.size()}}, stop);
    if (!coarse)
        return std::nullopt;

    const auto centre = *coarse * std::ptrdiff_t(kCoarseFactor);
    const auto reach = kFineSteps * std::ptrdiff_t(kCoarseFactor);
    const std::ptrdiff_t lowest = std::max(-maximumLag, centre - reach);
    const std::ptrdiff_t highest = std::min(maximumLag, centre + reach);
    std::vector<std::pair<size_t, size_t>> excerpts;
    const auto excerptLength = static_cast<size_t>(kExcerptSeconds * sampleRate);
    const size_t spacing = std::max<size_t>(excerptLength, original.size() / kExcerpts);
    for (size_t first = 0; first + excerptLength <= original.size(); first += spacing)
        excerpts.emplace_back(first, first + excerptLength);
    if (excerpts.empty())
        excerpts.emplace_back(0, original.size());
    const std::optional<std::ptrdiff_t> lag = BestLag(original, backing, lowest, highest, excerpts, stop);
    if (!lag)
        return std::nullopt;

    double cross = 0, power = 0;
    const auto from = std::max<std::ptrdiff_t>(*lag, 0);
    const auto to = std::min<std::ptrdiff_t>(std::ptrdiff_t(original.size()), std::ptrdiff_t(backing.size()) + *lag);
    for (std::ptrdiff_t at = from; at < to; ++at) {
        const double scaled = backing[size_t(at - *lag)];
        cross += original[size_t(at)] * scaled;
        power += scaled * scaled;
    }
    return BackingAlignment {*lag, power > 0 ? cross / power : 0};
}

std::vector<MelodyNote> VocalNotes(const std::vector<PitchFrame>& frames, double hopSeconds)
{
    std::vector<float> smooth(frames.size(), NAN);
    std::vector<float> near;
    for (size_t at = 0; at < frames.size(); ++at) {
        if (std::isnan(frames[at].pitch))
            continue;
        near.clear();
        for (size_t other = at - std::min<size_t>(at, 2); other < std::min(frames.size(), at + 3); ++other)
            if (!std::isnan(frames[other].pitch))
                near.push_back(frames[other].pitch);
        // A voiced blip of one or two hops is taken for noise.
        if (near.size() >= 3)
            smooth[at] = Median(near);
    }

    std::vector<MelodyNote> notes;
    std::vector<float> pitches; // the note's hops
    std::vector<size_t> jumped; // hops after the note that left its pitch
    double first = 0, last = 0;
    bool afterRest = false; // the note began after unvoiced hops, not at a jump
    size_t unvoiced = 0;
    const auto finish = [&] {
        double start = first - hopSeconds / 2;
        // A syllable's note begins with its consonant, before its pitch is heard.
        if (afterRest)
            start = std::max(notes.empty() ? 0.0 : notes.back().end, start - kConsonantSeconds);
        const double end = last + hopSeconds / 2;
        if (!pitches.empty() && end - start >= kMinimumVocalNoteSeconds)
            notes.push_back({start, end, Median(pitches)});
        pitches.clear();
    };
    const auto begin = [&](size_t at) {
        first = last = frames[at].seconds;
        pitches.push_back(smooth[at]);
    };
    for (size_t at = 0; at < frames.size(); ++at) {
        const float pitch = smooth[at];
        if (std::isnan(pitch)) {
            if (!pitches.empty() && ++unvoiced > kBridgedHops) {
                finish();
                jumped.clear();
            }
            continue;
        }
        unvoiced = 0;
        if (pitches.empty()) {
            begin(at);
            afterRest = true;
            continue;
        }
        const size_t recent = std::min(kRecentHops, pitches.size());
        const double recentPitch
            = std::accumulate(pitches.end() - std::ptrdiff_t(recent), pitches.end(), 0.0) / double(recent);
        if (std::abs(pitch - recentPitch) <= kNoteJumpSemitones) {
            for (const size_t hop : jumped)
                pitches.push_back(smooth[hop]);
            jumped.clear();
            pitches.push_back(pitch);
            last = frames[at].seconds;
            continue;
        }
        jumped.push_back(at);
        if (jumped.size() < kJumpHops)
            continue;
        finish();
        begin(jumped.front());
        afterRest = false;
        for (size_t hop = 1; hop < jumped.size(); ++hop) {
            pitches.push_back(smooth[jumped[hop]]);
            last = frames[jumped[hop]].seconds;
        }
        jumped.clear();
    }
    finish();
    return notes;
}

std::optional<VocalMelodyResult> DeriveVocalMelody(std::vector<float> original, std::span<const float> backing,
    int sampleRate, const PitchTrackerFactory& makeTracker, std::stop_token stop)
{
    const std::optional<BackingAlignment> alignment = AlignBacking(original, backing, sampleRate, stop);
    if (!alignment)
        return std::nullopt;

    // The subtraction, measuring each block's backing and what is left of it. Where the backing
    // does not reach, nothing is known of the voice: silence.
    const auto block = static_cast<size_t>(kCancellationBlockSeconds * sampleRate);
    std::vector<std::pair<double, double>> blocks; // backing, left over
    double originalTotal = 0, backingTotal = 0;
    const std::ptrdiff_t lag = alignment->lagFrames;
    const auto gain = static_cast<float>(alignment->gain);
    for (size_t first = 0; first < original.size(); first += block) {
        double backingPower = 0, leftover = 0;
        const size_t end = std::min(original.size(), first + block);
        for (size_t at = first; at < end; ++at) {
            const std::ptrdiff_t from = std::ptrdiff_t(at) - lag;
            if (from < 0 || from >= std::ptrdiff_t(backing.size())) {
                original[at] = 0;
                continue;
            }
            const float scaled = gain * backing[size_t(from)];
            originalTotal += double(original[at]) * original[at];
            original[at] -= scaled;
            backingPower += double(scaled) * scaled;
            leftover += double(original[at]) * original[at];
        }
        blocks.emplace_back(backingPower, leftover);
        backingTotal += backingPower;
    }
    if (stop.stop_requested())
        return std::nullopt;
    const double meanBacking = std::accumulate(blocks.begin(), blocks.end(), 0.0, [](double sum, const auto& one) {
        return sum + one.first;
    }) / double(std::max<size_t>(blocks.size(), 1));
    std::vector<double> leftovers;
    for (const auto& [backingPower, leftover] : blocks)
        if (backingPower > kQuietBlockShare * meanBacking && backingPower > 0)
            leftovers.push_back(leftover / backingPower);
    VocalMelodyResult result;
    // With the least-squares gain, the backing's share of the original's power is the square of
    // their correlation: a song sung throughout cancels in no block, yet correlates well.
    const bool correlated
        = originalTotal > 0 && backingTotal / originalTotal >= kSameMixCorrelation * kSameMixCorrelation;
    if (!correlated && !BackingCancels(leftovers)) {
        result.verdict = EVocalMelodyVerdict::NotSameMix;
        return result;
    }

    const std::unique_ptr<IPitchTracker> tracker = makeTracker(sampleRate);
    std::vector<PitchFrame> frames;
    frames.reserve(original.size() / tracker->HopFrames() + 1);
    for (size_t at = 0; at < original.size(); at += kTrackedChunk) {
        if (stop.stop_requested())
            return std::nullopt;
        tracker->Push(original.data() + at, std::min(kTrackedChunk, original.size() - at), frames);
    }
    std::vector<MelodyNote> notes
        = MonophonicNotes(VocalNotes(frames, double(tracker->HopFrames()) / tracker->SampleRate()));
    if (notes.size() < kMinimumVocalNotes)
        return result;
    result.verdict = EVocalMelodyVerdict::Melody;
    result.melody.lines = MelodyLines(notes);
    result.melody.notes = std::move(notes);
    return result;
}

} // namespace linlangok
