#include "platform/lv2/Lv2World.h"

namespace linlangok {

Lv2World::Lv2World()
    : world(lilv_world_new())
{
    lilv_world_load_all(world);
    map.handle = this;
    map.map = [](LV2_URID_Map_Handle handle, const char* uri) { return static_cast<Lv2World*>(handle)->Map(uri); };
    unmap.handle = this;
    unmap.unmap
        = [](LV2_URID_Unmap_Handle handle, LV2_URID urid) { return static_cast<Lv2World*>(handle)->Unmap(urid); };
}

Lv2World::~Lv2World()
{
    lilv_world_free(world);
}

LV2_URID Lv2World::Map(const char* uri)
{
    const std::lock_guard lock(m_lock);
    const auto [entry, added] = m_urids.try_emplace(uri, LV2_URID(m_uris.size() + 1));
    if (added)
        m_uris.push_back(&entry->first);
    return entry->second;
}

const char* Lv2World::Unmap(LV2_URID urid)
{
    const std::lock_guard lock(m_lock);
    return urid >= 1 && urid <= m_uris.size() ? m_uris[urid - 1]->c_str() : nullptr;
}

} // namespace linlangok
