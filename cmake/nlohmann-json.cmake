# nlohmann-json, header-only, from the build machine's package. A cross build
# can't take the package's own target: its include directory is the build
# machine's /usr/include, whose C headers would shadow the target's. It gets a
# folder that holds only the library's headers instead.
if(CMAKE_CROSSCOMPILING)
    find_path(nlohmann_json_headers nlohmann/json.hpp PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
              REQUIRED)
    set(nlohmann_json_copy "${CMAKE_BINARY_DIR}/nlohmann-json/include")
    file(COPY "${nlohmann_json_headers}/nlohmann" DESTINATION "${nlohmann_json_copy}")
    add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
    set_target_properties(nlohmann_json::nlohmann_json PROPERTIES
        INTERFACE_INCLUDE_DIRECTORIES "${nlohmann_json_copy}")
else()
    find_package(nlohmann_json 3.11 REQUIRED)
endif()
