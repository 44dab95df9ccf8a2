#!/usr/bin/env bash
# installtest.sh CMAKE BUILD_DIR PREFIX LIBDIR SCRIPT
set -euo pipefail
cmake_command=$1 build_dir=$2 prefix=$3 libdir=$4 script=$5

rm -rf "$prefix"
"$cmake_command" --install "$build_dir" --prefix "$prefix" >/dev/null

module="$prefix/$libdir/obs-plugins/kp-source.so"
locale="$prefix/share/obs/obs-plugins/kp-source/locale/en-US.ini"
[ -f "$module" ] || { echo "no module at $module"; exit 1; }
[ -f "$locale" ] || { echo "no locale at $locale"; exit 1; }

out="$prefix/out"
# No --plugin: the installed host program must choose the installed plug-in,
# not the build tree's it was compiled beside.
"$prefix/bin/kp-host" play "$script" --out "$out"

grep -q "Loading module: kp-source.so" "$out/kp-host.log"
grep -q "plug-in $(cd "$(dirname "$module")" && pwd)/kp-source.so," "$out/kp-host.log" \
    || { echo "installed plug-in not chosen"; grep "plug-in" "$out/kp-host.log"; exit 1; }
# The data folder with the locale was found where libobs keeps plug-in data.
grep -q "data folder $(cd "$prefix/share/obs/obs-plugins/kp-source" && pwd)" "$out/kp-host.log" \
    || { echo "installed data folder not used"; grep "data folder" "$out/kp-host.log"; exit 1; }
grep -q '"kp_wb_data_datas":\[{' "$out/installed.json" || { echo "nothing saved"; cat "$out/installed.json"; exit 1; }
[ -s "$out/installed.png" ] || { echo "nothing rendered"; exit 1; }
echo "installed plug-in drew and saved a rectangle"
