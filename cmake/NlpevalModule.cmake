# nlpeval_add_module(<name> <dir> [SOURCES ...] [PUBLIC ...] [PRIVATE ...])
#
# Declares one module of the library: a shared library libnlpeval_<name>.so built from
# nlpeval/<dir>/<name>.cc (or the given SOURCES, relative to nlpeval/), with the alias
# nlpeval::<name>. PUBLIC targets are linked for the module and its users, PRIVATE ones for
# the module alone. Headers are included as "nlpeval/<dir>/<name>.h".
set(NLPEVAL_MODULES "" CACHE INTERNAL "")

function(nlpeval_add_module name dir)
  cmake_parse_arguments(PARSE_ARGV 2 arg "" "" "SOURCES;PUBLIC;PRIVATE")
  if(NOT arg_SOURCES)
    set(arg_SOURCES "${dir}/${name}.cc")
  endif()
  set(target "nlpeval_${name}")
  add_library(${target} SHARED ${arg_SOURCES})
  add_library(nlpeval::${name} ALIAS ${target})
  set_target_properties(${target} PROPERTIES EXPORT_NAME ${name} OUTPUT_NAME nlpeval_${name}
                                             VERSION ${PROJECT_VERSION} SOVERSION 0)
  target_include_directories(${target} PUBLIC
    $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}>
    $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
  target_link_libraries(${target} PUBLIC ${arg_PUBLIC} PRIVATE ${arg_PRIVATE})
  set(NLPEVAL_MODULES ${NLPEVAL_MODULES} ${target} CACHE INTERNAL "")
endfunction()
