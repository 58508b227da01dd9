// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "platform/alsa/AlsaCheck.h"

#include <alsa/asoundlib.h>

#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <mutex>

#include "platform/ResultCodes.h"

namespace platform::alsa {
namespace {

// The latest diagnostic alsa-lib gave on this thread. A fixed buffer: the
// handler may run on a device thread, which must not allocate.
thread_local char lastMessage[256];

void KeepMessage(const char*, int, const char*, int, const char* fmt, ...) {
  va_list args;
  va_start(args, fmt);
  std::vsnprintf(lastMessage, sizeof lastMessage, fmt, args);
  va_end(args);
}

std::string_view BaseName(std::string_view path) {
  const auto slash = path.rfind('/');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

void SilenceAlsaMessages() {
  static std::once_flag once;
  std::call_once(once, [] { snd_lib_error_set_handler(KeepMessage); });
}

bool AlsaCheck::operator()(long rc, std::string_view what, std::source_location where) {
  if (rc >= 0) {
    lastMessage[0] = '\0';
    return true;
  }
  error_ = static_cast<int>(rc);
  detail_.assign(what);
  detail_ += ": ";
  detail_ += snd_strerror(error_);
  if (const std::string_view message(lastMessage); !message.empty()) {
    detail_ += " (";
    detail_ += message;
    detail_ += ')';
  }
  detail_ += " [";
  detail_ += BaseName(where.file_name());
  detail_ += ':';
  detail_ += std::to_string(where.line());
  detail_ += ']';
  lastMessage[0] = '\0';
  return false;
}

void AlsaCheck::fail(int error, std::string detail) {
  error_ = error;
  detail_ = std::move(detail);
}

void AlsaCheck::clear() noexcept {
  error_ = 0;
  detail_.clear();
}

MMRESULT OpenFailureCode(int error, bool numbered) {
  switch (-error) {
    case EBUSY:
      return MMSYSERR_ALLOCATED;
    case ENOMEM:
      return MMSYSERR_NOMEM;
    case ENOENT:
    case ENODEV:
    case ENXIO:
      return numbered ? MMSYSERR_BADDEVICEID : MMSYSERR_NODRIVER;
    default:
      return MMSYSERR_NODRIVER;
  }
}

}  // namespace platform::alsa
