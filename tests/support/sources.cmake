target_sources(otpcli_testsupport PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/text.cpp)
