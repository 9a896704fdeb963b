#include "engine/RecordingController.h"

#include "engine/RecordingSaveAs.h"

#include <algorithm>
#include <exception>

namespace linlangok {

CRecordingController::CRecordingController(
    CInputDeviceList& devices, RecordingWriterFactory createWriter, IUserPrompts& prompts, std::ostream& standardOutput)
    : m_devices(devices)
    , m_createWriter(std::move(createWriter))
    , m_prompts(prompts)
    , m_standardOutput(standardOutput)
{
}

CRecordingController::~CRecordingController()
{
    if (!m_writer)
        return;
    m_recording->StopRecording();
    try {
        m_writer->Close();
    } catch (const std::exception& error) {
        Report(error);
    }
}

void CRecordingController::StartRecording()
{
    if (!m_selected || m_writer)
        return;
    try {
        auto writer = m_createWriter();
        writer->OpenTemporaryFile();
        m_selected->StartRecording(*writer);
        m_writer = std::move(writer);
        m_recording = m_selected;
    } catch (const std::exception& error) {
        Report(error);
    }
}

void CRecordingController::StopRecording()
{
    if (!m_writer)
        return;
    const std::unique_ptr<IRecordingWriter> writer = std::move(m_writer);
    try {
        m_recording->StopRecording();
        writer->Close();
        SaveRecordingAs(m_prompts, writer->TemporaryPath());
    } catch (const std::exception& error) {
        Report(error);
    }
}

void CRecordingController::SelectDevice(const std::u16string& name)
{
    m_selected = &m_devices.FindInputDevice(name);
    m_lineNames.clear();
    if (IInputMixerLines* lines = m_selected->MixerLines()) {
        lines->Open();
        m_lineNames = lines->LineNames();
    }
}

void CRecordingController::BindStereoMixSlider(ILineVolumeSlider& slider)
{
    if (m_selected) {
        for (const char16_t* name : {u"Stereo Mix", u"StereoMix", u"立体声混音", u"立體聲混音"}) {
            if (std::find(m_lineNames.begin(), m_lineNames.end(), name) != m_lineNames.end()) {
                slider.Bind(m_selected->MixerLines(), name);
                return;
            }
        }
    }
    slider.Bind(nullptr, u"");
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
}

} // namespace linlangok
