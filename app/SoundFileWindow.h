// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The window of an open sound file: its name and format, where it is
// playing (a slider to move it), Pause/Play, the channel the scopes show,
// whether it is heard too, and Close. It only shows and asks: the main
// window does what is asked, through the callbacks.
#pragma once

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QWidget>
#include <cstdint>
#include <functional>

namespace app {

class FilePlayback;

class SoundFileWindow : public QWidget {
 public:
  struct Actions {
    std::function<void(bool paused)> pause;
    std::function<void(std::int64_t frame)> seek;
    std::function<void(int channel)> channel;  // from 0
    std::function<void(bool on)> audible;      // false when hearing it is refused
    std::function<void()> close;
    std::function<void()> ended;  // once each time the file has played to its end
  };
  // Reads `playback` until it is closed; closing it closes the file.
  SoundFileWindow(const QString& path, const FilePlayback& playback, Actions actions);

  // A line under the controls: why hearing the file failed, or that it ended.
  void say(const QString& text);
  // As the user pressing the controls would.
  QPushButton* pauseButton() const { return pause_; }
  QCheckBox* audibleBox() const { return audible_; }
  QSlider* slider() const { return slider_; }

 private:
  void closeEvent(QCloseEvent* event) override;
  void refresh();
  void seekToSlider();
  QString timeText(std::int64_t frame) const;

  const FilePlayback& playback_;
  Actions actions_;
  QLabel* time_;
  QSlider* slider_;
  QPushButton* pause_;
  QCheckBox* audible_;
  QComboBox* channel_ = nullptr;
  QLabel* status_;
  QTimer refresh_;
  bool closing_ = false;
  bool endSeen_ = false;
};

}  // namespace app
