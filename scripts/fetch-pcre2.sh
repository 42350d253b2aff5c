#!/usr/bin/env bash
# Fetches the Debian source package of PCRE2 through apt's own configured mirrors and unpacks it with
# Debian's patches applied. Source entries live in a private apt configuration under the cache folder;
# the system's apt configuration is never touched. A second run finds the unpacked tree and does nothing.
#
# Usage: fetch-pcre2.sh <cache folder>   Prints the path of the unpacked source tree.
set -euo pipefail

cache=$(mkdir -p "$1" && cd "$1" && pwd)
tree="$cache/pcre2-src"
if [ -f "$tree/CMakeLists.txt" ] && [ -f "$tree/.brimlark-complete" ]; then
  echo "$tree"
  exit 0
fi

apt_dir="$cache/apt"
download_dir="$cache/download"
mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$download_dir"

# Turn the system's binary entries into source entries. The security suite is left out: its mirror lists
# pcre2 sources whose files are not there.
rm -f "$apt_dir/sources.list.d/"*
shopt -s nullglob
for entry in /etc/apt/sources.list.d/*.sources; do
  awk 'BEGIN { RS=""; ORS="\n\n" }
       /Suites:[^\n]*-security/ { next }
       { sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$entry" \
    > "$apt_dir/sources.list.d/$(basename "$entry")"
done
if [ -f /etc/apt/sources.list ]; then
  grep -E '^[[:space:]]*deb[[:space:]]' /etc/apt/sources.list | grep -v -- '-security' \
    | sed -E 's/^[[:space:]]*deb[[:space:]]/deb-src /' > "$apt_dir/sources.list.d/system.list" || true
fi

apt_options=(-o "Dir::Etc::SourceList=/dev/null"
             -o "Dir::Etc::SourceParts=$apt_dir/sources.list.d"
             -o "Dir::State::Lists=$apt_dir/lists"
             -o "Dir::Cache=$apt_dir/cache"
             -o "APT::Sandbox::User=root"
             -o "Debug::NoLocking=1")

echo "Fetching the pcre2 source package through apt..." >&2
apt-get "${apt_options[@]}" -qq update >&2
(cd "$download_dir" && apt-get "${apt_options[@]}" -qq source --download-only pcre2 >&2) || true

origs=("$download_dir"/pcre2_*.orig.tar.*)
if [ ${#origs[@]} -eq 0 ]; then
  echo "fetch-pcre2: no pcre2 orig tarball arrived" >&2
  exit 1
fi

rm -rf "$tree" "$cache/unpack"
mkdir -p "$cache/unpack"
tar -xf "${origs[0]}" -C "$cache/unpack"
mv "$cache/unpack"/pcre2-* "$tree"
rmdir "$cache/unpack"

# Debian's changes: a diff (source format 1.0) or a debian tarball with a patch series (3.0).
diffs=("$download_dir"/pcre2_*.diff.gz)
debians=("$download_dir"/pcre2_*.debian.tar.*)
if [ ${#diffs[@]} -gt 0 ]; then
  zcat "${diffs[0]}" | patch -d "$tree" -p1 -s >&2
elif [ ${#debians[@]} -gt 0 ]; then
  tar -xf "${debians[0]}" -C "$tree"
fi
if [ -f "$tree/debian/patches/series" ]; then
  while read -r patch_name _; do
    case "$patch_name" in ''|\#*) continue ;; esac
    patch -d "$tree" -p1 -s < "$tree/debian/patches/$patch_name" >&2
  done < "$tree/debian/patches/series"
fi

touch "$tree/.brimlark-complete"
echo "$tree"
