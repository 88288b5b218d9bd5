target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/client_handle.cpp
    ${CMAKE_CURRENT_LIST_DIR}/handle_functions.cpp
    ${CMAKE_CURRENT_LIST_DIR}/request_functions.cpp)
