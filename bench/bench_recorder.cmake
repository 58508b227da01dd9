# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

add_executable(bench_recorder ${CMAKE_CURRENT_LIST_DIR}/bench_recorder.cpp)
target_link_libraries(bench_recorder PRIVATE quorvel_audio quorvel_platform_sim benchmark::benchmark Qt6::Core)
quorvel_warnings(bench_recorder)
# AllocationCounter.h pairs malloc with free behind operator new/delete,
# which GCC's inlining check cannot match up.
target_compile_options(bench_recorder PRIVATE -Wno-mismatched-new-delete)
