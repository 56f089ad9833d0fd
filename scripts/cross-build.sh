# Sourced by the scripts that cross-build for Windows from Debian's own
# source packages into a cache outside the clone, which later clones and CI
# runs on this machine reuse.

# cache_or_lock PREFIX STAMP WHAT
# Prints PREFIX and ends the script when the cache there is stamped STAMP
# (the Debian versions and the recipe); else takes the cache's lock, waiting
# for another build of WHAT, and returns to build it, unless that other
# build made it meanwhile.
cache_or_lock() {
    local prefix=$1 stamp=$2 what=$3
    cache_is_current "$prefix" "$stamp" && { echo "$prefix"; exit 0; }
    mkdir -p "$(dirname "$prefix")"
    exec 9>"$prefix.lock"
    if ! flock -n 9; then
        echo "Waiting for another build of $what to end ($prefix.lock)" >&2
        flock 9
    fi
    cache_is_current "$prefix" "$stamp" && { echo "$prefix"; exit 0; }
    return 0
}

cache_is_current() {
    [ -f "$1/quorvex-stamp" ] && [ "$(cat "$1/quorvex-stamp")" = "$2" ]
}

# commit_cache STAGED PREFIX STAMP
# Stamps what was built in STAGED and moves it into place: the move is the
# commit point, so the prefix is either whole or absent. Prints PREFIX.
commit_cache() {
    local staged=$1 prefix=$2 stamp=$3
    echo "$stamp" >"$staged/quorvex-stamp"
    rm -rf "$prefix.old"
    [ ! -e "$prefix" ] || mv "$prefix" "$prefix.old"
    mv "$staged" "$prefix"
    rm -rf "$prefix.old"
    echo "$prefix"
}

# fetch_debian_source PACKAGE VERSION unpacks the source of that version
# into the current folder. apt-get source needs a deb-src entry for each
# Debian deb entry; a fresh machine has only the deb ones, so their deb-src
# twins are added once, in files of our own.

fetch_debian_source() {
    local package=$1 version=$2
    if ! apt-cache showsrc "$package" 2>/dev/null | grep -x "Version: $version" >/dev/null; then
        add_debian_source_entries
        apt-cache showsrc "$package" 2>/dev/null | grep -x "Version: $version" >/dev/null ||
            { echo "Debian's archive has no source for $package $version" >&2; return 1; }
    fi
    echo "Fetching Debian's source of $package $version into $PWD" >&2
    apt-get source -q "$package=$version" >&2
}

add_debian_source_entries() {
    local sudo=() sources
    [ "$(id -u)" -ne 0 ] && sudo=(sudo)
    sources=$(mktemp)
    for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$file" ] || continue
        sed -n 's|^[[:space:]]*deb[[:space:]]\+\(.*debian.*\)$|deb-src \1|p' "$file"
    done >"$sources.list"
    for file in /etc/apt/sources.list.d/*.sources; do
        [ -f "$file" ] || continue
        # Each paragraph that lists deb (and not yet deb-src) from a Debian
        # archive comes out again with deb-src alone.
        awk 'BEGIN { RS = ""; ORS = "\n\n" }
             /(^|\n)Types:[^\n]*[[:space:]]deb([[:space:]]|$)/ && !/deb-src/ && /URIs:[^\n]*debian/ {
                 sub(/Types:[^\n]*/, "Types: deb-src"); print }' "$file"
    done >"$sources.sources"
    [ -s "$sources.list" ] && "${sudo[@]}" install -m 644 "$sources.list" /etc/apt/sources.list.d/quorvex-deb-src.list
    [ -s "$sources.sources" ] && "${sudo[@]}" install -m 644 "$sources.sources" /etc/apt/sources.list.d/quorvex-deb-src.sources
    rm -f "$sources" "$sources.list" "$sources.sources"
    echo "Added deb-src entries; updating apt's lists" >&2
    "${sudo[@]}" apt-get update -q >&2
}
