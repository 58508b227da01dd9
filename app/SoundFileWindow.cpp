// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/SoundFileWindow.h"

#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QVBoxLayout>

#include "app/FilePlayback.h"

namespace app {

namespace {
constexpr int kSliderSteps = 10000;  // the slider's resolution over the whole file
}

SoundFileWindow::SoundFileWindow(const QString& path, const FilePlayback& playback, Actions actions)
    : QWidget(nullptr, Qt::Window), playback_(playback), actions_(std::move(actions)) {
  const QFileInfo info(path);
  setWindowTitle(QStringLiteral("Sound file: %1").arg(info.fileName()));
  setAttribute(Qt::WA_QuitOnClose, false);
  auto* layout = new QVBoxLayout(this);
  auto* name = new QLabel(QStringLiteral("<b>%1</b><br>%2 Hz, %3 channel%4, %5")
                              .arg(info.fileName().toHtmlEscaped())
                              .arg(playback.rate())
                              .arg(playback.channels())
                              .arg(playback.channels() == 1 ? "" : "s")
                              .arg(timeText(playback.frames())),
                          this);
  name->setToolTip(path);
  layout->addWidget(name);

  slider_ = new QSlider(Qt::Horizontal, this);
  slider_->setRange(0, kSliderSteps);
  slider_->setAccessibleName(QStringLiteral("Position"));
  time_ = new QLabel(this);
  auto* place = new QHBoxLayout;
  place->addWidget(slider_, 1);
  place->addWidget(time_);
  layout->addLayout(place);

  auto* controls = new QHBoxLayout;
  pause_ = new QPushButton(QStringLiteral("Pause"), this);
  controls->addWidget(pause_);
  if (playback.channels() > 1) {
    channel_ = new QComboBox(this);
    for (int c = 1; c <= playback.channels(); ++c) channel_->addItem(QStringLiteral("Channel %1").arg(c));
    channel_->setAccessibleName(QStringLiteral("Channel shown"));
    controls->addWidget(channel_);
  }
  audible_ = new QCheckBox(QStringLiteral("Hear it"), this);
  controls->addWidget(audible_);
  controls->addStretch(1);
  auto* close = new QPushButton(QStringLiteral("Close file"), this);
  controls->addWidget(close);
  layout->addLayout(controls);
  status_ = new QLabel(this);
  status_->setWordWrap(true);
  layout->addWidget(status_);

  connect(pause_, &QPushButton::clicked, this, [this] {
    const bool play = playback_.paused() || playback_.ended();
    // At the end, Play starts the file again from its beginning.
    if (playback_.ended()) actions_.seek(0);
    actions_.pause(!play);
    status_->clear();
    endSeen_ = false;
    refresh();
  });
  connect(slider_, &QSlider::sliderReleased, this, [this] { seekToSlider(); });
  connect(slider_, &QSlider::actionTriggered, this, [this](int action) {
    // A click or a key on the slider moves it at once; a drag when let go.
    if (action != QAbstractSlider::SliderMove) QTimer::singleShot(0, this, [this] { seekToSlider(); });
  });
  if (channel_) connect(channel_, &QComboBox::currentIndexChanged, this, [this](int c) { actions_.channel(c); });
  connect(audible_, &QCheckBox::toggled, this, [this](bool on) { actions_.audible(on); });
  connect(close, &QPushButton::clicked, this, [this] { this->close(); });
  refresh_.setInterval(100);
  connect(&refresh_, &QTimer::timeout, this, [this] { refresh(); });
  refresh_.start();
  refresh();
}

void SoundFileWindow::seekToSlider() {
  actions_.seek(playback_.frames() * slider_->value() / kSliderSteps);
  endSeen_ = false;
  status_->clear();
  refresh();
}

void SoundFileWindow::say(const QString& text) {
  status_->setText(text);
  adjustSize();
}

void SoundFileWindow::closeEvent(QCloseEvent* event) {
  event->accept();
  if (closing_) return;
  closing_ = true;
  // The playback may be gone once the file is closed: nothing reads it from now on.
  refresh_.stop();
  actions_.close();
}

QString SoundFileWindow::timeText(std::int64_t frame) const {
  const double s = double(frame) / playback_.rate();
  const long whole = long(s);
  return QString::asprintf("%ld:%02ld.%d", whole / 60, whole % 60, int((s - double(whole)) * 10));
}

void SoundFileWindow::refresh() {
  const std::int64_t at = playback_.position();
  time_->setText(timeText(at) + QStringLiteral(" / ") + timeText(playback_.frames()));
  if (!slider_->isSliderDown()) {
    const QSignalBlocker quiet(slider_);
    slider_->setValue(int(at * kSliderSteps / std::max<std::int64_t>(playback_.frames(), 1)));
  }
  pause_->setText(playback_.paused() || playback_.ended() ? QStringLiteral("Play") : QStringLiteral("Pause"));
  if (playback_.ended() && !endSeen_) {
    endSeen_ = true;
    say(playback_.failure().empty()
            ? QStringLiteral("played to its end")
            : QStringLiteral("could not be read on: %1").arg(QString::fromStdString(playback_.failure())));
    actions_.ended();
  }
}

}  // namespace app
