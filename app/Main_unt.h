// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// TMain_Form: the program's main window, a narrow strip with a Start/Stop
// button and an "FFT" box at its right end, and at its left end a menu (the
// scopes, the input and levels windows, About) and a small meter of the
// input's level.
// It owns the audio component AudioM, loads the display library and its two
// scopes, and hands every captured sample to the signal scope from the block
// handler, which runs on the device's thread.
#pragma once

#include <QCheckBox>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QToolButton>
#include <QWidget>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

#include "app/InputLevels.h"
#include "app/SampleFeed.h"
#include "app/SoundFileWindow.h"
#include "audio/Audio.h"
#include "scope/ScopeApi.h"

namespace platform {
class AudioSystem;
class NotifyWindow;
}  // namespace platform

namespace app {

class DropFilter;
class FilePlayback;

// Unit-level state: one instance each.
extern std::int32_t SignalScope;
extern std::int32_t SpectrumScope;
extern ScopePoint SignalPoint;
extern ScopePoint SpectrumPoint;
extern bool ScopesLoaded;
// The display library, found through the standard library search.
inline constexpr const char* kScopeLibrary = "libQuorvel_DLL.so";

class TMain_Form : public QWidget {
 public:
  QPushButton* BtnStart = nullptr;
  QCheckBox* CheckFFT = nullptr;
  // The strip's left end: a menu of the program's other windows and
  // functions, so that Start and the FFT box keep their places.
  QToolButton* BtnMenu = nullptr;
  QMenu* Menu = nullptr;
  // Beside the menu: the input's level; a click opens the input window.
  class LevelMeter* StripMeter = nullptr;
  // Made when first opened.
  class InputWindow* Input = nullptr;
  class LevelsWindow* LevelsView = nullptr;
  // Made the first time the menu asks for them, then shown again; each has
  // a component of its own, so the strip's capture goes on meanwhile.
  std::unique_ptr<class GeneratorWindow> Generator;
  std::unique_ptr<class MeasureWindow> Measure;
  // Cleared when the component destroys itself at the end of the session.
  QPointer<audio::TAudio> AudioM;
  QTimer* Timer1 = nullptr;

  std::int32_t LastSampleIndex = 0;
  std::atomic<bool> Busy{false};
  void* LibHandle = nullptr;
  AtOpenLibFn AtOpenLib = nullptr;
  ShowNextFn ShowNext = nullptr;
  ScopeCreateFn ScopeCreate = nullptr;
  ScopeDestroyFn ScopeDestroy = nullptr;
  ScopeShowFn ScopeShow = nullptr;
  ScopeHideFn ScopeHide = nullptr;
  ScopeCleanBuffersFn ScopeCleanBuffers = nullptr;
  QuickUpDateFn QuickUpDate = nullptr;
  ExternalNextFn ExternalNext = nullptr;

  // How messages reach the user: a modal box by default; tests record them.
  static std::function<void(const QString&)> MessageSink;

  // Devices from `system` (tests pass the simulated one); ALSA otherwise.
  explicit TMain_Form(platform::AudioSystem* system = nullptr);
  ~TMain_Form() override;

  void FormCreate();
  void FormDestroy();
  void ScopeLoad();
  void ScopeUnLoad();
  void BtnStartClick(QObject* Sender);
  void AudioMRecord(audio::TObject* Sender, void* LP, void* RP, platform::WORD BufferSize);
  void Timer1Timer(QObject* Sender);
  void CheckFFTClick(QObject* Sender);
  // The spectrum step: one frame of Values (the power spectrum) per block.
  void Full_FFT(const float* Values);

  // Shows the input window, with the device in use.
  void ShowInput();
  // Records from `device` (AudioDeviceID) from now on; while capturing,
  // capture stops and starts again on it.
  void ChooseInput(std::int32_t device);
  // Brings the strip and both scopes to the front (another launch asked).
  void BringToFront();
  // Every block's level, for the meters.
  InputLevels Levels;
  // Shows the Levels window (a sound level meter and band analyser).
  void ShowLevels();
  // The input device's name as the system gives it, for the calibrations.
  QString InputName() const;
  // Every block's samples, while the Levels window wants them.
  SampleFeed LevelsFeed;
  // While capturing, the spectrum scope's levels less the input device's
  // microphone response when its calibration applies a correction file
  // (LevelsStore); otherwise (stopped, a sound file) as they are.
  void MicrophoneOnSpectrum();

  // A sound file played into the scopes in place of capture, at its own
  // pace, through the block handler's own steps (FilePlayback), with a
  // window to pause, move and hear it. Opening one stops capture; Start
  // closes it. False, with the reason shown, when it cannot be read.
  bool OpenSoundFile(const QString& path);
  void CloseSoundFile();
  SoundFileWindow* FileWindow() const { return fileWindow_; }
  const FilePlayback* SoundFile() const { return file_.get(); }

  static void ShowMessage(const QString& text);
  template <typename W>
  void ShowWindow(std::unique_ptr<W>& window, platform::AudioSystem* system) {
    if (!window) window = std::make_unique<W>(system);
    window->show();
    window->raise();
    window->activateWindow();
  }

 private:
  void closeEvent(QCloseEvent* event) override;
  // Each sample through the signal scope, then the spectrum step: the
  // block handler's work, for captured and for file blocks alike, with
  // when the block's newest frame was captured (0: not known).
  template <class SampleAt>
  void ShowBlock(std::int32_t count, SampleAt sampleAt, bool spectrum, std::int64_t capturedNs);
  // Runs on the playback thread, as AudioMRecord on the device's.
  void FileBlock(const float* samples, int count, bool whole);
  // Scopes for sound at `rate` (the program's own 44100 Hz, or a file's).
  void ScopesAtRate(int rate);
  void HearFile(bool on);

  bool destroyed_ = false;
  std::atomic<bool> fftTicked_{true};
  // "Overlapping!" is raised on the device thread and shown on this one.
  std::unique_ptr<platform::NotifyWindow> messages_;
  std::unique_ptr<FilePlayback> file_;
  QString filePath_;
  QPointer<SoundFileWindow> fileWindow_;
  bool hearing_ = false;
  int scopeRate_ = 44100;
  DropFilter* drops_ = nullptr;
};

}  // namespace app
