# Native build: the platform-free code and its tests under the sanitizers, and the driver of the
# Windows build, whose tests then run under Wine in the same CTest run.
include(ExternalProject)

set(SAN_FLAGS -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=undefined)
set(TSAN_FLAGS -fsanitize=thread -fno-omit-frame-pointer)

file(GLOB HOST_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/host/*.cpp)
set(HOST_TSAN_TESTS ${HOST_TESTS})
list(FILTER HOST_TSAN_TESTS INCLUDE REGEX "_tsan\\.cpp$")
list(FILTER HOST_TESTS EXCLUDE REGEX "_tsan\\.cpp$")

function(tavelin_sanitized target flags)
  target_compile_options(${target} PRIVATE ${flags})
  target_link_options(${target} PRIVATE ${flags})
endfunction()

add_library(tavelin_core STATIC ${PORTABLE_SOURCES})
target_include_directories(tavelin_core PUBLIC ${CMAKE_SOURCE_DIR}/src)
tavelin_sanitized(tavelin_core "${SAN_FLAGS}")
target_link_libraries(tavelin_core PUBLIC pthread)

tavelin_gtest(gtest_asan)
tavelin_sanitized(gtest_asan "${SAN_FLAGS}")
add_executable(tavelin_host_tests ${HOST_TESTS})
target_include_directories(tavelin_host_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/host)
# Properties over random events: RapidCheck shrinks a failing sequence and prints its seed.
find_package(rapidcheck REQUIRED)
target_link_libraries(tavelin_host_tests PRIVATE tavelin_core gtest_asan rapidcheck)
tavelin_sanitized(tavelin_host_tests "${SAN_FLAGS}")
target_compile_definitions(tavelin_host_tests PRIVATE TAVELIN_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
add_test(NAME host.sanitized COMMAND tavelin_host_tests --gtest_filter=-RunSession.*)
# The run's property on its own, with as many sequences as take a few seconds here (about 25 s
# under the sanitizers), from one seed so that every build tries the same ones; ./tavelin.sh
# properties tries others.
add_test(NAME host.run_session COMMAND tavelin_host_tests --gtest_filter=RunSession.*)
set_tests_properties(host.run_session PROPERTIES ENVIRONMENT "RC_PARAMS=max_success=6000 seed=20261208")

# The set-up's install step against a stand-in apt-get (a mirror caught mid-synchronisation).
add_test(NAME setup.install COMMAND ${CMAKE_SOURCE_DIR}/tests/setup/test_install.sh)

if(HOST_TSAN_TESTS)
  tavelin_gtest(gtest_tsan)
  tavelin_sanitized(gtest_tsan "${TSAN_FLAGS}")
  add_executable(tavelin_host_tsan_tests ${HOST_TSAN_TESTS} ${PORTABLE_SOURCES})
  target_include_directories(tavelin_host_tsan_tests PRIVATE ${CMAKE_SOURCE_DIR}/src ${CMAKE_SOURCE_DIR}/tests/host)
  target_link_libraries(tavelin_host_tsan_tests PRIVATE gtest_tsan pthread)
  tavelin_sanitized(tavelin_host_tsan_tests "${TSAN_FLAGS}")
  add_test(NAME host.threads COMMAND tavelin_host_tsan_tests)
endif()

# Benchmarks are built natively without sanitizers, so that their figures mean something.
file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
# A benchmark that needs Windows outside an "#ifdef _WIN32" runs under Wine only.
foreach(b IN LISTS BENCH_SOURCES)
  file(STRINGS "${b}" hits REGEX "include <windows\\.h>")
  file(STRINGS "${b}" guarded REGEX "^#ifdef _WIN32")
  if(hits AND NOT guarded)
    list(REMOVE_ITEM BENCH_SOURCES "${b}")
  endif()
endforeach()
if(BENCH_SOURCES)
  add_library(tavelin_core_plain STATIC ${PORTABLE_SOURCES})
  target_include_directories(tavelin_core_plain PUBLIC ${CMAKE_SOURCE_DIR}/src)
  target_compile_options(tavelin_core_plain PRIVATE -O2)
  target_link_libraries(tavelin_core_plain PUBLIC pthread)
  foreach(b IN LISTS BENCH_SOURCES)
    get_filename_component(bn ${b} NAME_WE)
    add_executable(${bn} ${b})
    target_compile_options(${bn} PRIVATE -O2)
    target_link_libraries(${bn} PRIVATE tavelin_core_plain)
  endforeach()
endif()

# The Windows program and its tests, cross-compiled from the same sources.
set(WIN_BUILD_DIR ${CMAKE_BINARY_DIR}/win)
ExternalProject_Add(windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${WIN_BUILD_DIR}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-i686.cmake
             -DCMAKE_BUILD_TYPE=Release
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")

# Wine tests: one booted prefix per CTest run, copied afresh for each test (an empty registry).
set(WINE_TEMPLATE ${CMAKE_BINARY_DIR}/wine-template)
add_test(NAME wine.prefix COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${WINE_TEMPLATE})
set_tests_properties(wine.prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)

file(GLOB WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/test_*.cpp)
foreach(t IN LISTS WIN_TESTS)
  get_filename_component(tn ${t} NAME_WE)
  # A test file may ask for another virtual screen with a line "// screen: WxHxD".
  file(STRINGS ${t} screen_line REGEX "^// screen: ")
  set(screen 1024x768x24)
  if(screen_line)
    string(REGEX REPLACE "^// screen: *" "" screen "${screen_line}")
  endif()
  # And for another scaling, "// dpi: N": the screen's pixels per inch (96 unless told).
  file(STRINGS ${t} dpi_line REGEX "^// dpi: ")
  if(dpi_line)
    string(REGEX REPLACE "^// dpi: *" "" dpi "${dpi_line}")
    set(screen "${screen}@${dpi}")
  endif()
  add_test(NAME wine.${tn}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-test.sh ${WINE_TEMPLATE} ${screen}
                   ${WIN_BUILD_DIR}/${tn}.exe)
  set_tests_properties(wine.${tn} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endforeach()

file(GLOB WIN_SCRIPT_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/test_*.sh)
foreach(t IN LISTS WIN_SCRIPT_TESTS)
  get_filename_component(tn ${t} NAME_WE)
  add_test(NAME wine.${tn} COMMAND ${t} ${WINE_TEMPLATE} ${WIN_BUILD_DIR})
  set_tests_properties(wine.${tn} PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300)
endforeach()

# The packages once more on a 64-bit Windows, where schools run the 32-bit program under WoW64.
set(WINE64_TEMPLATE ${CMAKE_BINARY_DIR}/wine64-template)
add_test(NAME wine64.prefix
         COMMAND ${CMAKE_SOURCE_DIR}/scripts/wine-prefix.sh ${WINE64_TEMPLATE} win64)
set_tests_properties(wine64.prefix PROPERTIES FIXTURES_SETUP wine64 TIMEOUT 300)
add_test(NAME wine64.test_package
         COMMAND ${CMAKE_SOURCE_DIR}/tests/win32/test_package.sh ${WINE64_TEMPLATE} ${WIN_BUILD_DIR}
                 win64)
set_tests_properties(wine64.test_package PROPERTIES FIXTURES_REQUIRED wine64 TIMEOUT 300)

# Every reader of bytes from outside has a fuzz target in tests/fuzz/ (one file, its seeds in the
# folder of its name, a dictionary NAME.dict beside it if it helps), built by clang with libFuzzer
# in a build of its own and run briefly here; ./tavelin.sh fuzz runs them longer.
find_program(FUZZ_CXX NAMES clang++ clang++-14)
find_program(FUZZ_CC NAMES clang clang-14)
if(NOT FUZZ_CXX OR NOT FUZZ_CC)
  message(FATAL_ERROR "clang is needed for the fuzz targets: ./tavelin.sh test installs it.")
endif()
set(FUZZ_BUILD_DIR ${CMAKE_BINARY_DIR}/fuzz)
ExternalProject_Add(fuzz
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${FUZZ_BUILD_DIR}
  CMAKE_GENERATOR Ninja
  CMAKE_ARGS -DCMAKE_CXX_COMPILER=${FUZZ_CXX} -DCMAKE_C_COMPILER=${FUZZ_CC} -DTAVELIN_FUZZ=ON
             -DCMAKE_BUILD_TYPE=RelWithDebInfo
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(t IN LISTS FUZZ_TARGETS)
  get_filename_component(tn ${t} NAME_WE)
  add_test(NAME fuzz.${tn}
           COMMAND ${CMAKE_SOURCE_DIR}/scripts/fuzz-run.sh ${FUZZ_BUILD_DIR}/${tn}
                   ${CMAKE_SOURCE_DIR}/tests/fuzz/${tn} 20)
  set_tests_properties(fuzz.${tn} PROPERTIES TIMEOUT 120)
endforeach()
