# cmake -DOUTPUT=FILE -DPARTS="A|B|..." -P concatenate.cmake
string(REPLACE "|" ";" PARTS "${PARTS}")
file(WRITE ${OUTPUT}.part "")
foreach(part ${PARTS})
  file(READ ${part} text)
  file(APPEND ${OUTPUT}.part "${text}\n")
endforeach()
file(RENAME ${OUTPUT}.part ${OUTPUT})
