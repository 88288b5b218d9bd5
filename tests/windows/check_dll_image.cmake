# Reads the DLL's import and export tables (objdump -p) and fails when it needs
# a DLL that Windows does not ship (a MinGW runtime DLL, for instance) or does
# not export the class.
# Usage: cmake -DOBJDUMP=... -DDLL=... -P check_dll_image.cmake
cmake_minimum_required(VERSION 3.25)

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
