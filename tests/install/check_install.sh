#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, then configures, builds and runs a small
# project that finds nlpeval with find_package and links nlpeval::evaluator. The installed
# headers are the public ones only, and they compile together on their own.
set -euo pipefail
build=$1
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/nlpeval"
"$work/prefix/bin/nlpeval" --help >/dev/null
include=$work/prefix/include/nlpeval
if find "$include" -path '*/internal*' | grep -q .; then
  echo "internal headers were installed:" >&2
  find "$include" -path '*/internal*' >&2
  exit 1
fi
# Every installed header, in one translation unit the consumer builds too.
find "$include" -name '*.h' | sort | sed "s|^$work/prefix/include/|#include \"|; s|\$|\"|" \
  > "$work/all_headers.h"
cmake -S "$source_dir/consumer" -B "$work/consumer" -DALL_HEADERS="$work/all_headers.h" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"
