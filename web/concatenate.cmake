# cmake -DOUTPUT=FILE -DPARTS="A|B|..." -P concatenate.cmake
string(REPLACE "|" ";" PARTS "${PARTS}")
file(WRITE ${OUTPUT}.part "")
# A part named LICENSE goes in as a comment.
foreach(part ${PARTS})
  file(READ ${part} text)
  if(part MATCHES "/LICENSE$")
    string(REPLACE "*/" "* /" text "${text}")
    set(text "/*\n${text}*/")
  endif()
  file(APPEND ${OUTPUT}.part "${text}\n")
endforeach()
file(RENAME ${OUTPUT}.part ${OUTPUT})
