# Shared build settings and helpers for every target of the project.
include(GNUInstallDirs)

option(KRL_WERROR "Treat compiler warnings as errors (the CI presets)" OFF)

# Every target of the project, fuzzers, tools and tests included, is built with these warnings.
set(KRL_WARNINGS -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor -Wno-unused-parameter)
if(KRL_WERROR)
  list(APPEND KRL_WARNINGS -Werror)
endif()
add_compile_options(${KRL_WARNINGS})

if(KRL_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
  add_link_options(-fsanitize=address,undefined)
endif()

# The fuzz build instruments every object for coverage, not only the fuzzers' own sources:
# without it libFuzzer sees the edges of its harness alone and mutates blind.
if(KRL_FUZZ)
  add_compile_options(-fsanitize=fuzzer-no-link)
endif()

# krl_library(NAME <target> [QT] SOURCES ... LIBS ...)
# A static library of one subsystem. Logic libraries never link Qt; the linker enforces that.
function(krl_library name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  add_library(${name} STATIC ${A_SOURCES})
  target_include_directories(${name} PUBLIC ${PROJECT_SOURCE_DIR})
  target_link_libraries(${name} PUBLIC ${A_LIBS})
endfunction()

# krl_test(NAME <target> SOURCES ... LIBS ...)
# One GoogleTest executable; every test case is registered with CTest.
function(krl_test name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_link_libraries(${name} PRIVATE ${A_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  include(GoogleTest)
  gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60 PROPERTIES ENVIRONMENT "${A_ENV}")
endfunction()

# krl_fuzzer(NAME <target> SOURCES ... LIBS ...)
# A libFuzzer target; only built with KRL_FUZZ=ON under clang.
function(krl_fuzzer name)
  cmake_parse_arguments(A "" "" "SOURCES;LIBS" ${ARGN})
  if(NOT KRL_FUZZ)
    return()
  endif()
  add_executable(${name} ${A_SOURCES})
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR} ${PROJECT_SOURCE_DIR}/tests)
  target_compile_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_options(${name} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${name} PRIVATE ${A_LIBS})
  set_property(GLOBAL APPEND PROPERTY KRL_FUZZERS ${name})
endfunction()

# krl_subdirectories(<dir>...)
# Adds the named folders in order; a missing one fails the build. A folder beside them that has
# a CMakeLists.txt but is not named fails the build too, so a new subsystem is never left out
# without a word.
function(krl_subdirectories)
  file(GLOB present LIST_DIRECTORIES true RELATIVE ${CMAKE_CURRENT_SOURCE_DIR}
    ${CMAKE_CURRENT_SOURCE_DIR}/*/CMakeLists.txt)
  foreach(file IN LISTS present)
    get_filename_component(dir ${file} DIRECTORY)
    if(NOT dir IN_LIST ARGN)
      message(FATAL_ERROR "${CMAKE_CURRENT_SOURCE_DIR}/${dir} has a CMakeLists.txt but is not "
        "named in krl_subdirectories() of ${CMAKE_CURRENT_LIST_FILE}")
    endif()
  endforeach()
  foreach(dir IN LISTS ARGN)
    add_subdirectory(${dir})
  endforeach()
endfunction()
