# Installs the headers, the module libraries, the command and a CMake package, so that
# another project can write find_package(nlpeval) and link nlpeval::evaluator.
include(CMakePackageConfigHelpers)

# The public headers only: each module keeps what its own files share under internal/, which
# no installed header includes.
install(DIRECTORY "${PROJECT_SOURCE_DIR}/nlpeval/" DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}/nlpeval"
        FILES_MATCHING PATTERN "*.h" PATTERN "internal" EXCLUDE)
install(TARGETS ${NLPEVAL_MODULES} EXPORT nlpevalTargets
        LIBRARY DESTINATION "${CMAKE_INSTALL_LIBDIR}"
        INCLUDES DESTINATION "${CMAKE_INSTALL_INCLUDEDIR}")
install(TARGETS nlpeval_cli RUNTIME DESTINATION "${CMAKE_INSTALL_BINDIR}")

set(config_dir "${CMAKE_INSTALL_LIBDIR}/cmake/nlpeval")
install(EXPORT nlpevalTargets NAMESPACE nlpeval:: DESTINATION "${config_dir}")
configure_package_config_file("${PROJECT_SOURCE_DIR}/cmake/nlpevalConfig.cmake.in"
  "${PROJECT_BINARY_DIR}/nlpevalConfig.cmake" INSTALL_DESTINATION "${config_dir}")
write_basic_package_version_file("${PROJECT_BINARY_DIR}/nlpevalConfigVersion.cmake"
  COMPATIBILITY SameMinorVersion)
install(FILES "${PROJECT_BINARY_DIR}/nlpevalConfig.cmake"
              "${PROJECT_BINARY_DIR}/nlpevalConfigVersion.cmake"
        DESTINATION "${config_dir}")
