# The compiler cache (ccache) for every build of this project, sourced by scripts/setup and
# .ci/run. Kept in the user's cache folder (~/.cache/ccache), so a new checkout on the same machine
# compiles what an earlier one compiled in seconds; a fresh machine starts with an empty cache.

# Paths below the checkout count as the same in any checkout, and debug information does not
# tie an entry to the folder it was built in.
export CCACHE_BASEDIR="${CCACHE_BASEDIR:-$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)}"
export CCACHE_NOHASHDIR=true
# Four builds (release, two sanitizers, fuzzers) of about 1.5 GB each.
export CCACHE_MAXSIZE="${CCACHE_MAXSIZE:-8G}"

# The cache arguments of a configure step; nothing when ccache is missing.
vlk_cache_launcher_args() {
  command -v ccache >/dev/null || return 0
  printf '%s\n' -DCMAKE_C_COMPILER_LAUNCHER=ccache -DCMAKE_CXX_COMPILER_LAUNCHER=ccache
}

# "hits misses" of the cache so far.
vlk_cache_counts() {
  command -v ccache >/dev/null || { echo "0 0"; return 0; }
  ccache --print-stats 2>/dev/null |
    awk -F'\t' '$1 == "direct_cache_hit" || $1 == "preprocessed_cache_hit" { h += $2 }
                $1 == "cache_miss" { m += $2 } END { print h + 0, m + 0 }'
}

# vlk_cache_report <label> <hits misses before>: the hit rate of what ran since.
vlk_cache_report() {
  local label=$1 hits_before misses_before hits misses
  read -r hits_before misses_before <<<"$2"
  read -r hits misses <<<"$(vlk_cache_counts)"
  local found=$((hits - hits_before)) total=$((hits - hits_before + misses - misses_before))
  if [[ $total -eq 0 ]]; then
    printf '[%s] compiler cache: nothing was compiled\n' "$label"
  else
    printf '[%s] compiler cache: %d of %d compilations found (%d %%)\n' "$label" "$found" "$total" \
      $((100 * found / total))
  fi
}
