# Shared compile settings for every target of the project (not for third-party code).

set(TARNU_WARNINGS -Wall -Wextra -Wpedantic -Wshadow
                    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor> -Werror)

if(TARNU_SANITIZE AND NOT WIN32)
  set(TARNU_SANITIZER_FLAGS -fsanitize=address,undefined -fno-sanitize-recover=all
                            -fno-omit-frame-pointer)
  add_compile_options(${TARNU_SANITIZER_FLAGS})
  add_link_options(${TARNU_SANITIZER_FLAGS})
endif()

if(WIN32)
  # Unicode everywhere; no MinGW runtime DLL next to the executable.
  add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0A00)
  add_link_options(-static -static-libgcc -static-libstdc++)
  # Reproducible executables: no link time in the PE header, and no build folder in the
  # binary (__FILE__ and the like name files relative to the source tree).
  add_link_options(-Wl,--no-insert-timestamp)
  add_compile_options(
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${CMAKE_BINARY_DIR}=build>"
    "$<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}=.>")
  # What this toolchain offers against memory faults: canaries in every function with a
  # local array or an address-taken local, and the checked forms of the string and memory
  # calls whose buffer sizes the compiler knows (MinGW's headers honour _FORTIFY_SOURCE; the
  # checks and the canary's failure path come from libssp, linked statically by the same
  # flag). ASLR with high entropy and DEP are the linker's defaults; the terminal-server
  # flag tells Windows the program needs no per-session compatibility redirections of the
  # INI files and registry. Debug information is built, then moved out of the shipped
  # programs into a separate file (tarnu_split_debug_info).
  add_compile_options("$<$<COMPILE_LANGUAGE:C,CXX>:-fstack-protector-strong>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-D_FORTIFY_SOURCE=2>"
                      "$<$<COMPILE_LANGUAGE:C,CXX>:-g>")
  add_link_options(-fstack-protector-strong -Wl,--tsaware)
endif()

# tarnu_split_debug_info(target): after each link, the debug sections of a shipped Windows
# program go to <program>.debug beside it (for symbolising a crash dump with gdb), and the
# program keeps only a link to that file by name and checksum (no symbol table either).
function(tarnu_split_debug_info target)
  if(NOT WIN32)
    return()
  endif()
  set(program $<TARGET_FILE:${target}>)
  # objcopy stamps the PE header of what it writes with the time unless SOURCE_DATE_EPOCH says
  # otherwise; 0 is what the linker's --no-insert-timestamp left there. The debug file needs
  # it as much as the program: the program's link to it carries its checksum.
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --only-keep-debug ${program} ${program}.debug
    COMMAND ${CMAKE_COMMAND} -E env SOURCE_DATE_EPOCH=0
            ${CMAKE_OBJCOPY} --strip-all --add-gnu-debuglink=${program}.debug ${program}
    VERBATIM)
endfunction()

function(tarnu_defaults target)
  target_compile_options(${target} PRIVATE ${TARNU_WARNINGS})
  target_include_directories(${target} PUBLIC ${PROJECT_SOURCE_DIR}/src)
endfunction()

# tarnu_library(name [WIN32_ONLY] SOURCES ... [WIN32_SOURCES ...] [DEPS ...] [WIN32_DEPS ...])
# Portable sources build in both trees; WIN32_SOURCES only in the Windows tree.
function(tarnu_library name)
  cmake_parse_arguments(ARG "" "" "SOURCES;WIN32_SOURCES;DEPS;WIN32_DEPS" ${ARGN})
  set(sources ${ARG_SOURCES})
  set(deps ${ARG_DEPS})
  if(WIN32)
    list(APPEND sources ${ARG_WIN32_SOURCES})
    list(APPEND deps ${ARG_WIN32_DEPS})
  endif()
  if(sources)
    add_library(${name} STATIC ${sources})
    tarnu_defaults(${name})
    target_link_libraries(${name} PUBLIC ${deps})
  else()
    # Headers only so far.
    add_library(${name} INTERFACE)
    target_include_directories(${name} INTERFACE ${PROJECT_SOURCE_DIR}/src)
    target_link_libraries(${name} INTERFACE ${deps})
  endif()
endfunction()

# tarnu_test(name SOURCES ... DEPS ...)
# A GoogleTest executable. Natively each case becomes a CTest test; in the Windows tree the
# whole executable is one CTest test run under Wine, inside the test bed fixture.
function(tarnu_test name)
  cmake_parse_arguments(ARG "" "" "SOURCES;DEPS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  tarnu_defaults(${name})
  target_link_libraries(${name} PRIVATE ${ARG_DEPS} GTest::gmock GTest::gtest_main)
  if(WIN32)
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine_testbed
                                            RESOURCE_LOCK wine_testbed TIMEOUT 300)
  else()
    include(GoogleTest)
    gtest_discover_tests(${name} DISCOVERY_TIMEOUT 60)
  endif()
endfunction()

# tarnu_wine_test(name SCRIPT path [ARGS ...] [TIMEOUT seconds])
# An end-to-end test script that drives built Windows programs under Wine.
function(tarnu_wine_test name)
  cmake_parse_arguments(ARG "" "SCRIPT;TIMEOUT" "ARGS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name}
           COMMAND bash ${ARG_SCRIPT} ${ARG_ARGS})
  set_tests_properties(${name} PROPERTIES
    FIXTURES_REQUIRED wine_testbed RESOURCE_LOCK wine_testbed TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "TARNU_BUILD_DIR=${CMAKE_BINARY_DIR};TARNU_SOURCE_DIR=${PROJECT_SOURCE_DIR}")
endfunction()

# tarnu_windows_program(name [GUI] SOURCES ... [DEPS ...])
# A program with a wide entry point (wmain, or wWinMain with GUI); Windows tree only.
function(tarnu_windows_program name)
  cmake_parse_arguments(ARG "GUI" "" "SOURCES;DEPS" ${ARGN})
  if(NOT WIN32)
    return()
  endif()
  set(subsystem)
  if(ARG_GUI)
    set(subsystem WIN32)
  endif()
  add_executable(${name} ${subsystem} ${ARG_SOURCES})
  tarnu_defaults(${name})
  target_link_options(${name} PRIVATE -municode)
  target_link_libraries(${name} PRIVATE ${ARG_DEPS})
endfunction()
