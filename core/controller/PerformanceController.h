#pragma once

#include "common/UserPrompts.h"
#include "core/performance/PerformanceTake.h"
#include "core/performance/VoiceEffectChoice.h"

#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

// The performance window without the window: what it says of the alignment, the balance
// slider's value, the audition and the save. The window binds its widgets to it.
namespace linlangok {

class CAudioPlayer;

// Control identifiers of the performance window.
enum EPerformanceControl : int {
    kPerformanceAlignmentLabel = 1101,
    kPerformanceBalanceSlider = 1102,
    kPerformanceAuditionButton = 1103,
    kPerformanceSaveButton = 1104,
    kPerformanceCloseButton = 1105,
};

// The balance slider: the voice's share in percent, from the accompaniment alone (0) to the voice
// alone (100); at 50 both play at full level.
inline constexpr int kVoicePercentMinimum = 0;
inline constexpr int kVoicePercentMaximum = 100;
inline constexpr int kDefaultVoicePercent = 50;

// A recorded performance: the voice in time with the accompaniment, mixed on demand.
class IPerformance {
public:
    virtual ~IPerformance() = default;

    // How far the voice was moved against the accompaniment to put it in time, in ms.
    virtual double AlignmentMs() const = 0;
    // The singer's score while it was sung (0..100); nothing when the song was not scored.
    virtual std::optional<int> Score() const = 0;
    // Writes the mix, MP3, or WAV when the name ends in ".wav", with the voice at `voicePercent`
    // (0..100) of the balance. Returns what the user should know of a written mix (the voice's
    // effect could not be heard, and why; UTF-8), empty when nothing. Raises std::runtime_error
    // with a message for the user; the target is untouched then.
    virtual std::string Write(const std::filesystem::path& path, int voicePercent) const = 0;
};

// A recording's performance take, its MP3 written through `encoder` (null: an MP3 fails with the
// encoder's loading error, a WAV is written all the same), the voice through the effect
// `voiceEffect` chooses (null: dry). An effect that cannot start leaves the mix dry; one that
// fails while the mix is written is switched off and the mix written again dry.
class CTakePerformance final : public IPerformance {
public:
    CTakePerformance(
        std::unique_ptr<CPerformanceTake> take, IMp3EncoderLibrary* encoder, CVoiceEffectChoice* voiceEffect = nullptr);

    double AlignmentMs() const override { return m_take->AlignmentMs(); }
    std::optional<int> Score() const override { return m_take->Score(); }
    std::string Write(const std::filesystem::path& path, int voicePercent) const override;

private:
    std::unique_ptr<CPerformanceTake> m_take;
    IMp3EncoderLibrary* m_encoder;
    CVoiceEffectChoice* m_voiceEffect;
};

// Offers to save the performance of a recording that has just been saved. UI thread.
class IPerformanceOffer {
public:
    virtual ~IPerformanceOffer() = default;
    // Modal: returns when the user has closed the offer. The take is dropped then.
    virtual void OfferPerformance(std::unique_ptr<CPerformanceTake> take) = 0;
};

// Every operation runs on the UI thread. The performance, the prompts and the player outlive the
// controller; the audition is written to the temporary WAV `auditionPath`.
class CPerformanceController {
public:
    CPerformanceController(const IPerformance& performance, IUserPrompts& prompts, CAudioPlayer& player,
        std::filesystem::path auditionPath);
    // Stops the audition and removes its file.
    ~CPerformanceController();

    CPerformanceController(const CPerformanceController&) = delete;
    CPerformanceController& operator=(const CPerformanceController&) = delete;

    // "人声已对齐伴奏 (校正 X 毫秒)", the alignment to a tenth of a millisecond, followed by
    // "　得分 N" for a scored take.
    std::u16string AlignmentText() const;

    int VoicePercent() const { return m_voicePercent; }
    // Clamped to 0..100. An audition that plays goes on as it was mixed; the next one has it.
    void SetVoicePercent(int percent);

    // "试听": writes the mix at the balance to the temporary WAV and plays it through the player;
    // "停止": stops it and removes the file. A mix that cannot be written is shown as an error,
    // what the user should know of one written as a warning.
    void ToggleAudition();
    bool IsAuditioning() const { return m_auditioning; }
    // The audition button's text: "停止" while the audition plays, "试听" otherwise.
    std::u16string AuditionButtonText() const;
    // The window's poll: an audition that has played to its end stops.
    void AuditionTick();

    // "保存演唱...": asks for an MP3 or WAV path, asks before overwriting (asked again after a No),
    // and writes the mix at the balance there. A failure is shown with the path and its reason,
    // what the user should know of the mix as a warning.
    void Save();

    // The window closes: the audition stops.
    void Close();

private:
    void StopAudition();
    // Shows what the user should know of a mix written; nothing when empty.
    void ShowNotice(const std::string& notice);

    const IPerformance& m_performance;
    IUserPrompts& m_prompts;
    CAudioPlayer& m_player;
    std::filesystem::path m_auditionPath;
    int m_voicePercent = kDefaultVoicePercent;
    bool m_auditioning = false;
};

} // namespace linlangok
