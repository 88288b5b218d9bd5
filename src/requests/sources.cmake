target_sources(otpcli_core PRIVATE
    ${CMAKE_CURRENT_LIST_DIR}/auth.cpp
    ${CMAKE_CURRENT_LIST_DIR}/birth_data.cpp
    ${CMAKE_CURRENT_LIST_DIR}/exchange.cpp
    ${CMAKE_CURRENT_LIST_DIR}/frame.cpp
    ${CMAKE_CURRENT_LIST_DIR}/identity.cpp
    ${CMAKE_CURRENT_LIST_DIR}/issue.cpp
    ${CMAKE_CURRENT_LIST_DIR}/membership.cpp
    ${CMAKE_CURRENT_LIST_DIR}/put_digits.cpp
    ${CMAKE_CURRENT_LIST_DIR}/sealed_request.cpp
    ${CMAKE_CURRENT_LIST_DIR}/service_check.cpp)
