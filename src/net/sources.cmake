target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/connection.cpp
    ${CMAKE_CURRENT_LIST_DIR}/server_table.cpp
    ${CMAKE_CURRENT_LIST_DIR}/transfer.cpp)
