// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/LevelsWindow.h"

#include <QClipboard>
#include <QCloseEvent>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QShortcut>
#include <QVBoxLayout>
#include <array>
#include <cmath>

#include "app/BandBars.h"
#include "app/MicrophoneFile.h"
#include "app/SampleFeed.h"
#include "app/SensitivityDialog.h"
#include "dsp/BandsText.h"
#include "dsp/OctaveBands.h"

namespace app {

namespace {

using dsp::Figure;

constexpr int kFollowMs = 40;  // 25 pictures a second
constexpr std::size_t kBlock = 4096;
constexpr double kCalibrationSeconds = 2;
constexpr int kNoInputMs = 1000;
// The sound starts with a step where a run begins, which rings through every
// band for a while, the lowest the longest: the peak hold waits this long.
constexpr double kHoldAfterSeconds = 1;

constexpr std::array<int, 5> kBandChoices{1, 3, 6, 12, 24};
constexpr std::array<double, 9> kIntervals{1, 10, 60, 300, 900, 1800, 3600, 8 * 3600, 24 * 3600};

// A level as the window shows it: one decimal, a real minus sign; a dash
// where there is nothing to read, and minus infinity for digital silence.
QString Db(double db) {
  if (std::isnan(db)) return QStringLiteral("\u2014");
  if (db == -INFINITY) return QStringLiteral("\u2212\u221e");
  QString s = QString::number(db, 'f', 1);
  if (s.startsWith('-')) s.replace(0, 1, QChar(0x2212));
  return s;
}

QString Clock(double seconds) {
  const long s = long(std::floor(seconds + 1e-9));
  return QStringLiteral("%1:%2:%3")
      .arg(s / 3600, 2, 10, QLatin1Char('0'))
      .arg(s / 60 % 60, 2, 10, QLatin1Char('0'))
      .arg(s % 60, 2, 10, QLatin1Char('0'));
}

QString IntervalName(double seconds) {
  if (seconds < 60) return QStringLiteral("%1 s").arg(seconds);
  if (seconds < 3600) return QStringLiteral("%1 min").arg(seconds / 60);
  return QStringLiteral("%1 h").arg(seconds / 3600);
}

QComboBox* Choice(const QStringList& items, QWidget* parent) {
  auto* c = new QComboBox(parent);
  c->addItems(items);
  return c;
}

}  // namespace

LevelsWindow::LevelsWindow(SampleFeed& feed, QWidget* parent)
    : QWidget(parent, Qt::Window), feed_(feed), block_(kBlock) {
  setWindowTitle(QStringLiteral("Levels"));
  setAttribute(Qt::WA_QuitOnClose, false);

  Weighting = Choice({QStringLiteral("A"), QStringLiteral("C"), QStringLiteral("Z")}, this);
  Weighting->setToolTip(QStringLiteral("Frequency weighting (IEC 61672-1)"));
  Time = Choice({QStringLiteral("Fast"), QStringLiteral("Slow"), QStringLiteral("Impulse")}, this);
  Time->setToolTip(QStringLiteral("Time weighting: 125 ms, 1 s, or 35 ms held"));
  Bands = Choice({QStringLiteral("Octaves"), QStringLiteral("1/3 octaves"), QStringLiteral("1/6 octaves"),
                  QStringLiteral("1/12 octaves"), QStringLiteral("1/24 octaves")},
                 this);
  Interval = new QComboBox(this);
  for (double s : kIntervals) Interval->addItem(IntervalName(s), s);
  Interval->setToolTip(QStringLiteral("How long Leq and the other figures measure before they hold"));
  Reset = new QPushButton(QStringLiteral("Reset"), this);
  Reset->setToolTip(QStringLiteral("A new measurement from now; the peak hold starts afresh"));

  Main = new QLabel(this);
  QFont big = Main->font();
  big.setPointSizeF(big.pointSizeF() * 3);
  big.setBold(true);
  Main->setFont(big);
  Figures = new QLabel(this);
  Figures->setTextFormat(Qt::PlainText);
  QFont fixed(QStringLiteral("monospace"));
  fixed.setStyleHint(QFont::Monospace);
  Figures->setFont(fixed);
  Figures->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Progress = new QLabel(this);
  Bars = new BandBars(this);

  CalibratorLevel = new QDoubleSpinBox(this);
  CalibratorLevel->setRange(60, 150);
  CalibratorLevel->setDecimals(1);
  CalibratorLevel->setSuffix(QStringLiteral(" dB SPL"));
  CalibratorLevel->setToolTip(QStringLiteral("The calibrator's level: 94 or 114 dB SPL at 1 kHz"));
  Calibrate = new QPushButton(QStringLiteral("Calibrate"), this);
  Calibrate->setToolTip(
      QStringLiteral("Reads 2 s of the calibrator's tone and sets full scale so that it reads its level"));
  Sensitivity = new QPushButton(QStringLiteral("Sensitivity\u2026"), this);
  Microphone = new QPushButton(QStringLiteral("Microphone file\u2026"), this);
  ApplyMicrophone = new QCheckBox(QStringLiteral("Apply to bands and spectrum"), this);
  ApplyMicrophone->setToolTip(
      QStringLiteral("Take the microphone's response off the bands and off the spectrum scope's levels"));
  Forget = new QPushButton(QStringLiteral("Forget"), this);
  Forget->setToolTip(QStringLiteral("Forget this device's calibration and microphone file"));
  CalibrationLine = new QLabel(this);
  CalibrationLine->setWordWrap(true);
  Status = new QLabel(this);
  Status->setWordWrap(true);

  auto* choices = new QHBoxLayout;
  for (QWidget* w : std::initializer_list<QWidget*>{Weighting, Time, Bands, Interval}) choices->addWidget(w);
  choices->addStretch();
  choices->addWidget(Reset);
  auto* calibration = new QHBoxLayout;
  calibration->addWidget(CalibratorLevel);
  calibration->addWidget(Calibrate);
  calibration->addWidget(Sensitivity);
  calibration->addWidget(Microphone);
  calibration->addWidget(ApplyMicrophone);
  calibration->addStretch();
  calibration->addWidget(Forget);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choices);
  layout->addWidget(Main);
  layout->addWidget(Figures);
  layout->addWidget(Progress);
  layout->addWidget(Bars, 1);
  layout->addLayout(calibration);
  layout->addWidget(CalibrationLine);
  layout->addWidget(Status);

