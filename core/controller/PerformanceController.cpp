#include "core/controller/PerformanceController.h"

#include "common/FilePath.h"
#include "common/Text.h"
#include "common/Translation.h"
#include "core/playback/AudioPlayer.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <exception>

namespace linlangok {
namespace {

const std::vector<FileFilter> kPerformanceFilters {
    {u"MP3 File", u"*.mp3"},
    {u"WAV File", u"*.wav"},
};

// Milliseconds to one decimal, whatever the locale.
std::u16string TenthsText(double milliseconds)
{
    // Rounded first, so that -0.04 reads 0.0, not -0.0.
    const double tenths = std::round(milliseconds * 10.0);
    char text[32];
    const auto written
        = std::to_chars(text, text + sizeof text, tenths == 0.0 ? 0.0 : tenths / 10.0, std::chars_format::fixed, 1);
    return Utf8ToUtf16(std::string_view(text, written.ptr - text));
}

} // namespace

CTakePerformance::CTakePerformance(
    std::unique_ptr<CPerformanceTake> take, IMp3EncoderLibrary* encoder, CVoiceEffectChoice* voiceEffect)
    : m_take(std::move(take))
    , m_encoder(encoder)
    , m_voiceEffect(voiceEffect)
{
}

std::string CTakePerformance::Write(const std::filesystem::path& path, int voicePercent) const
{
    std::string why;
    const std::unique_ptr<IVoiceEffect> effect = m_voiceEffect ? m_voiceEffect->Start(why) : nullptr;
    if (effect) {
        m_take->Write(path, voicePercent, m_encoder, effect.get());
        if (!effect->HasFailed())
            return {};
        why = effect->FailureReason();
        m_voiceEffect->SwitchOff();
    }
    m_take->Write(path, voicePercent, m_encoder);
    return why.empty() ? why
                       : Utf16ToUtf8(Formatted(Tr("CTakePerformance", "%1\n人声没有加效果。"), {Utf8ToUtf16(why)}));
}

CPerformanceController::CPerformanceController(
    const IPerformance& performance, IUserPrompts& prompts, CAudioPlayer& player, std::filesystem::path auditionPath)
    : m_performance(performance)
    , m_prompts(prompts)
    , m_player(player)
    , m_auditionPath(std::move(auditionPath))
{
}

CPerformanceController::~CPerformanceController()
{
    StopAudition();
}

std::u16string CPerformanceController::AlignmentText() const
{
    const std::u16string correction = TenthsText(m_performance.AlignmentMs());
    if (const std::optional<int> score = m_performance.Score()) {
        return Formatted(Tr("CPerformanceController", "人声已对齐伴奏 (校正 %1 毫秒)　得分 %2"),
            {correction, Utf8ToUtf16(std::to_string(*score))});
    }
    return Formatted(Tr("CPerformanceController", "人声已对齐伴奏 (校正 %1 毫秒)"), {correction});
}

std::u16string CPerformanceController::AuditionButtonText() const
{
    return m_auditioning ? Tr("CPerformanceController", "停止") : Tr("CPerformanceController", "试听");
}

void CPerformanceController::SetVoicePercent(int percent)
{
    m_voicePercent = std::clamp(percent, kVoicePercentMinimum, kVoicePercentMaximum);
}

void CPerformanceController::ToggleAudition()
{
    if (m_auditioning) {
        StopAudition();
        return;
    }
    try {
        ShowNotice(m_performance.Write(m_auditionPath, m_voicePercent));
    } catch (const std::exception& error) {
        m_prompts.ShowMessage({CaptionError(), Utf8ToUtf16(error.what()), EMessageButtons::Ok, EMessageIcon::Error});
        return;
    }
    // The player has shown why a file it cannot play does not play.
    m_auditioning = m_player.OpenAndPlay(m_auditionPath);
    if (!m_auditioning)
        StopAudition();
}

void CPerformanceController::AuditionTick()
{
    if (m_auditioning && m_player.PositionMilliseconds() >= m_player.EndMilliseconds())
        StopAudition();
}

void CPerformanceController::Save()
{
    FileDialogRequest request;
    request.filters = kPerformanceFilters;
    request.defaultExtension = u"mp3";
    const std::optional<std::filesystem::path> target = m_prompts.AskSavePathConfirmingOverwrite(request);
    if (!target)
        return;
    try {
        ShowNotice(m_performance.Write(*target, m_voicePercent));
    } catch (const std::exception& failure) {
        m_prompts.ShowMessage({std::u16string(CaptionError()),
            Formatted(Tr("CPerformanceController", "无法保存文件 %1\n%2"),
                {PathToUtf16(*target), Utf8ToUtf16(failure.what())}),
            EMessageButtons::Ok, EMessageIcon::Error});
    }
}

void CPerformanceController::Close()
{
    StopAudition();
}

void CPerformanceController::ShowNotice(const std::string& notice)
{
    if (!notice.empty())
        m_prompts.ShowMessage({CaptionWarning(), Utf8ToUtf16(notice), EMessageButtons::Ok, EMessageIcon::Warning});
}

void CPerformanceController::StopAudition()
{
    m_player.Stop();
    m_auditioning = false;
    std::error_code ignored;
    std::filesystem::remove(m_auditionPath, ignored);
}

} // namespace linlangok
