# Makes the text of `disc-launcher --help` and its manual page from one
# source, tools/command/disc_launcher_help.txt (which describes its layout),
# so that the two cannot drift apart. Run by the build of the tool:
#
#   cmake -DSOURCE=TXT -DHEADER=H -DPAGE=ROFF -DVERSION=V -P command_docs.cmake
#
# HEADER gets kUsage (the synopsis, printed alone on a misuse) and kHelp
# (the rest); PAGE gets disc-launcher(1) in the man macros.

file(READ ${SOURCE} text)
string(REPLACE "\r" "" text "${text}")

# One line at a time: the text holds brackets and semicolons, which a CMake
# list would not keep.
set(lines_left "${text}")
set(name_line "")
set(usage "")
set(help "")
set(roff "")
set(synopsis_roff "")
set(in_usage FALSE)
set(section "DESCRIPTION")
set(section_started FALSE)
set(new_paragraph FALSE)

# Text as roff reads it literally: backslashes escaped, a leading full stop
# or quote kept from being read as a request, and an option's hyphens as
# minus signs.
function(roff_text out line)
  string(REPLACE "\\" "\\e" line "${line}")
  string(REPLACE "--" "\\-\\-" line "${line}")
  string(REGEX REPLACE "(^|[ [|(,])-([A-Za-z])" "\\1\\\\-\\2" line "${line}")
  if(line MATCHES "^[.']")
    set(line "\\&${line}")
  endif()
  set(${out} "${line}" PARENT_SCOPE)
endfunction()

# The line as a C string literal.
function(c_literal out line)
  string(REPLACE "\\" "\\\\" line "${line}")
  string(REPLACE "\"" "\\\"" line "${line}")
  set(${out} "    \"${line}\\n\"\n" PARENT_SCOPE)
endfunction()

macro(start_section)
  if(NOT section_started)
    string(APPEND roff ".SH ${section}\n")
    set(section_started TRUE)
    set(new_paragraph FALSE)
  endif()
endmacro()

while(NOT lines_left STREQUAL "")
  string(FIND "${lines_left}" "\n" end)
  if(end EQUAL -1)
    set(line "${lines_left}")
    set(lines_left "")
  else()
    string(SUBSTRING "${lines_left}" 0 ${end} line)
    math(EXPR next "${end} + 1")
    string(SUBSTRING "${lines_left}" ${next} -1 lines_left)
  endif()

  if(line MATCHES "^#")
    continue()
  elseif(line MATCHES "^name: (.+) - (.+)$")
    roff_text(name "${CMAKE_MATCH_1}")
    roff_text(summary "${CMAKE_MATCH_2}")
    set(name_line "${name} \\- ${summary}")
    continue()
  endif()
  set(synopsis "")
  if(line MATCHES "^usage: (.+)$")
    set(synopsis "${CMAKE_MATCH_1}")
  elseif(in_usage AND line MATCHES "^       (disc-launcher.*)$")
    set(synopsis "${CMAKE_MATCH_1}")
  endif()
  if(NOT synopsis STREQUAL "")
    set(in_usage TRUE)
    c_literal(literal "${line}")
    string(APPEND usage "${literal}")
    roff_text(synopsis "${synopsis}")
    string(APPEND synopsis_roff "${synopsis}\n")
    continue()
  endif()
  set(in_usage FALSE)
  c_literal(literal "${line}")
  string(APPEND help "${literal}")

  if(line STREQUAL "")
    set(new_paragraph TRUE)
  elseif(line MATCHES "^([A-Z][A-Za-z ]*):$")
    string(TOUPPER "${CMAKE_MATCH_1}" section)
    set(section_started FALSE)
    start_section()
  elseif(line MATCHES "^  ([^ ].*)$")
    start_section()
    roff_text(term "${CMAKE_MATCH_1}")
    string(APPEND roff ".TP\n.B ${term}\n")
    set(new_paragraph FALSE)
  elseif(line MATCHES "^      ([^ ].*)$")
    roff_text(description "${CMAKE_MATCH_1}")
    string(APPEND roff "${description}\n")
  elseif(line MATCHES "^[^ ]")
    # A paragraph after a list or a section's items goes on in the section,
    # at the left margin.
    start_section()
    if(new_paragraph)
      string(APPEND roff ".PP\n")
      set(new_paragraph FALSE)
    endif()
    roff_text(paragraph "${line}")
    string(APPEND roff "${paragraph}\n")
  else()
    message(FATAL_ERROR "${SOURCE}: \"${line}\": a line starts with two blanks (a term), six (its "
                        "description) or none; see the comment at the top")
  endif()
endwhile()

if(name_line STREQUAL "" OR usage STREQUAL "")
  message(FATAL_ERROR "${SOURCE}: the name line or the usage is missing; see the comment at the top")
endif()

file(WRITE ${PAGE}
     ".\\\" Made by the build from tools/command/disc_launcher_help.txt, as --help is.\n"
     ".TH DISC-LAUNCHER 1 \"\" \"disc-launcher ${VERSION}\" \"User Commands\"\n"
     # File and key names are not hyphenated, and lines are not stretched.
     ".nh\n.ad l\n"
     ".SH NAME\n${name_line}\n"
     ".SH SYNOPSIS\n.nf\n${synopsis_roff}.fi\n"
     "${roff}")
file(WRITE ${HEADER}
     "// Made by the build from tools/command/disc_launcher_help.txt, as the\n"
     "// manual page disc-launcher(1) is: edit that file.\n"
     "#pragma once\n\n"
     "constexpr const char* kUsage =\n${usage};\n\n"
     "constexpr const char* kHelp =\n${help};\n")
