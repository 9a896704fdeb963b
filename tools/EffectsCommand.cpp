// effects: the voice effects' presets and the installed plugins they may use.

#include "common/JsonWriter.h"
#include "core/performance/VoicePresets.h"
#include "platform/lv2/Lv2Plugins.h"
#include "tools/Commands.h"

#include <iostream>

namespace linlangok {

int RunEffectsCommand(ToolContext& context)
{
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
