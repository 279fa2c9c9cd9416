# Deterministic demo files: plainly synthetic, seeded pseudo-random bytes, so every run sends the
# same bytes. The station treats design files as opaque; so does the demo. Plain awk, nothing to
# install.

# demo_file PATH SEED SIZE: writes exactly SIZE pseudo-random bytes to PATH.
demo_file() {
    LC_ALL=C awk -v seed="$2" -v size="$3" 'BEGIN {
        # Park-Miller: the products stay below 2^53, so every awk computes the same numbers.
        x = seed * 7919 % 2147483647 + 1
        for (n = 0; n < size; n++) {
            x = x * 16807 % 2147483647
            printf "%c", x % 256
        }
    }' >"$1"
}
