target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/allocation.cpp
    ${CMAKE_CURRENT_LIST_DIR}/ansi_text.cpp
    ${CMAKE_CURRENT_LIST_DIR}/error_state.cpp
    ${CMAKE_CURRENT_LIST_DIR}/otpcli.cpp)
target_sources(otpcli_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/check_user_id.cpp)
