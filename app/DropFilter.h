// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// Sound files dropped onto any of the program's windows open in it: the
// strip, its own windows, and the scope windows, which the display library
// makes and the program never touches otherwise. One filter on the whole
// application sees every window's drag events, since the library's windows
// live in the same process; it lets each window take drops as it is shown.
#pragma once

#include <QObject>
#include <QString>
#include <functional>

namespace app {

class DropFilter : public QObject {
 public:
  // `open` gets the first local file of a drop.
  explicit DropFilter(std::function<void(const QString& path)> open, QObject* parent = nullptr);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  std::function<void(const QString&)> open_;
};

}  // namespace app
