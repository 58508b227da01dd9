# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Debian package, made by CPack from the install rules (scripts/package).
# Its dependencies are computed by dpkg-shlibdeps from the shared libraries
# the installed binaries link, not written here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel-audio)
set(CPACK_PACKAGE_CONTACT "Quorvel audio maintainers <maintainers@quorvel-audio.invalid>")
set(CPACK_PACKAGING_INSTALL_PREFIX ${CMAKE_INSTALL_PREFIX})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "live signal scope and spectrum of the sound input")
set(CPACK_PACKAGE_DESCRIPTION
"Quorvel audio turns a sound card's input into a live signal scope and a live
spectrum display. One button starts and stops capture: 16-bit mono audio at
44100 samples per second, every sample drawn on the signal scope and, while
the FFT box is ticked, a 2048-point spectrum of each block on the spectrum
scope.
.
A signal generator and a loopback measurement (response, delay, distortion,
signal-to-noise, drift) measure a device; a sound level meter and an octave-band
analyser read calibrated levels; sound files open in the program.
.
Command-line programs come with it: quorvel-devices lists the capture
devices and prints the level of each recorded block, quorvel-play plays a
sound file or a generated signal, quorvel-mixer shows the mixer's lines and
their changes, quorvel-measure measures a device through a loopback, and
quorvel-analyse reads sound files or live capture without a display.")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)

include(CPack)
