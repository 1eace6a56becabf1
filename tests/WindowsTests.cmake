# The Windows build's tests: GoogleTest built from Debian's source package
# with the cross compiler, the portable suites and the Windows layers' own
# tests, all run by ctest through Wine (the toolchain's emulator).
include(GoogleTest)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
# GoogleTest's own sources are not ours to keep warning-free.
foreach(target gtest gtest_main)
  target_compile_options(${target} PRIVATE -w)
endforeach()

# zelto_windows_tests(NAME DIR EXCLUDE <files...> LIBRARIES <libraries...>):
# tests/DIR/*.cpp but the files named (they need POSIX), linked statically
# so that Wine needs no runtime DLLs beside the test program.
function(zelto_windows_tests name dir)
  cmake_parse_arguments(ARG "" "" "EXCLUDE;LIBRARIES" ${ARGN})
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
  if(ZELTO_RESOURCE_RC)
    target_sources(${name} PRIVATE ${ZELTO_RESOURCE_RC})
  endif()
  target_compile_definitions(${name} PRIVATE
    ZELTO_PLUGIN_PATH="$<TARGET_FILE:KRWZelto>"
    ZELTO_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # Listed when ctest starts rather than at build time: each listing is a
  # Wine start.
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 120
                       PROPERTIES TIMEOUT 300 ENVIRONMENT "WINEDEBUG=-all")
endfunction()

zelto_windows_tests(engine_tests engine LIBRARIES zelto_engine)
# The toolkit's portable tests plus its Win32*Test.cpp files; the X11 window
# and cairo's font caches are Linux-only.
zelto_windows_tests(toolkit_tests toolkit EXCLUDE X11WindowTest.cpp LibraryCachesTest.cpp
                    LIBRARIES zelto_toolkit)
# FileIOTest.cpp needs symlinks, FIFOs, sockets and fork; Win32*Test.cpp
# cover the Windows side of the same layer.
zelto_windows_tests(platform_tests platform EXCLUDE FileIOTest.cpp LIBRARIES zelto_platform)
