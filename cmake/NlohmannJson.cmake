# nlohmann/json, the header-only JSON parser of Debian's nlohmann-json3-dev, as the target
# nlohmann_json::nlohmann_json. The Windows cross build takes the same header: it gets a folder
# holding only a link to /usr/include/nlohmann, because /usr/include itself on the MinGW include
# path would put glibc's headers before MinGW's.
if(TARGET nlohmann_json::nlohmann_json)
    return()
endif()
if(NOT CMAKE_CROSSCOMPILING)
    find_package(nlohmann_json 3.10 REQUIRED)
    return()
endif()
set(QUORVANE_NLOHMANN_HEADERS /usr/include/nlohmann CACHE PATH
    "The nlohmann/json headers for the cross build")
if(NOT EXISTS "${QUORVANE_NLOHMANN_HEADERS}/json.hpp")
    message(FATAL_ERROR "nlohmann/json.hpp not found in ${QUORVANE_NLOHMANN_HEADERS}: "
                        "install nlohmann-json3-dev (scripts/deps.sh)")
endif()
set(quorvane_json_include "${CMAKE_BINARY_DIR}/nlohmann-json")
file(MAKE_DIRECTORY "${quorvane_json_include}")
file(CREATE_LINK "${QUORVANE_NLOHMANN_HEADERS}" "${quorvane_json_include}/nlohmann" SYMBOLIC)
add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE
    "${quorvane_json_include}")
