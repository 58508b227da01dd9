// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/Main_unt.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QFile>
#include <QGuiApplication>
#include <QMessageBox>
#include <QScreen>
#include <algorithm>
#include <cmath>
#include <dlfcn.h>

#include "analysis/FFT_Unit.h"
#include "app/About.h"
#include "app/DropFilter.h"
#include "app/FilePlayback.h"
#include "app/GeneratorWindow.h"
#include "app/InputWindow.h"
#include "app/LevelMeter.h"
#include "app/LevelsWindow.h"
#include "app/MeasureWindow.h"
#include "app/MicrophoneFile.h"
#include "app/SoundFileWindow.h"
#include "audio/Player.h"
#include "audio/Recorder.h"
#include "audio/Texts.h"
#include "platform/Messages.h"
#include "platform/NotifyWindow.h"
#include "scope/CaptureTime.h"

// Exported from the program (app/exports.list) for the display library.
std::atomic<std::int64_t> QuorvelCapturedNs{0};

namespace app {

std::int32_t SignalScope = 0;
std::int32_t SpectrumScope = 0;
ScopePoint SignalPoint{};
ScopePoint SpectrumPoint{};
bool ScopesLoaded = false;

std::function<void(const QString&)> TMain_Form::MessageSink;

namespace {
constexpr platform::UINT kOverlapping = 0x0400;  // posted by the block handler
const QString kStart = QStringLiteral("Start");

// Sizes are laid out for 120 pixels per inch.
int Scaled(double v, double scale) { return static_cast<int>(std::lround(v * scale)); }

// The window's message, and under it the component's reason, when it gave one.
QString WithReason(const QString& message, const std::string& reason) {
  return reason.empty() ? message : message + QLatin1Char('\n') + QString::fromStdString(audio::ForUser(reason));
}
}  // namespace

void TMain_Form::ShowMessage(const QString& text) {
  if (MessageSink) {
    MessageSink(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QGuiApplication::applicationDisplayName(), text, QMessageBox::Ok);
  if (QScreen* screen = QGuiApplication::primaryScreen()) {
    box.adjustSize();
    box.move(screen->geometry().center() - box.rect().center());
  }
  box.exec();
}

TMain_Form::TMain_Form(platform::AudioSystem* system)
    : QWidget(nullptr, Qt::Window | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint) {
  const double scale = logicalDpiX() / 120.0;
  setWindowTitle(QStringLiteral("   Quorvel audio"));
  move(Scaled(14, scale), Scaled(602, scale));
  setFixedSize(Scaled(314, scale), Scaled(37, scale));
  setAutoFillBackground(true);
  setBackgroundRole(QPalette::Button);
  QFont formFont(QStringLiteral("System"));
  formFont.setBold(true);
  formFont.setPixelSize(Scaled(14, scale));
  setFont(formFont);
  QFont controlFont(QStringLiteral("MS Sans Serif"));
  controlFont.setPixelSize(Scaled(13, scale));

  BtnStart = new QPushButton(kStart, this);
  BtnStart->setGeometry(Scaled(236, scale), Scaled(8, scale), Scaled(75, scale), Scaled(24, scale));
  BtnStart->setFont(controlFont);
  CheckFFT = new QCheckBox(QStringLiteral("FFT"), this);
  CheckFFT->setGeometry(Scaled(168, scale), Scaled(12, scale), Scaled(49, scale), Scaled(17, scale));
  CheckFFT->setFont(controlFont);
  CheckFFT->setChecked(true);
  Menu = new QMenu(this);
  Menu->addAction(QStringLiteral("Open sound file…"), this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Open sound file"), QString(),
        QStringLiteral("Sound files (*.wav *.flac *.ogg *.oga *.aif *.aiff *.au *.caf *.w64 *.mp3);;All files (*)"));
    if (!path.isEmpty()) OpenSoundFile(path);
  });
  // A scope window the user closed comes back through ScopeShow.
  QAction* signalEntry = Menu->addAction(QStringLiteral("Signal scope"), this, [this] {
    if (ScopesLoaded) ScopeShow(SignalScope);
  });
  QAction* spectrumEntry = Menu->addAction(QStringLiteral("Spectrum scope"), this, [this] {
    if (ScopesLoaded) ScopeShow(SpectrumScope);
  });
  connect(Menu, &QMenu::aboutToShow, this, [signalEntry, spectrumEntry] {
    signalEntry->setEnabled(ScopesLoaded);
    spectrumEntry->setEnabled(ScopesLoaded);
  });
  Menu->addAction(QStringLiteral("Input…"), this, [this] { ShowInput(); });
  Menu->addAction(QStringLiteral("Levels…"), this, [this] { ShowLevels(); });
  Menu->addAction(QStringLiteral("Generator…"), this, [this, system] { ShowWindow(Generator, system); });
  Menu->addAction(QStringLiteral("Measure…"), this, [this, system] { ShowWindow(Measure, system); });
  Menu->addSeparator();
  Menu->addAction(QStringLiteral("About Quorvel audio…"), this, [this] { ShowAbout(this); });
  BtnMenu = new QToolButton(this);
  BtnMenu->setText(QStringLiteral("Menu"));
  BtnMenu->setMenu(Menu);
  BtnMenu->setPopupMode(QToolButton::InstantPopup);
  BtnMenu->setGeometry(Scaled(8, scale), Scaled(8, scale), Scaled(64, scale), Scaled(24, scale));
  BtnMenu->setFont(controlFont);
  StripMeter = new LevelMeter(Levels, false, this);
  StripMeter->setGeometry(Scaled(80, scale), Scaled(11, scale), Scaled(80, scale), Scaled(16, scale));
  StripMeter->setToolTip(QStringLiteral("Input level; click for the input window"));
  StripMeter->OnClick = [this] { ShowInput(); };
  setTabOrder(BtnStart, CheckFFT);
  setTabOrder(CheckFFT, BtnMenu);
  BtnStart->setFocus();

