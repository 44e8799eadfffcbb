#!/usr/bin/env bash
# SPDX-License-Identifier: Apache-2.0
# The varnet.scanners collection as ansible-galaxy builds it from the
# repository, and ansible-test sanity on it, offline.
#   collection_test.sh SOURCE_DIR WORK_DIR VERSION
# WORK_DIR keeps the test environments between runs.
# ansible-test runs most of its tests in virtual environments that it fills
# from PyPI, which this build cannot reach. It keeps each environment under
# ~/.ansible/test/venv and skips the download for one that is already there, so
# the environments it asks for are made here from Debian's Python with its
# system packages (ansible-core, PyYAML, voluptuous, pycodestyle, pylint,
# yamllint from scripts/install-deps) and every test runs with the tools Debian ships.
set -euo pipefail
source_dir=$1
work=$2
version=$3
# Outside any git checkout: in one, ansible-test takes only the files git tracks.
copy=$(mktemp -d)
trap 'rm -rf "$copy"' EXIT
collection=$copy/ansible_collections/varnet/scanners
export HOME=$work/home  # the environments stay between runs, not in the user's home
# Debian's interpreter, which has ansible-core's modules (not one earlier in PATH).
export PATH=/usr/bin:$PATH
python=$(/usr/bin/python3 -c 'import sys; print("%d.%d" % sys.version_info[:2])')

rm -f "$work"/varnet-scanners-*.tar.gz
mkdir -p "$collection" "$HOME"

# The collection carries the project's version, the licence's text (not the
# link) and what the modules need; nothing of a developer's tree.
ansible-galaxy collection build "$source_dir/ansible" --output-path "$work" >/dev/null
tarball=$work/varnet-scanners-$version.tar.gz
[[ -f $tarball ]] || { echo "collection_test.sh: no $tarball (galaxy.yml says another version?)" >&2; exit 1; }
files=$(tar tvzf "$tarball")
for f in LICENSE README.md meta/runtime.yml plugins/action/scanner_config.py plugins/module_utils/varnet_cli.py \
         plugins/modules/scanner_config.py plugins/modules/scanner_facts.py examples/fleet.yml; do
  grep -q "^-.* $f\$" <<<"$files" || { echo "collection_test.sh: $f is not a file in $tarball" >&2; exit 1; }
done
cp -rL "$source_dir/ansible/." "$collection"  # LICENSE links the repository's
cd "$collection"

# Tests run in ansible-test's order; after making an environment, the run goes
# on from the test that asked for it.
mapfile -t tests < <(ansible-test sanity --list-tests 2>/dev/null)
while ((${#tests[@]})); do
  args=()
  for t in "${tests[@]}"; do args+=(--test "$t"); done
  if out=$(ansible-test sanity --python "$python" --color no "${args[@]}" 2>&1); then
    grep -v -e 'locale' -e 'Reviewing previous' <<<"$out"
    if grep -q 'All targets skipped' <<<"$out"; then exit 1; fi
    exit 0
  fi
  venv=$(sed -n 's/^FATAL: Python .* at "\(.*\)\/bin\/python" does not have pip available\.$/\1/p' <<<"$out")
  if [[ -z $venv || -e $venv/marker.txt ]]; then
    echo "$out"
    exit 1
  fi
  grep '^Running sanity test' <<<"$out" | sed '$d'
  echo "collection_test.sh: making ${venv#"$HOME/"} from Debian's Python"
  /usr/bin/python3 -m venv --system-site-packages --without-pip "$venv"
  echo '{"yaml": true, "cloader": true}' > "$venv/meta.yaml.json"
  touch "$venv/marker.txt"
  failed=$(grep '^Running sanity test' <<<"$out" | tail -1 | sed 's/^Running sanity test "\([^"]*\)".*/\1/')
  while ((${#tests[@]})) && [[ ${tests[0]} != "$failed" ]]; do tests=("${tests[@]:1}"); done
done
echo "collection_test.sh: no sanity test to run" >&2
exit 1
