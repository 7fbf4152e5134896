# Writes the header with `git describe` of the source tree; run at every
# build, it rewrites the header only when the revision changed, so nothing
# rebuilds needlessly.
execute_process(COMMAND git describe --always --dirty --tags
                WORKING_DIRECTORY "${SOURCE_DIR}"
                OUTPUT_VARIABLE revision OUTPUT_STRIP_TRAILING_WHITESPACE
                RESULT_VARIABLE status ERROR_QUIET)
if(NOT status EQUAL 0 OR revision STREQUAL "")
  set(revision "unknown")
endif()
set(content "// Generated at build time by cmake/revision.cmake.\n#pragma once\nnamespace runner {\ninline constexpr const char* kRevision = \"${revision}\";\n}\n")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
