# GoogleTest built from Debian's source package (googletest, /usr/src/googletest)
# for a cross-build, where no prebuilt library for the target exists. Provides
# the targets that find_package(GTest) would: GTest::gtest, GTest::gtest_main,
# GTest::gmock and GTest::gmock_main.
set(OTPCLI_GOOGLETEST_SOURCE /usr/src/googletest CACHE PATH "GoogleTest source tree")
if(NOT EXISTS ${OTPCLI_GOOGLETEST_SOURCE}/CMakeLists.txt)
    message(FATAL_ERROR "No GoogleTest sources in ${OTPCLI_GOOGLETEST_SOURCE}: "
                        "install Debian's googletest package (scripts/install-deps.sh windows)")
endif()

set(INSTALL_GTEST OFF CACHE BOOL "Install GoogleTest with the project" FORCE)
set(BUILD_GMOCK ON CACHE BOOL "Build GoogleMock" FORCE)
add_subdirectory(${OTPCLI_GOOGLETEST_SOURCE} ${PROJECT_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# GoogleTest names its targets GTest::... itself; older versions did not.
foreach(name IN ITEMS gtest gtest_main gmock gmock_main)
    if(NOT TARGET GTest::${name})
        add_library(GTest::${name} ALIAS ${name})
    endif()
endforeach()