  // The component, then its stored values through the writers.
  AudioM = new audio::TAudio(this, system);
  AudioM->Player->SetBitsPerSample(audio::TBPS::_16);
  AudioM->Player->SetSampleRate(44100);
  AudioM->Recorder->SetBitsPerSample(audio::TBPS::_16);
  AudioM->Recorder->SetSampleRate(44100);
  AudioM->Recorder->SetNoSamples(2048);
  AudioM->Recorder->SetTrigLevel(0);
  AudioM->Recorder->Triggered = false;
  AudioM->SetVersion(audio::kVersion);
  AudioM->OnRecord = [this](audio::TObject* s, void* LP, void* RP, platform::WORD n) { AudioMRecord(s, LP, RP, n); };

  Timer1 = new QTimer(this);
  Timer1->setInterval(200);
  Timer1->setSingleShot(false);

  messages_ = std::make_unique<platform::NotifyWindow>([](platform::Message& m) {
    if (m.Msg == kOverlapping) ShowMessage(QStringLiteral("Overlapping!"));
  });

  connect(BtnStart, &QPushButton::clicked, this, [this] { BtnStartClick(BtnStart); });
  connect(CheckFFT, &QCheckBox::clicked, this, [this] { CheckFFTClick(CheckFFT); });
  // The block handler reads the box on the device thread, so its state is
  // mirrored into an atomic instead of asking the widget there.
  connect(CheckFFT, &QCheckBox::toggled, this, [this](bool on) { fftTicked_.store(on); });
  connect(Timer1, &QTimer::timeout, this, [this] { Timer1Timer(Timer1); });
  // Files dropped on any window of the program, the scopes' included.
  drops_ = new DropFilter([this](const QString& path) { OpenSoundFile(path); }, this);
  QCoreApplication::instance()->installEventFilter(drops_);
  // The end of the desktop session reaches the component's window.
  if (auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
    connect(gui, &QGuiApplication::commitDataRequest, this, [this] {
      if (AudioM) AudioM->NotifyWindow->send(platform::WM_QUERYENDSESSION, 0, 0);
    });
  }

  FormCreate();
}

TMain_Form::~TMain_Form() { FormDestroy(); }

// The program's other windows close with the strip: what they play stops.
void TMain_Form::closeEvent(QCloseEvent* event) {
  if (Generator) Generator->close();
  if (Measure) Measure->close();
  FormDestroy();
  event->accept();
}

void TMain_Form::FormCreate() {
  analysis::FFT_Init();
  ScopeLoad();
}

void TMain_Form::FormDestroy() {
  if (destroyed_) return;
  destroyed_ = true;
  if (QCoreApplication* app = QCoreApplication::instance()) app->removeEventFilter(drops_);
  CloseSoundFile();
  if (BtnStart->text() != kStart) BtnStartClick(nullptr);
  for (int i = 0; i < 64; ++i) platform::ProcessMessages();
  analysis::FFT_Free();
  ScopeUnLoad();
}

