#!/usr/bin/env bash
# Installs the build tree into a fresh prefix, then configures, builds and runs a small
# project that finds nlpeval with find_package and links nlpeval::evaluator.
set -euo pipefail
build=$1
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
test -x "$work/prefix/bin/nlpeval"
"$work/prefix/bin/nlpeval" --help >/dev/null
cmake -S "$source_dir/consumer" -B "$work/consumer" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/consumer" >/dev/null
"$work/consumer/consumer"
