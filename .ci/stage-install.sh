#!/usr/bin/env bash
# Installation: installs into a temporary prefix, checks what landed there,
# runs the installed program on an installed example and draws its chart,
# then builds and runs a project outside this tree against the installed
# package, also after moving the prefix elsewhere.
set -euo pipefail
cd "$(dirname "$0")/.."
source_dir=$(pwd)

# The manual-page check needs groff, the chart check xmllint: both are
# installed here when missing, so that neither check is ever skipped.
missing=()
command -v groff >/dev/null 2>&1 || missing+=(groff)
command -v xmllint >/dev/null 2>&1 || missing+=(libxml2-utils)
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -q
  apt-get install -y -q --no-install-recommends "${missing[@]}"
fi
for tool in groff xmllint; do
  command -v "$tool" >/dev/null 2>&1 || { echo "install stage: $tool is missing" >&2; exit 1; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

# A build of its own, without tests, as a user would install it.
cmake -S . -B "$work/build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEMP1D_WARNINGS_AS_ERRORS=ON \
      -DTEMP1D_BUILD_TESTS=OFF >/dev/null
cmake --build "$work/build"
cmake --install "$work/build" --prefix "$prefix" >/dev/null

echo "-- installed files"
expected=(
  bin/temp1d
  bin/temp1d-plot
  bin/temp1d-fit
  share/man/man1/temp1d.1
  share/man/man1/temp1d-plot.1
  share/man/man1/temp1d-fit.1
  share/doc/temp1d/user-guide.md
  share/doc/temp1d/check-json.md
  share/doc/temp1d/LICENSE
  include/numlib/numlib.h
  include/textio/failure_report.h
  lib/libnumlib.a
  lib/libtextio.a
  lib/cmake/temp1d/temp1d-config.cmake
  lib/cmake/temp1d/temp1d-config-version.cmake
  lib/cmake/temp1d/temp1d-targets.cmake
)
for example in examples/*/; do
  [ -e "$example/DataInpTemp1d.txt" ] || continue  # examples/python holds scripts
  name=$(basename "$example")
  expected+=("share/temp1d/examples/$name/DataInpTemp1d.txt" "share/temp1d/examples/$name/temperat.txt")
done
expected+=(share/temp1d/examples/python/sweep.py share/temp1d/examples/python/fit_curve.py)
for path in "${expected[@]}"; do
  [ -e "$prefix/$path" ] || { echo "missing after install: $path" >&2; exit 1; }
done
for program in temp1d temp1d-plot temp1d-fit; do
  [ -x "$prefix/bin/$program" ] || { echo "installed $program is not executable" >&2; exit 1; }
done

for page in temp1d.1 temp1d-plot.1 temp1d-fit.1; do
  warnings=$(groff -man -Tutf8 -ww -z "$prefix/share/man/man1/$page" 2>&1)
  [ -z "$warnings" ] || { echo "manual page $page: $warnings" >&2; exit 1; }
done

echo "-- one version: the program, the manual page and the package"
version=$("$prefix/bin/temp1d" --version)
package_version=$(sed -n 's/^set(PACKAGE_VERSION "\(.*\)")$/\1/p' "$prefix/lib/cmake/temp1d/temp1d-config-version.cmake")
[ "$version" = "temp1d $package_version" ] || { echo "--version says '$version', the package $package_version" >&2; exit 1; }
for tool in temp1d temp1d-fit temp1d-plot; do
  [ "$("$prefix/bin/$tool" --version)" = "$tool $package_version" ] \
    || { echo "$tool --version does not say $package_version" >&2; exit 1; }
  grep -q "\"temp1d $package_version\"" "$prefix/share/man/man1/$tool.1" \
    || { echo "the manual page of $tool names another version than $package_version" >&2; exit 1; }
done

echo "-- the installed program on an installed example"
run=$work/run
mkdir "$run"
example=$prefix/share/temp1d/examples/steel-bar-water-quench
cp "$example/DataInpTemp1d.txt" "$run/"
(cd "$run" && "$prefix/bin/temp1d")
cmp "$run/temperat.txt" "$example/temperat.txt"
"$prefix/bin/temp1d-plot" "$run/temperat.txt" "$run/chart.svg" "$run/DataInpTemp1d.txt"
grep -q '</svg>' "$run/chart.svg"
xmllint --noout "$run/chart.svg"

echo "-- a project outside the tree against the installed package"
consumer() {
  local prefix_path=$1 build_dir=$2
  cmake -S "$source_dir/tests/consumer" -B "$build_dir" -G Ninja -DCMAKE_PREFIX_PATH="$prefix_path" >/dev/null
  cmake --build "$build_dir"
  "$build_dir/tridiagonal_consumer"
}
consumer "$prefix" "$work/consumer"

# The package configuration locates everything relative to itself.
mv "$prefix" "$work/moved"
consumer "$work/moved" "$work/consumer-moved"

echo "-- the Python module, installed where the distribution's Python finds it"
# With the prefix /usr/local (the default) the module lands in
# lib/python3.X/dist-packages, on the default search path of Debian's Python;
# here the prefix is a temporary one, so the path is given.
cmake -S . -B "$work/build-python" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTEMP1D_WARNINGS_AS_ERRORS=ON \
      -DTEMP1D_BUILD_TESTS=OFF -DTEMP1D_PYTHON=ON >/dev/null
cmake --build "$work/build-python"
cmake --install "$work/build-python" --prefix "$work/python-prefix" >/dev/null
site=$(/usr/bin/python3 -c 'import sys; print("lib/python%d.%d/dist-packages" % sys.version_info[:2])')
ls "$work/python-prefix/$site"/temp1d.*.so >/dev/null
/usr/bin/python3 -c "import sys; assert '/usr/local/$site' in sys.path, sys.path"
(cd "$run" && PYTHONPATH="$work/python-prefix/$site" /usr/bin/python3 -c '
import temp1d
run = temp1d.run("DataInpTemp1d.txt")
assert temp1d.format_fixed(run.dTmax) in open("temperat.txt").read().splitlines()[-1]
print("temp1d imported from", temp1d.__file__)')

echo "-- install stage passed"
