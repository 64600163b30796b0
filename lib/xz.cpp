#include "lib/xz.h"

#include <lzma.h>

#include <chrono>
#include <cstdint>

namespace vk {

namespace {

uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

}  // namespace

struct XzDecoder::State {
  lzma_stream stream = LZMA_STREAM_INIT;
  bool started = false;
  std::vector<uint8_t> buffer;
};

XzDecoder::XzDecoder() : state_(new State) {}

XzDecoder::~XzDecoder() {
  lzma_end(&state_->stream);
  delete state_;
}

void XzDecoder::reset() {
  lzma_end(&state_->stream);
  state_->stream = LZMA_STREAM_INIT;
  state_->started = false;
  status_ = Status::More;
  totalOut_ = 0;
}

XzDecoder::Status XzDecoder::step(const uint8_t*& in, size_t& inLeft, bool last, uint8_t* out, size_t room,
                                  size_t& produced) {
  produced = 0;
  if (status_ != Status::More) return status_ == Status::End && inLeft == 0 ? status_ : Status::Error;
  lzma_stream& s = state_->stream;
  if (!state_->started) {
    if (lzma_stream_decoder(&s, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return status_ = Status::Error;
    state_->started = true;
  }
  const size_t given = inLeft < kXzInputPiece ? inLeft : kXzInputPiece;
  s.next_in = in;
  s.avail_in = given;
  s.next_out = out;
  s.avail_out = room;
  // Once the last piece is handed over the decoder must be told to finish, and stay told.
  const lzma_ret ret = lzma_code(&s, last && given == inLeft ? LZMA_FINISH : LZMA_RUN);
  const size_t taken = given - s.avail_in;
  in += taken;
  inLeft -= taken;
  produced = room - s.avail_out;
  totalOut_ += produced;
  if (ret == LZMA_STREAM_END) {
    // Bytes after the end of the streams are damage, not padding that the decoder could accept.
    return status_ = inLeft == 0 && last ? Status::End : Status::Error;
  }
  if (ret == LZMA_OK) {
    // A finishing decoder that neither takes nor gives has been cut short.
    if (last && inLeft == 0 && taken == 0 && produced == 0 && room != 0) return status_ = Status::Error;
    return Status::More;
  }
  // Without more input the decoder cannot go on; that is only an error when none will come.
  if (ret == LZMA_BUF_ERROR && !last && inLeft == 0) return Status::More;
  return status_ = Status::Error;
}

XzDecoder::Status XzDecoder::feed(const uint8_t* data, size_t size, bool last, const Sink& sink) {
  if (!state_->started) state_->buffer.resize(outputPiece);
  while (true) {
    size_t got = 0;
    const Status status = step(data, size, last, state_->buffer.data(), state_->buffer.size(), got);
    if (got && sink) sink(state_->buffer.data(), got);
    if (status != Status::More) return status;
    // Without the last piece the decoder stops when input runs out and the output has room left.
    if (size == 0 && got < state_->buffer.size() && !last) return Status::More;
  }
}

bool XzDecode(const void* data, size_t size, std::vector<uint8_t>& out, size_t maxOut, const XzProgress& progress,
              const MillisecondClock& clock) {
  out.clear();
  const auto now = [&] { return clock ? clock() : SteadyMilliseconds(); };
  uint64_t lastReport = progress ? now() : 0;
  // One byte more than allowed shows that the output does not fit.
  const size_t limit = maxOut == SIZE_MAX ? maxOut : maxOut + 1;
  const size_t first = size > (SIZE_MAX - 1024) / 3 ? limit : size * 3 + 1024;
  // reserve before resize: the vector's own growth could take twice the room.
  out.reserve(first < limit ? first : limit);
  out.resize(first < limit ? first : limit);

  XzDecoder decoder;
  const auto* in = static_cast<const uint8_t*>(data);
  size_t left = size;
  size_t produced = 0;
  XzDecoder::Status status = XzDecoder::Status::More;
  while (status == XzDecoder::Status::More) {
    if (produced == out.size()) {
      if (out.size() == limit) break;
      const size_t next = out.size() > limit / 2 ? limit : out.size() * 2;
      out.reserve(next);
      out.resize(next);
    }
    size_t got = 0;
    status = decoder.step(in, left, true, out.data() + produced, out.size() - produced, got);
    produced += got;
    if (progress && status == XzDecoder::Status::More) {
      const uint64_t t = now();
      if (t - lastReport >= kXzProgressInterval) {
        lastReport = t;
        if (progress(size - left, size, uint64_t(produced) * 8)) break;
      }
    }
  }
  if (status != XzDecoder::Status::End || produced > maxOut) {
    out.clear();
    return false;
  }
  out.resize(produced);
  return true;
}

bool XzEncode(const void* data, size_t size, std::vector<uint8_t>& out, uint32_t preset, XzCheck check) {
  out.assign(lzma_stream_buffer_bound(size), 0);
  size_t written = 0;
  const lzma_ret ret = lzma_easy_buffer_encode(preset, check == XzCheck::Crc32 ? LZMA_CHECK_CRC32 : LZMA_CHECK_CRC64,
                                               nullptr, static_cast<const uint8_t*>(data), size, out.data(),
                                               &written, out.size());
  if (ret != LZMA_OK) {
    out.clear();
    return false;
  }
  out.resize(written);
  return true;
}

}  // namespace vk
