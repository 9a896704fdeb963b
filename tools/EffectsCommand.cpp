// effects: the voice effects' presets and the installed plugins they may use; effects --controls
// URI: the controls of one plugin.

#include "common/JsonWriter.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/Lv2Plugins.h"
#include "tools/Commands.h"

#include <iostream>

namespace linlangok {
namespace {

int PrintControls(const std::string& uri)
{
    CJsonWriter json(std::cout);
    json.BeginObject().Key("uri").Value(uri).Key("controls").BeginArray();
    for (const VoiceControlInfo& control : CLv2Plugins().Controls(uri))
        json.BeginObject()
            .Key("symbol")
            .Value(control.symbol)
            .Key("name")
            .Value(control.name)
            .Key("min")
            .Value(double(control.minimum), 3)
            .Key("max")
            .Value(double(control.maximum), 3)
            .Key("default")
            .Value(double(control.defaultValue), 3)
            .Key("toggled")
            .Value(control.toggled)
            .Key("integer")
            .Value(control.integer)
            .EndObject();
    json.EndArray().EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace

int RunEffectsCommand(ToolContext& context)
{
    if (context.arguments.size() == 2 && context.arguments[0] == "--controls")
        return PrintControls(context.arguments[1]);
    if (!context.arguments.empty())
        return UsageError(kEffectsUsage);
    CJsonWriter json(std::cout);
    json.BeginObject().Key("presets").BeginArray();
    for (const VoicePreset& preset : VoicePresets()) {
        json.BeginObject().Key("name").Value(preset.name).Key("chain").BeginArray();
        for (const VoiceEffectStage& stage : preset.chain) {
            json.BeginObject().Key("uri").Value(stage.uri).Key("controls").BeginObject();
            for (const VoiceEffectControl& control : stage.controls)
                json.Key(control.symbol).Value(double(control.value), 3);
            json.EndObject().EndObject();
        }
        json.EndArray().EndObject();
    }
    json.EndArray().Key("plugins").BeginArray();
    for (const VoicePluginInfo& plugin : CLv2Plugins().VoiceEffectPlugins())
        json.BeginObject()
            .Key("uri")
            .Value(plugin.uri)
            .Key("name")
            .Value(plugin.name)
            .Key("class")
            .Value(plugin.className)
            .EndObject();
    json.EndArray().EndObject();
    std::cout << '\n';
    return 0;
}

} // namespace linlangok
