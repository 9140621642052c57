#!/bin/sh
# kd215ctl installed as a Linux tool: `cmake --install` into a staging prefix puts the programs, the
# manual page and the bash completion where the system looks for them, and each works from there.
set -eu
build=${1:?usage: install_check.sh NATIVE_BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "install: $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null
for file in bin/kd215ctl bin/kd215-sim share/man/man1/kd215ctl.1 share/bash-completion/completions/kd215ctl; do
  [ -e "$prefix/$file" ] || fail "$file missing"
done
# The version the Windows programs carry in their resources comes from the same header.
version=$(sed -n 's/^#define KD215_VERSION "\(.*\)"$/\1/p' "$build/generated/kd215_version.h")
[ "$("$prefix/bin/kd215ctl" --version)" = "kd215ctl $version (Kd215 link)" ] || fail "kd215ctl --version is not $version"

# The page renders without a roff warning, passes mandoc's lint and holds every section, in order.
man=$prefix/share/man/man1/kd215ctl.1
page=$(groff -man -Tutf8 -ww -P-cbou "$man" 2>"$prefix/warnings")
[ ! -s "$prefix/warnings" ] || fail "manual page: $(cat "$prefix/warnings")"
mandoc -T lint -W warning "$man" >"$prefix/lint" 2>&1 || fail "manual page lint: $(cat "$prefix/lint")"
headings=$(printf '%s\n' "$page" | grep -E '^[[:upper:]ĄĆĘŁŃÓŚŹŻ][[:upper:]ĄĆĘŁŃÓŚŹŻ ]*$' | tr '\n' '/')
[ "$headings" = "NAZWA/SKŁADNIA/OPIS/POLECENIA/OPCJE/JSON/KODY WYJŚCIA/PRZYKŁADY/PLIKI/ZOBACZ TAKŻE/" ] ||
  fail "manual page sections: $headings"
case $page in *"kd215ctl backup --port /dev/ttyUSB0 sterownik.json"*) ;; *) fail "manual page lacks the examples" ;; esac

# Completing as bash would: commands, then areas after a command that takes them.
complete_words() {
  bash -c '. "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _kd215ctl; echo "${COMPREPLY[*]}"' \
    sh "$prefix/share/bash-completion/completions/kd215ctl" "$@"
}
[ "$(complete_words "$prefix/bin/kd215ctl" ve)" = "version verify" ] || fail "commands: $(complete_words kd215ctl ve)"
[ "$(complete_words "$prefix/bin/kd215ctl" --port /dev/ttyS0 read prog)" = "program1 program2" ] ||
  fail "areas: $(complete_words kd215ctl --port /dev/ttyS0 read prog)"
# Ports after a command whose operands are ports, as the kd215ctl being completed lists them.
printf '#!/bin/sh\necho "/dev/ttyKD0  (opis)"\n' >"$prefix/ports-lister" && chmod +x "$prefix/ports-lister"
[ "$(complete_words "$prefix/ports-lister" probe /dev/tty)" = "/dev/ttyKD0" ] || fail "ports after probe"
echo "installed and checked in $prefix"
