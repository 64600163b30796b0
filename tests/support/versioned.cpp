// Test-only: a program that does nothing and carries a version resource (versioned.rc), so that
// installer runs can compare an installed file's version.
int main() { return 0; }
