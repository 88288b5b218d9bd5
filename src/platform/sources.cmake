target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/fault_seam.cpp
    ${CMAKE_CURRENT_LIST_DIR}/utf8.cpp)
if(WIN32)
    target_sources(otpcli_core PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/codepage_win32.cpp
        ${CMAKE_CURRENT_LIST_DIR}/socket_win32.cpp)
    # Windows Sockets and the system's BSTR functions. The Windows headers come
    # without their rarely used parts (which would bring in Windows Sockets 1
    # beside 2) and without the min and max macros.
    target_link_libraries(otpcli_core PUBLIC ws2_32 oleaut32)
    target_compile_definitions(otpcli_core PUBLIC WIN32_LEAN_AND_MEAN NOMINMAX)
else()
    target_sources(otpcli_core PRIVATE
        ${CMAKE_CURRENT_LIST_DIR}/bstr_posix.cpp
        ${CMAKE_CURRENT_LIST_DIR}/codepage_iconv.cpp
        ${CMAKE_CURRENT_LIST_DIR}/socket_posix.cpp)
endif()
