# Reads the DLL's export and import tables with objdump, as a packager would,
# and checks them: exactly the six entry points, undecorated, and no import
# but KERNEL32.dll and msvcrt.dll.
#   cmake -DOBJDUMP=... -DDLL=... -P check_dll_tables.cmake
execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE dump RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "objdump failed on ${DLL}")
endif()

string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${dump}")
list(TRANSFORM imports REPLACE "DLL Name: " "")
list(SORT imports)
if(NOT imports STREQUAL "KERNEL32.dll;msvcrt.dll")
  message(FATAL_ERROR "imports are '${imports}', expected only KERNEL32.dll and msvcrt.dll")
endif()

# The export name table: lines "[ordinal] name" after "[Ordinal/Name Pointer] Table".
string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table[^\n]*\n(([ \t]*\\[[ 0-9]+\\][^\n]*\n)+)" table "${dump}")
# Every word in the table that is not an ordinal is an exported name.
string(REGEX MATCHALL "[A-Za-z_?@$][A-Za-z0-9_?@$]*" names "${CMAKE_MATCH_1}")
list(SORT names)
set(expected KRV_GetArchiveInfo KRV_GetImage KRV_GetImageInfo KRV_GetPluginInfo KRV_GetSupportedExt KRV_IsSupported)
if(NOT names STREQUAL "${expected}")
  message(FATAL_ERROR "exports are '${names}', expected '${expected}'")
endif()
message(STATUS "exports: ${names}; imports: ${imports}")
