#!/usr/bin/env bash
# Compiles the Windows-side sources against the MinGW-w64 headers, syntax only, so the
# stand-in layer cannot drift from the real Win32 declarations.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
mapfile -t sources < <(find foundation moncontrol agent-windows tools/service-remover -name '*.cpp' \
  ! -name '*_test.cpp' ! -path '*/linux/*' ! -path 'moncontrol/macos/*' 2>/dev/null | sort)
# OpenSSL keeps its build configuration in the machine's arch folder, which must not join the
# include path whole (its glibc headers would leak in): only those files are offered.
arch_openssl=$(mktemp -d)
trap 'rm -rf "$arch_openssl"' EXIT
mkdir "$arch_openssl/openssl"
ln -s /usr/include/x86_64-linux-gnu/openssl/*.h "$arch_openssl/openssl/"
check_one() {
  if ! x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -Wall -Wextra -DUNICODE -D_UNICODE \
      -DSPDLOG_FMT_EXTERNAL -I. -idirafter /usr/include -idirafter "$1" "$2"; then
    echo "windows syntax check failed: $2" >&2
    return 1
  fi
}
export -f check_one
status=0
printf '%s\0' "${sources[@]}" | xargs -0 -P "$(nproc)" -n 1 bash -c 'check_one "$@"' _ "$arch_openssl" ||
  status=1
echo "windows syntax check: ${#sources[@]} sources"
exit $status
