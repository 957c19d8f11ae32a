# The Windows build: the same core, the Win32 window, timer and notification
# icon, SQLite from the amalgamation scripts/windows generates from Debian's
# source package, GoogleTest from /usr/src/googletest, ODBC through odbc32.
enable_language(C)
enable_language(RC)

set(KB6_SQLITE_AMALGAMATION "" CACHE PATH "Folder with sqlite3.c and sqlite3.h")
if(NOT EXISTS "${KB6_SQLITE_AMALGAMATION}/sqlite3.c")
  message(FATAL_ERROR "KB6_SQLITE_AMALGAMATION must name the folder of sqlite3.c (scripts/windows)")
endif()
add_library(kb6sqlite STATIC ${KB6_SQLITE_AMALGAMATION}/sqlite3.c)
target_include_directories(kb6sqlite SYSTEM PUBLIC ${KB6_SQLITE_AMALGAMATION})
target_compile_options(kb6sqlite PRIVATE -w)
target_compile_definitions(kb6sqlite PRIVATE SQLITE_THREADSAFE=1 SQLITE_DQS=0)
add_library(SQLite::SQLite3 ALIAS kb6sqlite)

# Windows XP's API level is not enough for the notification icon's balloons.
add_compile_definitions(UNICODE _UNICODE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)

file(GLOB CORE_SOURCES CONFIGURE_DEPENDS
  src/common/*.cpp src/db/*.cpp src/runlog/*.cpp src/scheduler/*.cpp src/jobs/*.cpp)
file(GLOB OS_SOURCES CONFIGURE_DEPENDS src/platform/windows/*.cpp)
file(READ ${CMAKE_SOURCE_DIR}/schema/club.sql CLUB_SCHEMA_SQL)
configure_file(${CMAKE_SOURCE_DIR}/schema/club_schema.cpp.in
  ${CMAKE_BINARY_DIR}/generated/club_schema.cpp @ONLY)
add_library(kb6core STATIC ${CORE_SOURCES} ${OS_SOURCES}
  ${CMAKE_BINARY_DIR}/generated/club_schema.cpp)
target_include_directories(kb6core PUBLIC src)
target_link_libraries(kb6core PUBLIC SQLite::SQLite3 ole32)

add_library(kb6odbc STATIC src/db/odbc/odbc_provider.cpp)
target_link_libraries(kb6odbc PUBLIC kb6core odbc32)
# mingw's sql.h expects the Windows types to be declared before it. The
# client still calls the ANSI functions (SQLDriverConnect, not ...W): under
# Wine these pass UTF-8 through to unixODBC unchanged, on Windows they would
# read texts in the ANSI code page. Porting it to the wide functions is the
# next step; its test under Wine is tests/windows/odbc_wine_test.cpp (the
# Linux one, tests/db/odbc_provider_test.cpp, gives the driver Windows paths).
target_compile_options(kb6odbc PRIVATE -include windows.h -UUNICODE -U_UNICODE)

# CLI11 is header-only and includes nothing but the standard library; its
# Debian headers are used as they are, without the rest of /usr/include.
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/cli11)
file(CREATE_LINK /usr/include/CLI ${CMAKE_BINARY_DIR}/cli11/CLI SYMBOLIC)

# The window, its timer and pump, the notification icon; the main window and
# clsApplication are the same as on Linux.
add_library(kb6platform STATIC
  src/tray/main_window.cpp src/tray/console_tray.cpp src/host/application.cpp
  src/tray/windows/win32_window.cpp src/tray/windows/win32_loop.cpp
  src/tray/windows/shell_tray.cpp)
target_link_libraries(kb6platform PUBLIC kb6core kb6odbc user32 shell32)

add_executable(KB6TRAY src/host/windows/main_windows.cpp src/host/windows/monitor_windows.cpp
  src/host/windows/kb6tray.rc)
target_include_directories(KB6TRAY PRIVATE ${CMAKE_BINARY_DIR}/cli11)
# A console program, so that --once and --help report to the console they run in.
target_link_options(KB6TRAY PRIVATE -municode)
target_link_libraries(KB6TRAY PRIVATE kb6platform)

add_executable(kb6-demo-db tools/demo_db_main.cpp tools/club_generator.cpp)
target_link_libraries(kb6-demo-db PRIVATE kb6core)

# GoogleTest from the sources libgtest-dev ships.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The core suite without the tests that start and signal POSIX processes
# (tests/host/host_test.cpp, tests/reliability/, tests/process_support.cpp),
# plus the tests of the Windows layer.
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/(host/host_test|process_support|reliability/.*|report/.*|check/.*|desktop/.*)\\.cpp$")
# The ODBC suite hands the driver Windows paths and uses setenv; under Wine the
# driver is the host's: tests/windows/odbc_wine_test.cpp takes its place.
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/db/odbc_provider_test\\.cpp$")
add_executable(kb6tests ${TEST_SOURCES} tools/club_generator.cpp src/host/windows/kb6tray.rc)
target_include_directories(kb6tests PRIVATE tests tools)
target_link_libraries(kb6tests PRIVATE kb6platform gtest gtest_main)
target_compile_definitions(kb6tests PRIVATE KB6_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")
