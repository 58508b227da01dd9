// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/HeaderQueue.h"

namespace platform {

MMRESULT HeaderQueue::prepare(WAVEHDR* header, UINT size) noexcept {
  if (header == nullptr || size != sizeof(WAVEHDR) || header->lpData == nullptr) return MMSYSERR_INVALPARAM;
  const DWORD flags = LoadHeaderFlags(*header);
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  StoreHeaderFlags(*header, flags | WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT HeaderQueue::unprepare(WAVEHDR* header, UINT size) noexcept {
  if (header == nullptr || size != sizeof(WAVEHDR)) return MMSYSERR_INVALPARAM;
  const DWORD flags = LoadHeaderFlags(*header);
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  StoreHeaderFlags(*header, flags & ~WHDR_PREPARED);
  return MMSYSERR_NOERROR;
}

MMRESULT HeaderQueue::add(WAVEHDR* header, UINT size) noexcept {
  if (header == nullptr || size != sizeof(WAVEHDR) || header->lpData == nullptr || header->dwBufferLength == 0)
    return MMSYSERR_INVALPARAM;
  const DWORD flags = LoadHeaderFlags(*header);
  if (!(flags & WHDR_PREPARED)) return WAVERR_UNPREPARED;
  if (flags & WHDR_INQUEUE) return WAVERR_STILLPLAYING;
  if (ring_.size() == kMaxQueued) return MMSYSERR_NOMEM;
  header->dwBytesRecorded = 0;
  StoreHeaderFlags(*header, (flags & ~WHDR_DONE) | WHDR_INQUEUE);
  ring_.push(header);  // cannot fail: only this side fills the ring
  return MMSYSERR_NOERROR;
}

WAVEHDR* HeaderQueue::front() const noexcept {
  WAVEHDR* const* f = ring_.front();
  return f ? *f : nullptr;
}

WAVEHDR* HeaderQueue::completeFront() noexcept {
  WAVEHDR* header = front();
  if (header == nullptr) return nullptr;
  ring_.pop();
  const DWORD flags = LoadHeaderFlags(*header);
  StoreHeaderFlags(*header, (flags & ~WHDR_INQUEUE) | WHDR_DONE);
  return header;
}

}  // namespace platform
