# Reads the DLL's import and export tables (objdump -p) and fails when it needs
# a DLL that Windows does not ship (a MinGW runtime DLL, for instance), does
# not export the class, or exports other C names than the functions that
# <otpcli/otpcli_c.h> declares.
# Usage: cmake -DOBJDUMP=... -DDLL=... -DHEADER=.../otpcli_c.h -P check_dll_image.cmake
cmake_minimum_required(VERSION 3.25)
include(${CMAKE_CURRENT_LIST_DIR}/../c_interface_names.cmake)

execute_process(COMMAND ${OBJDUMP} -p ${DLL} OUTPUT_VARIABLE image RESULT_VARIABLE failed)
if(failed)
    message(FATAL_ERROR "${OBJDUMP} -p ${DLL} failed")
endif()

set(system_dlls kernel32.dll msvcrt.dll oleaut32.dll ws2_32.dll)
string(REGEX MATCHALL "DLL Name: [^\n]+" imports "${image}")
if(NOT imports)
    message(FATAL_ERROR "no imports found in ${DLL}")
endif()
foreach(entry IN LISTS imports)
    string(REPLACE "DLL Name: " "" name "${entry}")
    string(STRIP "${name}" name)
    string(TOLOWER "${name}" name)
    if(NOT name IN_LIST system_dlls)
        message(FATAL_ERROR "${DLL} imports ${name}, which is not one of: ${system_dlls}")
    endif()
    message(STATUS "imports ${name}")
endforeach()

# A few members of the class by their GCC names, and its virtual table.
set(exports
    _ZN6OTPCLIC1Ev
    _ZN6OTPCLID0Ev
    _ZN6OTPCLI4initEiPKtS1_
    _ZN6OTPCLI12getErrorMesgEPPw
    _ZN6OTPCLI9hashValueEPKtPPw
    _ZN6OTPCLI7reqAuthEPKtiiiS1_
    _ZN6OTPCLI12AUTH_LEVEL_1E
    _ZTV6OTPCLI)
foreach(symbol IN LISTS exports)
    if(NOT image MATCHES "\\] ${symbol}\n")
        message(FATAL_ERROR "${DLL} does not export ${symbol}")
    endif()
endforeach()
# Nothing of the library's internals.
if(image MATCHES "\\] _ZN6otpcli")
    message(FATAL_ERROR "${DLL} exports internal routines (namespace otpcli)")
endif()

# Every unmangled name exported is one of the C interface's, and all of them
# are there, undecorated (__cdecl on x64).
otpcli_c_interface_names("${HEADER}" c_functions)
# The names are listed after this heading, up to the next blank line.
string(FIND "${image}" "[Ordinal/Name Pointer] Table" start)
if(start EQUAL -1)
    message(FATAL_ERROR "no export name table in ${DLL}")
endif()
string(SUBSTRING "${image}" ${start} -1 names)
string(FIND "${names}" "\n\n" end)
string(SUBSTRING "${names}" 0 ${end} names)
string(REGEX MATCHALL "\\[ *[0-9]+\\] [A-Za-z_][A-Za-z0-9_@]*\n" entries "${names}\n")
set(c_exports "")
foreach(entry IN LISTS entries)
    string(REGEX REPLACE "^\\[ *[0-9]+\\] ([A-Za-z_][A-Za-z0-9_@]*)\n$" "\\1" name "${entry}")
    if(NOT name MATCHES "^_Z")
        list(APPEND c_exports ${name})
    endif()
endforeach()
list(REMOVE_DUPLICATES c_exports)
list(SORT c_exports)
list(SORT c_functions)
if(NOT c_exports STREQUAL c_functions)
    message(FATAL_ERROR "C names exported: ${c_exports}\ndeclared in ${HEADER}: ${c_functions}")
endif()
list(LENGTH c_functions count)
message(STATUS "exports the class and the ${count} functions of the C interface")
