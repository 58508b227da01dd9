// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "audio/Texts.h"

#include "audio/Audio.h"
#include "platform/AudioSystem.h"

namespace audio {

void SetErrorText(TAudio& owner, ErrorTextCall textOf, platform::MMRESULT code, const std::string& lead) {
  char text[256] = {};
  (owner.System().*textOf)(code, text, 255);
  owner.ErrorMessage = text[0] == '\0' ? lead : lead + " " + text;
}

std::string ForUser(const std::string& errorMessage) {
  std::string shown = errorMessage;
  for (std::size_t at = shown.find(":  "); at != std::string::npos; at = shown.find(":  ", at + 1))
    shown.erase(at + 1, 1);
  return shown;
}

namespace text {

std::string StreamTooLong(std::int64_t size, std::int64_t most) {
  return "Stream too long to play: " + std::to_string(size) + " bytes, at most " + std::to_string(most);
}

std::string PositionOutOfRange(std::int32_t position) {
  return "Play position out of range: " + std::to_string(position);
}

std::string PositionBeyondStream(std::int32_t position, std::int64_t size) {
  return PositionOutOfRange(position) + " of a " + std::to_string(size) + "-byte stream";
}

std::string StartFailed(const std::string& why) { return "Could not start playing:" + why; }

std::string Format(TChannels channels, platform::WORD rate, TBPS bits) {
  return std::to_string(rate) + " Hz, " + (channels == TChannels::Stereo ? "2 channels" : "1 channel") + ", " +
         (bits == TBPS::_16 ? "16" : "8") + " bits";
}

std::string FormatClash(const std::string& file, const std::string& capture) {
  return "Cannot play in another format while recording: the file is " + file + "; capture runs at " + capture;
}

std::string SeekFailed(std::int64_t position, const std::string& why) {
  return "Error seeking the stream to byte " + std::to_string(position) + (why.empty() ? "" : ": " + why);
}

std::string ReadFailed(const std::string& why) { return "Error reading the stream: " + why; }

std::string BufferSizeOutOfRange(platform::WORD samples, platform::WORD frameBytes, unsigned bytes) {
  return "Wave Buffer size out of range: " + std::to_string(samples) + " samples of " + std::to_string(frameBytes) +
         " bytes need " + std::to_string(bytes) + " bytes, 1 to 65535 fit";
}

std::string FileRefused(const QString& path, const std::string& why) { return "\"" + path.toStdString() + "\" " + why; }

std::string FileChannels(int channels) {
  return "has " + std::to_string(channels) + " channels; only mono and stereo can be played";
}

std::string FileRate(int rate) {
  return "has a rate of " + std::to_string(rate) + " Hz, which does not fit: the player's rate is 1 to 65535 Hz";
}

QString FileOnlyForReading(const QString& path) { return QStringLiteral("\"%1\" can only be read").arg(path); }

QString FileCannotRewind(const QString& path, const QString& reason) {
  return QStringLiteral("\"%1\" cannot go back to its first frame").arg(path) + reason;
}

QString FileCannotSeek(const QString& path, std::int64_t frame, const QString& reason) {
  return QStringLiteral("\"%1\" cannot seek to frame %2").arg(path).arg(frame) + reason;
}

QString FileEndsEarly(const QString& path, std::int64_t frames, std::int64_t of) {
  return QStringLiteral("\"%1\" ends after %2 of its %3 frames").arg(path).arg(frames).arg(of);
}

QString FileUnreadable(const QString& path, const QString& reason) {
  return QStringLiteral("\"%1\" could not be read").arg(path) + reason;
}

}  // namespace text
}  // namespace audio
