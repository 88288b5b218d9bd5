if(WIN32)
    target_sources(otpcli_core PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/codepage_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/socket_win32.cpp)
else()
    target_sources(otpcli_core PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/bstr_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/codepage_iconv.cpp
        ${CMAKE_CURRENT_LIST_DIR}/socket_posix.cpp)
endif()
