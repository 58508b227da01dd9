// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// A command-line tool run by a test: what it printed and how it ended.
#pragma once

#include <gtest/gtest.h>

#include <QByteArray>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace tool_test {

// A generous bound against a hang, not a measure of speed.
inline constexpr int kFinishMs = 60000;

struct Outcome {
  int code = -1;
  QStringList out;  // stdout's lines
  QString err;
};

// Reads the tool's stdout into `out` until it holds `text`; false when the
// tool ended (or the bound passed) first.
inline bool ReadUntil(QProcess& p, QByteArray& out, const QByteArray& text) {
  while (!out.contains(text) && p.waitForReadyRead(kFinishMs)) out += p.readAllStandardOutput();
  return out.contains(text);
}

// Waits for the tool to end; `before` is what was read of its stdout already.
inline Outcome Finish(QProcess& p, const QByteArray& before = {}) {
  Outcome r;
  EXPECT_TRUE(p.waitForFinished(kFinishMs)) << p.program().toStdString() << " did not finish";
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  r.code = p.exitCode();
  r.out = QString::fromLocal8Bit(before + p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  r.err = QString::fromLocal8Bit(p.readAllStandardError());
  return r;
}

inline Outcome Run(const QString& program, const QStringList& args) {
  QProcess p;
  p.start(program, args);
  return Finish(p);
}

}  // namespace tool_test
