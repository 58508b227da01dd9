// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// One copy per display: a later one asks the first to come to the front; a
// lock left by a copy that died is taken over; a first copy that does not
// answer is reported as such.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QLockFile>
#include <QSysInfo>
#include <QTemporaryDir>

#include "app/SingleInstance.h"

using app::SingleInstance;

TEST(SingleInstance, ASecondCopyAsksTheFirstAndEnds) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  SingleInstance first(dir.path(), "q");
  int raised = 0;
  first.OnRaise = [&] { ++raised; };
  ASSERT_EQ(first.claim(), SingleInstance::Claim::First);

  SingleInstance second(dir.path(), "q");
  EXPECT_EQ(second.claim(), SingleInstance::Claim::Asked);
  const QDeadlineTimer deadline(10000);
  while (raised == 0 && !deadline.hasExpired()) QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
  EXPECT_EQ(raised, 1);
}

TEST(SingleInstance, ALockLeftByADeadCopyIsTakenOver) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  {
    // What a copy that was killed leaves: a lock naming a process that is gone.
    QFile lock(dir.filePath("q.lock"));
    ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
    lock.write("2147483600\nquorvel-audio\n" + QSysInfo::machineHostName().toUtf8() + "\n");
  }
  // And the socket it listened on.
  QFile socket(dir.filePath("q"));
  ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
  socket.close();
  SingleInstance first(dir.path(), "q");
  EXPECT_EQ(first.claim(), SingleInstance::Claim::First);
  EXPECT_EQ(SingleInstance(dir.path(), "q").claim(300), SingleInstance::Claim::Asked) << "the first listens";
}

TEST(SingleInstance, AFirstCopyThatDoesNotListenIsNoAnswer) {
  QTemporaryDir dir;
  ASSERT_TRUE(dir.isValid());
  QLockFile held(dir.filePath("q.lock"));
  ASSERT_TRUE(held.tryLock(0));
  SingleInstance second(dir.path(), "q");
  EXPECT_EQ(second.claim(300), SingleInstance::Claim::NoAnswer);
}
