#!/bin/sh
# Runs a Windows program under Wine as the tests expect it: the ANSI code page
# is 949 (Wine takes it from LC_ALL; the host needs no such locale), and Wine
# reports only errors about loading modules, such as a missing DLL.
# Usage: wine-run.sh WINE PROGRAM [ARGUMENT...]
wine=$1
shift
LC_ALL=ko_KR.UTF-8
WINEDEBUG=${WINEDEBUG:--all,err+module}
export LC_ALL WINEDEBUG
exec "$wine" "$@"
