# The fuzz targets: clang with libFuzzer, the address and undefined-behaviour sanitizers, over the
# platform-free code. Host.cmake drives this build (build/fuzz) as a project of its own, so that the
# gcc builds never see clang. One file a target in tests/fuzz/, its seeds in the folder of its name.
#
# clang knows no execution character set but UTF-8, and the program speaks Windows-1252: the
# sources are compiled from copies in Windows-1252, whose literals clang keeps byte for byte.
set_property(DIRECTORY PROPERTY COMPILE_OPTIONS -Wall -Wextra -Wshadow -Wno-invalid-source-encoding)

set(CP1252_DIR ${CMAKE_BINARY_DIR}/src1252)
function(tavelin_cp1252 source out_var)
  file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR} ${source})
  set(out ${CP1252_DIR}/${rel})
  get_filename_component(dir ${out} DIRECTORY)
  add_custom_command(OUTPUT ${out}
                     COMMAND ${CMAKE_COMMAND} -E make_directory ${dir}
                     COMMAND iconv -f UTF-8 -t CP1252 -o ${out} ${source}
                     DEPENDS ${source} VERBATIM)
  set(${out_var} ${out} PARENT_SCOPE)
endfunction()

file(GLOB_RECURSE HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/*.h)
set(CORE_SOURCES)
foreach(src IN LISTS PORTABLE_SOURCES HEADERS)
  tavelin_cp1252(${src} out)
  list(APPEND CORE_SOURCES ${out})
endforeach()

set(FUZZ_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
add_library(tavelin_fuzz_core STATIC ${CORE_SOURCES})
target_include_directories(tavelin_fuzz_core PUBLIC ${CP1252_DIR}/src)
target_compile_options(tavelin_fuzz_core PUBLIC ${FUZZ_FLAGS} PRIVATE -fsanitize=fuzzer-no-link)
target_link_options(tavelin_fuzz_core PUBLIC ${FUZZ_FLAGS})
target_link_libraries(tavelin_fuzz_core PUBLIC pthread)

file(GLOB FUZZ_TARGETS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/fuzz/*.cpp)
foreach(t IN LISTS FUZZ_TARGETS)
  get_filename_component(tn ${t} NAME_WE)
  tavelin_cp1252(${t} out)
  add_executable(${tn} ${out})
  target_compile_options(${tn} PRIVATE -fsanitize=fuzzer)
  target_link_options(${tn} PRIVATE -fsanitize=fuzzer)
  target_link_libraries(${tn} PRIVATE tavelin_fuzz_core)
  target_include_directories(${tn} PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz)
endforeach()
