# SPDX-FileCopyrightText: 2026 The Quorvel audio developers
# SPDX-License-Identifier: GPL-3.0-or-later

# Build options and helpers shared by every folder.

set(QUORVEL_SANITIZE "" CACHE STRING "Sanitizers: empty, 'address' (ASan+UBSan) or 'thread' (TSan)")

if(QUORVEL_SANITIZE STREQUAL "address")
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
elseif(QUORVEL_SANITIZE STREQUAL "thread")
  add_compile_options(-fsanitize=thread -fno-omit-frame-pointer)
  add_link_options(-fsanitize=thread)
elseif(NOT QUORVEL_SANITIZE STREQUAL "")
  message(FATAL_ERROR "QUORVEL_SANITIZE must be empty, address or thread")
endif()

# Project code builds warning-free.
function(quorvel_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
  # GCC 12's optimiser reports a string literal prepended to a std::string
  # ("x" + s) as an overlapping memcpy inside libstdc++ (GCC bug 105329), a
  # false positive that would fail every optimised build.
  if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
    target_compile_options(${target} PRIVATE -Wno-restrict)
  endif()
endfunction()

# The release number for the code: #include "quorvel/Version.h".
configure_file(${PROJECT_SOURCE_DIR}/cmake/Version.h.in ${PROJECT_BINARY_DIR}/generated/quorvel/Version.h @ONLY)
add_library(quorvel_version INTERFACE)
target_include_directories(quorvel_version INTERFACE ${PROJECT_BINARY_DIR}/generated)

add_custom_target(threaded_tests)

# Every test gets a configuration directory of its own under this one, which
# tests/ empties before each run: what a test leaves there (the scope
# windows remember their settings) reaches neither the user's configuration
# nor another test, nor the next run.
set(QUORVEL_TEST_CONFIG ${CMAKE_BINARY_DIR}/test-config)

# quorvel_test(NAME SOURCES ... [LIBS ...] [LABELS ...] [ENV ...])
# Labels: "threaded" tests also run under ThreadSanitizer (scripts/test builds
# them through the threaded_tests target); "realstack" tests need the private
# sound server; "xvfb" tests draw on the X display scripts/test starts.
# Tests run on Qt's offscreen platform unless ENV says otherwise, with
# XDG_CONFIG_HOME in QUORVEL_TEST_CONFIG.
function(quorvel_test name)
  cmake_parse_arguments(T "" "" "SOURCES;LIBS;LABELS;ENV" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  quorvel_warnings(${name})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest)
  add_test(NAME ${name} COMMAND ${name})
  set(env "QT_QPA_PLATFORM=offscreen" "XDG_CONFIG_HOME=${QUORVEL_TEST_CONFIG}/${name}" ${T_ENV})
  set_tests_properties(${name} PROPERTIES LABELS "${T_LABELS}" TIMEOUT 300 ENVIRONMENT "${env}"
    FIXTURES_REQUIRED quorvel_test_config)
  if("threaded" IN_LIST T_LABELS)
    add_dependencies(threaded_tests ${name})
  endif()
  # Tests that play into the shared null sink would hear each other.
  if("realstack" IN_LIST T_LABELS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK quorvel_sound_server)
  endif()
endfunction()
