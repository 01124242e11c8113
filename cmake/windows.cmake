# The Windows program and the tests that run under Wine.

# x86_64 MinGW ships no import library for d3d8.dll; make one from a one-line .def.
if(EXISTS "${CMAKE_FIND_ROOT_PATH}/lib/libd3d8.a")
  add_library(qe_d3d8_import INTERFACE)
  target_link_libraries(qe_d3d8_import INTERFACE d3d8)
else()
  set(_d3d8_lib ${CMAKE_BINARY_DIR}/libd3d8_import.a)
  add_custom_command(OUTPUT ${_d3d8_lib}
    COMMAND ${CMAKE_DLLTOOL} -d ${CMAKE_SOURCE_DIR}/cmake/d3d8.def -l ${_d3d8_lib}
    DEPENDS ${CMAKE_SOURCE_DIR}/cmake/d3d8.def)
  add_custom_target(qe_d3d8_lib DEPENDS ${_d3d8_lib})
  add_library(qe_d3d8_import INTERFACE)
  add_dependencies(qe_d3d8_import qe_d3d8_lib)
  target_link_libraries(qe_d3d8_import INTERFACE ${_d3d8_lib})
endif()

add_executable(quietembers WIN32 ${CMAKE_SOURCE_DIR}/shell/winmain_win32.cpp)
target_link_libraries(quietembers PRIVATE qe_platform)
set_target_properties(quietembers PROPERTIES OUTPUT_NAME quietembers RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# The executable users run: sections nothing refers to are left out, and the header carries no link
# time, so the same sources give the same bytes (scripts/release strips and packages it).
target_compile_options(quietembers PRIVATE ${QE_NO_UNWIND_TABLES})
target_link_options(quietembers PRIVATE -Wl,--gc-sections -Wl,--no-insert-timestamp)

add_subdirectory(${CMAKE_SOURCE_DIR}/tests/win ${CMAKE_BINARY_DIR}/tests/win)

# The same program with test instrumentation: build/<preset>/quietembers-probe.exe.
add_subdirectory(${CMAKE_SOURCE_DIR}/tests/probe ${CMAKE_BINARY_DIR}/tests/probe)

# The capture build: the same program from the same library, with the clock, the wave device and
# Direct3DCreate8 of tools/capture/ linked ahead of it, so the library's own are never pulled in.
# It writes every frame and the sound it plays at a fixed frame rate (scripts/capture).
file(GLOB QE_CAPTURE_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tools/capture/*.cpp)
add_executable(quietembers-capture WIN32 ${QE_CAPTURE_SOURCES})
target_link_libraries(quietembers-capture PRIVATE qe_platform)
set_target_properties(quietembers-capture PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR})
# Its ExitProcess goes through capture_main.cpp, which reports the frames and the heap at exit.
if(CMAKE_SIZEOF_VOID_P EQUAL 8)
  target_link_options(quietembers-capture PRIVATE -Wl,--wrap=__imp_ExitProcess)
else()
  target_link_options(quietembers-capture PRIVATE -Wl,--wrap=_imp__ExitProcess@4)
endif()
