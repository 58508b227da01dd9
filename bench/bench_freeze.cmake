# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# One moment of a frozen sound server, timed (see FreezeMoments.cpp and
# bench/freeze-times).
add_executable(bench_freeze_moments ${CMAKE_CURRENT_LIST_DIR}/FreezeMoments.cpp)
target_link_libraries(bench_freeze_moments PRIVATE quorvel_app quorvel_platform_alsa Qt6::Widgets)
quorvel_warnings(bench_freeze_moments)

# Many freezes around the give-up bound in one process: threads and streams
# left (see FreezeStress.cpp and bench/freeze-stress).
add_executable(bench_freeze_stress ${CMAKE_CURRENT_LIST_DIR}/FreezeStress.cpp)
target_link_libraries(bench_freeze_stress PRIVATE quorvel_audio Qt6::Widgets)
quorvel_warnings(bench_freeze_stress)
