// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// How a scope window keeps up, as its health line shows it: how often
// blocks of points arrive, how often the window draws, and how long a
// block waits from its arrival to the end of the first picture drawn after
// the window took it (on screen, as far as this program can tell: the
// picture has been handed to the window system), and, where the host says
// when a block's sound was captured, how long the sound took to the screen,
// the capture path included.
//
// A block is what the ring stamps as a batch: the points that arrive after
// the window had taken every point before them. At the program's pace that
// is one captured block; when the window falls behind, blocks that arrive
// meanwhile count as one, which waited from its first point.
//
// Each figure is taken over the last kSpanNs (or since the start, once that
// is kMinSpanNs ago). A rate is the mean spacing of the events in it: their
// count would move by one with where the span's edges fall between two
// events (blocks at 21.5 a second read 21.5 or 22.0 by turns). A wait since
// the newest event longer than that spacing is counted in, so that a flow
// that stops reads as slowing down, down to 0 once nothing is left in the
// span. The times are the medians of the blocks shown in it. A figure with
// nothing behind it is withheld. Times are steady-clock nanoseconds, given
// by the caller, so the figures are tested on numbers.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace quorvel::display {

class ScopeHealth {
 public:
  static constexpr int64_t kSpanNs = 2'000'000'000;
  static constexpr int64_t kMinSpanNs = 500'000'000;

  void blockArrived(int64_t ns) { arrivals_.add(ns, 0); }
  void pictureDrawn(int64_t ns) { pictures_.add(ns, 0); }
  // A block that arrived at arrivedNs was first drawn in the picture
  // finished at drawnNs; its newest sound was captured at capturedNs (0:
  // not known), its oldest spanNs before.
  void blockShown(int64_t arrivedNs, int64_t capturedNs, int64_t drawnNs, int64_t spanNs);
  // Forgets everything; the counting starts at ns.
  void clear(int64_t ns);

  // Per second, over the last kSpanNs before now.
  std::optional<double> blocksPerSecond(int64_t now) const { return perSecond(arrivals_, now); }
  std::optional<double> picturesPerSecond(int64_t now) const { return perSecond(pictures_, now); }
  // Medians in ms of the blocks shown in the last kSpanNs: from a block's
  // arrival, and from the capture of its newest and of its oldest sound, to
  // the picture that first showed it.
  std::optional<double> displayMs(int64_t now) const { return median(waits_, now); }
  std::optional<double> toScreenMs(int64_t now) const { return median(toScreen_, now); }
  std::optional<double> oldestToScreenMs(int64_t now) const { return median(oldestToScreen_, now); }

 private:
  // The latest events, each with a value; older ones are overwritten.
  class Events {
   public:
    static constexpr size_t kHeld = 256;  // kSpanNs of up to 128 events a second
    void add(int64_t ns, double value);
    void clear() { count_ = 0; }
    // The events of the last kSpanNs: how many, the oldest's and the newest's times.
    struct Spread {
      size_t count = 0;
      int64_t oldest = 0, newest = 0;
    };
    Spread spread(int64_t now) const;
    // Calls fn(ns, value) for each event of the last kSpanNs, the newest first.
    template <class Fn>
    void forRecent(int64_t now, Fn&& fn) const {
      for (size_t k = 0; k < std::min(count_, kHeld); ++k) {
        const Event& e = events_[(count_ - 1 - k) % kHeld];
        if (e.ns <= now - kSpanNs) break;
        if (e.ns <= now) fn(e.ns, e.value);
      }
    }

   private:
    struct Event {
      int64_t ns;
      double value;
    };
    std::array<Event, kHeld> events_{};
    size_t count_ = 0;
  };

  std::optional<double> perSecond(const Events& events, int64_t now) const;
  static std::optional<double> median(const Events& events, int64_t now);

  Events arrivals_, pictures_, waits_, toScreen_, oldestToScreen_;
  int64_t startNs_ = 0;
};

}  // namespace quorvel::display
