// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

#include "app/About.h"

#include <alsa/asoundlib.h>
#include <fftw3.h>
#include <sndfile.h>

#include <QMessageBox>
#include <QtGlobal>

#include "quorvel/Version.h"

namespace app {

QString AboutText() {
  struct Library {
    QString name, version, licence;
  };
  const Library libraries[] = {
      {QStringLiteral("Qt"), QString::fromLatin1(qVersion()), QStringLiteral("LGPL-3.0-only")},
      {QStringLiteral("ALSA library"), QString::fromLatin1(snd_asoundlib_version()),
       QStringLiteral("LGPL-2.1-or-later")},
      // fftwf_version reads "fftw-3.3.10-sse2-avx".
      {QStringLiteral("FFTW"), QString::fromLatin1(fftwf_version).section(QLatin1Char('-'), 1, 1),
       QStringLiteral("GPL-2.0-or-later")},
      // sf_version_string reads "libsndfile-1.2.0".
      {QStringLiteral("libsndfile"), QString::fromLatin1(sf_version_string()).section(QLatin1Char('-'), 1),
       QStringLiteral("LGPL-2.1-or-later")},
  };
  QString text = QStringLiteral(
                     "<p><b>Quorvel audio %1</b></p>"
                     "<p>A live signal scope and spectrum analyser of the sound input.</p>"
                     "<p>Copyright 2026 The Quorvel audio developers.<br>"
                     "Free software under the GNU General Public License, version 3 or (at your option) any later "
                     "version (GPL-3.0-or-later). There is no warranty.</p>"
                     "<p>Runs on:</p><ul>")
                     .arg(QString::fromLatin1(quorvel::kVersion));
  for (const Library& l : libraries) text += QStringLiteral("<li>%1 %2 (%3)</li>").arg(l.name, l.version, l.licence);
  return text + QStringLiteral("</ul>");
}

void ShowAbout(QWidget* parent) { QMessageBox::about(parent, QStringLiteral("About Quorvel audio"), AboutText()); }

}  // namespace app
