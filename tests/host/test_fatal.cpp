#include <gtest/gtest.h>

#include <cstdio>

#include "lib/array.h"
#include "lib/fatal.h"

namespace {

using ::testing::ExitedWithCode;

int g_cleanups = 0;

void PrintHandler(const vk::String& text) {
  std::fprintf(stderr, "handler8[%s] cleanups=%d len=%zu\n", text.substr(0, 80).c_str(), g_cleanups,
               text.size());
}

void WideHandler(const vk::Streng& text) {
  std::fprintf(stderr, "handler16[%s]\n", vk::StrengToUtf8(text).c_str());
}

void ReentrantHandler(const vk::String& text) {
  std::fprintf(stderr, "first[%s]\n", text.c_str());
  vk::FatalError("second");  // must not reach the handler again
}

TEST(FatalErrorDeathTest, EightBitFormRunsCleanupsThenHandlerThenExitsMinusOne) {
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        for (int i = 0; i < 150; ++i) vk::AddFatalCleanup([] { ++g_cleanups; });
        vk::AddFatalCleanup([] { throw 1; });  // an exception inside one is ignored
        vk::FatalError("Vector<%s>[%d]", "int", 7);
      },
      ExitedWithCode(255), "handler8\\[Vector<int>\\[7\\]\\] cleanups=99 len=");
}

TEST(FatalErrorDeathTest, TextIsCutTo4095Characters) {
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        vk::FatalErrorText(vk::String(10000, 'x'));
      },
      ExitedWithCode(255), "len=4095");
}

TEST(FatalErrorDeathTest, OnlyTheFirstFatalErrorIsHandled) {
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&ReentrantHandler);
        vk::FatalError("one");
      },
      ExitedWithCode(255), "first\\[one\\]\n$");
}

TEST(FatalErrorDeathTest, WideFormGoesToTheWideHandlerOrConvertedToTheEightBitOne) {
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        vk::SetFatalErrorHandler(&WideHandler);
        vk::FatalError(u"caf\u00E9 %d", 1);
      },
      ExitedWithCode(255), "handler16\\[caf\xC3\xA9 1\\]");
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        vk::FatalError(u"caf\u00E9 \u4E2D");
      },
      ExitedWithCode(255), "handler8\\[caf\xE9 \\?\\] cleanups=0");
}

TEST(FatalErrorDeathTest, NoHandlerJustExits) {
  EXPECT_EXIT(vk::FatalError("quiet"), ExitedWithCode(255), "^$");
}

void IndexPastTheEnd() {
  vk::SetFatalErrorHandler(&PrintHandler);
  vk::Array<int> a{1, 2, 3};
  (void)a[3];
}

TEST(FatalErrorDeathTest, BadArrayIndexNamesTypeIndexAndHighestIndex) {
  EXPECT_EXIT(IndexPastTheEnd(),
      ExitedWithCode(255), "handler8\\[Vector<int>\\[3\\]\r\nmax_index = 2\\]");
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        const vk::Array<long> empty;
        (void)empty[-1];
      },
      ExitedWithCode(255), "Vector<long int>\\[-1\\]\r\nmax_index = -1");
}

TEST(FatalErrorDeathTest, InternalCheckNamesModuleAndLine) {
  EXPECT_EXIT(
      {
        vk::SetFatalErrorHandler(&PrintHandler);
        vk::InternalFatalError("vk_thread", 42);
      },
      ExitedWithCode(255), "Internal Fatal Error\r\nModule: vk_thread\r\nLine: 42");
}

}  // namespace
