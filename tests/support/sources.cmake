target_sources(otpcli_testsupport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/descriptors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/loopback_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text.cpp)
