#pragma once

#include "core/performance/VoiceEffect.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// What the program and linlangok-effect-host say to each other over the host's standard input
// and output, in the machine's own byte order (both run on it):
// - the program sends the chain: "LLFX", the version, the number of plugins, then each plugin's
//   URI, its number of controls and each control's symbol and value; texts are a length and
//   their UTF-8 bytes;
// - the host answers an AnswerHeader and its text: the plugins' names when they started, else
//   why not;
// - then, until the program closes the connection, a BlockHeader and the block's samples
//   (interleaved, `channels` per frame) each way: the program's voice, the host's stereo output
//   after a ReplyHeader and, once, the reason the chain failed.
namespace linlangok::effecthost {

inline constexpr char kTag[4] = {'L', 'L', 'F', 'X'};
inline constexpr uint32_t kVersion = 1;
inline constexpr uint32_t kMaximumPlugins = 16;
inline constexpr uint32_t kMaximumControls = 256;
inline constexpr uint32_t kMaximumTextBytes = 1024;
inline constexpr uint32_t kMaximumBlockFrames = 8192;

struct AnswerHeader {
    uint32_t started; // 1 when the chain runs, 0 when it could not start
    uint32_t latencyFrames;
    uint32_t textBytes; // at most kMaximumTextBytes
};

struct BlockHeader {
    uint32_t frames; // 1 to kMaximumBlockFrames
    uint32_t channels; // 1 or 2
};

struct ReplyHeader {
    uint32_t frames; // the block's, stereo
    uint32_t reasonBytes; // at most kMaximumTextBytes; 0 while the chain works
};

// The chain as the program sends it. Raises std::invalid_argument when it has more plugins,
// controls or longer texts than the host takes.
std::string EncodeChain(const VoiceEffectChain& chain);

// Reads exactly `bytes` bytes into `data`; false when the input ends first.
using ReadExactly = std::function<bool(void* data, size_t bytes)>;

// The chain sent, read through `read`. Raises std::runtime_error saying what is wrong when the
// input ends early or a tag, version, count or length is not one EncodeChain writes; nothing is
// allocated for a count or length before it has been checked.
VoiceEffectChain DecodeChain(const ReadExactly& read);

using Clock = std::chrono::steady_clock;
enum class Transfer { Done, Closed, TimedOut };

// All `bytes` read from or written to the descriptor by the deadline (Clock::time_point::max()
// for none); Closed when the other side has gone (end of input, a broken pipe or socket) or on an
// error. A socket is written without raising SIGPIPE.
Transfer ReadFully(int descriptor, void* data, size_t bytes, Clock::time_point deadline);
Transfer WriteFully(int descriptor, const void* data, size_t bytes, Clock::time_point deadline);

} // namespace linlangok::effecthost
