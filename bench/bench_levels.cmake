# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The Levels window: the engine's work per captured block, one picture of
# the window, and a second of it at the program's rate.
add_executable(bench_levels ${CMAKE_CURRENT_LIST_DIR}/bench_levels.cpp)
target_link_libraries(bench_levels PRIVATE quorvel_app benchmark::benchmark)
quorvel_warnings(bench_levels)
