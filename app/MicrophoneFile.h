// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A microphone's correction file read from disk and parsed
// (dsp::parseMicrophoneCorrection), for the Levels window and for the
// spectrum the strip sends to the frame scope.
#pragma once

#include <QString>
#include <optional>

#include "dsp/MicrophoneCorrection.h"

namespace app {

// None, with the reason in `why`, when the file cannot be read, is too large
// to be a correction file, or is malformed.
std::optional<dsp::MicrophoneCorrection> ReadMicrophoneFile(const QString& path, QString& why);

}  // namespace app
