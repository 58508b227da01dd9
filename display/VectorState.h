// SPDX-FileCopyrightText: 2026 The Quorvel audio developers
// SPDX-License-Identifier: GPL-3.0-or-later

// The C library's copies and fills use 256- and 512-bit registers on
// processors that have them and may leave those registers' upper halves in
// use. Our code is built for every x86-64 processor, with the older 128-bit
// instructions, and on such cores each of those then pays for the wider
// state: the spectrum's tone fit, run right after a picture's fills, took
// twice to ten times as long (bench_display: a frame taken and drawn with
// its spectrogram 2.8 ms instead of 1.2 ms), and the C library's log10
// 125 ns a call instead of 8. Clearing the upper halves first, as
// compilers do around their own wide code, costs one instruction.
#pragma once

namespace quorvel::display {

// Clears the vector registers' upper halves where the processor has them.
void clearUpperVectorState();

}  // namespace quorvel::display
