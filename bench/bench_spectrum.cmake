# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

add_executable(bench_spectrum ${CMAKE_CURRENT_LIST_DIR}/bench_spectrum.cpp)
target_link_libraries(bench_spectrum PRIVATE quorvel_analysis benchmark::benchmark)
quorvel_warnings(bench_spectrum)
# The benchmark replaces operator new/delete with counting malloc/free pairs,
# which GCC's inlining check cannot match up.
target_compile_options(bench_spectrum PRIVATE -Wno-mismatched-new-delete)
