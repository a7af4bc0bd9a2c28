# Sourced by the benchmark scripts, which set WORK to their scratch folder.
# cold: with KELVARN_BENCH_COLD set, the next timing starts with nothing in the page cache, as for
# files the user has not read lately: dropped through /proc/sys/vm/drop_caches as root, else pushed
# out by writing and syncing 768 MiB.
cold() {
    [ -n "${KELVARN_BENCH_COLD:-}" ] || return 0
    sync
    if ! { [ -w /proc/sys/vm/drop_caches ] && echo 3 >/proc/sys/vm/drop_caches 2>/dev/null; }; then
        dd if=/dev/zero of="$WORK/evict" bs=4M count=192 conv=fsync status=none
        rm -f "$WORK/evict"
    fi
    # The disk first finishes what earlier runs left queued (discards of freed blocks).
    sleep 1
}
