# Decides whether the Python package (python/) is built: on when pybind11 and Python's
# development files are found. It is built for Debian's /usr/bin/python3, which a pyenv shim
# may hide on PATH. A sanitizer runtime cannot be loaded into a plain python3 process, so
# sanitized and fuzzing builds leave the package (and its tests) out.
if(NOT DEFINED Python_EXECUTABLE AND EXISTS /usr/bin/python3)
  set(Python_EXECUTABLE /usr/bin/python3)
endif()
find_package(Python 3 COMPONENTS Interpreter Development.Module QUIET)
find_package(pybind11 CONFIG QUIET)

set(python_default OFF)
if(Python_FOUND AND pybind11_FOUND AND NOT NLPEVAL_SANITIZE AND NOT NLPEVAL_FUZZ)
  set(python_default ON)
endif()
option(NLPEVAL_PYTHON "Build the Python package (needs pybind11 and Python 3 headers)"
       ${python_default})
if(NLPEVAL_PYTHON AND (NLPEVAL_SANITIZE OR NLPEVAL_FUZZ))
  message(STATUS "Python package left out: it cannot load a sanitizer runtime")
  set(NLPEVAL_PYTHON OFF)
endif()
