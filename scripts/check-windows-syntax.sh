#!/usr/bin/env bash
# Compiles the Windows-side sources against the MinGW-w64 headers, syntax only, so the
# stand-in layer cannot drift from the real Win32 declarations.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
cxx=x86_64-w64-mingw32-g++-posix
mapfile -t sources < <(find foundation moncontrol agent-windows tools/service-remover -name '*.cpp' \
  ! -name '*_test.cpp' ! -path '*/linux/*' ! -path 'moncontrol/macos/*' 2>/dev/null | sort)
# OpenSSL keeps its build configuration in the machine's arch folder, which must not join the
# include path whole (its glibc headers would leak in): only those files are offered.
arch_openssl=$(mktemp -d)
trap 'rm -rf "$arch_openssl"' EXIT
mkdir "$arch_openssl/openssl"
ln -s /usr/include/x86_64-linux-gnu/openssl/*.h "$arch_openssl/openssl/"
status=0
for src in "${sources[@]}"; do
  if ! "$cxx" -std=c++20 -fsyntax-only -Wall -Wextra -DUNICODE -D_UNICODE -DSPDLOG_FMT_EXTERNAL \
      -I. -idirafter /usr/include -idirafter "$arch_openssl" "$src"; then
    echo "windows syntax check failed: $src" >&2
    status=1
  fi
done
echo "windows syntax check: ${#sources[@]} sources"
exit $status