  const LevelsView view = LevelsStore::LoadView();
  Weighting->setCurrentIndex(view.weighting);
  Time->setCurrentIndex(view.time);
  Bands->setCurrentIndex(
      int(std::find(kBandChoices.begin(), kBandChoices.end(), view.bandsPerOctave) - kBandChoices.begin()));
  int interval = 0;
  while (interval + 1 < int(kIntervals.size()) && kIntervals[size_t(interval)] < view.intervalSeconds) ++interval;
  Interval->setCurrentIndex(interval);
  CalibratorLevel->setValue(view.calibratorDb);

  const auto bandsChanged = [this] {
    SaveView();
    RebuildBands();
    ShowFigures();
  };
  connect(Weighting, &QComboBox::currentIndexChanged, this, bandsChanged);
  connect(Time, &QComboBox::currentIndexChanged, this, bandsChanged);
  connect(Bands, &QComboBox::currentIndexChanged, this, bandsChanged);
  connect(Interval, &QComboBox::currentIndexChanged, this, [this] {
    SaveView();
    Rebuild();
    ShowFigures();
  });
  connect(CalibratorLevel, &QDoubleSpinBox::valueChanged, this, [this] { SaveView(); });
  connect(Reset, &QPushButton::clicked, this, [this] { ResetMeasurement(); });
  connect(Calibrate, &QPushButton::clicked, this, [this] { StartCalibration(); });
  connect(Sensitivity, &QPushButton::clicked, this, [this] {
    SensitivityDialog dialog(calibration_.offsetDb.value_or(120), this);
    if (dialog.exec() == QDialog::Accepted) SetOffset(dialog.OffsetDb(), dialog.How());
  });
  connect(Microphone, &QPushButton::clicked, this, [this] {
    const QString path = QFileDialog::getOpenFileName(
        this, QStringLiteral("Microphone correction file"), QFileInfo(stored_.microphoneFile).path(),
        QStringLiteral("Correction files (*.txt *.cal *.frd);;All files (*)"));
    if (!path.isEmpty()) SetMicrophoneFile(path);
  });
  connect(ApplyMicrophone, &QCheckBox::toggled, this, [this](bool on) {
    stored_.applyMicrophone = on;
    SaveCalibration();
    LoadCalibration();
    ShowCalibration();
    ShowFigures();
  });
  connect(Forget, &QPushButton::clicked, this, [this] { ForgetCalibration(); });
  auto* copy = new QShortcut(QKeySequence::Copy, this);
  connect(copy, &QShortcut::activated, this, [this] { QGuiApplication::clipboard()->setText(CopyText()); });

