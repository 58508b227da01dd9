# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# The display library in a host of its own, fed at the program's pace (see
# ScopeHost.cpp and bench/scope-cpu).
add_executable(bench_scope_host ${CMAKE_CURRENT_LIST_DIR}/ScopeHost.cpp)
target_link_libraries(bench_scope_host PRIVATE quorvel_analysis quorvel_scope_api Qt6::Widgets ${CMAKE_DL_LIBS})
target_include_directories(bench_scope_host PRIVATE ${PROJECT_SOURCE_DIR})
add_dependencies(bench_scope_host Quorvel_DLL)
quorvel_warnings(bench_scope_host)
