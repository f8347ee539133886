# nlohmann-json, header-only, from Debian's nlohmann-json3-dev: the target
# nlohmann_json::nlohmann_json in the native and the cross build alike.
if(CMAKE_CROSSCOMPILING)
    # The cross build must not search all of /usr/include, where the build
    # machine's C headers would shadow the target's: it gets a folder that
    # holds nothing but a link to the library's headers.
    find_path(nlohmann_json_headers nlohmann/json.hpp HINTS /usr/include NO_CMAKE_FIND_ROOT_PATH REQUIRED)
    set(nlohmann_json_only "${CMAKE_BINARY_DIR}/nlohmann-json/include")
    file(MAKE_DIRECTORY "${nlohmann_json_only}")
    file(CREATE_LINK "${nlohmann_json_headers}/nlohmann" "${nlohmann_json_only}/nlohmann" SYMBOLIC)
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${nlohmann_json_only}")
else()
    find_package(nlohmann_json 3 REQUIRED)
endif()
