#pragma once

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace linlangok {

// The lilv world with every installed plugin loaded, and the URID map its plugins share. The
// plugins map URIs when they start; a map call takes a lock, so one from a running plugin would
// block, which the plugins here do not do.
struct Lv2World {
    Lv2World();
    ~Lv2World();

    Lv2World(const Lv2World&) = delete;
    Lv2World& operator=(const Lv2World&) = delete;

    using Node = std::unique_ptr<LilvNode, decltype(&lilv_node_free)>;
    Node Uri(const char* uri) const { return Node(lilv_new_uri(world, uri), lilv_node_free); }
    LV2_URID Map(const char* uri);
    const char* Unmap(LV2_URID urid);

    LilvWorld* world;
    LV2_URID_Map map;
    LV2_URID_Unmap unmap;

private:
    std::mutex m_lock;
    std::unordered_map<std::string, LV2_URID> m_urids;
    std::vector<const std::string*> m_uris; // by URID - 1
};

} // namespace linlangok