  timer_.setInterval(kFollowMs);
  connect(&timer_, &QTimer::timeout, this, [this] { Follow(); });
  ShowCalibration();
  ShowFigures();
}

dsp::Weighting LevelsWindow::ShownWeighting() const { return dsp::Weighting(Weighting->currentIndex()); }
dsp::TimeWeighting LevelsWindow::ShownTime() const { return dsp::TimeWeighting(Time->currentIndex()); }

void LevelsWindow::Begin(double rate, const QString& device) {
  rate_ = rate;
  running_ = true;
  device_ = device;
  calibrating_ = false;
  note_.clear();
  LoadCalibration();
  Rebuild();
  feed_.Discard();
  droppedSeen_ = feed_.Dropped();
  sinceInput_.invalidate();
  sinceBegin_ = 0;
  feed_.SetWanted(true);
  timer_.start();
  ShowCalibration();
  ShowFigures();
}

void LevelsWindow::End() {
  if (!running_) return;
  Follow();  // what the run left in the feed is the run's
  running_ = false;
  feed_.SetWanted(false);
  timer_.stop();
  if (calibrating_) {
    calibrating_ = false;
    note_ = QStringLiteral("Not calibrated: capture stopped before the calibrator's tone was read.");
  }
  ShowFigures();
}

void LevelsWindow::ShowDevice(const QString& device) {
  if (running_ || device == device_) return;
  device_ = device;
  LoadCalibration();
  ShowCalibration();
  ShowFigures();
}

void LevelsWindow::closeEvent(QCloseEvent* event) {
  // Closed, the window measures nothing; opened again while capturing, it
  // begins a new measurement.
  running_ = false;
  calibrating_ = false;
  feed_.SetWanted(false);
  timer_.stop();
  event->accept();
}

void LevelsWindow::Rebuild() {
  if (rate_ <= 0) return;
  meter_ = std::make_unique<dsp::SoundLevelMeter>(rate_, Interval->currentData().toDouble());
  lostSeconds_ = 0;
  RebuildBands();
}

void LevelsWindow::RebuildBands() {
  std::vector<QString> names;
  if (rate_ > 0) {
    const int b = kBandChoices[size_t(std::max(0, Bands->currentIndex()))];
    bank_ = std::make_unique<dsp::OctaveFilterBank>(b, rate_, ShownWeighting(), ShownTime());
    for (const dsp::OctaveBand& band : bank_->bands()) names.push_back(QString::fromStdString(dsp::bandLabel(band, b)));
  }
  Bars->SetBands(std::move(names), calibration_.level(0), QString::fromLatin1(calibration_.unit()));
}

void LevelsWindow::ResetMeasurement() {
  if (meter_) meter_->restart();
  if (bank_) bank_->restart();
  lostSeconds_ = 0;
  Bars->ResetHold();
  ShowFigures();
}

void LevelsWindow::Follow() {
  if (!meter_ || !running_) return;
  std::size_t got = 0;
  while (const std::size_t n = feed_.Pop(block_.data(), block_.size())) {
    meter_->process(block_.data(), n);
    bank_->process(block_.data(), n);
    if (calibrating_) calibratorSamples_.insert(calibratorSamples_.end(), block_.begin(), block_.begin() + long(n));
    got += n;
  }
  const std::uint64_t dropped = feed_.Dropped();
  if (dropped > droppedSeen_) {
    if (!meter_->complete()) lostSeconds_ += double(dropped - droppedSeen_) / rate_;
    droppedSeen_ = dropped;
  }
  if (got > 0) sinceInput_.start();
  sinceBegin_ += double(got) / rate_;
  if (calibrating_ && double(calibratorSamples_.size()) >= kCalibrationSeconds * rate_) FinishCalibration();
  if (got > 0) ShowFigures();
}

void LevelsWindow::LoadCalibration() {
  stored_ = device_.isEmpty() ? DeviceCalibration{} : LevelsStore::Load(device_);
  calibration_ = {};
  calibration_.offsetDb = stored_.offsetDb;
  if (!stored_.microphoneFile.isEmpty() && stored_.applyMicrophone) {
    QString why;
    calibration_.microphone = ReadMicrophoneFile(stored_.microphoneFile, why);
    calibration_.microphoneName = QFileInfo(stored_.microphoneFile).fileName().toStdString();
    if (!calibration_.microphone)
      note_ = QStringLiteral("The microphone file %1 is not applied: %2.").arg(stored_.microphoneFile, why);
  }
  const QSignalBlocker quiet(ApplyMicrophone);
  ApplyMicrophone->setChecked(stored_.applyMicrophone);
  ApplyMicrophone->setEnabled(!stored_.microphoneFile.isEmpty());
}

