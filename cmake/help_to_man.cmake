# Writes the manual page of r7700-update from its own --help and --version
# texts, so the page never disagrees with the program.
#
#   cmake -DPROGRAM=<r7700-update> -DOUTPUT=<r7700-update.1> -P help_to_man.cmake
#
# The usage lines become SYNOPSIS, the rest of the help text DESCRIPTION,
# kept as the program prints it (no fill).
foreach(variable PROGRAM OUTPUT)
  if(NOT DEFINED ${variable})
    message(FATAL_ERROR "help_to_man.cmake: ${variable} is not set")
  endif()
endforeach()

execute_process(COMMAND ${PROGRAM} --help OUTPUT_VARIABLE help RESULT_VARIABLE help_status)
execute_process(COMMAND ${PROGRAM} --version OUTPUT_VARIABLE version
                OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE version_status)
if(NOT help_status EQUAL 0 OR NOT version_status EQUAL 0 OR help STREQUAL "")
  message(FATAL_ERROR "help_to_man.cmake: ${PROGRAM} --help/--version failed")
endif()

# roff: a backslash is written \e, a minus \-; a line starting with . or '
# would be a request, \& in front makes it text.
string(REPLACE "\\" "\\e" help "${help}")
string(REPLACE "-" "\\-" help "${help}")
string(REGEX REPLACE "(^|\n)([.'])" "\\1\\\\&\\2" help "${help}")

string(FIND "${help}" "\n\n" split)
if(split EQUAL -1)
  message(FATAL_ERROR "help_to_man.cmake: no blank line after the usage lines")
endif()
string(SUBSTRING "${help}" 0 ${split} synopsis)
math(EXPR rest_start "${split} + 2")
string(SUBSTRING "${help}" ${rest_start} -1 description)
# The continuation lines were indented to follow "usage: ".
string(REGEX REPLACE "^usage: " "" synopsis "${synopsis}")
string(REPLACE "\n       " "\n" synopsis "${synopsis}")
string(REGEX REPLACE "\n+$" "" description "${description}")

set(page [=[.TH R7700-UPDATE 1 "" "@version@" "User Commands"
.SH NAME
r7700\-update \- update the firmware and languages of an R7700 OTDR over a serial line
.SH SYNOPSIS
.nf
@synopsis@
.fi
.SH DESCRIPTION
.nf
@description@
.fi
.SH FILES
.TP
.IR product.ini " or " veskotdr.ini
the settings file in the home folder; product.ini (Full mode) wins over veskotdr.ini
(Restricted mode)
.TP
.I data/lang.cfg
the language catalogue, with the language module and font files it names
.TP
.I data/vqvesk.bin
the firmware image
.SH SEE ALSO
\fBr7700\-sim \-\-help\fR for the simulated instrument; README.md and docs/*.md in the
documentation folder (share/doc/r7700update): real\-instrument.md, troubleshooting.md,
dialogue.md, settings.md, lang\-cfg.md.
]=])
string(CONFIGURE "${page}" page @ONLY)
file(WRITE ${OUTPUT} "${page}")
