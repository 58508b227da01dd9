// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The header-queue rules, on one thread: prepare before queue, done before
// unprepare, one return per queued header in queue order.
#include <gtest/gtest.h>

#include <array>

#include "platform/HeaderQueue.h"

namespace platform {
namespace {

struct Buffers {
  std::array<std::array<char, 64>, HeaderQueue::kMaxQueued + 1> data{};
  std::array<WAVEHDR, HeaderQueue::kMaxQueued + 1> headers{};
  Buffers() {
    for (std::size_t i = 0; i < headers.size(); ++i) headers[i] = WAVEHDR{data[i].data(), 64, 0, i, 0, 0, nullptr, 0};
  }
};

TEST(HeaderQueue, RefusesBadHeadersAndSizes) {
  Buffers b;
  WAVEHDR& h = b.headers[0];
  EXPECT_EQ(HeaderQueue::prepare(nullptr, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
  EXPECT_EQ(HeaderQueue::prepare(&h, 32), MMSYSERR_INVALPARAM);  // the older platform's size
  EXPECT_EQ(HeaderQueue::unprepare(&h, sizeof(WAVEHDR) + 1), MMSYSERR_INVALPARAM);
  WAVEHDR noData{nullptr, 64, 0, 0, 0, 0, nullptr, 0};
  EXPECT_EQ(HeaderQueue::prepare(&noData, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);

  HeaderQueue q;
  EXPECT_EQ(q.add(&h, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
  ASSERT_EQ(HeaderQueue::prepare(&h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(q.add(&h, 32), MMSYSERR_INVALPARAM);
  h.dwBufferLength = 0;  // a device cannot fill an empty buffer
  EXPECT_EQ(q.add(&h, sizeof(WAVEHDR)), MMSYSERR_INVALPARAM);
  EXPECT_EQ(q.queued(), 0u);
}

TEST(HeaderQueue, QueuedHeaderIsBusyUntilItComesBack) {
  Buffers b;
  WAVEHDR& h = b.headers[0];
  HeaderQueue q;
  ASSERT_EQ(HeaderQueue::prepare(&h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(h.dwFlags, WHDR_PREPARED);
  h.dwBytesRecorded = 99;  // left from an earlier use
  ASSERT_EQ(q.add(&h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(h.dwBytesRecorded, 0u);
  EXPECT_EQ(h.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  EXPECT_EQ(q.add(&h, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(HeaderQueue::unprepare(&h, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(HeaderQueue::prepare(&h, sizeof(WAVEHDR)), WAVERR_STILLPLAYING);
  EXPECT_EQ(q.queued(), 1u);

  EXPECT_EQ(q.completeFront(), &h);
  EXPECT_EQ(h.dwFlags, WHDR_PREPARED | WHDR_DONE);
  EXPECT_EQ(q.completeFront(), nullptr);
  // Queued again, the done flag goes until the device returns it.
  ASSERT_EQ(q.add(&h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(h.dwFlags, WHDR_PREPARED | WHDR_INQUEUE);
  q.completeFront();
  ASSERT_EQ(HeaderQueue::unprepare(&h, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(h.dwFlags, WHDR_DONE);
  EXPECT_EQ(q.add(&h, sizeof(WAVEHDR)), WAVERR_UNPREPARED);
}

TEST(HeaderQueue, ReturnsInQueueOrderAndRefusesBeyondItsCapacity) {
  Buffers b;
  HeaderQueue q;
  for (std::size_t i = 0; i < HeaderQueue::kMaxQueued; ++i) {
    ASSERT_EQ(HeaderQueue::prepare(&b.headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
    ASSERT_EQ(q.add(&b.headers[i], sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  }
  WAVEHDR& extra = b.headers[HeaderQueue::kMaxQueued];
  ASSERT_EQ(HeaderQueue::prepare(&extra, sizeof(WAVEHDR)), MMSYSERR_NOERROR);
  EXPECT_EQ(q.add(&extra, sizeof(WAVEHDR)), MMSYSERR_NOMEM);
  EXPECT_EQ(extra.dwFlags, WHDR_PREPARED);  // a refused header is not marked queued

  for (std::size_t i = 0; i < HeaderQueue::kMaxQueued; ++i) {
    ASSERT_EQ(q.front(), &b.headers[i]);
    ASSERT_EQ(q.completeFront(), &b.headers[i]);
  }
  EXPECT_EQ(q.queued(), 0u);
  EXPECT_EQ(q.front(), nullptr);
}

}  // namespace
}  // namespace platform
