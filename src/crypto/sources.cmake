target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/hash_value.cpp
    ${CMAKE_CURRENT_LIST_DIR}/hex.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seal.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seed.cpp
    ${CMAKE_CURRENT_LIST_DIR}/seed_tables.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sha1.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sha1_x86.cpp
    ${CMAKE_CURRENT_LIST_DIR}/wipe.cpp)
