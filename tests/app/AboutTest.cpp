// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The About box names the release, the licence, and each library with the
// version it runs on (read at run time from the library's own string).
#include <gtest/gtest.h>

#include <QRegularExpression>

#include "app/About.h"
#include "quorvel/Version.h"

TEST(About, NamesTheReleaseTheLicenceAndEachLibraryWithItsVersion) {
  const QString text = app::AboutText();
  EXPECT_TRUE(text.contains(QStringLiteral("Quorvel audio %1").arg(QString::fromLatin1(quorvel::kVersion))));
  EXPECT_TRUE(text.contains(QStringLiteral("GPL-3.0-or-later")));
  for (const char* library : {"Qt", "ALSA library", "FFTW", "libsndfile"}) {
    const QRegularExpression named(QStringLiteral("<li>%1 \\d+\\.\\d+[.\\d]* \\([-.\\w]+\\)</li>")
                                       .arg(QRegularExpression::escape(QString::fromLatin1(library))));
    EXPECT_TRUE(named.match(text).hasMatch()) << library << " in " << text.toStdString();
  }
}