void LevelsWindow::SaveCalibration() {
  if (device_.isEmpty()) return;
  LevelsStore::Save(device_, stored_);
  if (calibrationChanged_) calibrationChanged_();
}

void LevelsWindow::StartCalibration() {
  if (!running_ || !meter_) {
    note_ = QStringLiteral("Calibrating reads the input: press Start with the calibrator on the microphone.");
    ShowFigures();
    return;
  }
  calibrating_ = true;
  calibratorSamples_.clear();
  calibratorSamples_.reserve(std::size_t(kCalibrationSeconds * rate_) + kBlock);
  note_ = QStringLiteral("Reading the calibrator's tone\u2026");
  ShowFigures();
}

void LevelsWindow::FinishCalibration() {
  calibrating_ = false;
  const dsp::CalibratorReading r = dsp::readCalibrator(calibratorSamples_.data(), calibratorSamples_.size(), rate_);
  calibratorSamples_ = {};
  if (!r.ok) {
    note_ = QStringLiteral("Not calibrated: %1.").arg(QString::fromStdString(r.why));
    ShowFigures();
    return;
  }
  const double level = CalibratorLevel->value();
  SetOffset(dsp::offsetFromCalibrator(level, r.levelDbfs),
            QStringLiteral("calibrator %1 dB SPL at %2 Hz, %3")
                .arg(QString::number(level, 'f', 1), QString::number(r.hz, 'f', 0),
                     QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd HH:mm"))));
  note_ = QStringLiteral("Calibrated: the calibrator's tone reads %1 dB SPL.").arg(QString::number(level, 'f', 1));
  ShowFigures();
}

void LevelsWindow::SetOffset(double offsetDb, const QString& how) {
  stored_.offsetDb = offsetDb;
  stored_.how = how;
  SaveCalibration();
  calibration_.offsetDb = offsetDb;
  ShowCalibration();
  ShowFigures();
}

bool LevelsWindow::SetMicrophoneFile(const QString& path) {
  QString why;
  std::optional<dsp::MicrophoneCorrection> c = ReadMicrophoneFile(path, why);
  if (!c) {
    note_ = QStringLiteral("The microphone file %1 is refused: %2.").arg(path, why);
    ShowFigures();
    return false;
  }
  stored_.microphoneFile = path;
  stored_.applyMicrophone = true;
  SaveCalibration();
  LoadCalibration();
  note_.clear();
  ShowCalibration();
  ShowFigures();
  return true;
}

void LevelsWindow::ForgetCalibration() {
  stored_ = {};
  SaveCalibration();
  LoadCalibration();
  ShowCalibration();
  ShowFigures();
}

void LevelsWindow::ShowCalibration() {
  QString text;
  if (device_.isEmpty()) {
    text = QStringLiteral("No input device yet: Start records from one.");
  } else if (!calibration_.offsetDb) {
    text = QStringLiteral("%1 is not calibrated: levels in dBFS (a full-scale sine reads 0 dBFS).").arg(device_);
  } else {
    text = QStringLiteral("%1 is calibrated: full scale reads %2 dB SPL (%3).")
               .arg(device_, QString::number(*calibration_.offsetDb, 'f', 1), stored_.how);
  }
  if (!stored_.microphoneFile.isEmpty()) {
    text += QStringLiteral(" Microphone file %1: %2.")
                .arg(QFileInfo(stored_.microphoneFile).fileName(),
                     calibration_.microphone
                         ? QStringLiteral("its response is taken off the bands and the spectrum scope's levels")
                         : QStringLiteral("not applied"));
    // What the maker's Sens Factor stands for differs between makers: it is said, not applied.
    if (calibration_.microphone && calibration_.microphone->sensFactorDb)
      text += QStringLiteral(" Its Sens Factor, %1 dB, is not applied.")
                  .arg(QString::number(*calibration_.microphone->sensFactorDb, 'f', 2));
  }
  CalibrationLine->setText(text);
  Bars->SetScale(calibration_.level(0), QString::fromLatin1(calibration_.unit()));
  Calibrate->setEnabled(!device_.isEmpty());
  Forget->setEnabled(stored_.offsetDb || !stored_.microphoneFile.isEmpty());
}

double LevelsWindow::Shown(Figure f) const {
  if (!meter_) return NAN;
  return calibration_.figure(f, meter_->figures(dsp::figureWeighting(f, ShownWeighting()), ShownTime())[f]);
}

void LevelsWindow::ShowFigures() {
  const dsp::Weighting w = ShownWeighting();
  const dsp::TimeWeighting t = ShownTime();
  const QString unit = QString::fromLatin1(calibration_.unit());
  const auto name = [&](Figure f) { return QString::fromStdString(dsp::figureName(f, dsp::figureWeighting(f, w), t)); };
  Main->setText(QStringLiteral("%1  %2 %3").arg(name(Figure::Level), Db(Shown(Figure::Level)), unit));
  const auto cell = [&](Figure f) { return QStringLiteral("%1 %2").arg(name(f), -7).arg(Db(Shown(f)), 7); };
  Figures->setText(QStringLiteral("%1   %2   %3   %4\n%5   %6   %7")
                       .arg(cell(Figure::Leq), cell(Figure::Max), cell(Figure::Min), cell(Figure::Peak),
                            cell(Figure::L10), cell(Figure::L50), cell(Figure::L90)));
  QString running;
  if (meter_) {
    running = meter_->complete() ? QStringLiteral("Measured over %1: complete").arg(Clock(meter_->intervalSeconds()))
                                 : QStringLiteral("Measuring: %1 of %2")
                                       .arg(Clock(meter_->measuredSeconds()), Clock(meter_->intervalSeconds()));
    if (lostSeconds_ > 0)
      running += QStringLiteral(" \u2014 %1 s of input lost: the figures miss it").arg(lostSeconds_, 0, 'f', 2);
  }
  Progress->setText(running);
  if (bank_) {
    std::vector<double> levels(bank_->bands().size());
    for (std::size_t j = 0; j < levels.size(); ++j)
      levels[j] = calibration_.band(bank_->levelDb(j), bank_->bands()[j].midHz);
    Bars->SetLevels(levels, sinceBegin_ >= kHoldAfterSeconds);
  }
  QString status;
  if (!running_)
    status = QStringLiteral("Not measuring: Start captures from the input.");
  else if (sinceInput_.isValid() && sinceInput_.elapsed() > kNoInputMs)
    status = QStringLiteral("No input for %1 s.").arg(sinceInput_.elapsed() / 1000);
  else
    status = QStringLiteral("%1, %2 Hz.").arg(device_).arg(rate_, 0, 'f', 0);
  if (!note_.isEmpty()) status += QLatin1Char(' ') + note_;
  Status->setText(status);
  Calibrate->setText(calibrating_ ? QStringLiteral("Calibrating\u2026") : QStringLiteral("Calibrate"));
}

void LevelsWindow::SaveView() {
  LevelsView v;
  v.weighting = Weighting->currentIndex();
  v.time = Time->currentIndex();
  v.bandsPerOctave = kBandChoices[size_t(std::max(0, Bands->currentIndex()))];
  v.intervalSeconds = Interval->currentData().toDouble();
  v.calibratorDb = CalibratorLevel->value();
  LevelsStore::SaveView(v);
}

QString LevelsWindow::CopyText() const {
  QString s = QStringLiteral("# device: %1\n").arg(device_);
  s += QStringLiteral("# calibrated: %1\n").arg(QString::fromStdString(calibration_.note()));
  if (meter_) s += QStringLiteral("# measured_s: %1\n").arg(meter_->measuredSeconds(), 0, 'f', 1);
  s += QStringLiteral("figure,level_db\n");
  for (Figure f :
       {Figure::Level, Figure::Leq, Figure::Max, Figure::Min, Figure::L10, Figure::L50, Figure::L90, Figure::Peak}) {
    const double v = Shown(f);
    s += QString::fromStdString(dsp::figureName(f, dsp::figureWeighting(f, ShownWeighting()), ShownTime())) +
         QLatin1Char(',') + (std::isfinite(v) ? QString::number(v, 'f', 1) : QStringLiteral("none")) +
         QLatin1Char('\n');
  }
  if (bank_) s += QLatin1Char('\n') + QString::fromStdString(dsp::bandsCsv(*bank_, calibration_));
  return s;
}

}  // namespace app
