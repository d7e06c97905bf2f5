# Cross build: Tavelin.exe, a static 32-bit GUI program that imports system DLLs only, and one
# test program per file of tests/win32, each linked with the same code and resources.
enable_language(RC)
# The version block reads the build's version from a generated header; the packages read VERSION.
configure_file(${CMAKE_SOURCE_DIR}/cmake/TavelinVersion.h.in
               ${CMAKE_BINARY_DIR}/generated/TavelinVersion.h @ONLY)
file(CONFIGURE OUTPUT ${CMAKE_BINARY_DIR}/VERSION CONTENT "@PROJECT_VERSION@\n" @ONLY)
set(CMAKE_RC_FLAGS "${CMAKE_RC_FLAGS} -c 1252 -I${CMAKE_SOURCE_DIR}/resources -I${CMAKE_BINARY_DIR}/generated")
set(CMAKE_EXE_LINKER_FLAGS "${CMAKE_EXE_LINKER_FLAGS} -static -static-libgcc -static-libstdc++")

set(WIN_LIBS comctl32 comdlg32 shell32 ole32 winmm version gdi32 user32 advapi32 kernel32)
set(RESOURCES ${CMAKE_SOURCE_DIR}/resources/Tavelin.rc)
file(GLOB RESOURCE_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.*
                                           ${CMAKE_SOURCE_DIR}/resources/forms/*)
list(APPEND RESOURCE_FILES ${CMAKE_BINARY_DIR}/generated/TavelinVersion.h)
set_source_files_properties(${RESOURCES} PROPERTIES OBJECT_DEPENDS "${RESOURCE_FILES}")

add_library(tavelin_lib STATIC ${PORTABLE_SOURCES} ${WINDOWS_SOURCES})
target_include_directories(tavelin_lib PUBLIC ${CMAKE_SOURCE_DIR}/src)
target_compile_definitions(tavelin_lib PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601
                                              WINVER=0x0601 _WIN32_IE=0x0600)
target_link_libraries(tavelin_lib PUBLIC ${WIN_LIBS})

# The resources go in an object library so that every executable gets them whole.
add_library(tavelin_res OBJECT ${RESOURCES})

add_executable(Tavelin WIN32 ${CMAKE_SOURCE_DIR}/src/Tavelin.cpp $<TARGET_OBJECTS:tavelin_res>)
target_link_libraries(Tavelin PRIVATE tavelin_lib)
target_link_options(Tavelin PRIVATE -s)

tavelin_gtest(gtest_win)
target_compile_definitions(gtest_win PUBLIC GTEST_HAS_PTHREAD=0)
file(GLOB WIN_TESTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/test_*.cpp)
file(GLOB WIN_TEST_SUPPORT CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/support_*.cpp)
if(WIN_TEST_SUPPORT)
  add_library(win_test_support STATIC ${WIN_TEST_SUPPORT})
  target_link_libraries(win_test_support PUBLIC tavelin_lib gtest_win)
else()
  add_library(win_test_support INTERFACE)
  target_link_libraries(win_test_support INTERFACE tavelin_lib gtest_win)
endif()
# Small programs that the tests start as other processes.
file(GLOB WIN_TEST_HELPERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/helper_*.cpp)
foreach(h IN LISTS WIN_TEST_HELPERS)
  get_filename_component(hn ${h} NAME_WE)
  add_executable(${hn} WIN32 ${h})
endforeach()
foreach(t IN LISTS WIN_TESTS)
  get_filename_component(tn ${t} NAME_WE)
  add_executable(${tn} ${t} $<TARGET_OBJECTS:tavelin_res>)
  target_include_directories(${tn} PRIVATE ${CMAKE_SOURCE_DIR}/tests/win32 ${CMAKE_BINARY_DIR}/generated)
  target_link_libraries(${tn} PRIVATE win_test_support)
endforeach()
# Asks Windows' accessibility layer what a screen reader says of each window.
target_link_libraries(test_accessibility PRIVATE oleacc oleaut32 ole32)

file(GLOB BENCH_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/bench/*.cpp)
foreach(b IN LISTS BENCH_SOURCES)
  get_filename_component(bn ${b} NAME_WE)
  add_executable(${bn} ${b} $<TARGET_OBJECTS:tavelin_res>)
  target_compile_options(${bn} PRIVATE -O2)
  target_link_libraries(${bn} PRIVATE tavelin_lib)
endforeach()
