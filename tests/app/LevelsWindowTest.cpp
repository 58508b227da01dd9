// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The Levels window in the program, on the simulated device: reached from
// the strip's menu, it measures what is captured; a calibrator's tone
// calibrates the device it came from, which the next run of the program
// remembers and another device does not share; a microphone file takes its
// response off the bands and the spectrum scope's levels, and a malformed
// one is refused with its line.
#include <gtest/gtest.h>

#include <QAction>
#include <QFile>
#include <QTemporaryDir>
#include <cmath>

#include "FakeScopeLog.h"
#include "analysis/FFT_Unit.h"
#include "app/BandBars.h"
#include "app/LevelsStore.h"
#include "app/LevelsWindow.h"
#include "app/Main_unt.h"
#include "platform/sim/SimAudioSystem.h"
#include "tests/support/Wait.h"

using app::LevelsStore;
using app::TMain_Form;
using dsp::Figure;
using platform::sim::Pacing;
using platform::sim::Signal;
using platform::sim::SimAudioSystem;
using quorvel_test::PumpUntil;

namespace {

class LevelsWindow : public testing::Test {
 protected:
  void SetUp() override {
    if (std::getenv("QUORVEL_MISSING") != nullptr) GTEST_SKIP();
    TMain_Form::MessageSink = [this](const QString& m) { messages.push_back(m.toStdString()); };
    sim.setPacing(Pacing::Manual);
  }
  void TearDown() override { TMain_Form::MessageSink = nullptr; }

  static app::LevelsWindow* Open(TMain_Form& form) {
    for (QAction* a : form.Menu->actions())
      if (a->text() == QStringLiteral("Levels…")) a->trigger();
    return form.LevelsView;
  }
  // Seconds of the signal through capture, until the window has them.
  void Capture(app::LevelsWindow& view, double seconds) {
    const double before = view.Meter()->measuredSeconds();
    sim.release(std::uint64_t(seconds * 44100));
    ASSERT_TRUE(PumpUntil([&] { return view.Meter()->measuredSeconds() >= before + seconds - 0.05; }));
  }

  SimAudioSystem sim;
  std::vector<std::string> messages;
};

// Bin k's level in each whole spectrum frame the strip sent to `scope`, as
// the recording display library logged it.
std::vector<double> BinLevels(std::int32_t scope, int k) {
  std::vector<double> levels;
  std::vector<double> frame;
  auto take = [&] {
    if (frame.size() == size_t(analysis::kFramePoints)) levels.push_back(frame[size_t(1 + ScopeFrameHeaderPoints + k)]);
    frame.clear();
  };
  for (const quorvel::fakes::FakeScopeCall& c :
       quorvel::fakes::readFakeScopeLog(std::getenv(quorvel::fakes::kFakeScopeLogEnv))) {
    if (c.entry != "ShowNext" || c.handle() != scope) continue;
    if (c.point()[0] == ScopeFrameMarker) take();
    frame.push_back(c.point()[0]);
  }
  take();
  return levels;
}

double BandAt(const app::LevelsWindow& view, double hz) {
  const dsp::OctaveFilterBank& bank = *view.Bank();
  for (std::size_t j = 0; j < bank.bands().size(); ++j)
    if (std::fabs(bank.bands()[j].midHz / hz - 1) < 0.05) return view.CalibrationInUse().band(bank.leqDb(j), hz);
  return NAN;
}

}  // namespace

TEST_F(LevelsWindow, TheMenuOpensItAndItMeasuresWhatIsCaptured) {
  sim.setSignal(Signal::Sine(1000, 0.5));
  TMain_Form form(&sim);
  app::LevelsWindow* view = Open(form);
  ASSERT_TRUE(view && view->isVisible());
  EXPECT_TRUE(view->Status->text().startsWith("Not measuring")) << view->Status->text().toStdString();
  form.BtnStart->click();
  ASSERT_TRUE(view->Running());
  Capture(*view, 3);
  // A sine of half full scale: -6.02 dBFS (AES17), A-weighted at 1 kHz the same.
  EXPECT_NEAR(view->Shown(Figure::Leq), -6.02, 0.05);
  EXPECT_NEAR(view->Shown(Figure::Level), -6.02, 0.05);
  EXPECT_TRUE(view->Main->text().startsWith("LAF")) << view->Main->text().toStdString();
  EXPECT_TRUE(view->Main->text().endsWith("dBFS")) << view->Main->text().toStdString();
  EXPECT_NEAR(BandAt(*view, 1000), -6.02, 0.1);
  double strongest = -INFINITY;
  for (double v : view->Bars->Held()) strongest = std::max(strongest, v);
  EXPECT_NEAR(strongest, -6.02, 0.1) << "the peak hold";
  form.BtnStart->click();
  EXPECT_FALSE(view->Running());
  EXPECT_NEAR(view->Shown(Figure::Leq), -6.02, 0.05) << "the figures hold after Stop";
  form.close();
}

