#!/usr/bin/env bash
# packagetest.sh CPACK BUILD_DIR SCRATCH PREFIX SCRIPT
set -euo pipefail
cpack_command=$1 build_dir=$2 scratch=$3 prefix=$4 script=$5

if [ "$prefix" != "/usr" ]; then
    echo "configured for prefix $prefix: the package is built for /usr only"
    exit 77
fi
command -v dpkg-deb >/dev/null || { echo "dpkg-deb is missing"; exit 1; }

rm -rf "$scratch"
mkdir -p "$scratch"
"$cpack_command" -G DEB --config "$build_dir/CPackConfig.cmake" -B "$scratch/package" >"$scratch/cpack.log" 2>&1 \
    || { cat "$scratch/cpack.log"; exit 1; }
deb=$(ls "$scratch"/package/*.deb)

multiarch=$(dpkg-architecture -qDEB_HOST_MULTIARCH 2>/dev/null || gcc -print-multiarch)
dpkg-deb -c "$deb" | awk '{print $6}' >"$scratch/contents"
for path in \
    ./usr/bin/kp-host \
    ./usr/bin/rtc-probe \
    "./usr/lib/$multiarch/obs-plugins/kp-source.so" \
    ./usr/share/obs/obs-plugins/kp-source/locale/en-US.ini \
    "./usr/lib/$multiarch/libkp-obs-ext.so.1" \
    "./usr/lib/$multiarch/kp-toolkit/libvendor_rtc_sdk.so"; do
    grep -qx "$path" "$scratch/contents" || { echo "package lacks $path"; cat "$scratch/contents"; exit 1; }
done

depends=$(dpkg-deb -f "$deb" Depends)
for library in libobs0 libqt5core5a libqt5widgets5 libfreetype6 libc6; do
    grep -q "$library" <<<"$depends" || { echo "Depends lacks $library: $depends"; exit 1; }
done
# The package's own libraries come with it: no dependency names them.
if grep -q "kp-obs-ext\|vendor" <<<"$depends"; then echo "Depends names a bundled library: $depends"; exit 1; fi

root="$scratch/root"
dpkg-deb -x "$deb" "$root"
host="$root/usr/bin/kp-host"
# The unpacked programs use the unpacked host-extension library. Each listing
# is taken whole before it is searched: grep -q leaves at its first match, and
# under pipefail the writer it leaves behind would fail of SIGPIPE.
host_libraries=$(ldd "$host")
grep -q "$root/usr/bin/../lib/$multiarch/libkp-obs-ext.so.1" <<<"$host_libraries" \
    || { echo "kp-host does not use the unpacked host-extension library"; echo "$host_libraries"; exit 1; }
probe_libraries=$(ldd "$root/usr/bin/rtc-probe")
grep -q "not found" <<<"$probe_libraries" && { echo "rtc-probe misses a library"; exit 1; }

out="$scratch/out"
"$host" play "$script" --out "$out" --plugin "$root/usr/lib/$multiarch/obs-plugins/kp-source.so"
grep -q "data folder $root/usr/share/obs/obs-plugins/kp-source" "$out/kp-host.log" \
    || { echo "unpacked data folder not used"; grep "data folder" "$out/kp-host.log"; exit 1; }
grep -q '"kp_wb_data_datas":\[{' "$out/installed.json" || { echo "nothing saved"; exit 1; }
[ -s "$out/installed.png" ] || { echo "nothing rendered"; exit 1; }
echo "unpacked package drew and saved a rectangle"
