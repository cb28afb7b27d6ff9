# Fails when a folder of the core includes a header of a folder above it.
# The floors, lowest first: each may include its own headers and those of
# the floors below. Run as: cmake -DSOURCE_DIR=<root> -P check_layering.cmake
set(floors link dialogue download languages app)

set(violations "")
set(allowed "")
foreach(floor IN LISTS floors)
  list(APPEND allowed ${floor})
  set(forbidden ${floors})
  list(REMOVE_ITEM forbidden ${allowed})
  if(NOT forbidden)
    break()
  endif()
  list(JOIN forbidden "|" forbidden_pattern)
  file(GLOB_RECURSE sources ${SOURCE_DIR}/${floor}/*.h ${SOURCE_DIR}/${floor}/*.cpp)
  foreach(source IN LISTS sources)
    file(STRINGS ${source} lines REGEX "^[ \t]*#[ \t]*include[ \t]*[\"<](${forbidden_pattern})/")
    foreach(line IN LISTS lines)
      file(RELATIVE_PATH name ${SOURCE_DIR} ${source})
      string(APPEND violations "\n  ${name}: ${line}")
    endforeach()
  endforeach()
endforeach()

if(violations)
  message(FATAL_ERROR "A lower floor includes a higher one:${violations}")
endif()
