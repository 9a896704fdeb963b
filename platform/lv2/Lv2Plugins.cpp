#include "platform/lv2/Lv2Plugins.h"

#include "core/performance/VoiceEffectChain.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/Lv2Effect.h"
#include "platform/lv2/Lv2World.h"

#include <lv2/core/lv2.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace linlangok {
namespace {

// True when the class is the reverb or the delay class or lies under one; the walk up is bounded in case a
// bundle makes the classes a loop.
bool IsUnder(
    const LilvPluginClasses* classes, const LilvPluginClass* pluginClass, const LilvNode* reverb, const LilvNode* delay)
{
    for (int depth = 0; pluginClass && depth < 16; ++depth) {
        const LilvNode* uri = lilv_plugin_class_get_uri(pluginClass);
        if (lilv_node_equals(uri, reverb) || lilv_node_equals(uri, delay))
            return true;
        const LilvNode* parent = lilv_plugin_class_get_parent_uri(pluginClass);
        pluginClass = parent ? lilv_plugin_classes_get_by_uri(classes, parent) : nullptr;
    }
    return false;
}

float OrElse(float value, float otherwise)
{
    return std::isnan(value) ? otherwise : value;
}

} // namespace

CLv2Plugins::CLv2Plugins()
    : m_world(std::make_shared<Lv2World>())
{
}

CLv2Plugins::~CLv2Plugins() = default;

std::vector<VoicePluginInfo> CLv2Plugins::VoiceEffectPlugins() const
{
    const Lv2World::Node reverb = m_world->Uri(LV2_CORE__ReverbPlugin);
    const Lv2World::Node delay = m_world->Uri(LV2_CORE__DelayPlugin);
    const LilvPluginClasses* classes = lilv_world_get_plugin_classes(m_world->world);
    const LilvPlugins* plugins = lilv_world_get_all_plugins(m_world->world);
    std::vector<VoicePluginInfo> found;
    LILV_FOREACH(plugins, i, plugins)
    {
        const LilvPlugin* plugin = lilv_plugins_get(plugins, i);
        const LilvPluginClass* pluginClass = lilv_plugin_get_class(plugin);
        if (!IsUnder(classes, pluginClass, reverb.get(), delay.get()))
            continue;
        const Lv2World::Node name(lilv_plugin_get_name(plugin), lilv_node_free);
        found.push_back({lilv_node_as_uri(lilv_plugin_get_uri(plugin)), name ? lilv_node_as_string(name.get()) : "",
            lilv_node_as_string(lilv_plugin_class_get_label(pluginClass))});
    }
    std::sort(found.begin(), found.end(), [](const VoicePluginInfo& a, const VoicePluginInfo& b) {
        return a.name != b.name ? a.name < b.name : a.uri < b.uri;
    });
    return found;
}

const LilvPlugin* CLv2Plugins::Find(std::string_view uri) const
{
    const Lv2World::Node node = m_world->Uri(std::string(uri).c_str());
    return node ? lilv_plugins_get_by_uri(lilv_world_get_all_plugins(m_world->world), node.get()) : nullptr;
}

std::vector<VoiceControlInfo> CLv2Plugins::Controls(std::string_view uri) const
{
    const LilvPlugin* plugin = Find(uri);
    if (!plugin)
        return {};
    const Lv2World::Node control = m_world->Uri(LV2_CORE__ControlPort);
    const Lv2World::Node input = m_world->Uri(LV2_CORE__InputPort);
    const Lv2World::Node toggled = m_world->Uri(LV2_CORE__toggled);
    const Lv2World::Node integer = m_world->Uri(LV2_CORE__integer);
    const uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> minimum(ports), maximum(ports), defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin, minimum.data(), maximum.data(), defaults.data());
    std::vector<VoiceControlInfo> controls;
    for (uint32_t index = 0; index < ports; ++index) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, index);
        if (!lilv_port_is_a(plugin, port, control.get()) || !lilv_port_is_a(plugin, port, input.get()))
            continue;
        VoiceControlInfo& info = controls.emplace_back();
        info.symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        if (LilvNode* name = lilv_port_get_name(plugin, port)) {
            info.name = lilv_node_as_string(name);
            lilv_node_free(name);
        }
        info.minimum = OrElse(minimum[index], -std::numeric_limits<float>::infinity());
        info.maximum = OrElse(maximum[index], std::numeric_limits<float>::infinity());
        info.defaultValue = OrElse(defaults[index], std::isfinite(info.minimum) ? info.minimum : 0);
        info.toggled = lilv_port_has_property(plugin, port, toggled.get());
        info.integer = lilv_port_has_property(plugin, port, integer.get());
    }
    return controls;
}

std::unique_ptr<CLv2Effect> CLv2Plugins::Instantiate(std::string_view uri) const
{
    const LilvPlugin* plugin = Find(uri);
    if (!plugin)
        throw std::runtime_error(MissingVoicePluginText(uri));
    return std::make_unique<CLv2Effect>(m_world, plugin);
}

std::string CLv2Plugins::Name(std::string_view uri) const
{
    const LilvPlugin* plugin = Find(uri);
    const Lv2World::Node name(plugin ? lilv_plugin_get_name(plugin) : nullptr, lilv_node_free);
    return name ? lilv_node_as_string(name.get()) : std::string(uri);
}

std::unique_ptr<CVoiceEffectChain> CLv2Plugins::StartChain(const VoiceEffectChain& chain) const
{
    std::vector<std::unique_ptr<IVoiceEffect>> stages;
    for (const VoiceEffectSetting& setting : chain) {
        std::unique_ptr<CLv2Effect> effect = Instantiate(setting.uri);
        for (const auto& [symbol, value] : setting.controls)
            effect->SetControl(symbol, value);
        stages.push_back(std::move(effect));
    }
    return std::make_unique<CVoiceEffectChain>(std::move(stages));
}

} // namespace linlangok
