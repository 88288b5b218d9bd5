# Finds standalone (header-only) Asio and defines the target Asio::Asio, which
# carries the include directory, ASIO_STANDALONE and the thread library.
# ASIO_DISABLE_STD_ALIGNED_ALLOC: Asio picks its handler allocator (aligned_alloc
# and free, or operator new and delete) by whether a standard header came
# before <asio.hpp>, so translation units could disagree, and memory allocated
# in one would be freed by the other's inline function. Operator new everywhere.
find_path(Asio_INCLUDE_DIR NAMES asio.hpp)

if(Asio_INCLUDE_DIR AND EXISTS "${Asio_INCLUDE_DIR}/asio/version.hpp")
    file(STRINGS "${Asio_INCLUDE_DIR}/asio/version.hpp" _asio_version_line
         REGEX "^#define ASIO_VERSION [0-9]+")
    string(REGEX REPLACE "^#define ASIO_VERSION ([0-9]+).*" "\\1" _asio_version "${_asio_version_line}")
    math(EXPR _asio_major "${_asio_version} / 100000")
    math(EXPR _asio_minor "${_asio_version} / 100 % 1000")
    math(EXPR _asio_patch "${_asio_version} % 100")
    set(Asio_VERSION "${_asio_major}.${_asio_minor}.${_asio_patch}")
endif()

include(FindPackageHandleStandardArgs)
find_package_handle_standard_args(Asio REQUIRED_VARS Asio_INCLUDE_DIR VERSION_VAR Asio_VERSION)

if(Asio_FOUND AND NOT TARGET Asio::Asio)
    find_package(Threads REQUIRED)
    add_library(Asio::Asio INTERFACE IMPORTED)
    set_target_properties(Asio::Asio PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${Asio_INCLUDE_DIR}"
        INTERFACE_COMPILE_DEFINITIONS "ASIO_STANDALONE;ASIO_DISABLE_STD_ALIGNED_ALLOC"
        INTERFACE_LINK_LIBRARIES Threads::Threads)
endif()
mark_as_advanced(Asio_INCLUDE_DIR)
