# What an installed prefix holds besides the library and its header: the
# engine, a CMake package with the imported target whisper_inf::whisper_inf,
# a pkg-config file and the documents. Nothing in it names the prefix, so the
# installed tree can be moved or unpacked anywhere.
include(CMakePackageConfigHelpers)

set(package_dir "${CMAKE_INSTALL_LIBDIR}/cmake/${PROJECT_NAME}")
install(EXPORT whisper_inf_targets NAMESPACE whisper_inf::
        FILE ${PROJECT_NAME}-targets.cmake DESTINATION ${package_dir})
file(WRITE "${PROJECT_BINARY_DIR}/${PROJECT_NAME}-config.cmake"
     "include(\"\${CMAKE_CURRENT_LIST_DIR}/${PROJECT_NAME}-targets.cmake\")\n")
# Before 1.0 a minor release may break the interface.
write_basic_package_version_file("${PROJECT_BINARY_DIR}/${PROJECT_NAME}-config-version.cmake"
                                 COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/${PROJECT_NAME}-config.cmake"
              "${PROJECT_BINARY_DIR}/${PROJECT_NAME}-config-version.cmake"
        DESTINATION ${package_dir})

# pkg-config finds the prefix from the .pc file's own folder.
file(RELATIVE_PATH pkgconfig_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" pkgconfig_to_prefix "${pkgconfig_to_prefix}")
configure_file(cmake/pkgconfig.pc.in "${PROJECT_BINARY_DIR}/${PROJECT_NAME}.pc" @ONLY)
install(FILES "${PROJECT_BINARY_DIR}/${PROJECT_NAME}.pc"
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)

# Installed side by side, the engine is found through the library's $ORIGIN
# on Linux; on Windows its DLLs go beside the programs, where Windows looks.
option(WHISPER_INF_INSTALL_ENGINE "Install the engine's libraries next to the library" ON)
if(WHISPER_INF_INSTALL_ENGINE)
    if(WIN32)
        install(DIRECTORY "${WHISPER_ENGINE_DIR}/lib/" DESTINATION ${CMAKE_INSTALL_BINDIR}
                FILES_MATCHING PATTERN "*.dll")
    else()
        install(DIRECTORY "${WHISPER_ENGINE_DIR}/lib/" DESTINATION ${CMAKE_INSTALL_LIBDIR}
                USE_SOURCE_PERMISSIONS FILES_MATCHING PATTERN "*${CMAKE_SHARED_LIBRARY_SUFFIX}*")
    endif()
    # Shipping the engine's binaries means shipping its licence texts, which
    # provisioning keeps in the engine's prefix.
    file(GLOB engine_licences CONFIGURE_DEPENDS "${WHISPER_ENGINE_DIR}/licenses/*.txt")
    if(NOT engine_licences)
        message(FATAL_ERROR "No licence texts in ${WHISPER_ENGINE_DIR}/licenses: provision the "
                            "engine with scripts/provision-engine.sh, or set "
                            "WHISPER_INF_INSTALL_ENGINE=OFF")
    endif()
    set(notices "${PROJECT_BINARY_DIR}/THIRD-PARTY-NOTICES")
    file(WRITE "${notices}"
         "${PROJECT_NAME} ${PROJECT_VERSION} ships the binaries of the whisper.cpp engine "
         "${WHISPER_ENGINE_VERSION}, which include its ggml library. Their licences follow.\n")
    foreach(licence IN LISTS engine_licences)
        get_filename_component(part "${licence}" NAME_WLE)
        file(READ "${licence}" text)
        file(APPEND "${notices}" "\n==== ${part}\n\n${text}")
    endforeach()
endif()

install(FILES README.md LICENSE CHANGELOG.md ${notices} DESTINATION ${CMAKE_INSTALL_DOCDIR})
