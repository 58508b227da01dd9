// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The About box: the release, the licence, and the libraries the program
// runs on with their versions (as loaded, not as built) and licences.
#pragma once

#include <QString>

class QWidget;

namespace app {

// The box's text, rich text for QMessageBox.
QString AboutText();
// Shows it, modal, over `parent`.
void ShowAbout(QWidget* parent);

}  // namespace app
