target_sources(otpcli_testsupport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/descriptors.cpp
    ${CMAKE_CURRENT_LIST_DIR}/loopback_server.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sockets.cpp
    ${CMAKE_CURRENT_LIST_DIR}/text.cpp)
if(WIN32)
    # The reference SHA-1 of the tests on Windows.
    target_sources(otpcli_testsupport PRIVATE ${CMAKE_CURRENT_LIST_DIR}/cng_sha1.cpp)
    target_link_libraries(otpcli_testsupport PUBLIC bcrypt)
endif()
