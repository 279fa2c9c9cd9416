# Deterministic design files for the demo: stitch records of a made-up format, generated from a
# seed so every run sends the same bytes. Plain awk, nothing to install.

# demo_design PATH SEED SIZE: writes exactly SIZE bytes of stitch records to PATH.
demo_design() {
    LC_ALL=C awk -v seed="$2" -v size="$3" 'BEGIN {
        # Park-Miller: the products stay below 2^53, so every awk computes the same numbers.
        x = seed * 7919 % 2147483647 + 1
        out = sprintf("LA:DEMO%04d ST:%7d CO:%3d\n", seed, size / 9, seed % 16)
        printf "%s", out
        n = length(out)
        while (n < size) {
            x = x * 16807 % 2147483647
            dx = x % 121 - 60
            x = x * 16807 % 2147483647
            dy = x % 121 - 60
            rec = sprintf("%+04d%+04d\n", dx, dy)
            if (n + length(rec) > size) rec = substr("........", 1, size - n)
            printf "%s", rec
            n += length(rec)
        }
    }' >"$1"
}
