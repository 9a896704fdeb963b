#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// 已点歌曲: the picked songs, sung in turn.
namespace linlangok {

inline constexpr std::string_view kSongQueueFileName = "SongQueue.txt";
// The largest queue file read, and the most songs a queue holds.
inline constexpr size_t kMaximumSongQueueBytes = 4 * 1024 * 1024;
inline constexpr size_t kMaximumQueuedSongs = 10000;

struct QueueEntry {
    std::int64_t songId = 0; // the catalogue's id; 0 for a song picked outside it
    std::filesystem::path path;
    std::u16string title;
    std::u16string singer; // the artist
    std::u16string performer; // who sings it; empty when nobody said
    bool placedByHand = false; // moved by 优先 or a drag: the rotation leaves it where it is
    std::uint64_t ticket = 0; // the queue's number for the pick, unique while the program runs; not saved
    std::string guest; // the phone session that picked it; empty for the program's own picks; not saved
    std::string guestAddress; // the address of the phone that picked it; not saved

    bool operator==(const QueueEntry&) const = default;
};

// The queue and the song being sung. Picked songs are ordered by a fair rotation: nobody sings
// twice while another performer with a picked song is still waiting. Each performer's songs
// keep their order and fall into rounds (a performer's first waiting song is in round 0, or 1
// when the song being sung is theirs); the queue holds round 0 first, then round 1 and so on,
// a round in the order its songs reached it. Songs without a performer are one performer's.
// Songs placed by hand keep their places; the rest flows around them. UI thread.
class CSongQueue {
public:
    const std::vector<QueueEntry>& Entries() const { return m_entries; }
    const std::optional<QueueEntry>& Current() const { return m_current; }

    // 点歌: at the end of the performer's round, with a new ticket, which is returned; the rotation
    // may put it before others, so find it by the ticket. Nothing when the queue is full: at
    // kMaximumQueuedSongs, or when its file would grow past what loading reads.
    std::optional<std::uint64_t> Add(QueueEntry entry);
    bool IsFull() const { return m_entries.size() >= kMaximumQueuedSongs; }
    // The position of the waiting entry with that ticket; nothing when none waits.
    std::optional<size_t> Find(std::uint64_t ticket) const;
    // 优先: to the top. Indexes outside the queue do nothing.
    void Prioritize(size_t index);
    // 删除.
    void Remove(size_t index);
    // A drag: the entry at from goes to position to (clamped to the end).
    void Move(size_t from, size_t to);
    // 切歌 or a song's end: the first waiting song becomes the current one and is returned;
    // nothing (and no current song) when none waits.
    std::optional<QueueEntry> Next();
    void Clear();
    // Takes the songs of the queue as its file holds it now, which another process may have
    // changed. Each entry that this queue holds too (the same song, performer and place in the
    // rotation, matched in order) keeps its ticket and guest; the others get new tickets.
    void Merge(CSongQueue fromFile);

    // The queue as the text of its file, and back: nothing for a text it does not understand.
    std::string Serialize() const;
    static std::optional<CSongQueue> Parse(std::string_view text);

private:
    void Rotate();

    std::vector<QueueEntry> m_entries;
    std::optional<QueueEntry> m_current;
    std::uint64_t m_lastTicket = 0;
};

// The queue file, saved through SaveFile. Load gives an empty queue for a missing file; a file it
// does not understand or that is too large is set aside (SetFileAside), never deleted, and an
// empty queue is returned with the warning for the user in warning. text is the file as read,
// empty unless it was read as a queue.
CSongQueue LoadSongQueue(const std::filesystem::path& file, std::u16string& warning, std::string& text);
bool SaveSongQueue(const std::filesystem::path& file, const CSongQueue& queue);

} // namespace linlangok
