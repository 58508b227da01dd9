// The simulated back-end: a real device (its own thread, the shared queue
// rules) whose frames come from a signal the test chooses, paced by a clock
// or released by the test, and whose every call can be made to fail.
//
//   sim::SimAudioSystem sim;
//   sim.setSignal(sim::Signal::Counter());
//   sim.setPacing(sim::Pacing::Manual);
//   ... open and start through the component ...
//   sim.release(2048 * 3);              // three blocks' worth of frames
//   sim.failCall(sim::Call::waveInAddBuffer, MMSYSERR_NOMEM, 5);  // 5th call fails
//
// Controls may be called from the test's thread at any time; they reach the
// device thread through atomics and a wake-up.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/DeviceAudioSystem.h"
#include "platform/ResultCodes.h"
#include "platform/Waker.h"

namespace platform::sim {

enum class Call {
  waveInGetNumDevs,
  waveOutGetNumDevs,
  waveInGetDevCapsA,
  waveInOpen,
  waveInPrepareHeader,
  waveInUnprepareHeader,
  waveInAddBuffer,
  waveInStart,
  waveInStop,
  waveInReset,
  waveInClose,
  waveInGetErrorTextA,
  Count
};

struct Signal {
  enum class Kind { Silence, Sine, Counter, Samples } kind = Kind::Silence;
  double frequency = 1000;  // Sine: Hz
  double amplitude = 1;     // Sine: fraction of full scale
  std::vector<std::int16_t> samples;  // Samples: interleaved frames, played in a loop

  static Signal Silence() { return {}; }
  static Signal Sine(double hz, double amplitude) { return {Kind::Sine, hz, amplitude, {}}; }
  // Frame k holds k (as a 16-bit value, or k mod 256 at 8 bits) on the left
  // channel and its complement on the right, so gaps and swaps show.
  static Signal Counter() { return {Kind::Counter, 0, 0, {}}; }
  static Signal Of(std::vector<std::int16_t> s) { return {Kind::Samples, 0, 0, std::move(s)}; }
};

enum class Pacing { Clock, Manual };

class SimAudioSystem : public DeviceAudioSystem {
 public:
  SimAudioSystem();
  ~SimAudioSystem() override;

  // Devices: counts (default 1 each).
  void setInputDevices(UINT n) { inputs_ = n; }
  void setOutputDevices(UINT n) { outputs_ = n; }
  // Takes effect at the next waveInOpen.
  void setSignal(Signal s) { signal_ = std::move(s); }
  void setPacing(Pacing p) { pacing_ = p; }

  // Manual pacing: makes `frames` more frames available to the device.
  void release(std::uint64_t frames);
  // The next buffer the device fills comes back with at most `bytes` bytes
  // (0: an empty buffer).
  void shortNextBuffer(DWORD bytes);
  // The device disappears at its next read: the source fails with `code`.
  void failDevice(MMRESULT code = MMSYSERR_NODRIVER, std::string why = "simulated device removed");

  // The nth call of `call` from now on returns `code`; with `persistent`,
  // every call from the nth on does.
  void failCall(Call call, MMRESULT code, unsigned nth = 1, bool persistent = false);
  void clearFaults();
  // Calls of each kind so far (failed ones included).
  unsigned calls(Call call) const { return counts_[static_cast<int>(call)]; }
  // Frames the devices have produced so far.
  std::uint64_t framesProduced() const;

  UINT waveInGetNumDevs() override;
  UINT waveOutGetNumDevs() override;
  MMRESULT waveInGetDevCapsA(UINT deviceId, WAVEINCAPSA* caps, UINT size) override;
  MMRESULT waveInOpen(HWAVEIN* handle, UINT deviceId, const WAVEFORMATEX* format, DWORD_PTR callback,
                      DWORD_PTR instance, DWORD flags) override;
  MMRESULT waveInPrepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInUnprepareHeader(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInAddBuffer(HWAVEIN handle, WAVEHDR* header, UINT size) override;
  MMRESULT waveInStart(HWAVEIN handle) override;
  MMRESULT waveInStop(HWAVEIN handle) override;
  MMRESULT waveInReset(HWAVEIN handle) override;
  MMRESULT waveInClose(HWAVEIN handle) override;
  MMRESULT waveInGetErrorTextA(MMRESULT code, char* text, UINT cch) override;

  // Shared with the device threads.
  struct State {
    Waker released;  // signalled by release()
    std::atomic<std::uint64_t> available{0};
    std::atomic<std::uint64_t> produced{0};
    std::atomic<std::int64_t> shortBytes{-1};
    std::atomic<MMRESULT> deviceFailure{0};
    std::string failureWhy;  // written before deviceFailure
  };

 protected:
  MMRESULT openCaptureSource(UINT deviceId, const WAVEFORMATEX& format,
                             std::unique_ptr<CaptureSource>& source) override;

 private:
  struct Fault {
    MMRESULT code = 0;
    unsigned at = 0;  // call number (1-based) that fails; 0: none
    bool persistent = false;
  };
  // Counts the call and returns its injected failure, or 0.
  MMRESULT injected(Call call);

  UINT inputs_ = 1, outputs_ = 1;
  Signal signal_;
  Pacing pacing_ = Pacing::Clock;
  std::shared_ptr<State> state_;
  std::array<unsigned, static_cast<int>(Call::Count)> counts_{};
  std::array<Fault, static_cast<int>(Call::Count)> faults_{};
};

}  // namespace platform::sim
