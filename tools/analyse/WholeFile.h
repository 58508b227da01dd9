// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Output files written whole or not at all: the bytes go to a temporary file
// beside the target, which is renamed over it only once everything is
// written and flushed, so a reader never sees half a file and an
// interrupted run leaves the old one (or none).
#pragma once

#include <QByteArray>
#include <string>

namespace analyse {

// Writes `bytes` to dir/name, making dir when it is missing. False with the
// reason in `error`.
bool WriteWhole(const std::string& dir, const std::string& name, const QByteArray& bytes, std::string& error);

}  // namespace analyse
