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

set(KB6_OS windows)
include(${CMAKE_SOURCE_DIR}/cmake/core.cmake)
# GUIDs for the log table's keys.
target_link_libraries(kb6_os PRIVATE ole32)
# The private data source of a login is a unixODBC matter: not on Windows.
get_target_property(ODBC_SOURCES kb6_db_odbc SOURCES)
list(FILTER ODBC_SOURCES EXCLUDE REGEX "/private_dsn\\.cpp$")
set_target_properties(kb6_db_odbc PROPERTIES SOURCES "${ODBC_SOURCES}")
target_link_libraries(kb6_db_odbc PRIVATE odbc32)
# mingw's sql.h expects the Windows types to be declared before it. The
# client calls the wide functions by their own names (SQLDriverConnectW, ...;
# see odbc_provider.cpp), so UNICODE stays off and no macro renames a call.
# Its test under Wine is tests/windows/odbc_wine_test.cpp (the Linux one,
# tests/db/odbc_provider_test.cpp, gives the driver Windows paths).
target_compile_options(kb6_db_odbc PRIVATE -include windows.h -UUNICODE -U_UNICODE)

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
target_include_directories(kb6platform PUBLIC src)
target_link_libraries(kb6platform PUBLIC kb6_db_sqlite kb6_db_odbc kb6_scheduler kb6_jobs
  kb6_runlog kb6_db kb6_common user32 shell32)

# The COM server's type library: widl compiles the IDL (with Wine's .idl
# files and stdole2.tlb, libwine-dev and wine64) to the .tlb that windres
# embeds as resource 1 TYPELIB, and to the header and identifiers the C++
# classes implement.
find_program(KB6_WIDL NAMES x86_64-w64-mingw32-widl widl REQUIRED)
set(KB6_WINE_IDL_DIR /usr/include/wine/wine/windows CACHE PATH "Wine's .idl files (libwine-dev)")
set(KB6_STDOLE2_DIR /usr/lib/x86_64-linux-gnu/wine/x86_64-windows CACHE PATH "Folder of stdole2.tlb")
set(KB6_COM_DIR ${CMAKE_BINARY_DIR}/generated/com)
file(MAKE_DIRECTORY ${KB6_COM_DIR})
set(KB6_IDL ${CMAKE_SOURCE_DIR}/src/host/windows/com/kb6tray.idl)
add_custom_command(
  OUTPUT ${KB6_COM_DIR}/kb6tray.tlb ${KB6_COM_DIR}/kb6tray_h.h ${KB6_COM_DIR}/kb6tray_i.c
  COMMAND ${KB6_WIDL} -m64 -I${KB6_WINE_IDL_DIR} -L${KB6_STDOLE2_DIR}
          -t -o kb6tray.tlb -h -H kb6tray_h.h -u -U kb6tray_i.c ${KB6_IDL}
  WORKING_DIRECTORY ${KB6_COM_DIR}
  DEPENDS ${KB6_IDL}
  COMMENT "widl: the type library of the COM server")
file(WRITE ${KB6_COM_DIR}/kb6tray_tlb.rc "1 TYPELIB \"${KB6_COM_DIR}/kb6tray.tlb\"\n")
set_source_files_properties(${KB6_COM_DIR}/kb6tray_tlb.rc PROPERTIES
  OBJECT_DEPENDS ${KB6_COM_DIR}/kb6tray.tlb)
add_custom_target(kb6typelib DEPENDS ${KB6_COM_DIR}/kb6tray.tlb)
# The identifiers, and the interfaces as C++ classes, for server and tests.
add_library(kb6comids STATIC ${KB6_COM_DIR}/kb6tray_i.c ${KB6_COM_DIR}/kb6tray_h.h)
target_include_directories(kb6comids PUBLIC ${KB6_COM_DIR})
target_link_libraries(kb6comids PUBLIC ole32 oleaut32 uuid)
add_dependencies(kb6comids kb6typelib)