void TMain_Form::ScopeLoad() {
  LibHandle = dlopen(kScopeLibrary, RTLD_NOW | RTLD_LOCAL);
  if (LibHandle == nullptr) {
    ShowMessage(QStringLiteral("Error DLL loading 1"));
    return;
  }
  // Each pointer is cleared just before its lookup; a missing entry point
  // releases the library and names itself by number.
  auto resolve = [this](auto& fn, const char* name, int number) {
    fn = nullptr;
    fn = reinterpret_cast<std::remove_reference_t<decltype(fn)>>(dlsym(LibHandle, name));
    if (fn != nullptr) return true;
    dlclose(LibHandle);
    LibHandle = nullptr;
    ShowMessage(QStringLiteral("Error DLL loading %1").arg(number));
    return false;
  };
  if (!resolve(AtOpenLib, "AtOpenLib", 2)) return;
  AtOpenLib(0);
  if (!resolve(ShowNext, "ShowNext", 3) || !resolve(ScopeCreate, "ScopeCreate", 4) ||
      !resolve(ScopeDestroy, "ScopeDestroy", 5) || !resolve(ScopeShow, "ScopeShow", 6) ||
      !resolve(ScopeHide, "ScopeHide", 7) || !resolve(ScopeCleanBuffers, "ScopeCleanBuffers", 8) ||
      !resolve(QuickUpDate, "QuickUpDate", 9) || !resolve(ExternalNext, "ExternalNext", 10))
    return;
  SignalScope = ScopeCreate(0, 0, nullptr);
  ScopeShow(SignalScope);
  SpectrumScope = ScopeCreate(0, 0, "FFT");
  ScopeShow(SpectrumScope);
  ScopesLoaded = true;
}

void TMain_Form::ScopeUnLoad() {
  if (ScopesLoaded) {
    ScopesLoaded = false;
    ScopeDestroy(SpectrumScope);
    ScopeDestroy(SignalScope);
  }
  AtOpenLib = nullptr;
  ShowNext = nullptr;
  ScopeCreate = nullptr;
  ScopeDestroy = nullptr;
  ScopeShow = nullptr;
  ScopeHide = nullptr;
  ScopeCleanBuffers = nullptr;
  QuickUpDate = nullptr;
  ExternalNext = nullptr;
  if (LibHandle != nullptr) {
    dlclose(LibHandle);
    LibHandle = nullptr;
  }
}

void TMain_Form::BtnStartClick(QObject*) {
  // Live capture takes the scopes back from a file.
  if (file_ && BtnStart->text() == kStart) CloseSoundFile();
  // Once the component has destroyed itself there is nothing to start or stop.
  if (!AudioM) {
    BtnStart->setText(kStart);
    return;
  }
  if (BtnStart->text() == kStart) {
    LastSampleIndex = AudioM->Recorder->NoSamples - 1;
    BtnStart->setText(QStringLiteral("Stop"));
    Busy = false;
    AudioM->Recorder->Triggered = false;
    if (LevelsView != nullptr && LevelsView->isVisible()) LevelsView->Begin(AudioM->Recorder->SampleRate, InputName());
    MicrophoneOnSpectrum();
    if (!AudioM->Recorder->Start()) {
      if (LevelsView != nullptr) LevelsView->End();
      ShowMessage(WithReason(QStringLiteral("Error: recordind does not start."), AudioM->ErrorMessage));
      BtnStart->setText(kStart);
      MicrophoneOnSpectrum();
    }
  } else {
    Busy = false;
    if (!AudioM->Recorder->Stop())
      ShowMessage(WithReason(QStringLiteral("Error: recordind does not stop."), AudioM->ErrorMessage));
    if (LevelsView != nullptr) LevelsView->End();
    BtnStart->setText(kStart);
    MicrophoneOnSpectrum();
    Busy = false;
    platform::ProcessMessages();
    Timer1->start();
  }
}

// Runs on the device's thread: no allocation, no lock, no waiting.
void TMain_Form::AudioMRecord(audio::TObject*, void* LP, void*, platform::WORD BufferSize) {
  // A block without a whole sample (one that came back empty after the
  // trigger fired) has nothing to show; the spectrum step would transform
  // the previous block's samples, already windowed, again.
  if (BufferSize < 2) return;
  // Never read past what the block holds: a short block is shown short.
  const std::int32_t last = std::min<std::int32_t>(LastSampleIndex, BufferSize / 2 - 1);
  // The input's meters see every captured block, one dropped as overlapping too.
  Levels.Measure(LP, std::size_t(last + 1));
  LevelsFeed.Push16(LP, std::size_t(last + 1));
  ShowBlock(
      last + 1, [LP](std::int32_t i) { return CapturedSample(LP, std::size_t(i)); }, true,
      AudioM->Recorder->BlockCapturedNs());
}

