#include "lib/xz.h"

#include <lzma.h>

#include <chrono>

namespace vk {

namespace {

uint64_t SteadyMilliseconds() {
  using namespace std::chrono;
  return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// lzma_end on every way out.
struct StreamGuard {
  lzma_stream stream = LZMA_STREAM_INIT;
  ~StreamGuard() { lzma_end(&stream); }
};

}  // namespace

bool XzDecode(const void* data, size_t size, std::vector<uint8_t>& out, const XzProgress& progress,
              const MillisecondClock& clock) {
  out.clear();
  StreamGuard guard;
  lzma_stream& s = guard.stream;
  if (lzma_stream_decoder(&s, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return false;

  const auto now = [&] { return clock ? clock() : SteadyMilliseconds(); };
  uint64_t lastReport = progress ? now() : 0;

  out.resize(size * 3 + 1024);
  size_t produced = 0;
  const auto* in = static_cast<const uint8_t*>(data);
  size_t fed = 0;
  lzma_ret ret = LZMA_OK;
  while (true) {
    if (s.avail_in == 0 && fed < size) {
      size_t piece = size - fed < kXzInputPiece ? size - fed : kXzInputPiece;
      s.next_in = in + fed;
      s.avail_in = piece;
      fed += piece;
    }
    const lzma_action action = fed == size ? LZMA_FINISH : LZMA_RUN;
    if (produced == out.size()) out.resize(out.size() * 2);
    s.next_out = out.data() + produced;
    s.avail_out = out.size() - produced;
    ret = lzma_code(&s, action);
    produced = out.size() - s.avail_out;
    if (ret == LZMA_STREAM_END) break;
    if (ret != LZMA_OK) break;
    if (progress) {
      const uint64_t t = now();
      if (t - lastReport >= kXzProgressInterval) {
        lastReport = t;
        if (progress(s.total_in, size, uint64_t(produced) * 8)) {
          ret = LZMA_PROG_ERROR;
          break;
        }
      }
    }
  }
  // Bytes after the end of the streams are damage, not padding that the decoder could accept.
  if (ret != LZMA_STREAM_END || s.avail_in != 0 || fed != size) {
    out.clear();
    return false;
  }
  out.resize(produced);
  return true;
}

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

XzDecoder::Status XzDecoder::feed(const uint8_t* data, size_t size, bool last, const Sink& sink) {
  if (status_ != Status::More) return status_ == Status::End && size == 0 ? status_ : Status::Error;
  lzma_stream& s = state_->stream;
  if (!state_->started) {
    if (lzma_stream_decoder(&s, UINT64_MAX, LZMA_CONCATENATED) != LZMA_OK) return status_ = Status::Error;
    state_->started = true;
    state_->buffer.resize(outputPiece);
  }
  size_t fed = 0;
  while (true) {
    if (s.avail_in == 0 && fed < size) {
      size_t piece = size - fed < kXzInputPiece ? size - fed : kXzInputPiece;
      s.next_in = data + fed;
      s.avail_in = piece;
      fed += piece;
    }
    const bool allFed = fed == size && s.avail_in == 0;
    const lzma_action action = last && fed == size ? LZMA_FINISH : LZMA_RUN;
    s.next_out = state_->buffer.data();
    s.avail_out = state_->buffer.size();
    const lzma_ret ret = lzma_code(&s, action);
    const size_t got = state_->buffer.size() - s.avail_out;
    if (got) {
      totalOut_ += got;
      if (sink) sink(state_->buffer.data(), got);
    }
    if (ret == LZMA_STREAM_END) {
      // Trailing bytes past the streams are damage.
      if (s.avail_in != 0 || fed != size || !last) return status_ = Status::Error;
      return status_ = Status::End;
    }
    if (ret == LZMA_BUF_ERROR && !last && allFed) return Status::More;
    if (ret != LZMA_OK) return status_ = Status::Error;
    // Without LZMA_FINISH the decoder stops when input runs out and the output has room left.
    if (!last && allFed && s.avail_out != 0) return Status::More;
  }
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
