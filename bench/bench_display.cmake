# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The display library: ShowNext's cost, drawing a frame, and a second of display.
add_executable(bench_display ${CMAKE_CURRENT_LIST_DIR}/bench_display.cpp)
quorvel_warnings(bench_display)
target_link_libraries(bench_display PRIVATE quorvel_display_core benchmark::benchmark)