template <class SampleAt>
void TMain_Form::ShowBlock(std::int32_t count, SampleAt sampleAt, bool spectrum, std::int64_t capturedNs) {
  if (Busy.load()) {
    messages_->post(kOverlapping, 0, 0);  // shown on the GUI thread; the block is dropped
    return;
  }
  Busy = true;
  QuorvelCapturedNs.store(capturedNs, std::memory_order_relaxed);
  for (std::int32_t i = 0; i < count; ++i) {
    if (!Busy.load()) return;  // Stop pressed meanwhile
    const float value = analysis::StoreSample(i, sampleAt(i));
    SignalPoint = ScopePoint{{static_cast<double>(value), 0, 0}};
    if (ScopesLoaded) ShowNext(SignalScope, &SignalPoint);
  }
  if (spectrum && fftTicked_.load(std::memory_order_relaxed)) Full_FFT(analysis::PowerBuffer);
  Busy = false;
}

// A file's last part, shorter than a block, goes to the signal scope only:
// the rest of the transform's buffer would be the block before, windowed.
void TMain_Form::FileBlock(const float* samples, int count, bool whole) {
  ShowBlock(
      count, [samples](std::int32_t i) { return samples[i]; }, whole, 0);
}

bool TMain_Form::OpenSoundFile(const QString& path) {
  std::string error;
  std::unique_ptr<FilePlayback> playback = FilePlayback::Open(QFile::encodeName(path).toStdString(), error);
  if (!playback) {
    ShowMessage(QStringLiteral("Cannot open the sound file %1: %2").arg(path, QString::fromStdString(error)));
    return false;
  }
  if (!AudioM) return false;  // the session is ending
  CloseSoundFile();
  if (BtnStart->text() != kStart) BtnStartClick(nullptr);
  // The refresh after Stop would send from this thread while the file sends from its own.
  Timer1->stop();
  file_ = std::move(playback);
  filePath_ = path;
  ScopesAtRate(file_->rate());
  SoundFileWindow::Actions actions;
  actions.pause = [this](bool paused) {
    Timer1->stop();
    file_->setPaused(paused);
    if (hearing_) HearFile(!paused);
  };
  actions.seek = [this](std::int64_t frame) {
    Timer1->stop();
    file_->seek(frame);
    if (hearing_ && !file_->paused()) HearFile(true);
  };
  actions.channel = [this](int channel) { file_->setChannel(channel); };
  actions.audible = [this](bool on) {
    hearing_ = on;
    HearFile(on && !file_->paused() && !file_->ended());
  };
  actions.close = [this] { CloseSoundFile(); };
  // As after Stop: the last points again, and each scope redrawn.
  actions.ended = [this] { Timer1->start(); };
  fileWindow_ = new SoundFileWindow(path, *file_, std::move(actions));
  fileWindow_->setAttribute(Qt::WA_DeleteOnClose);
  fileWindow_->adjustSize();
  // Under the strip, which it belongs to.
  fileWindow_->move(frameGeometry().left(), frameGeometry().bottom() + 8);
  fileWindow_->show();
  Busy = false;
  file_->start([this](const float* samples, int count, bool whole) { FileBlock(samples, count, whole); });
  file_->setPaused(false);
  return true;
}

void TMain_Form::CloseSoundFile() {
  // Taken out first: the window's closing asks for this again, and finds nothing.
  std::unique_ptr<FilePlayback> file = std::move(file_);
  if (!file) return;
  // As Stop does: a block in progress ends at its next sample.
  Busy = false;
  file->stop();
  Busy = false;
  if (hearing_ && AudioM) AudioM->Player->Stop();
  hearing_ = false;
  // The window reads the playback until it is closed.
  if (fileWindow_) fileWindow_->close();
  file.reset();
  if (destroyed_) return;  // the scopes are going too
  ScopesAtRate(44100);
  Timer1->start();
}

// Hears the file from where the scopes are, or stops hearing it.
void TMain_Form::HearFile(bool on) {
  if (!AudioM || !file_) return;
  audio::TPlayer& player = *AudioM->Player;
  if (player.DeviceOpen) player.Stop();
  if (!on) return;
  if (!player.PlayFile(filePath_, 0, platform::WAVE_MAPPER, file_->position())) {
    hearing_ = false;
    if (fileWindow_) {
      fileWindow_->say(QStringLiteral("Cannot hear it: %1").arg(QString::fromStdString(AudioM->ErrorMessage)));
      const QSignalBlocker quiet(fileWindow_->audibleBox());
      fileWindow_->audibleBox()->setChecked(false);
    }
  }
}

