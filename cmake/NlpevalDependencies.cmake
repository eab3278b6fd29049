# Every outside library the modules use, found once. scripts/install-deps.sh installs them.
find_package(simdjson REQUIRED)
find_package(nlohmann_json 3.10 REQUIRED)
find_package(utf8cpp REQUIRED)
find_package(CLI11 REQUIRED)
find_package(PkgConfig REQUIRED)
find_package(Threads REQUIRED)
find_package(tsl-ordered-map REQUIRED)

# valijson is header-only; install-deps.sh unpacks Debian's package into .deps/ instead of
# installing it, because the package pulls in dozens of unrelated ones.
find_path(VALIJSON_INCLUDE_DIR valijson/validator.hpp
  HINTS "${PROJECT_SOURCE_DIR}/.deps/valijson/usr/include" REQUIRED)
add_library(nlpeval_valijson INTERFACE)
target_include_directories(nlpeval_valijson SYSTEM INTERFACE "${VALIJSON_INCLUDE_DIR}")

# The confusion-matrix picture: cairo draws, pango lays out the (possibly Chinese) labels.
pkg_check_modules(PANGOCAIRO REQUIRED IMPORTED_TARGET pangocairo cairo)

# The badcase spreadsheet.
pkg_check_modules(XLSXWRITER REQUIRED IMPORTED_TARGET xlsxwriter)
