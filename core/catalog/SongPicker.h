#pragma once

#include "common/FileLock.h"
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

// The phone that picked a song: its session and its address.
struct GuestPhone {
    std::string session;
    std::string address;
};

// What the 点歌 and 已点歌曲 windows decide: picks, the queue's edits, 切歌 and 连续播放. The queue
// file is shared with the other processes on the program folder (the tool, serve): every change
// reads it again under the folder's lock when another process changed it, changes it and saves
// it, and Refresh takes in what others changed meanwhile. A failed save and a damaged queue file
// are shown once each through the prompts, never while the lock is held. A song started from the
// queue or with 播放 is counted as sung. UI thread.
class CSongPicker {
public:
    // The store, the starter, the prompts and the locks outlive the picker.
    CSongPicker(ICatalogStore& store, ISongStarter& starter, IUserPrompts& prompts, IFileLocks& locks,
        std::filesystem::path queueFile);

    const CSongQueue& Queue() const { return m_queue; }
    // Called after every change of the queue or the current song, each listener in the order
    // added, until it is removed by the number AddChangedListener gave.
    size_t AddChangedListener(std::function<void()> changed);
    void RemoveChangedListener(size_t number);
    // Called with the id of every song counted as sung.
    void SetSungHandler(std::function<void(std::int64_t)> sung) { m_sung = std::move(sung); }

    // 点歌: the song joins the queue for the performer (empty: nobody named), marked as the
    // guest's when a phone picked it; when nothingPlays (nothing plays or records) and the queue
    // was empty, it starts at once. False when the queue is full, which is shown for the
    // program's own picks.
    bool Pick(
        const CatalogSong& song, const std::u16string& performer, bool nothingPlays, const GuestPhone& guest = {});
    // 优先 on a song not yet queued: it joins the queue on top.
    void PickFirst(const CatalogSong& song, const std::u16string& performer);
    // 播放: the song at once, ahead of the queue.
    void PlayNow(const CatalogSong& song);
    // The waiting entry at the index of Queue() as it was last seen; nothing happens when another
    // process has taken it out since.
    void Prioritize(size_t index);
    void Remove(size_t index);
    void Move(size_t from, size_t to);
    // 切歌: the next queued song starts; without one the current song is over.
    void Skip();
    // The song on has ended by itself: the next starts when 连续播放 is on.
    void SongEnded();
    // Takes in the changes other processes made to the queue file; cheap when there are none.
    void Refresh();

    bool Continuous() const { return m_continuous; }
    void SetContinuous(bool on) { m_continuous = on; }

    // The song that follows the current one, for the stage view; nothing when none is queued.
    std::optional<QueueEntry> UpNext() const;

private:
    // Runs the change on the queue as its file holds it now, under the folder's lock, and saves
    // it; then shows what went wrong, if anything, and tells the listeners.
    void Change(const std::function<void()>& change);
    // Under the lock: reads the file again when it is not as this picker last read or wrote it.
    void ReadIfChanged();
    // Adds the song (on top when first); false when the queue is full.
    bool Enqueue(const CatalogSong& song, const std::u16string& performer, const GuestPhone& guest, bool first);
    std::uint64_t TicketAt(size_t index) const;
    void Start(const QueueEntry& entry);
    void Changed();

    ICatalogStore& m_store;
    ISongStarter& m_starter;
    IUserPrompts& m_prompts;
    IFileLocks& m_locks;
    std::filesystem::path m_queueFile;
    CSongQueue m_queue;
    std::string m_fileText; // the file as last read or written; empty when missing
    std::filesystem::file_time_type m_fileWritten; // its modification time then
    std::u16string m_warning; // a damaged file's, to be shown once the lock is released
    bool m_continuous = true;
    bool m_saveFailureShown = false;
    std::vector<std::pair<size_t, std::function<void()>>> m_changedListeners;
    size_t m_lastListener = 0;
    std::function<void(std::int64_t)> m_sung;
};

} // namespace linlangok
