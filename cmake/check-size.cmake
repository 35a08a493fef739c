# cmake -DFILE=PATH -DLIMIT=BYTES -P check-size.cmake: fails when FILE is
# larger than LIMIT bytes.
file(SIZE "${FILE}" size)
math(EXPR kib "${size} / 1024")
math(EXPR limit_kib "${LIMIT} / 1024")
if(size GREATER LIMIT)
  message(FATAL_ERROR "${FILE}: ${size} bytes (${kib} KiB), over the budget of ${LIMIT} bytes (${limit_kib} KiB)")
endif()
message(STATUS "${FILE}: ${size} bytes (${kib} KiB) of ${limit_kib} KiB")