void TMain_Form::ScopesAtRate(int rate) {
  if (rate == scopeRate_ || !ScopesLoaded) return;
  scopeRate_ = rate;
  // The scopes' axes are made for one rate: new ones for another. Each
  // comes back where it was and as it was looked at (the library keeps that).
  const std::int32_t asked = rate == 44100 ? 0 : rate;
  ScopeDestroy(SpectrumScope);
  ScopeDestroy(SignalScope);
  SignalScope = ScopeCreate(0, asked, nullptr);
  ScopeShow(SignalScope);
  SpectrumScope = ScopeCreate(0, asked, "FFT");
  ScopeShow(SpectrumScope);
}

void TMain_Form::Timer1Timer(QObject*) {
  Timer1->stop();
  if (!ScopesLoaded) return;
  QuorvelCapturedNs.store(0, std::memory_order_relaxed);  // points already shown
  ShowNext(SignalScope, &SignalPoint);
  QuickUpDate(SignalScope);
  ShowNext(SpectrumScope, &SpectrumPoint);
  QuickUpDate(SpectrumScope);
}

void TMain_Form::Full_FFT(const float* Values) {
  if (analysis::SampleBuffer == nullptr) return;  // the analyser could not be set up
  analysis::FFT_Spectrum();
  analysis::SpectrumFrame(Values, AudioM->Recorder->NoSamples, ScopesLoaded ? ShowNext : nullptr, SpectrumScope,
                          SpectrumPoint);
}

// The box's state is read once per block by the spectrum step.
void TMain_Form::CheckFFTClick(QObject*) {}

void TMain_Form::ShowInput() {
  if (!AudioM) return;
  if (Input == nullptr) {
    Input = new InputWindow(AudioM->System(), Levels, this);
    Input->OnChoose = [this](std::int32_t device) { ChooseInput(device); };
    Input->move(pos() + QPoint(0, -Input->sizeHint().height() - 40));
  }
  Input->ShowDevice(AudioM->AudioDeviceID, BtnStart->text() != kStart);
  Input->show();
  Input->raise();
  Input->activateWindow();
}

QString TMain_Form::InputName() const {
  return AudioM ? InputWindow::DeviceName(AudioM->System(), AudioM->AudioDeviceID) : QString();
}

void TMain_Form::ShowLevels() {
  if (!AudioM) return;
  if (LevelsView == nullptr) {
    LevelsView = new LevelsWindow(LevelsFeed, this);
    LevelsView->OnCalibrationChanged([this] { MicrophoneOnSpectrum(); });
    LevelsView->resize(LevelsView->sizeHint().expandedTo(QSize(720, 520)));
  }
  // Opened while capturing, it measures from now; open already, it goes on.
  if (BtnStart->text() != kStart && !LevelsView->Running())
    LevelsView->Begin(AudioM->Recorder->SampleRate, InputName());
  else
    LevelsView->ShowDevice(InputName());
  LevelsView->show();
  LevelsView->raise();
  LevelsView->activateWindow();
}

void TMain_Form::MicrophoneOnSpectrum() {
  std::optional<dsp::MicrophoneCorrection> microphone;
  if (AudioM && !file_ && BtnStart->text() != kStart) {
    const DeviceCalibration c = LevelsStore::Load(InputName());
    // A file that cannot be read is not applied; the Levels window says why.
    QString why;
    if (c.applyMicrophone && !c.microphoneFile.isEmpty()) microphone = ReadMicrophoneFile(c.microphoneFile, why);
  }
  analysis::SetMicrophone(microphone ? &*microphone : nullptr, AudioM ? double(AudioM->Recorder->SampleRate) : 0);
}

void TMain_Form::ChooseInput(std::int32_t device) {
  if (!AudioM) return;
  const bool capturing = BtnStart->text() != kStart;
  if (capturing) {
    BtnStartClick(nullptr);
    // The refresh that ends a run is due before the next run starts, not
    // in the middle of it: ShowNext has one caller at a time.
    Timer1Timer(nullptr);
  }
  AudioM->SetAudioDeviceID(device);
  if (capturing) BtnStartClick(nullptr);
  if (Input != nullptr) Input->ShowDevice(AudioM->AudioDeviceID, BtnStart->text() != kStart);
}

void TMain_Form::BringToFront() {
  setWindowState(windowState() & ~Qt::WindowMinimized);
  show();
  raise();
  activateWindow();
  if (ScopesLoaded) {
    ScopeShow(SignalScope);
    ScopeShow(SpectrumScope);
  }
}

}  // namespace app
