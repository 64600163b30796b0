#include "setup/core/log_block.h"

#include "setup/core/product_flags.h"

namespace setup {

vk::Streng LogBlockHeader(const LogBlockInput& in) {
  vk::Streng h;
  h += u"Installation log for: " + in.productName + u"\r\n";
  h += u"Install date: " + vk::AnsiToStreng(in.installDate) + u"\r\n";
  if (in.hasUninstaller)
    h += vk::Streng(u"Install type: ") + (in.reinstall ? u"Reinstall" : u"New") + u"\r\n";
  h += u"Install location: " + in.installFolder + u"\r\n";
  h += u"Installer version: " + vk::AsciiToStreng(kInstallerVersion) + u"\r\n";
  if (!in.productVersion.empty()) h += u"Product version: " + in.productVersion + u"\r\n";
  if (!in.overwrittenVersion.empty())
    h += u"Overwriting version: " + in.overwrittenVersion + u"\r\n";
  h += u"Operating system: " + vk::AnsiToStreng(in.osDescription) + u"\r\n\r\n";
  return h;
}

vk::String LogBlockHead(const LogBlockInput& in, bool fileEmpty) {
  vk::String head = fileEmpty ? kUtf8Mark : kLogSeparator;
  head += vk::StrengToUtf8(LogBlockHeader(in));
  return head;
}

vk::String LogBlockTail(const LogBlockInput& in) {
  vk::String tail = "\r\n";
  if (!in.failureSummary.empty()) {
    tail += kFailureSummaryTitle;
    tail += vk::StrengToUtf8(in.failureSummary);
  } else {
    tail += vk::StrengToUtf8(in.successNote);
    tail += "\r\n";
  }
  return tail;
}

vk::String ComposeLogBlock(const LogBlockInput& in, std::string_view runningLog, bool fileEmpty) {
  vk::String block = LogBlockHead(in, fileEmpty);
  block += runningLog;
  block += LogBlockTail(in);
  return block;
}

CompletionDecision DecideCompletionNotice(bool failed, bool finishNotice, bool automaticMode,
                                          uint64_t productFlags, bool somethingToOffer) {
  CompletionDecision d;
  d.productFlags = productFlags;
  if (!finishNotice || automaticMode) return d;
  if (failed) {
    d.notice = CompletionNotice::AskToViewLog;
    return d;
  }
  if (HasFlag(productFlags, flag::NoCompletionNotice)) return d;
  if (!HasFlag(productFlags, flag::AlwaysWriteLog))
    d.productFlags &= ~(uint64_t(1) << flag::OfferLogView);
  const bool offer = somethingToOffer || HasFlag(d.productFlags, flag::OfferLogView);
  d.notice = offer && !HasFlag(productFlags, flag::RestartRequired) ? CompletionNotice::FinishDialog
                                                                   : CompletionNotice::InfoBox;
  return d;
}

bool LogNeedsConversion(std::string_view content) {
  return !content.empty() && !content.starts_with(kUtf8Mark);
}

vk::String OldLogConverter::feed(std::string_view piece) {
  if (form_ != Form::Unknown) return convert(piece, false);
  held_.append(piece);
  // Two bytes tell the form; a shorter file is 1252 (finish).
  if (held_.size() < 2) return {};
  const std::string start = std::move(held_);
  held_.clear();
  if (start.starts_with("\xFF\xFE")) form_ = Form::Utf16Le;
  else if (start.starts_with("\xFE\xFF")) form_ = Form::Utf16Be;
  else form_ = Form::Cp1252;
  return kUtf8Mark + convert(std::string_view(start).substr(form_ == Form::Cp1252 ? 0 : 2), false);
}

vk::String OldLogConverter::finish() {
  if (form_ != Form::Unknown) return convert({}, true);
  const std::string start = std::move(held_);
  held_.clear();
  form_ = Form::Cp1252;
  return kUtf8Mark + convert(start, true);
}

vk::String OldLogConverter::convert(std::string_view bytes, bool last) {
  if (form_ == Form::Cp1252) return vk::Cp1252ToUtf8(bytes);
  held_.append(bytes);
  const bool bigEndian = form_ == Form::Utf16Be;
  vk::Streng text;
  text.reserve(held_.size() / 2);
  size_t used = 0;
  for (; used + 1 < held_.size(); used += 2) {
    const auto lo = static_cast<unsigned char>(held_[used + (bigEndian ? 1 : 0)]);
    const auto hi = static_cast<unsigned char>(held_[used + (bigEndian ? 0 : 1)]);
    text += static_cast<char16_t>(lo | (hi << 8));
  }
  // A high surrogate at the end of a piece waits for its partner; an odd last byte is dropped.
  if (!last && !text.empty() && text.back() >= 0xD800 && text.back() <= 0xDBFF) {
    text.pop_back();
    used -= 2;
  }
  held_.erase(0, last ? held_.size() : used);
  return vk::StrengToUtf8(text);
}

vk::String ConvertOldLog(std::string_view content) {
  OldLogConverter converter;
  vk::String out = converter.feed(content);
  return out + converter.finish();
}

namespace {

template <class S>
S EndWithEmptyLineImpl(S entry, const typename S::value_type* crlf) {
  using C = typename S::value_type;
  const auto endsWith = [&](std::basic_string_view<C> tail) {
    return std::basic_string_view<C>(entry).ends_with(tail);
  };
  const S one(crlf);
  const S two = one + one;
  if (endsWith(two)) return entry;
  if (endsWith(one)) return entry + one;
  return entry + two;
}

}  // namespace

vk::Streng EndWithEmptyLine(vk::Streng entry) {
  return EndWithEmptyLineImpl(std::move(entry), u"\r\n");
}

vk::String EndWithEmptyLine(vk::String entry) {
  return EndWithEmptyLineImpl(std::move(entry), "\r\n");
}

void AppendCrashReport(vk::Streng& summary, std::string_view crashReport1252) {
  summary += kCrashMarker;
  summary += vk::Cp1252ToStreng(crashReport1252);
}

}  // namespace setup
