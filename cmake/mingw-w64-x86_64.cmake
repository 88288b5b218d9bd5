# Cross-build for 64-bit Windows with Debian's mingw-w64 (POSIX threads model,
# needed for std::thread and std::mutex); the test programs run under Wine.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(OTPCLI_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${OTPCLI_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${OTPCLI_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${OTPCLI_MINGW_TRIPLET}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${OTPCLI_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs, and the discovery of their test cases, run through Wine with
# the environment the tests expect (cmake/wine-run.sh).
find_program(OTPCLI_WINE NAMES wine wine64 PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(OTPCLI_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR sh ${CMAKE_CURRENT_LIST_DIR}/wine-run.sh ${OTPCLI_WINE})
endif()
