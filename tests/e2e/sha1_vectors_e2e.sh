#!/usr/bin/env bash
# Our SHA-1 against NIST's byte-oriented test vectors (SHA1ShortMsg.rsp,
# SHA1LongMsg.rsp, SHA1Monte.rsp). The files are not kept in the repository:
# they ship in Debian's python3-cryptography-vectors, which is fetched with
# apt-get download and unpacked with dpkg -x into build/ once. The checks are
# the Sha1NistVectors cases of the core tests, which read the folder named by
# QUORVEL_SHA1_VECTORS: the Windows build's core_tests_win.exe under Wine
# (the code that ships), and the native core_tests as well when it is built.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)"
BIN="${QUORVEL_BIN:-$ROOT/build/win/bin}"
NATIVE="${QUORVEL_NATIVE_BIN:-$ROOT/build/native}"
STORE="$ROOT/build/sha1-vectors"
VECTORS="$STORE/usr/lib/python3/dist-packages/cryptography_vectors/hashes/SHA1"

fail() { echo "FAIL [sha1_vectors]: $*" >&2; exit 1; }

if [ ! -f "$VECTORS/SHA1ShortMsg.rsp" ] || [ ! -f "$VECTORS/SHA1LongMsg.rsp" ]; then
  mkdir -p "$STORE/deb"
  (
    cd "$STORE/deb"
    rm -f python3-cryptography-vectors_*.deb
    # The package lists may not have been fetched yet on a fresh machine.
    apt-get download python3-cryptography-vectors >/dev/null 2>&1 ||
      { apt-get update >/dev/null 2>&1 || true; apt-get download python3-cryptography-vectors >/dev/null 2>&1; }
  ) || fail "apt-get download python3-cryptography-vectors failed"
  deb="$(ls "$STORE"/deb/python3-cryptography-vectors_*.deb | head -n 1)"
  dpkg -x "$deb" "$STORE"
  rm -rf "$STORE/deb"
fi
[ -f "$VECTORS/SHA1ShortMsg.rsp" ] && [ -f "$VECTORS/SHA1LongMsg.rsp" ] ||
  fail "the package has no SHA1ShortMsg.rsp and SHA1LongMsg.rsp"

# gtest prints "[  PASSED  ] 3 tests." only when every case ran; a skipped
# case (files not found) must count as a failure here.
check_output() {
  local out="$1" where="$2"
  echo "$out" | grep -q "\[  PASSED  \] 3 tests" || { echo "$out" >&2; fail "$where: not all vector cases passed"; }
  echo "$out" | grep -q "SKIPPED" && { echo "$out" >&2; fail "$where: vector cases were skipped"; }
  return 0
}

ran=0
if [ -f "$BIN/core_tests_win.exe" ]; then
  # Wine sees the host's root as drive Z:.
  out="$(QUORVEL_SHA1_VECTORS="Z:$VECTORS" "$ROOT/scripts/wine-run" "$BIN/core_tests_win.exe" \
           --gtest_filter='Sha1NistVectors.*' 2>&1 | tr -d '\r')" || { echo "$out" >&2; fail "core_tests_win.exe"; }
  check_output "$out" "core_tests_win.exe"
  ran=$((ran + 1))
fi
if [ -x "$NATIVE/core_tests" ]; then
  out="$(QUORVEL_SHA1_VECTORS="$VECTORS" "$NATIVE/core_tests" --gtest_filter='Sha1NistVectors.*' 2>&1)" ||
    { echo "$out" >&2; fail "native core_tests"; }
  check_output "$out" "native core_tests"
  ran=$((ran + 1))
fi
[ "$ran" -gt 0 ] || fail "neither $BIN/core_tests_win.exe nor $NATIVE/core_tests is built"
echo "sha1_vectors: ok ($ran build(s), $(grep -c '^Len' "$VECTORS/SHA1ShortMsg.rsp") short and $(grep -c '^Len' "$VECTORS/SHA1LongMsg.rsp") long messages, Monte Carlo chain)"
