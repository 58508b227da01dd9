// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The mixers of this machine through ALSA's simple-mixer interface.
//
// Mixer device 0 is the sound server's mixer (ALSA's "default" control,
// where that is a server's and the server runs), the one a desktop's volume
// slider moves; the sound cards' control interfaces (hw:CARD) follow by card
// number. Without a server the cards start at 0. A server that runs but
// does not answer keeps its number: its mixer fails to open with the
// no-answer reason rather than a card's answering in its place. The product name is the
// card's name, or "Sound server (...)" with the name the server's control
// gives.
//
// Lines: destination 0 is the playback side (speakers), destination 1 the
// capture side (wave input); a side that has no element is left out, and
// the capture side is then destination 0. A side's destination line carries
// the controls of its main element ("Master" for playback, "Capture" for
// capture, else the side's first element); its sources are the side's other
// elements with a volume or a switch, in ALSA's order. Each line has a
// volume (0 ... 65535, scaled linearly from the element's raw range) where
// the element has one on that side, and a mute (the element's switch,
// inverted: off is muted) where it has a switch. ALSA has no standard
// element for a signal level, so no line has a peak meter.
//
// Control IDs: 0x10000 + (element position << 2 | capture << 1 | mute), the
// position being the element's place in ALSA's list when the mixer opened;
// above 65535, so never the component's "no control" value.
//
// Threads: alsa-lib is not safe for two threads on one handle, so the
// owner's reads (one at a time, each on a thread of its own: MixerDevice.h)
// go through one mixer handle and the event thread watches a second one.
// The event thread sleeps in poll() on that handle's descriptors and a
// waker; on each element change it compares the element's values with what
// it saw last and posts the controls that changed, allocating nothing. A
// card (or server) that goes away ends it quietly; the owner's next read
// then fails with MMSYSERR_NODRIVER and ALSA's reason.
#pragma once

#include <alsa/asoundlib.h>
#include <poll.h>

#include <array>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/MixerDevice.h"
#include "platform/Waker.h"
#include "platform/alsa/AlsaCheck.h"

namespace platform::alsa {

class AlsaMixer final : public MixerDevice {
 public:
  // How many mixer devices there are now.
  static UINT Count();
  // Opens and describes mixer `deviceId`. Non-zero: the code mixerOpen
  // reports, with ALSA's reason in `why`.
  static MMRESULT Open(UINT deviceId, std::unique_ptr<MixerDevice>& mixer, std::string& why);

  ~AlsaMixer() override;

  MMRESULT readValues(DWORD controlId, DWORD channels, DWORD* values) override;
  void stop() override;
  std::string failureDetail() const override { return check_.detail(); }

 protected:
  bool startWatching() override;

 private:
  struct MixerCloser {
    void operator()(snd_mixer_t* m) const { snd_mixer_close(m); }
  };
  using Handle = std::unique_ptr<snd_mixer_t, MixerCloser>;

  // One volume or mute of one side of an element.
  struct Control {
    DWORD id = 0;
    bool capture = false;
    bool mute = false;
    bool stereo = false;  // its line has a left and a right channel
    long minimum = 0;     // the element's raw volume range
    long maximum = 0;
  };
  // An element of one of the two handles and its controls; null once ALSA
  // removed it.
  struct Element {
    AlsaMixer* mixer = nullptr;
    snd_mixer_elem_t* elem = nullptr;
    std::array<Control, 4> controls{};
    std::size_t count = 0;
    // The event thread's: the left and right values it saw last.
    std::array<std::array<DWORD, 2>, 4> seen{};
  };

  AlsaMixer(MixerDescription description, Handle reads, Handle events, std::vector<Element> elements,
            std::vector<pollfd> fds);

  // Reads a control's left and right values (a mono line: its one value
  // twice); an ALSA error code on failure.
  static int Read(snd_mixer_elem_t* elem, const Control& control, std::array<DWORD, 2>& values);
  // Element callbacks of the owner's handle and of the event thread's.
  static int OnReadElement(snd_mixer_elem_t* elem, unsigned int mask);
  static int OnWatchedElement(snd_mixer_elem_t* elem, unsigned int mask);
  void watch();
  void join();

  Handle reads_;
  Handle events_;
  std::vector<Element> elements_;  // in the owner's handle
  std::vector<Element> watched_;   // the same elements in the event thread's handle
  std::vector<pollfd> fds_;        // the event handle's descriptors, then the waker's
  Waker waker_;
  std::thread thread_;
  AlsaCheck check_;
};

}  // namespace platform::alsa
