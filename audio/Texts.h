// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The audio component's words, in one place: every text it leaves in
// ErrorMessage, the numbers of the requests it posts to its own windows,
// and the one way a device's result code becomes text. The fixed texts are
// exact, trailing spaces included: a device's text follows them after one
// more space, so most read "...: " + " " + the system's text.
#pragma once

#include <QString>
#include <cstdint>
#include <string>

#include "audio/AudioSettings.h"
#include "platform/Messages.h"
#include "platform/Types.h"

namespace platform {
class AudioSystem;
}

namespace audio {

class TAudio;

// The requests each half posts to its own hidden windows carry the numbers
// of the notifications they follow (wParam: the run or playing that posted
// them).
inline constexpr platform::UINT kRequeueRequest = platform::MM_WIM_DATA;  // a delivered buffer goes back
inline constexpr platform::UINT kRefillRequest = platform::MM_WOM_DONE;   // the next block is read and written
inline constexpr platform::UINT kCloseRequest = platform::MM_WOM_CLOSE;   // the output device is closed

// ErrorMessage as a user reads it, in a window or on a terminal: the two
// spaces that a prefix ending in ": " leaves before the system's text made
// one. ErrorMessage itself keeps its exact form.
std::string ForUser(const std::string& errorMessage);

// The system's ...GetErrorTextA of one direction.
using ErrorTextCall = platform::MMRESULT (platform::AudioSystem::*)(platform::MMRESULT, char*, platform::UINT);

// owner.ErrorMessage := lead, then one space and the system's text for
// `code` (at most 255 characters) when it has one.
void SetErrorText(TAudio& owner, ErrorTextCall textOf, platform::MMRESULT code, const std::string& lead);

namespace text {

// The recorder.
inline constexpr const char* kOpenInput = "Could not open the input device for recording: ";
inline constexpr const char* kPrepareInput = "Error preparing header for recording: ";
inline constexpr const char* kAddNextInput = "Error adding next input buffer";
inline constexpr const char* kStartInput = "Error starting wave record: ";
inline constexpr const char* kAddInput = "Error adding input buffer";
inline constexpr const char* kRecorderClosed = "Recorder already closed";
inline constexpr const char* kResetInput = "Error in waveInReset";
inline constexpr const char* kUnprepareInput = "Error in waveInUnprepareHeader";
inline constexpr const char* kCloseInput = "Error closing input device";

// The player.
inline constexpr const char* kAlreadyPlaying = "Player is already playing";
inline constexpr const char* kNoStream = "No stream to play";
inline constexpr const char* kStreamCannotSeek = "Stream cannot be played: it cannot seek";
inline constexpr const char* kNoPlayBuffers = "No wave buffers for playing";
inline constexpr const char* kOpenOutput = "Could not open the output device for playing: ";
inline constexpr const char* kPlayerClosed = "Player already closed";
inline constexpr const char* kUnprepareOutput = "Error unpreparing header for playing: ";
inline constexpr const char* kCloseOutput = "Error closing output device: ";
inline constexpr const char* kResetOutput = "Error in waveOutReset";
std::string StreamTooLong(std::int64_t size, std::int64_t most);
std::string PositionOutOfRange(std::int32_t position);
std::string PositionBeyondStream(std::int32_t position, std::int64_t size);
// `why` is the text of the failure, which begins with a space.
std::string StartFailed(const std::string& why);
// "44100 Hz, 1 channel, 16 bits"
std::string Format(TChannels channels, platform::WORD rate, TBPS bits);
std::string FormatClash(const std::string& file, const std::string& capture);
std::string SeekFailed(std::int64_t position, const std::string& why);
std::string ReadFailed(const std::string& why);

// The storage of either half.
inline constexpr const char* kNoMemoryFormat = "Not enough memory to allocate WaveFormat";
inline constexpr const char* kNoMemoryHeader = "Not enough memory to allocate WaveHeader";
inline constexpr const char* kNoMemoryBuffer = "Not enough memory to allocate Wave Buffer";
std::string BufferSizeOutOfRange(platform::WORD samples, platform::WORD frameBytes, unsigned bytes);

// Sound files, refused before playing: the quoted path, a space, the reason.
std::string FileRefused(const QString& path, const std::string& why);
inline constexpr const char* kFileMissing = "does not exist";
inline constexpr const char* kFileIsDirectory = "is a directory, not a sound file";
inline constexpr const char* kFileNotRegular = "is not a regular file";
inline constexpr const char* kFileNotSound = "cannot be read as sound: ";
inline constexpr const char* kFileLengthUnknown = "has no known length; it may be cut short";
inline constexpr const char* kFileEmpty = "has no sound frames";
inline constexpr const char* kFileCutShort = "is cut short: it holds less sound than its header claims";
inline constexpr const char* kFileEndUnreachable = "is cut short or damaged: its last frame cannot be reached";
std::string FileChannels(int channels);
std::string FileRate(int rate);
// A sound file that fails while it is read; `reason` is libsndfile's, with
// its leading ": ", or empty.
QString FileOnlyForReading(const QString& path);
QString FileCannotRewind(const QString& path, const QString& reason);
QString FileCannotSeek(const QString& path, std::int64_t frame, const QString& reason);
QString FileEndsEarly(const QString& path, std::int64_t frames, std::int64_t of);
QString FileUnreadable(const QString& path, const QString& reason);

}  // namespace text
}  // namespace audio
