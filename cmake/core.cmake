# The core libraries, one per layer, for the Linux and the Windows build alike:
#
#   kb6_common                       values, dates, regional settings, clock
#   kb6_db        -> common          statements, dialects, the provider interface
#   kb6_db_sqlite -> db              the SQLite provider (SQLite is private to it)
#   kb6_db_odbc   -> db              the SQL Server provider (ODBC is private to it)
#   kb6_runlog    -> common, db      log file and log table
#   kb6_jobs      -> common, db, runlog
#   kb6_scheduler -> common, db, runlog, jobs
#   kb6_os        -> common, runlog  what the core asks of the operating system
#
# A library sees only the headers of itself and of what it links: its headers
# are linked into build/layers/<library>/ and that folder, not src/, is on its
# include path. An include across the layers fails to compile.
#
# The caller sets KB6_OS (posix or windows) and provides SQLite::SQLite3; it
# links the ODBC libraries of its platform to kb6_db_odbc.

# Makes `headers` (below src/) visible as "folder/name.h" to `target` and, for
# PUBLIC, to whatever links it.
function(kb6_layer_headers target scope)
  set(root ${CMAKE_BINARY_DIR}/layers/${target}/${scope})
  foreach(header ${ARGN})
    file(RELATIVE_PATH rel ${CMAKE_SOURCE_DIR}/src ${header})
    get_filename_component(dir ${root}/${rel} DIRECTORY)
    file(MAKE_DIRECTORY ${dir})
    file(CREATE_LINK ${header} ${root}/${rel} SYMBOLIC)
  endforeach()
  target_include_directories(${target} ${scope} ${root})
endfunction()

# One library of the sources and headers globbed in `folder` (below src/);
# new files land in their layer without an edit here.
function(kb6_layer target folder)
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.cpp)
  file(GLOB headers CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/${folder}/*.h)
  add_library(${target} STATIC ${sources})
  kb6_layer_headers(${target} PUBLIC ${headers})
endfunction()

file(REMOVE_RECURSE ${CMAKE_BINARY_DIR}/layers)

kb6_layer(kb6_common common)
kb6_layer(kb6_runlog runlog)
kb6_layer(kb6_jobs jobs)
kb6_layer(kb6_scheduler scheduler)
kb6_layer(kb6_db_odbc db/odbc)
kb6_layer(kb6_os platform/${KB6_OS})

# db/sqlite_* is the SQLite provider, the rest of db/ is the layer above the
# back ends.
file(GLOB DB_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/db/*.cpp)
file(GLOB DB_HEADERS CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/src/db/*.h)
set(DB_SQLITE_SOURCES ${DB_SOURCES})
set(DB_SQLITE_HEADERS ${DB_HEADERS})
list(FILTER DB_SOURCES EXCLUDE REGEX "/sqlite_[^/]*$")
list(FILTER DB_HEADERS EXCLUDE REGEX "/sqlite_[^/]*$")
list(FILTER DB_SQLITE_SOURCES INCLUDE REGEX "/sqlite_[^/]*$")
list(FILTER DB_SQLITE_HEADERS INCLUDE REGEX "/sqlite_[^/]*$")

# The club schema is kept as plain SQL and compiled in, so the demo generator and
# the tests build databases from the very same DDL.
file(READ ${CMAKE_SOURCE_DIR}/schema/club.sql CLUB_SCHEMA_SQL)
configure_file(${CMAKE_SOURCE_DIR}/schema/club_schema.cpp.in
  ${CMAKE_BINARY_DIR}/generated/club_schema.cpp @ONLY)
add_library(kb6_db STATIC ${DB_SOURCES} ${CMAKE_BINARY_DIR}/generated/club_schema.cpp)
kb6_layer_headers(kb6_db PUBLIC ${DB_HEADERS})
add_library(kb6_db_sqlite STATIC ${DB_SQLITE_SOURCES})
kb6_layer_headers(kb6_db_sqlite PUBLIC ${DB_SQLITE_HEADERS})

# The operating system's part is defined in kb6_os and chosen at link time:
# whatever links the common layer links it, without seeing its headers.
target_link_libraries(kb6_common INTERFACE $<LINK_ONLY:kb6_os>)
target_link_libraries(kb6_os PRIVATE kb6_common kb6_runlog)
target_link_libraries(kb6_db PUBLIC kb6_common)
target_link_libraries(kb6_db_sqlite PUBLIC kb6_db PRIVATE SQLite::SQLite3)
target_link_libraries(kb6_db_odbc PUBLIC kb6_db)
target_link_libraries(kb6_runlog PUBLIC kb6_common PRIVATE kb6_db)
target_link_libraries(kb6_jobs PUBLIC kb6_common PRIVATE kb6_db kb6_runlog)
target_link_libraries(kb6_scheduler PUBLIC kb6_common kb6_jobs PRIVATE kb6_db kb6_runlog)
