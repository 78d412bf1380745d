# The parameter tuner (build/tools/tune), included by tools/CMakeLists.txt so the
# program lands in build/tools beside the match runner.

# Training data for the tuner: positions of played games, filtered in-process
# (written by `tune pgn`); the unit tests link it too and include its headers
# as "tune/positions.h" (tools/tune itself is not an include folder: its
# features.h would hide the C library's).
add_library(tune_core STATIC tune/pgn_games.cpp tune/positions.cpp)
target_include_directories(tune_core PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
target_link_libraries(tune_core PUBLIC match_core)

add_executable(tune
    tune/data_set.cpp
    tune/features.cpp
    tune/main.cpp
    tune/optimise.cpp
    tune/param_file.cpp
    tune/param_set.cpp
    tune/pgn_positions.cpp
    tune/synthetic.cpp)
target_link_libraries(tune PRIVATE tune_core)
target_compile_definitions(tune PRIVATE TUNE_PLOT_SCRIPT="${CMAKE_CURRENT_SOURCE_DIR}/tune/plot_errors.py")

if(BUILD_TESTING)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME tools/tune_test
           COMMAND ${Python3_EXECUTABLE} ${CMAKE_SOURCE_DIR}/tests/tune/tune_test.py
                   $<TARGET_FILE:tune> $<TARGET_FILE:kelmstrad>)
  # The tuner fits tens of thousands of positions: seconds when optimised, more
  # than the time-out in the sanitizer builds, which leave the label out.
  set_tests_properties(tools/tune_test PROPERTIES LABELS "tools;release-only" TIMEOUT 300)
endif()
