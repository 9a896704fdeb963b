#include "platform/lv2/Lv2Plugins.h"

#include "platform/lv2/Lv2Effect.h"
#include "platform/lv2/Lv2World.h"

#include <lv2/core/lv2.h>

#include <algorithm>
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

std::unique_ptr<CLv2Effect> CLv2Plugins::Instantiate(std::string_view uri) const
{
    const Lv2World::Node node = m_world->Uri(std::string(uri).c_str());
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(m_world->world), node.get());
    if (!plugin)
        throw std::runtime_error("no LV2 plugin " + std::string(uri) + " is installed");
    return std::make_unique<CLv2Effect>(m_world, plugin);
}

} // namespace linlangok
