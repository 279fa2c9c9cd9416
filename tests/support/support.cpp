// Shared helpers of the test executables.
