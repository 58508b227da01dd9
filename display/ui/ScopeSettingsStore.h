// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// What a scope window remembers between runs, per scope title: its place and
// size, whether its health line shows, and the settings of its trace and
// frame views (timebase, zoom, trigger; frequency axis, level range, hold,
// average, spectrogram layout, harmonics). One INI file in the user's configuration directory,
// $XDG_CONFIG_HOME/quorvel-audio/scopes.conf, a group per title.
//
// Markers and time cursors are not kept: they point at features of the
// signal that was on screen, not at how the user likes to look at one.
//
// Every value read is checked: a value of the wrong kind or not finite is
// left at the view's default, a number out of range is held at the limits
// the keys and the wheel keep to, and a place that lies on no screen now
// present gives way to the default placement. A file that cannot be read or
// does not parse is ignored; the next save replaces one that does not parse.
// Anything but a regular file in its place (a directory, a FIFO, a device)
// is neither read nor written.
// Nothing here reports an error: remembering is a convenience.
#pragma once

#include <QString>

namespace quorvel::display {

class ScopeWindow;

class ScopeSettingsStore {
 public:
  // Empty when the system names no configuration directory.
  static QString filePath();

  // Gives a new window what was remembered for its title, before it shows.
  static void restore(ScopeWindow& window);
  // Remembers the window under its title, replacing what was there.
  static void save(const ScopeWindow& window);
};

}  // namespace quorvel::display
