#!/usr/bin/env bash
# POSIX and Windows system headers belong behind platform/os.h: only files under a folder
# named posix/ may include the former, and only platform/os.h and Windows-only test pieces
# (under a folder named windows/) the latter.
set -euo pipefail
cd "$(dirname "$0")/.."

posix='unistd|fcntl|poll|dirent|spawn|signal|netdb|pthread|sys/[a-z_]+|arpa/[a-z_]+|netinet/[a-z_]+|termios|pwd|grp|dlfcn|semaphore'
windows='windows|winsock2?|ws2tcpip|shlobj|shellapi|io|direct|process'
status=0
while IFS= read -r file; do
  case "$file" in
    */posix/*|platform/os.h) ;;
    *) if grep -nE "^\s*#\s*include\s*<($posix)\.h>" "$file"; then
         echo "  ^ $file: POSIX header outside a posix/ folder" >&2; status=1
       fi ;;
  esac
  case "$file" in
    platform/os.h|*/windows/*) ;;
    *) if grep -nE "^\s*#\s*include\s*<($windows)\.h>" "$file"; then
         echo "  ^ $file: Windows header outside platform/os.h" >&2; status=1
       fi ;;
  esac
done < <(git ls-files '*.h' '*.cpp' '*.cc' '*.hpp')
[ $status -eq 0 ] && echo "ok"
exit $status
