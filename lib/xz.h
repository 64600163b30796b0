#pragma once
// xz (liblzma) decoding and encoding of installer data.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vk {

// Progress of a whole-buffer decode: (input bytes consumed, input bytes in total, output bits
// produced so far). Returning true stops the decode, which then fails.
using XzProgress = std::function<bool(uint64_t bytesIn, uint64_t bytesTotal, uint64_t bitsOut)>;
// A monotonic clock in milliseconds; empty means std::chrono::steady_clock.
using MillisecondClock = std::function<uint64_t()>;

constexpr size_t kXzInputPiece = 16384;
constexpr uint64_t kXzProgressInterval = 201;  // milliseconds between progress calls, at least

// Decodes one buffer of one or more concatenated .xz streams into out (replaced). Succeeds only
// when the decoder reaches the stream end with all input consumed and at most maxOut bytes came
// out; on failure out is emptied. The output buffer never grows past maxOut + 1 bytes, so damaged
// or hostile input cannot make it ask for more memory than the caller allows.
bool XzDecode(const void* data, size_t size, std::vector<uint8_t>& out, size_t maxOut,
              const XzProgress& progress = {}, const MillisecondClock& clock = {});

// Decoding piece by piece: feed input as it comes and take the output through a sink, so that
// neither the whole input nor the whole output has to be held at once.
class XzDecoder {
public:
  using Sink = std::function<void(const uint8_t* data, size_t size)>;
  enum class Status { More, End, Error };

  XzDecoder();
  ~XzDecoder();
  XzDecoder(const XzDecoder&) = delete;
  XzDecoder& operator=(const XzDecoder&) = delete;

  // Feeds a piece of input; last marks the final piece. Output is handed to sink in pieces of at
  // most outputPiece bytes. Returns End once the stream(s) ended with the last piece, More while
  // more input is expected, Error on damaged or truncated data (sticky until reset()).
  Status feed(const uint8_t* data, size_t size, bool last, const Sink& sink);
  // Pull decoding: one decoder call on at most kXzInputPiece bytes of input (in and inLeft
  // advance past what it took) into at most room bytes of out (produced says how many). last
  // marks that the input given is all there is. More while the streams go on (more input or
  // more room wanted), End once they ended with every input byte used, Error on damage.
  Status step(const uint8_t*& in, size_t& inLeft, bool last, uint8_t* out, size_t room, size_t& produced);
  // Ready for a new stream.
  void reset();
  uint64_t totalOut() const { return totalOut_; }

  static constexpr size_t outputPiece = 65536;

private:
  struct State;
  State* state_;
  Status status_ = Status::More;
  uint64_t totalOut_ = 0;
};

enum class XzCheck { Crc32, Crc64 };

// Encodes one .xz stream (preset 0..9, optionally | extreme flag bit 31) with the given check.
// The single-threaded encoder gives the same bytes for the same input and settings.
bool XzEncode(const void* data, size_t size, std::vector<uint8_t>& out, uint32_t preset = 6,
              XzCheck check = XzCheck::Crc64);

}  // namespace vk
