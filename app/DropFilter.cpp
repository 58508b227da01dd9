// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/DropFilter.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>
#include <QWidget>

namespace app {

namespace {

QString LocalFile(const QMimeData* data) {
  if (data == nullptr) return {};
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) return url.toLocalFile();
  return {};
}

}  // namespace

DropFilter::DropFilter(std::function<void(const QString&)> open, QObject* parent)
    : QObject(parent), open_(std::move(open)) {}

bool DropFilter::eventFilter(QObject* watched, QEvent* event) {
  switch (event->type()) {
    case QEvent::Show:
      // Qt offers a drag only to a window that takes drops.
      if (auto* w = qobject_cast<QWidget*>(watched); w && w->isWindow() && !w->acceptDrops()) w->setAcceptDrops(true);
      return false;
    case QEvent::DragEnter:
    case QEvent::DragMove: {
      auto* drag = static_cast<QDropEvent*>(event);
      if (LocalFile(drag->mimeData()).isEmpty()) return false;
      drag->acceptProposedAction();
      return true;
    }
    case QEvent::Drop: {
      auto* drop = static_cast<QDropEvent*>(event);
      const QString path = LocalFile(drop->mimeData());
      if (path.isEmpty()) return false;
      drop->acceptProposedAction();
      open_(path);
      return true;
    }
    default:
      return false;
  }
}

}  // namespace app
