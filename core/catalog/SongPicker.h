#pragma once

#include "common/UserPrompts.h"
#include "core/catalog/CatalogSong.h"
#include "core/catalog/CatalogStore.h"
#include "core/catalog/SongQueue.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace linlangok {

// Starts a song as a pick from a song list does: at its remembered key, with its lyric file and
// guide melody (the main controller's PlayNow).
class ISongStarter {
public:
    virtual ~ISongStarter() = default;
    virtual void StartSong(const std::filesystem::path& path) = 0;
};

// What the 点歌 and 已点歌曲 windows decide: picks, the queue's edits, 切歌 and 连续播放. The queue
// is saved on every change; a failed save and a damaged queue file are shown once each through
// the prompts. A song started from the queue or with 播放 is counted as sung. UI thread.
class CSongPicker {
public:
    // The store, the starter and the prompts outlive the picker.
    CSongPicker(ICatalogStore& store, ISongStarter& starter, IUserPrompts& prompts, std::filesystem::path queueFile);

    const CSongQueue& Queue() const { return m_queue; }
    // Called after every change of the queue or the current song, each listener in the order
    // added, until it is removed by the number AddChangedListener gave.
    size_t AddChangedListener(std::function<void()> changed);
    void RemoveChangedListener(size_t number);
    // Called with the id of every song counted as sung.
    void SetSungHandler(std::function<void(std::int64_t)> sung) { m_sung = std::move(sung); }

    // 点歌: the song joins the queue for the performer (empty: nobody named), marked as the
    // guest's when a phone picked it; when nothing is on and the queue was empty, it starts at
    // once.
    void Pick(const CatalogSong& song, const std::u16string& performer, bool idle, const std::string& guest = {});
    // 优先 on a song not yet queued: it joins the queue on top.
    void PickFirst(const CatalogSong& song, const std::u16string& performer);
    // 播放: the song at once, ahead of the queue.
    void PlayNow(const CatalogSong& song);
    void Prioritize(size_t index);
    void Remove(size_t index);
    void Move(size_t from, size_t to);
    // 切歌: the next queued song starts; without one the current song is over.
    void Skip();
    // The song on has ended by itself: the next starts when 连续播放 is on.
    void SongEnded();

    bool Continuous() const { return m_continuous; }
    void SetContinuous(bool on) { m_continuous = on; }

    // The song that follows the current one, for the stage view; nothing when none is queued.
    std::optional<QueueEntry> UpNext() const;

private:
    // Adds the song (on top when first); false, with the message shown, when the queue is full.
    bool Enqueue(const CatalogSong& song, const std::u16string& performer, const std::string& guest, bool first);
    void Start(const QueueEntry& entry);
    void Changed();

    ICatalogStore& m_store;
    ISongStarter& m_starter;
    IUserPrompts& m_prompts;
    std::filesystem::path m_queueFile;
    CSongQueue m_queue;
    bool m_continuous = true;
    bool m_saveFailureShown = false;
    std::vector<std::pair<size_t, std::function<void()>>> m_changedListeners;
    size_t m_lastListener = 0;
    std::function<void(std::int64_t)> m_sung;
};

} // namespace linlangok