TEST_F(LevelsWindow, ACalibratorCalibratesItsDeviceAndTheNextRunRemembers) {
  sim.setInputDevices(2);
  sim.setSignal(Signal::Sine(1000, 0.1));  // -20 dBFS
  {
    TMain_Form form(&sim);
    form.ChooseInput(0);
    app::LevelsWindow* view = Open(form);
    ASSERT_TRUE(view);
    view->CalibratorLevel->setValue(94);
    form.BtnStart->click();
    view->Calibrate->click();
    EXPECT_TRUE(view->Calibrating());
    Capture(*view, 3);
    ASSERT_TRUE(PumpUntil([&] { return !view->Calibrating(); }));
    ASSERT_TRUE(view->CalibrationInUse().offsetDb) << view->Status->text().toStdString();
    EXPECT_NEAR(*view->CalibrationInUse().offsetDb, 114, 0.02);
    EXPECT_NEAR(view->Shown(Figure::Leq), 94, 0.05);
    EXPECT_TRUE(view->Main->text().endsWith("dB SPL"));
    EXPECT_TRUE(view->CalibrationLine->text().contains("is calibrated: full scale reads 114.0 dB SPL (calibrator 94.0"))
        << view->CalibrationLine->text().toStdString();
    form.BtnStart->click();
    form.ChooseInput(1);
    form.ShowLevels();
    EXPECT_FALSE(view->CalibrationInUse().offsetDb) << "another device has a calibration of its own";
    EXPECT_TRUE(view->CalibrationLine->text().contains("is not calibrated"));
    form.close();
  }
  EXPECT_TRUE(QFile::exists(LevelsStore::FilePath()));
  TMain_Form form(&sim);
  form.ChooseInput(0);
  app::LevelsWindow* view = Open(form);
  ASSERT_TRUE(view && view->CalibrationInUse().offsetDb);
  EXPECT_NEAR(*view->CalibrationInUse().offsetDb, 114, 0.02);
  EXPECT_DOUBLE_EQ(view->CalibratorLevel->value(), 94);
  view->ForgetCalibration();
  EXPECT_FALSE(view->CalibrationInUse().offsetDb);
  form.close();
}

TEST_F(LevelsWindow, AMicrophoneFileTakesItsResponseOffTheBands) {
  QTemporaryDir dir;
  const QString good = dir.filePath("mic.txt"), bad = dir.filePath("bad.txt");
  for (const auto& [path, text] :
       {std::pair{good, "* flat but for 1 kHz\n100 0\n1000 3\n10000 0\n"}, std::pair{bad, "100 0\nfoo 1\n"}}) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(text);
  }
  sim.setSignal(Signal::Sine(1000, 0.5));
  TMain_Form form(&sim);
  app::LevelsWindow* view = Open(form);
  ASSERT_TRUE(view);
  EXPECT_FALSE(view->SetMicrophoneFile(bad));
  EXPECT_TRUE(view->Status->text().contains("line 2: expected a frequency in Hz, found \"foo\""))
      << view->Status->text().toStdString();
  form.BtnStart->click();
  ASSERT_TRUE(view->SetMicrophoneFile(good));
  EXPECT_TRUE(view->ApplyMicrophone->isChecked());
  Capture(*view, 3);
  EXPECT_NEAR(BandAt(*view, 1000), -6.02 - 3, 0.1);
  EXPECT_NEAR(view->Shown(Figure::Leq), -6.02, 0.05) << "the broadband figures are not corrected";
  EXPECT_TRUE(view->CopyText().contains("# calibrated: no; microphone mic.txt"));
  view->ApplyMicrophone->setChecked(false);
  EXPECT_NEAR(BandAt(*view, 1000), -6.02, 0.1);
  // The spectrum scope's frames, 64 of them corrected and then 21 not: at
  // bin 46, 990.5 Hz, the file says 2.99 dB.
  Capture(*view, 1);
  const std::int32_t spectrum = app::SpectrumScope;
  form.BtnStart->click();
  form.close();  // the library's log is whole
  const std::vector<double> bin = BinLevels(spectrum, 46);
  ASSERT_GE(bin.size(), 80u);
  EXPECT_NEAR(bin.back() - bin[50], 3 * std::log10(990.52734375 / 100), 0.01);
}
