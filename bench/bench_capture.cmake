# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Capture's start and steadiness on the private sound server (see CaptureFlow.cpp).
add_executable(bench_capture ${CMAKE_CURRENT_LIST_DIR}/CaptureFlow.cpp ${CMAKE_CURRENT_LIST_DIR}/SoundServer.cpp)
target_link_libraries(bench_capture PRIVATE quorvel_audio quorvel_platform_alsa benchmark::benchmark Qt6::Core)
target_compile_definitions(bench_capture PRIVATE QUORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
quorvel_warnings(bench_capture)
