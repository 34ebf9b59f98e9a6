# Windows build: hv_core, the win32/ rooms, resources and halvane.exe, plus the Windows-side tests.
enable_language(RC)
add_link_options(-static -static-libgcc -static-libstdc++)
add_compile_definitions(_WIN32_WINNT=0x0601 WINVER=0x0601 NOMINMAX)
# The 64-bit Windows stack is only 16-byte aligned, yet GCC may keep a 32- or 64-byte vector in an aligned stack
# slot: the assembler writes every aligned vector move as an unaligned one, which is as fast on aligned data.
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-Wa,-muse-unaligned-vector-move>)

set(HV_WIN32_SOURCES)
foreach(dir ${HV_SUBSYSTEMS})
  file(GLOB_RECURSE srcs CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/win32/*.cpp)
  list(APPEND HV_WIN32_SOURCES ${srcs})
endforeach()
list(FILTER HV_WIN32_SOURCES EXCLUDE REGEX "/app/win32/main\\.cpp$")

# The resource script includes one file of dialog templates per part of the program and the id headers:
# a change to any of them rebuilds the resources.
file(GLOB HV_RC_PARTS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/resources/*.rc ${CMAKE_SOURCE_DIR}/resources/*.ico
     ${CMAKE_SOURCE_DIR}/*/*resource_ids.h ${CMAKE_SOURCE_DIR}/app/command_ids.h)
set_source_files_properties(${CMAKE_SOURCE_DIR}/resources/halvane.rc PROPERTIES OBJECT_DEPENDS "${HV_RC_PARTS}")

set(HV_WIN32_LIBS ole32 oleaut32 uuid comctl32 comdlg32 gdi32 user32 shell32 winmm avrt dwmapi winspool)
add_library(hv_win32 STATIC ${HV_WIN32_SOURCES})
target_link_libraries(hv_win32 PUBLIC hv_core ${HV_WIN32_LIBS})

add_executable(halvane WIN32 ${CMAKE_SOURCE_DIR}/app/win32/main.cpp ${CMAKE_SOURCE_DIR}/resources/halvane.rc)
target_link_libraries(halvane PRIVATE hv_win32)
set_target_properties(halvane PROPERTIES OUTPUT_NAME halvane)

# GoogleTest from the sources Debian's googletest package installs.
set(HV_GTEST_SRC /usr/src/googletest/googletest)
add_library(gtest_mingw STATIC ${HV_GTEST_SRC}/src/gtest-all.cc)
target_include_directories(gtest_mingw PUBLIC ${HV_GTEST_SRC}/include PRIVATE ${HV_GTEST_SRC})
# Both Windows-side test programs start from a main with a watchdog that names a test that hangs.
set(HV_WIN_TEST_MAIN ${CMAKE_SOURCE_DIR}/tests/win32/test_main.cpp)

# The core tests again, compiled by MinGW: catches layout and rounding differences between compilers.
if(HV_CORE_TEST_SOURCES)
  add_executable(hv_core_tests ${HV_CORE_TEST_SOURCES} ${HV_WIN_TEST_MAIN})
  target_link_libraries(hv_core_tests PRIVATE hv_core gtest_mingw)
  target_include_directories(hv_core_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
endif()

file(GLOB_RECURSE HV_WIN_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/win32/*.cpp)
if(HV_WIN_TEST_SOURCES)
  add_executable(hv_win32_tests ${HV_WIN_TEST_SOURCES} ${CMAKE_SOURCE_DIR}/resources/halvane.rc)
  target_link_libraries(hv_win32_tests PRIVATE hv_win32 gtest_mingw)
  target_include_directories(hv_win32_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
endif()

# Under ctest the Windows programs run through Wine.
set(HV_WINE_EXEC ${CMAKE_SOURCE_DIR}/scripts/wine-exec)
if(TARGET hv_core_tests)
  add_test(NAME windows_core_tests COMMAND ${HV_WINE_EXEC} $<TARGET_FILE:hv_core_tests>)
endif()
if(TARGET hv_win32_tests)
  # One ctest entry per test suite. They take turns on the one display: windows of two programs side by side
  # pass the focus between them (and a radio button given the focus by Wine reports itself clicked), so a
  # suite could read another's activation as its own. The core tests open no window and run beside them.
  set(HV_WIN_SUITES)
  foreach(src ${HV_WIN_TEST_SOURCES})
    # A suite added to a file reconfigures the tree, so that its ctest entry exists.
    set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${src})
    file(STRINGS ${src} lines REGEX "^(TEST|TEST_F|TEST_P)\\(")
    foreach(line ${lines})
      string(REGEX REPLACE "^TEST[_FP]*\\(([A-Za-z0-9_]+),.*" "\\1" suite "${line}")
      list(APPEND HV_WIN_SUITES ${suite})
    endforeach()
  endforeach()
  list(REMOVE_DUPLICATES HV_WIN_SUITES)
  foreach(suite ${HV_WIN_SUITES})
    add_test(NAME win32.${suite} COMMAND ${HV_WINE_EXEC} $<TARGET_FILE:hv_win32_tests> --gtest_filter=${suite}.*:*/${suite}.*)
    set_tests_properties(win32.${suite} PROPERTIES RESOURCE_LOCK wine_display)
  endforeach()
endif()
