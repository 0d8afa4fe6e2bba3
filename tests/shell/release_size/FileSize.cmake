# Prints the size of FILE and fails when it is above LIMIT bytes.
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
message("${FILE}: ${size} bytes (${kib} KiB), limit ${LIMIT}")
if(size GREATER LIMIT)
  message(FATAL_ERROR "larger than ${LIMIT} bytes")
endif()
