#pragma once

#include "core/performance/VoiceEffect.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

typedef struct LilvPluginImpl LilvPlugin;
typedef struct LilvInstanceImpl LilvInstance;

namespace linlangok {

struct Lv2World;

// IVoiceEffect over one running LV2 plugin at 44.1 kHz. The voice goes to a mono plugin's input,
// or to both inputs of a stereo one (a stereo voice is mixed down for a mono plugin); a mono
// output is heard on both sides. The plugin runs in blocks of kBlockFrames, whatever the
// caller's block size, and every block's output is checked for NaN and infinity.
class CLv2Effect final : public IVoiceEffect {
public:
    static constexpr size_t kBlockFrames = 256;

    // Starts the plugin, its controls at their defaults. Raises std::runtime_error saying why
    // when it has ports other than 1 or 2 audio inputs and outputs, controls and event sequences,
    // needs a feature this host does not give, or fails to start.
    CLv2Effect(std::shared_ptr<Lv2World> world, const LilvPlugin* plugin);
    ~CLv2Effect() override;

    CLv2Effect(const CLv2Effect&) = delete;
    CLv2Effect& operator=(const CLv2Effect&) = delete;

    void Process(const float* in, int channels, size_t frames, float* stereoOut) override;
    size_t LatencyFrames() const override;
    bool HasFailed() const override { return m_failed; }
    std::string FailureReason() const override;

    // The plugin's name as it gives it, else its URI.
    const std::string& Name() const { return m_name.empty() ? m_uri : m_name; }

    // Sets the control input with that symbol, brought into its range, from the next block on;
    // false when the plugin has none or the value is NaN. The processing thread's, between blocks.
    bool SetControl(std::string_view symbol, float value);

private:
    struct Control {
        uint32_t port;
        std::string symbol;
        float minimum;
        float maximum;
    };
    struct EventPort {
        uint32_t port;
        bool output;
    };
    static constexpr size_t kEventBytes = 8192;
    struct alignas(8) EventBuffer {
        std::array<unsigned char, kEventBytes> bytes;
    };

    void ConnectPorts(const LilvPlugin* plugin);
    void ResetEvents();

    std::shared_ptr<Lv2World> m_world;
    LilvInstance* m_instance = nullptr;
    std::vector<float> m_values; // every port's control value, by port index
    std::vector<Control> m_controls;
    std::vector<EventPort> m_eventPorts;
    std::vector<EventBuffer> m_events; // one per event port
    std::array<std::array<float, kBlockFrames>, 2> m_in {};
    std::array<std::array<float, kBlockFrames>, 2> m_out {};
    std::string m_uri;
    std::string m_name;
    int m_inputs = 0;
    int m_outputs = 0;
    uint32_t m_sequenceType = 0;
    uint32_t m_chunkType = 0;
    int m_latencyPort = -1;
    bool m_failed = false;
};

} // namespace linlangok