file(GLOB COM_SOURCES CONFIGURE_DEPENDS src/host/windows/com/*.cpp)
add_executable(KB6TRAY src/host/windows/main_windows.cpp src/host/windows/monitor_windows.cpp
  src/host/monitor_options.cpp src/host/connect_report.cpp
  ${COM_SOURCES} src/host/windows/kb6tray.rc ${KB6_COM_DIR}/kb6tray_tlb.rc ${KB6_COM_DIR}/kb6tray.tlb)
target_link_libraries(KB6TRAY PRIVATE kb6comids advapi32)
add_dependencies(KB6TRAY kb6typelib)
target_include_directories(KB6TRAY PRIVATE ${CMAKE_BINARY_DIR}/cli11)
# A console program, so that --once and --help report to the console they run in.
target_link_options(KB6TRAY PRIVATE -municode)
target_link_libraries(KB6TRAY PRIVATE kb6platform)

add_executable(kb6-demo-db tools/demo_db_main.cpp tools/club_generator.cpp)
target_include_directories(kb6-demo-db PRIVATE src)
target_link_libraries(kb6-demo-db PRIVATE kb6_db kb6_db_sqlite SQLite::SQLite3 shell32)

# GoogleTest from the sources libgtest-dev ships.
set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# The core suite without the tests that start and signal POSIX processes
# (tests/host/host_test.cpp, tests/reliability/, tests/process_support.cpp)
# or mount file systems (tests/runlog/log_file_failure_test.cpp),
# plus the tests of the Windows layer.
file(GLOB_RECURSE TEST_SOURCES CONFIGURE_DEPENDS tests/*.cpp)
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/(host/host_test|host/connect_report_test|process_support|reliability/.*|report/.*|check/.*|desktop/.*|runlog/log_file_failure_test)\\.cpp$")
# The ODBC suite hands the driver Windows paths and uses setenv, the login test's
# fake TDS server POSIX sockets; under Wine the driver is the host's:
# tests/windows/odbc_wine_test.cpp takes their place.
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/db/(odbc_provider_test\\.cpp|fake_tds_server\\.[ch]pp|sqlserver_login_test\\.cpp)$")
# --status, --metrics, sd_notify and the journal are the Linux host's.
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/ops/")
# The COM clients talk to the registered KB6TRAY.exe: a test program of their own.
list(FILTER TEST_SOURCES EXCLUDE REGEX "/tests/windows/com/")
add_executable(kb6tests ${TEST_SOURCES} tools/club_generator.cpp src/host/windows/kb6tray.rc)
target_include_directories(kb6tests PRIVATE tests tools)
target_link_libraries(kb6tests PRIVATE kb6platform SQLite::SQLite3 gtest gtest_main)
target_compile_definitions(kb6tests PRIVATE KB6_GOLDEN_DIR="${CMAKE_SOURCE_DIR}/tests/golden")

# The COM clients: a host program and a script against the registered
# KB6TRAY.exe, which must stand in the same folder.
add_executable(kb6comtests tests/windows/com/com_client_test.cpp
  tests/windows/com/monitor_endings_test.cpp
  tests/windows/com/com_client_support.cpp tests/windows/log_text_windows.cpp
  tools/club_generator.cpp)
target_include_directories(kb6comtests PRIVATE tests tools)
target_include_directories(kb6comtests PRIVATE src)
target_link_libraries(kb6comtests PRIVATE kb6_db_sqlite kb6_db kb6_common SQLite::SQLite3
  kb6comids advapi32 gtest gtest_main)

# The registry values of the COM server, printed for the installer's
# registry table (scripts/windows makes the MSI package from them).
add_executable(kb6-com-entries tools/windows/com_entries_main.cpp
  src/host/windows/com/registration.cpp)
target_include_directories(kb6-com-entries PRIVATE src)
target_link_libraries(kb6-com-entries PRIVATE kb6_os kb6_common kb6comids advapi32)
target_link_options(kb6-com-entries PRIVATE -municode)
file(WRITE ${CMAKE_BINARY_DIR}/kb6tray-version.txt "${PROJECT_VERSION}\n")
