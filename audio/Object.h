// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The common base of everything that can be the Sender of an event.
#pragma once

namespace audio {

class TObject {
 public:
  virtual ~TObject() = default;
};

}  // namespace audio
