# cmake -DLICENSE=FILE -DOUTPUT=FILE -P copyright.cmake
# Writes Debian's machine-readable copyright file from the licence file: the
# holder from its "Copyright (c)" line, the licence text from everything
# after that line. Debian's name for the MIT licence is Expat.
file(READ ${LICENSE} text)
if(NOT text MATCHES "\nCopyright \\(c\\) ([^\n]+)\n(.*)$")
  message(FATAL_ERROR "${LICENSE}: no line \"Copyright (c) YEAR HOLDER\"")
endif()
set(holder ${CMAKE_MATCH_1})
string(STRIP "${CMAKE_MATCH_2}" body)
# In a field's continuation lines an empty line is written as a lone dot,
# and every line is indented by one space.
string(REGEX REPLACE "\n[ \t]*\n" "\n.\n" body "${body}")
string(REPLACE "\n" "\n " body "${body}")
file(WRITE ${OUTPUT}
"Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: quasi-demos

Files: *
Copyright: ${holder}
License: Expat
 ${body}
")
