# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

add_executable(bench_measure ${CMAKE_CURRENT_LIST_DIR}/bench_measure.cpp)
target_link_libraries(bench_measure PRIVATE quorvel_measure quorvel_platform_sim benchmark::benchmark)
quorvel_warnings(bench_measure)
