# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The player's refill latency on the private sound server (see PlayerRefill.cpp).
add_executable(bench_player ${CMAKE_CURRENT_LIST_DIR}/PlayerRefill.cpp ${CMAKE_CURRENT_LIST_DIR}/SoundServer.cpp)
target_link_libraries(bench_player PRIVATE quorvel_audio benchmark::benchmark Qt6::Core)
target_compile_definitions(bench_player PRIVATE QUORVEL_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
quorvel_warnings(bench_player)
