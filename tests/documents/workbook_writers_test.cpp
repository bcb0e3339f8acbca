// Filled in by the reader tests.
