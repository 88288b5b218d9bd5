target_sources(otpcli_core PRIVATE ${CMAKE_CURRENT_LIST_DIR}/birth_data.cpp)
