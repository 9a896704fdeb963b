#include "platform/lv2/Lv2Effect.h"

#include "common/Translation.h"
#include "core/performance/VoiceEffectChain.h"
#include "platform/lv2/Lv2World.h"

#include <lv2/atom/atom.h>
#include <lv2/buf-size/buf-size.h>
#include <lv2/core/lv2.h>
#include <lv2/options/options.h>
#include <lv2/parameters/parameters.h>
#include <lv2/worker/worker.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string_view>

namespace linlangok {
namespace {

constexpr double kSampleRate = 44100;
bool IsGiven(const char* feature)
{
    // Input and output buffers are apart, so a plugin that cannot work in place is served too.
    for (const char* given : {LV2_URID__map, LV2_URID__unmap, LV2_OPTIONS__options, LV2_BUF_SIZE__boundedBlockLength,
             LV2_WORKER__schedule, LV2_CORE__isLive, LV2_CORE__hardRTCapable, LV2_CORE__inPlaceBroken})
        if (std::string_view(feature) == given)
            return true;
    return false;
}

// A worker schedule that takes no work: the plugins here schedule work only for messages from
// their own windows or saved states, which this host never sends, and a worker thread would be a
// second thread in the plugin.
LV2_Worker_Status RefuseWork(LV2_Worker_Schedule_Handle, uint32_t, const void*)
{
    return LV2_WORKER_ERR_NO_SPACE;
}

float OrElse(float value, float otherwise)
{
    return std::isnan(value) ? otherwise : value;
}

} // namespace

CLv2Effect::CLv2Effect(std::shared_ptr<Lv2World> world, const LilvPlugin* plugin)
    : m_world(std::move(world))
    , m_uri(lilv_node_as_uri(lilv_plugin_get_uri(plugin)))
{
    if (LilvNode* name = lilv_plugin_get_name(plugin)) {
        m_name = lilv_node_as_string(name);
        lilv_node_free(name);
    }
    LilvNodes* required = lilv_plugin_get_required_features(plugin);
    std::string missing;
    LILV_FOREACH(nodes, i, required)
    {
        const char* feature = lilv_node_as_uri(lilv_nodes_get(required, i));
        if (!IsGiven(feature) && missing.empty())
            missing = feature;
    }
    lilv_nodes_free(required);
    if (!missing.empty())
        throw std::runtime_error(m_uri + ": needs the LV2 feature " + missing + ", which this program does not give");
    m_sequenceType = m_world->Map(LV2_ATOM__Sequence);
    m_chunkType = m_world->Map(LV2_ATOM__Chunk);
    const LV2_Feature mapFeature {LV2_URID__map, &m_world->map};
    const LV2_Feature unmapFeature {LV2_URID__unmap, &m_world->unmap};
    const float sampleRate = float(kSampleRate);
    const int32_t minimumBlock = 1;
    const int32_t maximumBlock = int32_t(kBlockFrames);
    const LV2_URID floatType = m_world->Map(LV2_ATOM__Float);
    const LV2_URID intType = m_world->Map(LV2_ATOM__Int);
    const LV2_Options_Option options[] = {
        {LV2_OPTIONS_INSTANCE, 0, m_world->Map(LV2_PARAMETERS__sampleRate), sizeof(float), floatType, &sampleRate},
        {LV2_OPTIONS_INSTANCE, 0, m_world->Map(LV2_BUF_SIZE__minBlockLength), sizeof(int32_t), intType, &minimumBlock},
        {LV2_OPTIONS_INSTANCE, 0, m_world->Map(LV2_BUF_SIZE__maxBlockLength), sizeof(int32_t), intType, &maximumBlock},
        {LV2_OPTIONS_INSTANCE, 0, 0, 0, 0, nullptr},
    };
    const LV2_Feature optionsFeature {LV2_OPTIONS__options, const_cast<LV2_Options_Option*>(options)};
    const LV2_Feature boundedFeature {LV2_BUF_SIZE__boundedBlockLength, nullptr};
    LV2_Worker_Schedule schedule {nullptr, RefuseWork};
    const LV2_Feature scheduleFeature {LV2_WORKER__schedule, &schedule};
    const LV2_Feature* features[]
        = {&mapFeature, &unmapFeature, &optionsFeature, &boundedFeature, &scheduleFeature, nullptr};
    m_instance = lilv_plugin_instantiate(plugin, kSampleRate, features);
    if (!m_instance)
        throw std::runtime_error(m_uri + ": the plugin failed to start");
    try {
        ConnectPorts(plugin);
    } catch (...) {
        lilv_instance_free(m_instance);
        throw;
    }
    if (lilv_plugin_has_latency(plugin))
        m_latencyPort = int(lilv_plugin_get_latency_port_index(plugin));
    lilv_instance_activate(m_instance);
}

std::string CLv2Effect::FailureReason() const
{
    return m_failed ? FormattedUtf8(TrUtf8("CLv2Effect", "效果插件“%1”输出了无效的声音，已关闭。"), {Name()})
                    : std::string();
}

CLv2Effect::~CLv2Effect()
{
    lilv_instance_deactivate(m_instance);
    lilv_instance_free(m_instance);
}

void CLv2Effect::ConnectPorts(const LilvPlugin* plugin)
{
    const Lv2World::Node audio = m_world->Uri(LV2_CORE__AudioPort);
    const Lv2World::Node control = m_world->Uri(LV2_CORE__ControlPort);
    const Lv2World::Node input = m_world->Uri(LV2_CORE__InputPort);
    const Lv2World::Node atom = m_world->Uri(LV2_ATOM__AtomPort);
    const Lv2World::Node bufferType = m_world->Uri(LV2_ATOM__bufferType);
    const Lv2World::Node sequence = m_world->Uri(LV2_ATOM__Sequence);
    const Lv2World::Node optional = m_world->Uri(LV2_CORE__connectionOptional);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum(ports), maximum(ports), defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    m_values.assign(ports, 0);
    std::vector<uint32_t> audioIn, audioOut;
    for (uint32_t index = 0; index < ports; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        const bool isInput = lilv_port_is_a(plugin, port, input.get());
        if (lilv_port_is_a(plugin, port, audio.get())) {
            (isInput ? audioIn : audioOut).push_back(index);
        } else if (lilv_port_is_a(plugin, port, control.get())) {
            const float low = OrElse(minimum[index], -std::numeric_limits<float>::infinity());
            const float high = OrElse(maximum[index], std::numeric_limits<float>::infinity());
            m_values[index] = std::clamp(OrElse(defaults[index], std::isfinite(low) ? low : 0), low, high);
            if (isInput)
                m_controls.push_back({index, symbol, low, high});
            lilv_instance_connect_port(m_instance, index, &m_values[index]);
        } else if (lilv_port_is_a(plugin, port, atom.get())) {
            LilvNodes* types = lilv_port_get_value(plugin, port, bufferType.get());
            const bool isSequence = lilv_nodes_contains(types, sequence.get());
            lilv_nodes_free(types);
            if (!isSequence)
                throw std::runtime_error(m_uri + ": its atom port " + symbol + " takes no event sequence");
            m_eventPorts.push_back({index, !isInput});
        } else if (lilv_port_has_property(plugin, port, optional.get())) {
            lilv_instance_connect_port(m_instance, index, nullptr);
        } else {
            throw std::runtime_error(m_uri + ": its port " + symbol + " is of a kind this program cannot connect");
        }
    }
    if (audioIn.empty() || audioIn.size() > 2 || audioOut.empty() || audioOut.size() > 2)
        throw std::runtime_error(m_uri + ": has " + std::to_string(audioIn.size()) + " audio inputs and "
            + std::to_string(audioOut.size()) + " outputs; a voice effect has 1 or 2 of each");
    m_inputs = int(audioIn.size());
    m_outputs = int(audioOut.size());
    for (size_t channel = 0; channel < audioIn.size(); ++channel)
        lilv_instance_connect_port(m_instance, audioIn[channel], m_in[channel].data());
    for (size_t channel = 0; channel < audioOut.size(); ++channel)
        lilv_instance_connect_port(m_instance, audioOut[channel], m_out[channel].data());
    m_events.resize(m_eventPorts.size());
    for (size_t event = 0; event < m_eventPorts.size(); ++event)
        lilv_instance_connect_port(m_instance, m_eventPorts[event].port, m_events[event].bytes.data());
}

void CLv2Effect::ResetEvents()
{
    for (size_t event = 0; event < m_eventPorts.size(); ++event) {
        auto* buffer = reinterpret_cast<LV2_Atom_Sequence*>(m_events[event].bytes.data());
        if (m_eventPorts[event].output) {
            // An output sequence starts as a chunk saying how much room the plugin has.
            buffer->atom.size = uint32_t(kEventBytes - sizeof(LV2_Atom));
            buffer->atom.type = m_chunkType;
        } else {
            buffer->atom.size = sizeof(LV2_Atom_Sequence_Body);
            buffer->atom.type = m_sequenceType;
            buffer->body.unit = 0;
            buffer->body.pad = 0;
        }
    }
}

void CLv2Effect::Process(const float* in, int channels, size_t frames, float* stereoOut)
{
    for (size_t done = 0; done < frames;) {
        const size_t block = std::min(kBlockFrames, frames - done);
        const float* source = in + done * size_t(channels);
        float* target = stereoOut + done * 2;
        if (!m_failed) {
            for (size_t frame = 0; frame < block; ++frame) {
                const float left = source[frame * size_t(channels)];
                const float right = source[frame * size_t(channels) + size_t(channels) - 1];
                if (m_inputs == 1) {
                    m_in[0][frame] = 0.5f * (left + right);
                } else {
                    m_in[0][frame] = left;
                    m_in[1][frame] = right;
                }
            }
            ResetEvents();
            lilv_instance_run(m_instance, uint32_t(block));
            bool finite = true;
            for (size_t frame = 0; frame < block; ++frame) {
                target[frame * 2] = m_out[0][frame];
                target[frame * 2 + 1] = m_out[size_t(m_outputs) - 1][frame];
                finite = finite && std::isfinite(target[frame * 2]) && std::isfinite(target[frame * 2 + 1]);
            }
            m_failed = !finite;
        }
        if (m_failed)
            PassVoiceDry(source, channels, block, target);
        done += block;
    }
}

size_t CLv2Effect::LatencyFrames() const
{
    if (m_latencyPort < 0 || !(m_values[size_t(m_latencyPort)] > 0))
        return 0;
    return size_t(std::lround(m_values[size_t(m_latencyPort)]));
}

bool CLv2Effect::SetControl(std::string_view symbol, float value)
{
    const auto found = std::find_if(
        m_controls.begin(), m_controls.end(), [symbol](const Control& control) { return control.symbol == symbol; });
    if (found == m_controls.end() || std::isnan(value))
        return false;
    m_values[found->port] = std::clamp(value, found->minimum, found->maximum);
    return true;
}

} // namespace linlangok
