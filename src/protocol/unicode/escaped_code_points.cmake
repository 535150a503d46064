# Generates the table of code points that error messages write as \u{...} when they quote a
# text: every code point whose general category is Cc, Cf, Cs, Co, Zl, Zp, Zs (control,
# format, surrogate, private use, separators), Mn or Me (combining marks), and every code
# point that the Unicode character database leaves unassigned (Cn).
#
# Runs as a CMake script on the build host, so the native and the cross-built tree share it:
#   cmake -DUNICODE_DATA=/usr/share/unicode/UnicodeData.txt -DOUTPUT=file.cc -P this-file
cmake_minimum_required(VERSION 3.25)

if(NOT EXISTS "${UNICODE_DATA}")
  message(FATAL_ERROR "UnicodeData.txt not found at '${UNICODE_DATA}' (Debian package unicode-data)")
endif()

file(READ "${UNICODE_DATA}" data)
# One list item per field: code point, name, general category.
string(REGEX MATCHALL "[0-9A-F]+;[^;\n]*;[A-Z][a-z]" fields "${data}")

set(escaped_categories Cc Cf Cs Co Zl Zp Zs Mn Me)
set(ranges "")
set(range_count 0)
set(open_first -1)   # start of the escaped range being built, -1 when none
set(open_last -1)
set(next_unseen 0)   # first code point not yet covered by the database lines
set(range_first -1)  # set by a "<..., First>" line, consumed by its "<..., Last>" line

# Adds [first, last] to the escaped set, merging with the open range when they touch.
macro(add_escaped first last)
  math(EXPR after_open "${open_last} + 1")
  if(open_first GREATER_EQUAL 0 AND ${first} EQUAL after_open)
    set(open_last ${last})
  else()
    if(open_first GREATER_EQUAL 0)
      math(EXPR hex_first "${open_first}" OUTPUT_FORMAT HEXADECIMAL)
      math(EXPR hex_last "${open_last}" OUTPUT_FORMAT HEXADECIMAL)
      string(APPEND ranges "    {${hex_first}, ${hex_last}},\n")
      math(EXPR range_count "${range_count} + 1")
    endif()
    set(open_first ${first})
    set(open_last ${last})
  endif()
endmacro()

set(position 0)
foreach(field IN LISTS fields)
  if(position EQUAL 0)
    math(EXPR code "0x${field}")
    set(position 1)
  elseif(position EQUAL 1)
    set(name "${field}")
    set(position 2)
  else()
    set(position 0)
    if(name MATCHES ", First>$")
      set(range_first ${code})
      continue()
    endif()
    set(first ${code})
    if(name MATCHES ", Last>$")
      set(first ${range_first})
    endif()
    if(first GREATER next_unseen)
      math(EXPR gap_last "${first} - 1")
      add_escaped(${next_unseen} ${gap_last})
    endif()
    if(field IN_LIST escaped_categories)
      add_escaped(${first} ${code})
    endif()
    math(EXPR next_unseen "${code} + 1")
  endif()
endforeach()
if(next_unseen LESS_EQUAL 0x10FFFF)
  add_escaped(${next_unseen} 0x10FFFF)
endif()
# A start that cannot touch the open range flushes it; the dummy itself is never written.
add_escaped(0x110002 0x110002)

file(WRITE "${OUTPUT}.tmp"
"// Generated at build time from ${UNICODE_DATA}; do not edit.\n"
"#include \"protocol/escaped_code_points.h\"\n\n"
"namespace tarnu::protocol {\n\n"
"const CodePointRange kEscapedCodePoints[] = {\n${ranges}};\n\n"
"const std::size_t kEscapedCodePointRangeCount = ${range_count};\n\n"
"}  // namespace tarnu::protocol\n")
file(COPY_FILE "${OUTPUT}.tmp" "${OUTPUT}" ONLY_IF_DIFFERENT)
file(REMOVE "${OUTPUT}.tmp")
