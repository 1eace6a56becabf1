# The Windows build's tests: GoogleTest built from Debian's source package
# with the cross compiler, the portable suites and the Windows layers' own
# tests, all run by ctest through Wine (the toolchain's emulator).
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not ours to keep warning-free.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

# zelto_windows_tests(NAME DIR [WINDOWS] EXCLUDE <files...> LIBRARIES <libraries...>):
# tests/DIR/*.cpp but the files named (they need POSIX), linked statically
# so that Wine needs no runtime DLLs beside the test program. WINDOWS: the
# suite opens real windows, which share one X server, focus and mouse
# capture, so its tests run one at a time with every other such suite.
function(zelto_windows_tests name dir)
  cmake_parse_arguments(ARG "WINDOWS" "" "EXCLUDE;LIBRARIES" ${ARGN})
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/*.cpp)
  foreach(excluded ${ARG_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_CURRENT_SOURCE_DIR}/${dir}/${excluded})
  endforeach()
  if(NOT sources)
    return()
  endif()
  add_executable(${name} ${sources})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR} ${CMAKE_CURRENT_SOURCE_DIR})
  target_link_libraries(${name} PRIVATE ${ARG_LIBRARIES} gtest gtest_main Threads::Threads)
  target_link_options(${name} PRIVATE -static -static-libgcc -static-libstdc++)
  zelto_test_build_settings(${name})
  if(ZELTO_RESOURCE_RC)
    target_sources(${name} PRIVATE ${ZELTO_RESOURCE_RC})
  endif()
  target_compile_definitions(${name} PRIVATE
    ZELTO_PLUGIN_PATH="$<TARGET_FILE:KRWZelto>"
    ZELTO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # One Wine start per suite rather than per test (a start costs about a
  # second, and there are hundreds of tests); the suite's output names any
  # test that fails.
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 900 ENVIRONMENT "WINEDEBUG=-all")
  if(ARG_WINDOWS)
    set_tests_properties(${name} PROPERTIES RESOURCE_LOCK display)
  endif()
endfunction()

zelto_windows_tests(engine_tests engine LIBRARIES zelto_engine)
# The toolkit's portable tests plus its Win32*Test.cpp files; the X11 window
# and cairo's font caches are Linux-only.
zelto_windows_tests(toolkit_tests toolkit WINDOWS EXCLUDE X11WindowTest.cpp
                    LIBRARIES zelto_toolkit)
# FileIOTest.cpp needs symlinks, FIFOs, sockets and fork; Win32*Test.cpp
# cover the Windows side of the same layer.
zelto_windows_tests(platform_tests platform WINDOWS EXCLUDE FileIOTest.cpp LIBRARIES zelto_platform)

# Suites that drive the plug-in: its static library and the built DLL.
# The render digests are Linux's: the two C libraries round exp and pow
# apart, and the probe below holds the DLL's audio against Linux's instead.
zelto_windows_tests(host_tests host EXCLUDE RenderDigestTest.cpp LIBRARIES zelto_plugin)
zelto_windows_tests(presets_tests presets LIBRARIES zelto_plugin)
foreach(suite host_tests presets_tests)
  if(TARGET ${suite})
    add_dependencies(${suite} KRWZelto)
  endif()
endforeach()

# The DLL against the Linux plug-in: the same probe, built for both, under
# the same host calls; the Linux build of the same tree is looked for in
# ZELTO_LINUX_BUILD_DIR (skipped, not failed, when it is not there).
set(ZELTO_LINUX_BUILD_DIR ${CMAKE_SOURCE_DIR}/build/default CACHE PATH
    "A Linux build of this tree whose plug-in the DLL is compared with")
add_executable(plugin_probe ${CMAKE_CURRENT_SOURCE_DIR}/windows/PluginProbe.cpp)
target_include_directories(plugin_probe PRIVATE ${CMAKE_SOURCE_DIR})
target_link_options(plugin_probe PRIVATE -static -static-libgcc -static-libstdc++)
add_dependencies(plugin_probe KRWZelto)
add_test(NAME WindowsDll.MatchesTheLinuxPlugin
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/compare-with-linux.sh
                 ${ZELTO_LINUX_BUILD_DIR}/tests/plugin_probe ${ZELTO_LINUX_BUILD_DIR}/KRWZelto.so
                 ${CMAKE_CROSSCOMPILING_EMULATOR} $<TARGET_FILE:plugin_probe>
                 $<TARGET_FILE:KRWZelto> ${CMAKE_CURRENT_BINARY_DIR}/probe-vs-linux)
set_tests_properties(WindowsDll.MatchesTheLinuxPlugin PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT 300)

# The DLL's import and export tables, read with the cross binutils.
find_program(ZELTO_OBJDUMP NAMES x86_64-w64-mingw32-objdump REQUIRED)
add_test(NAME WindowsDll.ImportsOnlySystemLibrariesAndExportsTheTwoEntries
         COMMAND sh ${CMAKE_CURRENT_SOURCE_DIR}/windows/check-dll-tables.sh ${ZELTO_OBJDUMP}
                 $<TARGET_FILE:KRWZelto>)

# A Windows host of the DLL: nothing of ours linked in but the binary
# interface. Its editor tests need a display for Wine (scripts/private-x.sh in CI).
add_executable(windows_host_tests ${CMAKE_CURRENT_SOURCE_DIR}/windows/WindowsHostTest.cpp)
target_include_directories(windows_host_tests PRIVATE ${CMAKE_SOURCE_DIR})
target_link_libraries(windows_host_tests PRIVATE gtest gtest_main advapi32 user32)
target_link_options(windows_host_tests PRIVATE -static -static-libgcc -static-libstdc++)
target_compile_definitions(windows_host_tests PRIVATE ZELTO_PLUGIN_PATH="$<TARGET_FILE:KRWZelto>")
add_dependencies(windows_host_tests KRWZelto)
add_test(NAME windows_host_tests COMMAND windows_host_tests)
set_tests_properties(windows_host_tests PROPERTIES TIMEOUT 900 ENVIRONMENT "WINEDEBUG=-all"
                     RESOURCE_LOCK display)
